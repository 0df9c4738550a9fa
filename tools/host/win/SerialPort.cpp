// A real serial port through the Win32 serial API. Reads never wait; writes
// are bounded by a time-out so that a stuck line cannot stop the host.
#include <windows.h>

#include <algorithm>

#include "tools/host/win/LinePort.h"
#include "tools/host/win/PolledSerialPort.h"
#include "tools/host/win/ShortSleep.h"
#include "tools/host/win/SystemText.h"

namespace tervex::host {

namespace {

const char* ParityLetter(Parity parity) {
    switch (parity) {
        case Parity::None: return "N";
        case Parity::Even: return "E";
        case Parity::Odd: return "O";
        case Parity::Mark: return "M";
        case Parity::Space: return "S";
    }
    return "?";
}

const char* StopBitsText(StopBits stop) {
    switch (stop) {
        case StopBits::One: return "1";
        case StopBits::OneAndHalf: return "1.5";
        case StopBits::Two: return "2";
    }
    return "?";
}

BYTE DcbParity(Parity parity) {
    switch (parity) {
        case Parity::None: return NOPARITY;
        case Parity::Even: return EVENPARITY;
        case Parity::Odd: return ODDPARITY;
        case Parity::Mark: return MARKPARITY;
        case Parity::Space: return SPACEPARITY;
    }
    return NOPARITY;
}

BYTE DcbStopBits(StopBits stop) {
    switch (stop) {
        case StopBits::One: return ONESTOPBIT;
        case StopBits::OneAndHalf: return ONE5STOPBITS;
        case StopBits::Two: return TWOSTOPBITS;
    }
    return ONESTOPBIT;
}

std::string LastError(const std::string& what) { return what + " failed (" + WindowsErrorText(GetLastError()) + ")"; }

// An event handle, closed with its owner.
class Event {
public:
    Event() : handle_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~Event() {
        if (handle_) CloseHandle(handle_);
    }
    Event(const Event&) = delete;
    Event& operator=(const Event&) = delete;
    HANDLE Get() const { return handle_; }

private:
    HANDLE handle_;
};

// The port is opened for overlapped use: while the host waits, one read of a
// single byte is pending, so its event is set the moment a byte arrives and
// the host can wait on all its ports at once instead of looking at them on a
// timer.
class EventSerialPort final : public LinePort {
public:
    EventSerialPort(HANDLE handle, std::string description) : handle_(handle), description_(std::move(description)) {
        readOv_.hEvent = readEvent_.Get();
        writeOv_.hEvent = writeEvent_.Get();
        std::vector<uint8_t> stale;  // from before the port was opened
        Arm(stale);
    }
    ~EventSerialPort() override {
        if (pending_) {
            CancelIo(handle_);
            DWORD got = 0;
            GetOverlappedResult(handle_, &readOv_, &got, TRUE);
        }
        CloseHandle(handle_);
    }
    EventSerialPort(const EventSerialPort&) = delete;
    EventSerialPort& operator=(const EventSerialPort&) = delete;

    bool Write(const uint8_t* data, size_t count) override {
        DWORD written = 0;
        if (!WriteFile(handle_, data, static_cast<DWORD>(count), nullptr, &writeOv_) && GetLastError() != ERROR_IO_PENDING)
            return false;
        return GetOverlappedResult(handle_, &writeOv_, &written, TRUE) && written == count;
    }

    void Read(std::vector<uint8_t>& out) override {
        const bool handed = !ready_.empty();
        out.insert(out.end(), ready_.begin(), ready_.end());
        ready_.clear();
        if (pending_) {
            // Wake again only for bytes still to come.
            if (handed) ResetEvent(readEvent_.Get());
            DWORD got = 0;
            if (!GetOverlappedResult(handle_, &readOv_, &got, FALSE) && GetLastError() == ERROR_IO_INCOMPLETE)
                return;  // nothing yet
            pending_ = false;
            if (got == 1) out.push_back(first_);
            // The next read starts in PrepareWait, once these bytes have gone
            // to the driver and its next frame is out: that is the busy moment.
            return;
        }
        Refill(out);
    }

    void PrepareWait() override {
        if (pending_) return;
        Refill(ready_);
        if (!ready_.empty()) SetEvent(readEvent_.Get());
    }

    void* WaitHandle() const override { return readEvent_.Get(); }

    std::string Describe() const override { return description_; }

private:
    // Reads what the port holds; the count comes from the overlapped result,
    // which is right whether the read finished at once or later.
    DWORD ReadNow(uint8_t* buffer, DWORD count) {
        DWORD got = 0;
        if (!ReadFile(handle_, buffer, count, nullptr, &readOv_) && GetLastError() != ERROR_IO_PENDING) return 0;
        if (!GetOverlappedResult(handle_, &readOv_, &got, TRUE)) return 0;
        return got;
    }

    // What the port holds, then the one-byte read.
    void Refill(std::vector<uint8_t>& out) {
        DWORD errors = 0;
        COMSTAT status{};
        uint8_t buffer[256];
        while (ClearCommError(handle_, &errors, &status) && status.cbInQue > 0) {
            const DWORD want = std::min<DWORD>(status.cbInQue, sizeof(buffer));
            const DWORD got = ReadNow(buffer, want);
            out.insert(out.end(), buffer, buffer + got);
            if (got < want) break;
        }
        Arm(out);
    }

    // Starts the one-byte read that wakes the host. Bytes that came meanwhile
    // complete it at once: they go to out, until the read has to wait.
    void Arm(std::vector<uint8_t>& out) {
        for (int i = 0; i < 64; ++i) {
            if (!ReadFile(handle_, &first_, 1, nullptr, &readOv_)) {
                pending_ = GetLastError() == ERROR_IO_PENDING;
                return;
            }
            DWORD got = 0;
            if (!GetOverlappedResult(handle_, &readOv_, &got, FALSE) || got != 1) return;
            out.push_back(first_);
        }
    }

    HANDLE handle_;
    std::string description_;
    Event readEvent_;
    Event writeEvent_;
    OVERLAPPED readOv_{};
    OVERLAPPED writeOv_{};
    uint8_t first_ = 0;
    bool pending_ = false;        // the one-byte read waits
    std::vector<uint8_t> ready_;  // taken in PrepareWait, handed out by the next Read
};

bool PollsUnder(SerialWait wait) { return wait == SerialWait::Poll || (wait == SerialWait::Auto && RunningUnderWine()); }

}  // namespace

std::unique_ptr<LinePort> OpenSerialPort(const PortConfig& config, std::string& error) {
    const std::wstring path = L"\\\\.\\COM" + std::to_wstring(config.number);
    const bool polled = PollsUnder(config.wait);
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                polled ? 0 : FILE_FLAG_OVERLAPPED, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        error = "opening COM" + std::to_string(config.number) + " failed (" + WindowsErrorText(code) + ")";
        // A mistyped or unplugged port: say which ones there are.
        if (code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND) error += "; " + SerialPortsText();
        return nullptr;
    }
    auto fail = [&](const char* what) {
        error = LastError(what);
        CloseHandle(handle);
        return nullptr;
    };
    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (!GetCommState(handle, &dcb)) return fail("GetCommState");
    dcb.BaudRate = static_cast<DWORD>(config.baud);
    dcb.ByteSize = static_cast<BYTE>(config.dataBits);
    dcb.Parity = DcbParity(config.parity);
    dcb.StopBits = DcbStopBits(config.stopBits);
    dcb.fBinary = TRUE;
    dcb.fParity = config.parity != Parity::None;
    dcb.fOutxCtsFlow = FALSE;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = DTR_CONTROL_ENABLE;
    dcb.fRtsControl = RTS_CONTROL_ENABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fOutX = FALSE;
    dcb.fInX = FALSE;
    dcb.fNull = FALSE;
    dcb.fAbortOnError = FALSE;
    if (!SetCommState(handle, &dcb)) return fail("SetCommState");
    // Reads wait for as many bytes as they ask for (the port asks for what is
    // there, or for one byte to wake it), or, polled, never wait at all; a
    // write may take its bytes' time plus a second.
    COMMTIMEOUTS timeouts{};
    if (polled) timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.WriteTotalTimeoutMultiplier = 20000 / static_cast<DWORD>(config.baud) + 1;
    timeouts.WriteTotalTimeoutConstant = 1000;
    if (!SetCommTimeouts(handle, &timeouts)) return fail("SetCommTimeouts");
    PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
    const std::string description = "serial " + std::to_string(config.baud) + " " + std::to_string(config.dataBits) +
                                    ParityLetter(config.parity) + StopBitsText(config.stopBits);
    if (polled) return MakePolledSerialPort(handle, description, config);
    return std::make_unique<EventSerialPort>(handle, description);
}

}  // namespace tervex::host
