#include "pages/SpinField.h"

#include <commctrl.h>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cctype>

#include "pages/Controls.h"
#include "win/WideText.h"

namespace tervex {
namespace {

const wchar_t kSpinProp[] = L"TervexSpinField";

// Decimal fractions are shown with the user's decimal separator; both '.' and ',' are read.
char DecimalSeparator() {
    wchar_t buffer[4] = {};
    if (GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL, buffer, 4) == 2 && (buffer[0] == L',' || buffer[0] == L'.'))
        return static_cast<char>(buffer[0]);
    return '.';
}

double Scale(int decimals) { return std::pow(10.0, decimals); }

std::string Trimmed(std::string text) {
    const auto blank = [](char c) { return c == ' ' || c == '\t'; };
    while (!text.empty() && blank(text.back())) text.pop_back();
    size_t first = 0;
    while (first < text.size() && blank(text[first])) ++first;
    return text.substr(first);
}

}  // namespace

SpinField::SpinField(HWND page, int id, int left, int top, int width, int height, HFONT font,
                     const SpinSettings& settings)
    : settings_(settings) {
    HINSTANCE instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(page, GWLP_HINSTANCE));
    HWND edit = CreateWindowExW(WS_EX_CLIENTEDGE, L"EDIT", L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | ES_AUTOHSCROLL,
                                left, top, width, height, page, reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                instance, nullptr);
    if (!edit) return;
    SendMessageW(edit, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    Hook(edit);
    SetValue(settings_.initial);
    // The arrows sit inside the given rectangle, at the right of the edit box.
    arrows_ = CreateWindowExW(0, UPDOWN_CLASSW, nullptr,
                              WS_CHILD | WS_VISIBLE | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_NOTHOUSANDS, 0, 0, 0, 0,
                              page, nullptr, instance, nullptr);
    if (!arrows_) return;
    SetPropW(arrows_, kSpinProp, this);
    // The arrows' own position never moves (every step is refused and done here), so
    // it never reaches an end of its range.
    SendMessageW(arrows_, UDM_SETRANGE32, 0, 100);
    SendMessageW(arrows_, UDM_SETPOS32, 0, 50);
    SendMessageW(arrows_, UDM_SETBUDDY, reinterpret_cast<WPARAM>(edit), 0);
    // Attaching narrows the edit box to make room; place both so that together they
    // fill the rectangle exactly.
    RECT arrows{};
    GetWindowRect(arrows_, &arrows);
    const int arrowsWidth = arrows.right - arrows.left;
    if (arrowsWidth > 0 && arrowsWidth < width) {
        SetWindowPos(edit, nullptr, left, top, width - arrowsWidth, height, SWP_NOZORDER | SWP_NOACTIVATE);
        SetWindowPos(arrows_, nullptr, left + width - arrowsWidth, top, arrowsWidth, height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

SpinField::~SpinField() {
    // Only while the arrows are still ours: a destroyed window's handle may come back
    // as another window's.
    if (FromArrows(arrows_) == this) RemovePropW(arrows_, kSpinProp);
}

SpinField* SpinField::FromArrows(HWND arrows) {
    return arrows ? static_cast<SpinField*>(GetPropW(arrows, kSpinProp)) : nullptr;
}

bool SpinField::Read(double& value) const {
    std::string text = Trimmed(ControlText(Edit()));
    if (text.empty()) return false;
    const char* first = text.data();
    const char* last = text.data() + text.size();
    if (settings_.kind == SpinKind::Decimal) {
        std::replace(text.begin(), text.end(), ',', '.');
        double number = 0;
        const auto [end, error] = std::from_chars(first, last, number, std::chars_format::fixed);
        if (error != std::errc() || end != last || !std::isfinite(number)) return false;
        value = number;
        return true;
    }
    long long number = 0;
    const int base = settings_.kind == SpinKind::Hexadecimal ? 16 : 10;
    const auto [end, error] = std::from_chars(first, last, number, base);
    if (error != std::errc() || end != last) return false;
    value = static_cast<double>(number);
    return true;
}

double SpinField::Limit(double value) const {
    const double scale = Scale(settings_.kind == SpinKind::Decimal ? settings_.decimals : 0);
    value = std::round(value * scale) / scale;
    return std::clamp(value, settings_.minValue, settings_.maxValue);
}

double SpinField::Value() const {
    double value = 0;
    return Read(value) ? Limit(value) : settings_.minValue;
}

std::string SpinField::Format(double value) const {
    char buffer[32] = {};
    switch (settings_.kind) {
    case SpinKind::Integer:
        return std::string(buffer, std::to_chars(buffer, buffer + sizeof(buffer), std::llround(value)).ptr);
    case SpinKind::Hexadecimal: {
        std::string text(buffer, std::to_chars(buffer, buffer + sizeof(buffer), std::llround(value), 16).ptr);
        for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return text;
    }
    case SpinKind::Decimal:
        break;
    }
    const int decimals = settings_.decimals;
    const long long unit = std::llround(Scale(decimals));
    const long long scaled = std::llround(std::fabs(value) * Scale(decimals));
    std::string text = (value < 0 && scaled != 0 ? "-" : "") + std::to_string(scaled / unit);
    if (decimals > 0) {
        const std::string fraction = std::to_string(scaled % unit);
        text += DecimalSeparator();
        text += std::string(static_cast<size_t>(decimals) - fraction.size(), '0') + fraction;
    }
    return text;
}

void SpinField::SetValue(double value) {
    if (!std::isfinite(value)) value = settings_.minValue;
    SetControlText(Edit(), Format(Limit(value)));
}

void SpinField::SetLimits(double minValue, double maxValue) {
    settings_.minValue = minValue;
    settings_.maxValue = maxValue;
    double value = 0;
    if (Read(value) && (value < minValue || value > maxValue)) SetValue(value);
}

void SpinField::Step(int delta) {
    SetValue(Value() + delta * settings_.step);
}

void SpinField::SetVisible(bool visible) {
    ShowWindow(Edit(), visible ? SW_SHOW : SW_HIDE);
    if (arrows_) ShowWindow(arrows_, visible ? SW_SHOW : SW_HIDE);
}

bool SpinField::Accepts(wchar_t c) const {
    if (c < L' ') return true;  // backspace and the control keys
    if (c >= L'0' && c <= L'9') return true;
    if (c == L'-') return settings_.minValue < 0;
    switch (settings_.kind) {
    case SpinKind::Integer:
        return false;
    case SpinKind::Decimal:
        return c == L'.' || c == L',';
    case SpinKind::Hexadecimal:
        return (c >= L'a' && c <= L'f') || (c >= L'A' && c <= L'F');
    }
    return false;
}

bool SpinField::OnEditMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_CHAR && !Accepts(static_cast<wchar_t>(wParam))) {
        result = 0;
        return true;
    }
    if (message == WM_KILLFOCUS) {
        // On leaving, the field shows the value it reads as.
        result = CallEdit(message, wParam, lParam);
        SetValue(Value());
        return true;
    }
    return false;
}

}  // namespace tervex
