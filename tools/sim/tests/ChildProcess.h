#pragma once
// The simulator's programs as child processes and the terminals they serve,
// for the tests that run them. Every wait has a deadline, so a broken program
// fails the test instead of hanging it.
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

namespace tervex::sim::test {

constexpr int kDeadlineMs = 5000;

inline int64_t MonotonicMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Reads from fd until `want` bytes came, the stream ended or the deadline passed.
inline std::vector<uint8_t> ReadFor(int fd, size_t want, int timeoutMs, bool stopAtNewline = false)
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

inline bool ReachesEndOfFile(int fd, int timeoutMs)
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

// The simulator (or another of its programs) as a child process, stopped and reaped by the destructor.
class SimProcess {
public:
    explicit SimProcess(std::vector<std::string> args, std::string exe = TERVEX_SIM_EXE)
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
    bool Write(const std::vector<uint8_t>& bytes)
    {
        return ::write(fd_, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
    }
    std::vector<uint8_t> Read(size_t count) { return ReadFor(fd_, count, kDeadlineMs); }
    std::vector<uint8_t> Exchange(const std::vector<uint8_t>& request, size_t answerSize)
    {
        if (!Write(request))
            return {};
        return Read(answerSize);
    }

private:
    int fd_;
};

}  // namespace tervex::sim::test
