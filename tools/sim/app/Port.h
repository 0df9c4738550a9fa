#pragma once
// The byte pipe the simulator serves: a new pseudo-terminal or a serial device.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sim/app/Options.h"

namespace tervex::sim {

// Owns a file descriptor.
class Fd {
public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd();
    Fd(Fd&& other) noexcept : fd_(other.Release()) {}
    Fd& operator=(Fd&& other) noexcept;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    int Get() const { return fd_; }
    bool Valid() const { return fd_ >= 0; }
    int Release();

private:
    int fd_ = -1;
};

class Port {
public:
    // Creates a pseudo-terminal pair in raw mode; the program serves the master
    // side and keeps the terminal side open, so clients may come and go.
    // linkPath, if not empty, becomes a symbolic link to the terminal.
    static bool OpenPty(const std::string& linkPath, Port& port, std::string& error);
    // Opens a serial device in raw mode with the given settings.
    static bool OpenSerial(const std::string& path, const SerialSettings& settings, Port& port, std::string& error);

    Port() = default;
    ~Port();
    Port(const Port&) = delete;
    Port& operator=(const Port&) = delete;

    const std::string& Path() const { return path_; }
    int Handle() const { return io_.Get(); }

    // Waits up to timeoutMs for bytes; an empty result means none arrived.
    // false: the port failed.
    bool Read(int timeoutMs, std::vector<uint8_t>& out, std::string& error);
    bool WriteAll(const std::vector<uint8_t>& bytes, std::string& error);

private:
    Fd io_;
    Fd keepOpen_;  // pty: the terminal side
    std::string path_;
    std::string link_;
};

}  // namespace tervex::sim
