#include "pages/Controls.h"

#include <vector>

#include "win/WideText.h"

namespace tervex {
namespace {

std::wstring ListEntry(HWND list, int index) {
    const LRESULT length = SendMessageW(list, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
    if (length == CB_ERR || length <= 0) return {};
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    SendMessageW(list, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
    return std::wstring(buffer.data());
}

}  // namespace

std::string ControlText(HWND control) {
    const int length = GetWindowTextLengthW(control);
    if (length <= 0) return {};
    std::vector<wchar_t> buffer(static_cast<size_t>(length) + 1, L'\0');
    const int copied = GetWindowTextW(control, buffer.data(), length + 1);
    return WideToUtf8(std::wstring_view(buffer.data(), static_cast<size_t>(copied > 0 ? copied : 0)));
}

void SetControlText(HWND control, std::string_view textUtf8) {
    if (ControlText(control) == textUtf8) return;
    SetWindowTextW(control, Utf8ToWide(textUtf8).c_str());
}

void ListAdd(HWND list, std::string_view textUtf8) {
    SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Utf8ToWide(textUtf8).c_str()));
}

int ListFind(HWND list, std::string_view textUtf8) {
    // CB_FINDSTRINGEXACT ignores case; the pages compare case-sensitively.
    const std::wstring wanted = Utf8ToWide(textUtf8);
    const LRESULT count = SendMessageW(list, CB_GETCOUNT, 0, 0);
    for (int i = 0; i < count; ++i) {
        if (ListEntry(list, i) == wanted) return i;
    }
    return -1;
}

void ListRemove(HWND list, int index) {
    SendMessageW(list, CB_DELETESTRING, static_cast<WPARAM>(index), 0);
}

void ListClear(HWND list) { SendMessageW(list, CB_RESETCONTENT, 0, 0); }

int ListSelection(HWND list) {
    const LRESULT index = SendMessageW(list, CB_GETCURSEL, 0, 0);
    return index == CB_ERR ? -1 : static_cast<int>(index);
}

void ListSelect(HWND list, int index) { SendMessageW(list, CB_SETCURSEL, static_cast<WPARAM>(index), 0); }

void ListSelectText(HWND list, std::string_view textUtf8) { ListSelect(list, ListFind(list, textUtf8)); }

std::string ListSelectedText(HWND list) {
    const int index = ListSelection(list);
    return index < 0 ? std::string() : WideToUtf8(ListEntry(list, index));
}

bool IsChecked(HWND box) { return SendMessageW(box, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void SetChecked(HWND box, bool checked) {
    SendMessageW(box, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace tervex
