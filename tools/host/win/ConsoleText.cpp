#include "tools/host/win/ConsoleText.h"

#include <windows.h>

#include <cstdio>

#include "win/WideText.h"

namespace tervex::host {

namespace {

void Write(DWORD which, FILE* stream, const std::string& utf8) {
    HANDLE handle = GetStdHandle(which);
    DWORD mode = 0;
    if (handle != INVALID_HANDLE_VALUE && handle != nullptr && GetConsoleMode(handle, &mode)) {
        std::fflush(stream);
        const std::wstring wide = Utf8ToWide(utf8);
        DWORD written = 0;
        WriteConsoleW(handle, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    std::fwrite(utf8.data(), 1, utf8.size(), stream);
    std::fflush(stream);
}

}  // namespace

void WriteOut(const std::string& utf8) { Write(STD_OUTPUT_HANDLE, stdout, utf8); }
void WriteErr(const std::string& utf8) { Write(STD_ERROR_HANDLE, stderr, utf8); }

}  // namespace tervex::host
