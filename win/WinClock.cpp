#include "win/WinClock.h"

#include <windows.h>

#include "values/win/DateTime.h"

namespace tervex {

double WinClock::LocalNow() { return LocalNowAsOleDate(); }

uint64_t WinClock::MonotonicMs() { return GetTickCount64(); }

void WinClock::SleepMs(uint32_t ms) { Sleep(ms); }

bool WinClock::Terminated() {
    // Only looked at: WM_QUIT stays in the queue for the host's own loop.
    MSG message;
    return PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
}

}  // namespace tervex
