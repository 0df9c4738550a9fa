#include "pages/PageWindow.h"

namespace tervex {
namespace {

const wchar_t kClassName[] = L"TervexPage";

void RegisterPageClass(HINSTANCE instance) {
    WNDCLASSW wc{};
    if (GetClassInfoW(instance, kClassName, &wc)) return;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = instance;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    RegisterClassW(&wc);
}

}  // namespace

PageWindow::PageWindow(HINSTANCE instance, int width, int height) : width_(width), height_(height) {
    RegisterPageClass(instance);
    hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, L"", WS_POPUP | WS_CLIPCHILDREN, 0, 0, width, height,
                            nullptr, nullptr, instance, nullptr);
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PageWindow::WindowProc));
    }
}

PageWindow::~PageWindow() {
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcW));
        DestroyWindow(hwnd_);
    }
}

LRESULT PageWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK PageWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<PageWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    try {
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

}  // namespace tervex
