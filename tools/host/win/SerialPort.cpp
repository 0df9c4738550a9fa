// A real serial port through the Win32 serial API. Reads never wait; writes
// are bounded by a time-out so that a stuck line cannot stop the host.
#include <windows.h>

#include "tools/host/win/LinePort.h"

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

std::string LastError(const std::string& what) { return what + " failed (Windows error " + std::to_string(GetLastError()) + ")"; }

class SerialPort final : public LinePort {
public:
    SerialPort(HANDLE handle, std::string description) : handle_(handle), description_(std::move(description)) {}
    ~SerialPort() override { CloseHandle(handle_); }
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    bool Write(const uint8_t* data, size_t count) override {
        DWORD written = 0;
        return WriteFile(handle_, data, static_cast<DWORD>(count), &written, nullptr) && written == count;
    }

    void Read(std::vector<uint8_t>& out) override {
        uint8_t buffer[256];
        for (int i = 0; i < 16; ++i) {
            DWORD got = 0;
            if (!ReadFile(handle_, buffer, sizeof(buffer), &got, nullptr) || got == 0) return;
            out.insert(out.end(), buffer, buffer + got);
        }
    }

    std::string Describe() const override { return description_; }

private:
    HANDLE handle_;
    std::string description_;
};

}  // namespace

std::unique_ptr<LinePort> OpenSerialPort(const PortConfig& config, std::string& error) {
    const std::wstring path = L"\\\\.\\COM" + std::to_wstring(config.number);
    HANDLE handle = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        error = LastError("opening COM" + std::to_string(config.number));
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
    // Reads answer at once with what is there; a write may take its bytes' time plus a second.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = MAXDWORD;
    timeouts.WriteTotalTimeoutMultiplier = 20000 / static_cast<DWORD>(config.baud) + 1;
    timeouts.WriteTotalTimeoutConstant = 1000;
    if (!SetCommTimeouts(handle, &timeouts)) return fail("SetCommTimeouts");
    PurgeComm(handle, PURGE_RXCLEAR | PURGE_TXCLEAR);
    const std::string description = "serial " + std::to_string(config.baud) + " " + std::to_string(config.dataBits) +
                                    ParityLetter(config.parity) + StopBitsText(config.stopBits);
    return std::make_unique<SerialPort>(handle, description);
}

}  // namespace tervex::host
