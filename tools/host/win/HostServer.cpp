#include "tools/host/win/HostServer.h"

namespace tervex::host {

void __stdcall HostServer::StoreSetting(const ShortString* name, const ShortString* value) {
    if (!name || !value) return;
    stored.emplace_back(ShortStringToUtf8(*name), ShortStringToUtf8(*value));
}

void __stdcall HostServer::WriteLog(const ShortString* text, int32_t kind) {
    if (!text) return;
    try {
        if (onLog) onLog(ShortStringToUtf8(*text));
    } catch (...) {
        // Nothing may go back into the driver.
    }
}

void __stdcall HostServer::Idle() {
    ++idleCalls;
    try {
        if (onIdle) onIdle();
    } catch (...) {
    }
}

}  // namespace tervex::host
