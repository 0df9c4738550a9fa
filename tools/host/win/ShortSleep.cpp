#include "tools/host/win/ShortSleep.h"

#include <windows.h>

namespace tervex::host {

namespace {

using DelayExecution = LONG(WINAPI*)(BOOLEAN alertable, const LARGE_INTEGER* interval);

FARPROC NtdllExport(const char* name) {
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return ntdll ? GetProcAddress(ntdll, name) : nullptr;
}

}  // namespace

void SleepMicroseconds(int64_t us) {
    // ntdll's own sleep takes 100 ns units, where Sleep takes milliseconds.
    static const auto delay = reinterpret_cast<DelayExecution>(reinterpret_cast<void*>(NtdllExport("NtDelayExecution")));
    if (us <= 0) {
        SwitchToThread();
    } else if (delay) {
        LARGE_INTEGER interval;
        interval.QuadPart = -10 * us;  // negative: relative to now
        delay(FALSE, &interval);
    } else {
        Sleep(static_cast<DWORD>((us + 999) / 1000));
    }
}

bool RunningUnderWine() {
    static const bool wine = NtdllExport("wine_get_version") != nullptr;
    return wine;
}

}  // namespace tervex::host
