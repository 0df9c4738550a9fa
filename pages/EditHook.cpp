#include "pages/EditHook.h"

namespace tervex {
namespace {

// Others (the arrows of a spin field) may hook the same box later, so the hook is
// never taken out of the chain: once its owner is gone it only passes messages on.
const wchar_t kOwnerProp[] = L"TervexEditHook";
const wchar_t kOriginalProp[] = L"TervexEditProc";

}  // namespace

EditHook::~EditHook() {
    if (edit_ && IsWindow(edit_)) RemovePropW(edit_, kOwnerProp);
}

void EditHook::Hook(HWND edit) {
    if (!edit || edit_) return;
    edit_ = edit;
    SetPropW(edit, kOwnerProp, this);
    const LONG_PTR original = SetWindowLongPtrW(edit, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&EditHook::Proc));
    SetPropW(edit, kOriginalProp, reinterpret_cast<HANDLE>(original));
}

LRESULT EditHook::CallEdit(UINT message, WPARAM wParam, LPARAM lParam) {
    auto original = reinterpret_cast<WNDPROC>(GetPropW(edit_, kOriginalProp));
    return original ? CallWindowProcW(original, edit_, message, wParam, lParam)
                    : DefWindowProcW(edit_, message, wParam, lParam);
}

LRESULT CALLBACK EditHook::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto original = reinterpret_cast<WNDPROC>(GetPropW(hwnd, kOriginalProp));
    auto* owner = static_cast<EditHook*>(GetPropW(hwnd, kOwnerProp));
    if (message == WM_NCDESTROY) {
        RemovePropW(hwnd, kOwnerProp);
        RemovePropW(hwnd, kOriginalProp);
        if (owner) owner->edit_ = nullptr;
        owner = nullptr;
    }
    if (owner) {
        try {
            LRESULT result = 0;
            if (owner->OnEditMessage(message, wParam, lParam, result)) return result;
        } catch (...) {
            return 0;
        }
    }
    return original ? CallWindowProcW(original, hwnd, message, wParam, lParam)
                    : DefWindowProcW(hwnd, message, wParam, lParam);
}

bool PeriodFilter::OnEditMessage(UINT message, WPARAM wParam, LPARAM, LRESULT& result) {
    result = 0;
    return message == WM_CHAR && wParam == L'.';
}

}  // namespace tervex
