#include "pages/Config.h"

#include "boundary/PluginInterface.h"
#include "config/DriverSettings.h"
#include "config/NodePageValues.h"
#include "win/MessageBox.h"

namespace tervex {
namespace {

enum ControlId : int { kWaitTimeoutId = 301, kCountTryId, kTimeNextSendId };


int32_t SecondsToMs(double seconds) { return static_cast<int32_t>(RoundHalfEven(seconds * 1000.0)); }

void StoreWithHost(IOrnOPCServer* server, const char* name, int32_t value) {
    // Before Initialize there is no host to tell; the value in memory still applies.
    if (!server) return;
    ShortString nameText{};
    ShortString valueText{};
    SetShortString(nameText, name);
    SetShortString(valueText, std::to_string(value));
    server->StoreSetting(&nameText, &valueText);
}

}  // namespace

TfmConfig::TfmConfig(HINSTANCE instance, IPageDriver& driver) : PageWindow(instance, 280, 134), FDriver(driver) {
    EnsureWindow();
}

void TfmConfig::BuildControls() {
    rxedtWaitTimeout = AddSpinField(kWaitTimeoutId, 16, 14, 50, kFieldHeight,
                                    SpinSettings{SpinKind::Decimal, 0.1, 999, 0.1, 1, 3.0});
    rxedtCountTry = AddSpinField(kCountTryId, 16, 54, 50, kFieldHeight,
                                 SpinSettings{SpinKind::Integer, 1, 100, 1, 0, 3});
    rxedtTimeNextSend = AddSpinField(kTimeNextSendId, 16, 94, 50, kFieldHeight,
                                     SpinSettings{SpinKind::Decimal, 0.1, 999, 0.1, 1, 60.0});
    AddLabel("Время ожидания ответа, Сек", 78, 18);
    AddLabel("Кол-во попыток связи", 78, 58);
    AddLabel("Время возобновления опроса, Сек", 78, 98);
}

TfmConfig::~TfmConfig() = default;

void TfmConfig::ShowSettings(HWND hostWnd) {
    FHostWnd = hostWnd;
    if (!rxedtWaitTimeout) return;
    FLoading = true;
    const DriverSettings& settings = Settings();
    rxedtWaitTimeout->SetValue(settings.WaitTimeout / 1000.0);
    rxedtCountTry->SetValue(settings.CountTry);
    rxedtTimeNextSend->SetValue(settings.TimeNextSend / 1000.0);
    FLoading = false;
}

bool TfmConfig::ApplySetting(const std::string& name, const std::string& value) {
    if (ApplySettingText(Settings(), name, value) != ApplyOutcome::BadValue) return true;
    ShowMessageBox("Неверные параметры конфигурации", "Ошибка", MB_TASKMODAL | MB_ICONERROR);
    return false;
}

void TfmConfig::SaveSettings() {
    DriverSettings& settings = Settings();
    settings.WaitTimeout = SecondsToMs(rxedtWaitTimeout->Value());
    StoreWithHost(FDriver.Server(), "WaitTimeout", settings.WaitTimeout);
    settings.CountTry = static_cast<int32_t>(RoundHalfEven(rxedtCountTry->Value()));
    StoreWithHost(FDriver.Server(), "CountTry", settings.CountTry);
    settings.TimeNextSend = SecondsToMs(rxedtTimeNextSend->Value());
    StoreWithHost(FDriver.Server(), "TimeNextSend", settings.TimeNextSend);
}

void TfmConfig::ConfigChange() {
    if (!FLoading) NotifyHost(FHostWnd, WM_CONFIG_CHANGED);
}

LRESULT TfmConfig::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND: {
        const int id = LOWORD(wParam);
        if (HIWORD(wParam) == EN_CHANGE && (id == kWaitTimeoutId || id == kCountTryId || id == kTimeNextSendId))
            ConfigChange();
        return 0;
    }
    case WM_CONFIG_APPLY:
        SaveSettings();
        return 0;
    case WM_CONFIG_RELOAD:
        ShowSettings(FHostWnd);
        return 0;
    case WM_PAGE_DETACH:
        Detach();
        FHostWnd = nullptr;
        return 0;
    default:
        return DefaultHandling(message, wParam, lParam);
    }
}

}  // namespace tervex
