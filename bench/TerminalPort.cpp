#include "TerminalPort.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace bench {

UniqueFd::~UniqueFd() {
    if (FFd >= 0) ::close(FFd);
}

UniqueFd& UniqueFd::operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
        if (FFd >= 0) ::close(FFd);
        FFd = other.Release();
    }
    return *this;
}

int UniqueFd::Release() {
    const int fd = FFd;
    FFd = -1;
    return fd;
}

namespace {

// Raw bytes; a read returns as soon as one byte is there, or after vtimeTenths tenths
// of a second with nothing (0: at once).
bool MakeRaw(int fd, int vtimeTenths, std::string& error) {
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        error = std::string("tcgetattr: ") + std::strerror(errno);
        return false;
    }
    ::cfmakeraw(&tio);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = static_cast<cc_t>(vtimeTenths);
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        error = std::string("tcsetattr: ") + std::strerror(errno);
        return false;
    }
    return true;
}

}  // namespace

bool PtyPair::Open(PtyPair& pair, std::string& error) {
    UniqueFd master(::posix_openpt(O_RDWR | O_NOCTTY));
    if (!master.Valid() || ::grantpt(master.Get()) != 0 || ::unlockpt(master.Get()) != 0) {
        error = std::string("cannot create a pseudo-terminal: ") + std::strerror(errno);
        return false;
    }
    const char* name = ::ptsname(master.Get());
    if (name == nullptr) {
        error = "ptsname failed";
        return false;
    }
    UniqueFd terminal(::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK));
    if (!terminal.Valid() || !MakeRaw(terminal.Get(), 0, error)) {
        error = "cannot open " + std::string(name) + ": " + (error.empty() ? std::strerror(errno) : error);
        return false;
    }
    pair.terminalPath = name;
    pair.master = std::move(master);
    pair.terminal = std::move(terminal);
    return true;
}

UniqueFd OpenTimedTerminal(const std::string& path, int timeoutTenths, std::string& error) {
    UniqueFd fd(::open(path.c_str(), O_RDWR | O_NOCTTY));
    if (!fd.Valid()) {
        error = "cannot open " + path + ": " + std::strerror(errno);
        return UniqueFd();
    }
    if (!MakeRaw(fd.Get(), timeoutTenths, error)) {
        return UniqueFd();
    }
    return fd;
}

uint8_t TerminalPort::WritePort(uint8_t, const uint8_t* data, int32_t count) {
    int32_t done = 0;
    while (done < count) {
        const ssize_t n = ::write(FFd.Get(), data + done, static_cast<size_t>(count - done));
        if (n > 0) {
            done += static_cast<int32_t>(n);
        } else if (n == 0 || errno != EINTR) {
            return 1;
        }
    }
    FBusy = true;
    return 0;
}

bool TerminalPort::Pump(tervex::PollEngine& engine, uint8_t portNo) {
    // One system call: the terminal's own read time-out does the waiting.
    uint8_t buffer[256];
    const ssize_t n = ::read(FFd.Get(), buffer, sizeof buffer);
    if (n <= 0) {
        return n < 0 && errno == EINTR;
    }
    FReceived.insert(FReceived.end(), buffer, buffer + n);
    const auto count = static_cast<int32_t>(FReceived.size());
    if (engine.IsFrameComplete(portNo, FReceived.data(), count)) {
        engine.DataReceived(portNo, FReceived.data(), count);
        FReceived.clear();
        engine.SendNext();
    }
    return true;
}

double SystemClock::LocalNow() {
    using namespace std::chrono;
    // Days since 1899-12-30; the zone does not matter here.
    const double unixDays = duration<double>(system_clock::now().time_since_epoch()).count() / 86400.0;
    return unixDays + 25569.0;
}

uint64_t SystemClock::MonotonicMs() {
    using namespace std::chrono;
    return static_cast<uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void SystemClock::SleepMs(uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

}  // namespace bench
