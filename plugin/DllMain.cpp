// The library entry and its single export.
#include <windows.h>

#include "plugin/Driver.h"
#include "plugin/Library.h"

extern "C" BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID /*reserved*/) {
    try {
        if (reason == DLL_PROCESS_ATTACH) {
            DisableThreadLibraryCalls(instance);
            tervex::LibraryInitialize(instance);
        } else if (reason == DLL_PROCESS_DETACH) {
            tervex::LibraryFinalize();
        }
    } catch (...) {
        return reason == DLL_PROCESS_ATTACH ? FALSE : TRUE;
    }
    return TRUE;
}

extern "C" void __stdcall GetOrnDriver2(IOrnDriver2** driver) {
    if (!driver) return;
    IOrnDriver2* previous = *driver;
    tervex::TComPortDriver* object = tervex::Driver();
    *driver = object ? object->DriverInterface() : nullptr;
    if (*driver) (*driver)->AddRef();
    if (previous) previous->Release();
}
