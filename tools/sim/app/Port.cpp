#include "sim/app/Port.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

namespace tervex::sim {

namespace {

std::string Errno(const std::string& what)
{
    return what + ": " + std::strerror(errno);
}

bool SpeedOf(int baud, speed_t& speed)
{
    static const struct {
        int baud;
        speed_t speed;
    } kSpeeds[] = {{1200, B1200},     {2400, B2400},     {4800, B4800},     {9600, B9600},
                   {19200, B19200},   {38400, B38400},   {57600, B57600},   {115200, B115200},
                   {230400, B230400}, {460800, B460800}, {921600, B921600}};
    for (const auto& s : kSpeeds) {
        if (s.baud == baud) {
            speed = s.speed;
            return true;
        }
    }
    return false;
}

}  // namespace

Fd::~Fd()
{
    if (fd_ >= 0)
        ::close(fd_);
}

Fd& Fd::operator=(Fd&& other) noexcept
{
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.Release();
    }
    return *this;
}

int Fd::Release()
{
    const int fd = fd_;
    fd_ = -1;
    return fd;
}

Port::~Port()
{
    if (!link_.empty())
        ::unlink(link_.c_str());
}

bool Port::OpenPty(const std::string& linkPath, Port& port, std::string& error)
{
    Fd master(::posix_openpt(O_RDWR | O_NOCTTY));
    if (!master.Valid() || ::grantpt(master.Get()) != 0 || ::unlockpt(master.Get()) != 0) {
        error = Errno("cannot create a pseudo-terminal");
        return false;
    }
    const char* name = ::ptsname(master.Get());
    if (!name) {
        error = Errno("ptsname");
        return false;
    }
    std::string path = name;
    Fd slave(::open(path.c_str(), O_RDWR | O_NOCTTY));
    if (!slave.Valid()) {
        error = Errno("cannot open " + path);
        return false;
    }
    // Raw on the terminal side: no echo, no CR/LF translation, bytes as they are.
    termios tio{};
    if (::tcgetattr(slave.Get(), &tio) != 0) {
        error = Errno("tcgetattr " + path);
        return false;
    }
    ::cfmakeraw(&tio);
    if (::tcsetattr(slave.Get(), TCSANOW, &tio) != 0) {
        error = Errno("tcsetattr " + path);
        return false;
    }
    ::fcntl(master.Get(), F_SETFL, ::fcntl(master.Get(), F_GETFL) | O_NONBLOCK);

    if (!linkPath.empty()) {
        struct stat st {};
        if (::lstat(linkPath.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                error = linkPath + " exists and is not a symbolic link";
                return false;
            }
            ::unlink(linkPath.c_str());
        }
        if (::symlink(path.c_str(), linkPath.c_str()) != 0) {
            error = Errno("cannot link " + linkPath);
            return false;
        }
        port.link_ = linkPath;
    }
    port.io_ = std::move(master);
    port.keepOpen_ = std::move(slave);
    port.path_ = path;
    return true;
}

bool Port::OpenSerial(const std::string& path, const SerialSettings& settings, Port& port, std::string& error)
{
    speed_t speed;
    if (!SpeedOf(settings.baud, speed)) {
        error = "unsupported baud rate " + std::to_string(settings.baud);
        return false;
    }
    Fd fd(::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK));
    if (!fd.Valid()) {
        error = Errno("cannot open " + path);
        return false;
    }
    termios tio{};
    if (::tcgetattr(fd.Get(), &tio) != 0) {
        error = Errno("tcgetattr " + path);
        return false;
    }
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
    tio.c_cflag |= CLOCAL | CREAD | (settings.dataBits == 7 ? CS7 : CS8);
    if (settings.parity != 'N')
        tio.c_cflag |= PARENB | (settings.parity == 'O' ? PARODD : 0);
    if (settings.stopBits == 2)
        tio.c_cflag |= CSTOPB;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    if (::tcsetattr(fd.Get(), TCSANOW, &tio) != 0) {
        error = Errno("tcsetattr " + path);
        return false;
    }
    ::tcflush(fd.Get(), TCIOFLUSH);
    port.io_ = std::move(fd);
    port.path_ = path;
    return true;
}

bool Port::Read(int timeoutMs, std::vector<uint8_t>& out, std::string& error)
{
    out.clear();
    pollfd p{io_.Get(), POLLIN, 0};
    const int ready = ::poll(&p, 1, timeoutMs);
    if (ready < 0) {
        if (errno == EINTR)
            return true;
        error = Errno("poll");
        return false;
    }
    if (ready == 0 || !(p.revents & (POLLIN | POLLHUP | POLLERR)))
        return true;
    uint8_t buffer[512];
    const ssize_t n = ::read(io_.Get(), buffer, sizeof buffer);
    if (n < 0) {
        if (errno == EAGAIN || errno == EINTR)
            return true;
        error = Errno("read " + path_);
        return false;
    }
    if (n == 0 && (p.revents & POLLHUP)) {
        error = path_ + " hung up";
        return false;
    }
    out.assign(buffer, buffer + n);
    return true;
}

bool Port::WriteAll(const std::vector<uint8_t>& bytes, std::string& error)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(io_.Get(), bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<size_t>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            error = Errno("write " + path_);
            return false;
        }
        pollfd p{io_.Get(), POLLOUT, 0};
        if (::poll(&p, 1, 1000) == 0) {
            error = "write " + path_ + ": the line does not take bytes";
            return false;
        }
    }
    return true;
}

}  // namespace tervex::sim
