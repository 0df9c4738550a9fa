#include "tools/host/win/StopFlag.h"

#include <windows.h>

#include <atomic>

namespace tervex::host {

namespace {

std::atomic<bool> g_stop{false};

BOOL WINAPI OnConsoleEvent(DWORD) {
    g_stop = true;
    return TRUE;
}

}  // namespace

void InstallStopHandler() { SetConsoleCtrlHandler(OnConsoleEvent, TRUE); }

bool StopRequested() { return g_stop; }

}  // namespace tervex::host
