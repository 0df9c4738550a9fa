// The program itself on a pseudo-terminal: start it, open the path it prints,
// exchange frames. Every wait has a deadline, so a broken program fails the
// test instead of hanging it.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "sim/Hex.h"
#include "TestUtil.h"

namespace tervex::sim::test {
namespace {

constexpr int kDeadlineMs = 5000;

int64_t MonotonicMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Reads from fd until `want` bytes came, the stream ended or the deadline passed.
std::vector<uint8_t> ReadFor(int fd, size_t want, int timeoutMs, bool stopAtNewline = false)
{
    std::vector<uint8_t> got;
    const int64_t deadline = MonotonicMs() + timeoutMs;
    while (got.size() < want) {
        const int64_t left = deadline - MonotonicMs();
        if (left <= 0)
            break;
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0)
            continue;
        uint8_t buffer[256];
        const ssize_t n = ::read(fd, buffer, stopAtNewline ? 1 : sizeof buffer);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
            break;
        if (n > 0)
            got.insert(got.end(), buffer, buffer + n);
        if (stopAtNewline && !got.empty() && got.back() == '\n')
            break;
    }
    return got;
}

bool ReachesEndOfFile(int fd, int timeoutMs)
{
    const int64_t deadline = MonotonicMs() + timeoutMs;
    for (int64_t left = timeoutMs; left > 0; left = deadline - MonotonicMs()) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left)) <= 0)
            continue;
        uint8_t buffer[256];
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n == 0 || (n < 0 && errno != EAGAIN && errno != EINTR))
            return true;
    }
    return false;
}

// The simulator as a child process, stopped and reaped by the destructor.
class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> args)
    {
        int out[2];
        if (::pipe(out) != 0)
            return;
        pid_ = ::fork();
        if (pid_ == 0) {
            ::dup2(out[1], STDOUT_FILENO);
            ::close(out[0]);
            ::close(out[1]);
            std::vector<char*> argv;
            static std::string exe = TERVEX_SIM_EXE;
            argv.push_back(exe.data());
            for (std::string& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            ::execv(exe.c_str(), argv.data());
            ::_exit(127);
        }
        ::close(out[1]);
        stdout_ = out[0];
    }

    ~SimProcess()
    {
        if (pid_ > 0 && status_ < 0)
            Stop();
        if (stdout_ >= 0)
            ::close(stdout_);
    }

    bool Started() const { return pid_ > 0 && stdout_ >= 0; }

    std::string ReadLine()
    {
        const std::vector<uint8_t> line = ReadFor(stdout_, 4096, kDeadlineMs, true);
        std::string text(line.begin(), line.end());
        if (!text.empty() && text.back() == '\n')
            text.pop_back();
        return text;
    }

    // Asks the program to end and returns its exit status; it is killed if it
    // does not end by itself before the deadline.
    int Stop()
    {
        ::kill(pid_, SIGTERM);
        return Wait();
    }

    int Wait()
    {
        // The pipe reports end of file once the program is ending.
        if (!ReachesEndOfFile(stdout_, kDeadlineMs))
            ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        return status_;
    }

private:
    pid_t pid_ = -1;
    int stdout_ = -1;
    int status_ = -1;
};

class Terminal {
public:
    explicit Terminal(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK))
    {
        termios tio{};
        if (fd_ >= 0 && ::tcgetattr(fd_, &tio) == 0) {
            ::cfmakeraw(&tio);
            ::tcsetattr(fd_, TCSANOW, &tio);
        }
    }
    ~Terminal()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    bool Open() const { return fd_ >= 0; }
    std::vector<uint8_t> Exchange(const std::vector<uint8_t>& request, size_t answerSize)
    {
        if (::write(fd_, request.data(), request.size()) != static_cast<ssize_t>(request.size()))
            return {};
        return ReadFor(fd_, answerSize, kDeadlineMs);
    }

private:
    int fd_;
};

TEST(PtyEndToEnd, ServesBothFramingsOnOneLine)
{
    SimProcess sim({"--controller", "1:mem=RAM 5 11 22 33 44 55 66 77 88", "--controller",
                    "2:framing=ASCII:mem=RAM 5 AA", "--duration", "30"});
    ASSERT_TRUE(sim.Started());
    const std::string path = sim.ReadLine();
    ASSERT_EQ(path.rfind("/dev/", 0), 0u) << "printed: '" << path << "'";

    Terminal terminal(path);
    ASSERT_TRUE(terminal.Open()) << path;
    EXPECT_EQ(HexDump(terminal.Exchange(Bytes("01 D0 05 BD C3"), 11)), "01 11 22 33 44 55 66 77 88 E6 2B");
    EXPECT_EQ(terminal.Exchange(Text("$02D005\r"), 20), Text("!02AA00000000000000\r"));
    EXPECT_EQ(HexDump(terminal.Exchange(Bytes("01 E0 05 34 12 A8 CC"), 4)), "01 E0 01 A8");
    EXPECT_EQ(HexDump(terminal.Exchange(Bytes("01 D0 05 BD C3"), 11)), "01 34 12 33 44 55 66 77 88 14 0F");
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(PtyEndToEnd, LinkPointsAtTheTerminalWhileServing)
{
    char folder[] = "/tmp/tervex-sim-test-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string link = std::string(folder) + "/com1";
    {
        SimProcess sim({"--controller", "7", "--link", link, "--duration", "30"});
        ASSERT_TRUE(sim.Started());
        const std::string path = sim.ReadLine();
        char target[256] = {};
        ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(path, target);
        Terminal terminal(link);
        ASSERT_TRUE(terminal.Open());
        EXPECT_EQ(HexDump(terminal.Exchange(Bytes("07 D0 05 5D C2"), 11)), "07 00 00 00 00 00 00 00 00 2C C0");
        EXPECT_EQ(sim.Stop(), 0);
    }
    struct stat st {};
    EXPECT_NE(::lstat(link.c_str(), &st), 0) << "the link outlived the program";
    ::rmdir(folder);
}

TEST(PtyEndToEnd, ServesADevicePathWithLineSettings)
{
    // A terminal made here stands in for a serial device.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string device = ::ptsname(master);
    {
        SimProcess sim({"--device", device, "--baud", "19200", "--line", "8E1", "--controller",
                        "1:mem=RAM 5 11 22 33 44 55 66 77 88", "--duration", "30"});
        ASSERT_TRUE(sim.Started());
        EXPECT_EQ(sim.ReadLine(), device);
        const auto request = Bytes("01 D0 05 BD C3");
        ASSERT_EQ(::write(master, request.data(), request.size()), static_cast<ssize_t>(request.size()));
        EXPECT_EQ(HexDump(ReadFor(master, 11, kDeadlineMs)), "01 11 22 33 44 55 66 77 88 E6 2B");
        EXPECT_EQ(sim.Stop(), 0);
    }
    ::close(master);
}

TEST(PtyEndToEnd, BadConfigurationEndsWithCodeTwo)
{
    SimProcess sim({"--controller", "1:fault=explode every 2"});
    ASSERT_TRUE(sim.Started());
    EXPECT_EQ(sim.Wait(), 2);
}

}  // namespace
}  // namespace tervex::sim::test
