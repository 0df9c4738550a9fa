#include "support/MessageBoxWatcher.h"

namespace testing_host {
namespace {

std::vector<ObservedBox> g_boxes;

std::wstring WindowText(HWND hwnd) {
    wchar_t buffer[1024] = {};
    GetWindowTextW(hwnd, buffer, 1024);
    return buffer;
}

// Runs inside the box's own modal loop, after its texts are filled in.
void CALLBACK CloseBox(HWND box, UINT, UINT_PTR timer, DWORD) {
    KillTimer(box, timer);
    g_boxes.push_back({WindowText(box), WindowText(GetDlgItem(box, 0xFFFF))});
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

LRESULT CALLBACK CbtHook(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HCBT_ACTIVATE) {
        const HWND hwnd = reinterpret_cast<HWND>(wParam);
        wchar_t cls[16] = {};
        GetClassNameW(hwnd, cls, 16);
        if (std::wstring(cls) == L"#32770") SetTimer(hwnd, 0x7E57, 10, CloseBox);
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

}  // namespace

MessageBoxWatcher::MessageBoxWatcher() {
    g_boxes.clear();
    hook_ = SetWindowsHookExW(WH_CBT, CbtHook, nullptr, GetCurrentThreadId());
}

MessageBoxWatcher::~MessageBoxWatcher() {
    if (hook_) UnhookWindowsHookEx(hook_);
}

const std::vector<ObservedBox>& MessageBoxWatcher::Boxes() const { return g_boxes; }
void MessageBoxWatcher::Clear() { g_boxes.clear(); }

std::wstring Wide(const char* utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring out(static_cast<size_t>(n > 0 ? n - 1 : 0), L'\0');
    if (n > 1) MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out.data(), n);
    return out;
}

}  // namespace testing_host
