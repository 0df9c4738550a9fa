#include "tools/host/win/HostItem.h"

namespace tervex::host {

HRESULT __stdcall HostItem::AddElement(TItemAttributes, int32_t, int32_t, TItemProperties*, IOrnDriver2*,
                                       IUnknown** element) {
    if (element) *element = nullptr;
    Unexpected();
    return E_NOTIMPL;
}

HRESULT __stdcall HostItem::ModifyElement(TItemAttributes, TItemProperties*) {
    Unexpected();
    return E_NOTIMPL;
}

void __stdcall HostItem::ReadComplete(uint32_t handle, HRESULT result) {
    try {
        if (onComplete) onComplete(false, handle, result);
    } catch (...) {
    }
}

void __stdcall HostItem::WriteComplete(uint32_t handle, HRESULT result) {
    try {
        if (onComplete) onComplete(true, handle, result);
    } catch (...) {
    }
}

void __stdcall HostItem::ReportTransfer(int32_t answered, int32_t tries, uint8_t first) {
    try {
        if (onTransfer) onTransfer(answered, tries, first);
    } catch (...) {
    }
}

}  // namespace tervex::host
