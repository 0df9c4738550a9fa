#include "support/HostWindow.h"

namespace testing_host {
namespace {

const wchar_t kClass[] = L"TestHostWindow";

}  // namespace

HostWindow::HostWindow(int width, int height, bool visible) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    if (!GetClassInfoW(instance, kClass, &wc)) {
        wc.lpfnWndProc = &HostWindow::Proc;
        wc.hInstance = instance;
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kClass;
        RegisterClassW(&wc);
    }
    // A plain pop-up: no window manager has to take part in showing or closing it.
    hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kClass, L"Host", WS_POPUP | WS_BORDER, 40, 40, width, height,
                            nullptr, nullptr, instance, this);
    if (hwnd_ && visible) {
        ShowWindow(hwnd_, SW_SHOW);
        UpdateWindow(hwnd_);
    }
}

HostWindow::~HostWindow() {
    if (hwnd_) {
        // A host lets its pages go before it closes, or they would be destroyed with it.
        for (HWND child = GetWindow(hwnd_, GW_CHILD); child;) {
            HWND next = GetWindow(child, GW_HWNDNEXT);
            SendMessageW(child, WM_USER + 304, 0, 0);
            child = next;
        }
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

void HostWindow::CloseWithoutDetaching() {
    if (!hwnd_) return;
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
    hwnd_ = nullptr;
}

std::vector<UINT> HostWindow::Messages() const {
    std::vector<UINT> messages;
    for (const Notification& n : received_) messages.push_back(n.message);
    return messages;
}

LRESULT CALLBACK HostWindow::Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* self = reinterpret_cast<HostWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (self && message >= WM_USER + 300 && message < WM_USER + 400) {
        self->received_.push_back({message, wParam, lParam});
        return 0;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace testing_host
