#pragma once
// A number field: an edit box with up and down arrows. It accepts only the
// characters of a number, keeps its value within its limits, steps by a fixed
// amount and shows a fixed number of decimal places.
#include <windows.h>

#include <string>

#include "pages/EditHook.h"

namespace tervex {

enum class SpinKind { Integer, Decimal, Hexadecimal };

struct SpinSettings {
    SpinKind kind = SpinKind::Integer;
    double minValue = 0;
    double maxValue = 100;
    double step = 1;
    int decimals = 0;  // decimal places shown (Decimal fields only)
    double initial = 0;
};

class SpinField final : public EditHook {
public:
    // The edit box and its arrows together take the given rectangle.
    SpinField(HWND page, int id, int left, int top, int width, int height, HFONT font, const SpinSettings& settings);
    ~SpinField() override;

    HWND Arrows() const { return arrows_; }
    double MinValue() const { return settings_.minValue; }
    double MaxValue() const { return settings_.maxValue; }

    // The value shown: a text that does not read as a number reads as the lower limit,
    // anything outside the limits as the nearest limit.
    double Value() const;
    // Brought within the limits and shown with the field's decimal places.
    void SetValue(double value);
    // A value outside the new limits is brought within them.
    void SetLimits(double minValue, double maxValue);
    // One step up (delta > 0) or down per unit of delta.
    void Step(int delta);
    void SetVisible(bool visible);

    // The field whose arrows are the given window, if any.
    static SpinField* FromArrows(HWND arrows);

protected:
    bool OnEditMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    bool Read(double& value) const;  // false when the text is not a number
    double Limit(double value) const;
    std::string Format(double value) const;
    bool Accepts(wchar_t c) const;

    SpinSettings settings_;
    HWND arrows_ = nullptr;
};

}  // namespace tervex
