// The port never has a read pending: the host asks how many bytes are there
// and reads just those, which cannot wait. Under Wine a read of bytes already
// there costs one system call this way, where an overlapped read costs several
// server round trips and a signal. While an exchange is open the host looks in
// short steps, skipping the times when no new character can have arrived.
#include "tools/host/win/PolledSerialPort.h"

#include <windows.h>

#include <algorithm>
#include <chrono>

#include "tools/host/core/LookPlan.h"

namespace tervex::host {

namespace {

// Bits one character takes on the wire: start, data, parity, stop.
double BitsPerChar(const PortConfig& config) {
    const double stop = config.stopBits == StopBits::One ? 1 : config.stopBits == StopBits::OneAndHalf ? 1.5 : 2;
    return 1 + config.dataBits + (config.parity == Parity::None ? 0 : 1) + stop;
}

int64_t MonotonicUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(steady_clock::now().time_since_epoch()).count();
}

class PolledSerialPort final : public LinePort {
public:
    PolledSerialPort(HANDLE handle, std::string description, const PortConfig& config)
        : handle_(handle),
          description_(std::move(description)),
          plan_(static_cast<int64_t>(BitsPerChar(config) * 1e6 / config.baud) + 1) {}
    ~PolledSerialPort() override { CloseHandle(handle_); }
    PolledSerialPort(const PolledSerialPort&) = delete;
    PolledSerialPort& operator=(const PolledSerialPort&) = delete;

    bool Write(const uint8_t* data, size_t count) override {
        DWORD written = 0;
        const bool ok = WriteFile(handle_, data, static_cast<DWORD>(count), &written, nullptr) && written == count;
        plan_.Wrote(count, MonotonicUs());
        return ok;
    }

    void Read(std::vector<uint8_t>& out) override {
        uint8_t buffer[256];
        bool got = false;
        // Asks again only when the buffer was too small for what was there.
        for (DWORD there = Waiting(); there > 0;) {
            const DWORD want = std::min<DWORD>(there, sizeof(buffer));
            DWORD read = 0;
            if (!ReadFile(handle_, buffer, want, &read, nullptr) || read == 0) break;
            out.insert(out.end(), buffer, buffer + read);
            got = true;
            if (read < sizeof(buffer)) break;
            there = Waiting();
        }
        plan_.Looked(got, MonotonicUs());
    }

    bool HasBytes() override {
        const bool there = Waiting() > 0;
        if (!there) plan_.Looked(false, MonotonicUs());
        return there;
    }

    std::optional<int64_t> LookAgainInUs() const override {
        return std::max<int64_t>(plan_.NextLookUs() - MonotonicUs(), 0);
    }

    std::string Describe() const override { return description_ + ", polled"; }

private:
    DWORD Waiting() const {
        DWORD errors = 0;
        COMSTAT status{};
        return ClearCommError(handle_, &errors, &status) ? status.cbInQue : 0;
    }

    HANDLE handle_;
    std::string description_;
    LookPlan plan_;
};

}  // namespace

std::unique_ptr<LinePort> MakePolledSerialPort(void* handle, std::string description, const PortConfig& config) {
    return std::make_unique<PolledSerialPort>(handle, std::move(description), config);
}

}  // namespace tervex::host
