#include "support/PageDriving.h"

#include <commctrl.h>

namespace testing_host {
namespace {

std::wstring ClassOf(HWND window) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    return name;
}

std::vector<HWND> Children(HWND page) {
    std::vector<HWND> children;
    for (HWND child = GetWindow(page, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        children.push_back(child);
    return children;
}

struct ToolSearch {
    HWND page;
    HWND tooltip;
};

BOOL CALLBACK FindTooltip(HWND window, LPARAM param) {
    auto* search = reinterpret_cast<ToolSearch*>(param);
    if (GetWindow(window, GW_OWNER) == search->page && _wcsicmp(ClassOf(window).c_str(), TOOLTIPS_CLASSW) == 0) {
        search->tooltip = window;
        return FALSE;
    }
    return TRUE;
}

}  // namespace

std::vector<HWND> TabStops(HWND page) {
    std::vector<HWND> stops;
    for (HWND child : Children(page))
        if (GetWindowLongPtrW(child, GWL_STYLE) & WS_TABSTOP) stops.push_back(child);
    return stops;
}

std::vector<HWND> Labels(HWND page) {
    std::vector<HWND> labels;
    for (HWND child : Children(page))
        if (_wcsicmp(ClassOf(child).c_str(), L"Static") == 0) labels.push_back(child);
    return labels;
}

HWND LabelWithText(HWND page, const std::wstring& text) {
    for (HWND label : Labels(page))
        if (Text(label) == text) return label;
    return nullptr;
}

std::wstring Text(HWND window) {
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    text.resize(static_cast<size_t>(GetWindowTextW(window, text.data(), length + 1)));
    return text;
}

RECT RectInParent(HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    MapWindowPoints(HWND_DESKTOP, GetParent(window), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

bool IsShown(HWND window) { return (GetWindowLongPtrW(window, GWL_STYLE) & WS_VISIBLE) != 0; }

void Type(HWND edit, const std::wstring& text) {
    for (wchar_t c : text) SendMessageW(edit, WM_CHAR, c, 1);
}

void Append(HWND edit, const std::wstring& text) {
    const int length = GetWindowTextLengthW(edit);
    SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(length), length);
    Type(edit, text);
}

void Retype(HWND edit, const std::wstring& text) {
    SendMessageW(edit, EM_SETSEL, 0, -1);
    if (text.empty()) {
        SendMessageW(edit, WM_CHAR, VK_BACK, 1);
        return;
    }
    Type(edit, text);
}

HWND ArrowsOf(HWND edit) {
    for (HWND child : Children(GetParent(edit))) {
        if (_wcsicmp(ClassOf(child).c_str(), UPDOWN_CLASSW) == 0 &&
            reinterpret_cast<HWND>(SendMessageW(child, UDM_GETBUDDY, 0, 0)) == edit)
            return child;
    }
    return nullptr;
}

void ClickArrows(HWND page, HWND arrows, int delta) {
    // What the arrow control asks its parent before it moves.
    NMUPDOWN change{};
    change.hdr.hwndFrom = arrows;
    change.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(arrows));
    change.hdr.code = UDN_DELTAPOS;
    change.iPos = static_cast<int>(SendMessageW(arrows, UDM_GETPOS32, 0, 0));
    change.iDelta = delta;
    SendMessageW(page, WM_NOTIFY, change.hdr.idFrom, reinterpret_cast<LPARAM>(&change));
}

std::vector<std::wstring> Entries(HWND list) {
    std::vector<std::wstring> entries;
    const LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
    for (LRESULT i = 0; i < count; ++i) {
        const LRESULT length = SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(i), 0);
        std::wstring entry(static_cast<size_t>(length) + 1, L'\0');
        SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(entry.data()));
        entry.resize(static_cast<size_t>(length));
        entries.push_back(entry);
    }
    return entries;
}

std::wstring Selected(HWND list) {
    const LRESULT index = SendMessageW(list, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR) return {};
    return Entries(list)[static_cast<size_t>(index)];
}

bool Choose(HWND list, const std::wstring& entry) {
    const std::vector<std::wstring> entries = Entries(list);
    for (size_t i = 0; i < entries.size(); ++i) {
        if (entries[i] != entry) continue;
        SendMessageW(list, CB_SETCURSEL, i, 0);
        SendMessageW(GetParent(list), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(list), CBN_SELCHANGE),
                     reinterpret_cast<LPARAM>(list));
        return true;
    }
    return false;
}

void Click(HWND button) { SendMessageW(button, BM_CLICK, 0, 0); }

bool Checked(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

std::wstring HintOf(HWND page, HWND control) {
    ToolSearch search{page, nullptr};
    EnumThreadWindows(GetCurrentThreadId(), FindTooltip, reinterpret_cast<LPARAM>(&search));
    if (!search.tooltip) return {};
    wchar_t text[256] = {};
    TTTOOLINFOW tool{};
    tool.cbSize = TTTOOLINFOW_V2_SIZE;
    tool.hwnd = page;
    tool.uId = reinterpret_cast<UINT_PTR>(control);
    tool.lpszText = text;
    SendMessageW(search.tooltip, TTM_GETTEXTW, 256, reinterpret_cast<LPARAM>(&tool));
    return text;
}

}  // namespace testing_host
