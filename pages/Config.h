#pragma once
// The settings page; it also takes the settings the host hands back.
#include <memory>
#include <string>

#include "pages/PageDriver.h"
#include "pages/PageWindow.h"
#include "pages/SpinField.h"

namespace tervex {

class TfmConfig : public PageWindow {
public:
    TfmConfig(HINSTANCE instance, IPageDriver& driver);
    ~TfmConfig() override;

    // Shows the settings in memory; the fields bring values outside their limits within them.
    void ShowSettings(HWND hostWnd);
    // Name and value as UTF-8; false (after the error box) for a value that is not an integer.
    bool ApplySetting(const std::string& name, const std::string& value);
    // Each field into memory first, then to the host, in the order wait time, tries, resumption time.
    void SaveSettings();

protected:
    void BuildControls() override;
    void WindowLost() override { FHostWnd = nullptr; }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void ConfigChange();

    IPageDriver& FDriver;
    std::unique_ptr<SpinField> rxedtWaitTimeout;
    std::unique_ptr<SpinField> rxedtCountTry;
    std::unique_ptr<SpinField> rxedtTimeNextSend;
    HWND FHostWnd = nullptr;
    bool FLoading = false;
};

}  // namespace tervex
