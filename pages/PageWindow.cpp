#include "pages/PageWindow.h"

#include <commctrl.h>

#include <string>

#include "pages/SpinField.h"
#include "win/WideText.h"

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

// The pages' font. The Cyrillic character set makes the font mapper pick a face that
// has the Russian letters whatever the system code page; where "MS Sans Serif" is
// missing the mapper substitutes the nearest sans-serif face.
HFONT CreatePageFont() {
    HFONT font = CreateFontW(-11, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, RUSSIAN_CHARSET, OUT_DEFAULT_PRECIS,
                             CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, L"MS Sans Serif");
    return font ? font : static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

SIZE TextExtent(HWND hwnd, HFONT font, const std::wstring& text) {
    SIZE size{0, 0};
    HDC dc = GetDC(hwnd);
    if (!dc) return size;
    HGDIOBJ previous = SelectObject(dc, font);
    GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size);
    SelectObject(dc, previous);
    ReleaseDC(hwnd, dc);
    return size;
}

}  // namespace

PageWindow::PageWindow(HINSTANCE instance, int width, int height)
    : instance_(instance), width_(width), height_(height) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_UPDOWN_CLASS | ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);
    RegisterPageClass(instance);
    // One font for the page's whole life, whichever window it lends itself to.
    font_ = CreatePageFont();
}

bool PageWindow::EnsureWindow() {
    if (hwnd_) return true;
    if (!CreateFrame()) return false;
    BuildControls();
    return hwnd_ != nullptr;
}

bool PageWindow::CreateFrame() {
    // Client size equals window size: no border, no caption.
    hwnd_ = CreateWindowExW(WS_EX_CONTROLPARENT, kClassName, L"", WS_POPUP | WS_CLIPCHILDREN, 0, 0, width_, height_,
                            nullptr, nullptr, instance_, nullptr);
    if (!hwnd_) return false;
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PageWindow::WindowProc));
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    tooltip_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                               CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, instance_,
                               nullptr);
    return true;
}

PageWindow::~PageWindow() {
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DefWindowProcW));
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        // A page that is still a child window does not take the tooltip it owns with it.
        if (tooltip_) DestroyWindow(tooltip_);
        DestroyWindow(hwnd_);
    }
    if (font_ && font_ != GetStockObject(DEFAULT_GUI_FONT)) DeleteObject(font_);
}

LRESULT PageWindow::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefaultHandling(message, wParam, lParam);
}

LRESULT PageWindow::DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK PageWindow::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<PageWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    try {
        if (message == WM_NOTIFY) {
            // A spin field's arrows step its own value; the arrow control never moves on its own.
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header && header->code == UDN_DELTAPOS) {
                if (SpinField* spin = SpinField::FromArrows(header->hwndFrom)) {
                    spin->Step(reinterpret_cast<const NMUPDOWN*>(lParam)->iDelta);
                    return 1;
                }
            }
        }
        if (message == WM_NCDESTROY) {
            // Destroyed from outside (with a host window that was closed without detaching
            // the page first): the page must not use, or later destroy, the old handles;
            // the next show builds the window again.
            self->hwnd_ = nullptr;
            // A page that dies as a child window does not take the tooltip it owns with it.
            if (self->tooltip_) DestroyWindow(self->tooltip_);
            self->tooltip_ = nullptr;
            SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
            self->WindowLost();
            return DefWindowProcW(hwnd, message, wParam, lParam);
        }
        return self->HandleMessage(message, wParam, lParam);
    } catch (...) {
        return 0;
    }
}

HWND PageWindow::CreateControl(DWORD exStyle, const wchar_t* className, std::string_view textUtf8, DWORD style,
                               int left, int top, int width, int height, int id) {
    const std::wstring text = Utf8ToWide(textUtf8);
    HWND control = CreateWindowExW(exStyle, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, left, top, width,
                                   height, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_,
                                   nullptr);
    if (control) SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    return control;
}

HWND PageWindow::AddLabel(std::string_view captionUtf8, int left, int top, bool rightAligned) {
    // Labels size themselves to their caption.
    const SIZE size = TextExtent(hwnd_, font_, Utf8ToWide(captionUtf8));
    return CreateControl(0, L"STATIC", captionUtf8, SS_NOPREFIX | (rightAligned ? SS_RIGHT : SS_LEFT), left, top,
                         size.cx, size.cy, -1);
}

void PageWindow::FitLabel(HWND label) {
    const int length = GetWindowTextLengthW(label);
    std::wstring caption(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    caption.resize(static_cast<size_t>(GetWindowTextW(label, caption.data(), length + 1)));
    const SIZE size = TextExtent(hwnd_, font_, caption);
    SetWindowPos(label, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

HWND PageWindow::AddEdit(int id, int left, int top, int width, int height, std::string_view textUtf8) {
    return CreateControl(WS_EX_CLIENTEDGE, L"EDIT", textUtf8, WS_TABSTOP | ES_AUTOHSCROLL, left, top, width, height,
                         id);
}

HWND PageWindow::AddDropDownList(int id, int left, int top, int width, int height) {
    // The window height of a combo box includes its dropped-down list.
    HWND combo = CreateControl(0, L"COMBOBOX", "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, left, top, width,
                               height + 150, id);
    if (!combo) return combo;
    // Make the closed box exactly as high as asked: its height follows the height of
    // its selection field, which the font decides unless it is set.
    for (int attempt = 0; attempt < 3; ++attempt) {
        RECT rect{};
        GetWindowRect(combo, &rect);
        const LONG difference = height - (rect.bottom - rect.top);
        const LRESULT fieldHeight = SendMessageW(combo, CB_GETITEMHEIGHT, static_cast<WPARAM>(-1), 0);
        if (difference == 0 || fieldHeight == CB_ERR || fieldHeight + difference <= 0) break;
        SendMessageW(combo, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), fieldHeight + difference);
    }
    return combo;
}

HWND PageWindow::AddCheckBox(int id, std::string_view captionUtf8, int left, int top, int width, int height) {
    return CreateControl(0, L"BUTTON", captionUtf8, WS_TABSTOP | BS_AUTOCHECKBOX, left, top, width, height, id);
}

std::unique_ptr<SpinField> PageWindow::AddSpinField(int id, int left, int top, int width, int height,
                                                    const SpinSettings& settings) {
    return std::make_unique<SpinField>(hwnd_, id, left, top, width, height, font_, settings);
}

void PageWindow::AddHint(HWND control, std::string_view hintUtf8) {
    if (!tooltip_ || !control) return;
    std::wstring hint = Utf8ToWide(hintUtf8);
    TTTOOLINFOW tool{};
    // The smallest form every version of the common controls accepts.
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = hint.data();
    SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
}

void PageWindow::Detach() {
    if (!hwnd_) return;
    ShowWindow(hwnd_, SW_HIDE);
    const LONG_PTR style = GetWindowLongPtrW(hwnd_, GWL_STYLE);
    SetWindowLongPtrW(hwnd_, GWL_STYLE, (style & ~static_cast<LONG_PTR>(WS_CHILD)) | WS_POPUP);
    SetParent(hwnd_, nullptr);
}

void PageWindow::NotifyHost(HWND host, UINT message) {
    if (host) SendMessageA(host, message, 0, 0);
}

}  // namespace tervex
