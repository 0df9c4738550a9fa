#pragma once
// The settings page; it also takes the settings the host hands back.
#include <string>

#include "pages/PageWindow.h"

namespace tervex {

class TfmConfig : public PageWindow {
public:
    explicit TfmConfig(HINSTANCE instance);

    void ShowSettings(HWND hostWnd);
    // Name and value as UTF-8; false (after the error box) for a value that is not an integer.
    bool ApplySetting(const std::string& name, const std::string& value);

private:
    HWND FHostWnd = nullptr;
};

}  // namespace tervex
