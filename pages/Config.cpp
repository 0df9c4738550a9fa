#include "pages/Config.h"

#include "config/DriverSettings.h"
#include "plugin/MessageBox.h"

namespace tervex {

TfmConfig::TfmConfig(HINSTANCE instance) : PageWindow(instance, 280, 134) {}

void TfmConfig::ShowSettings(HWND hostWnd) { FHostWnd = hostWnd; }

bool TfmConfig::ApplySetting(const std::string& name, const std::string& value) {
    if (ApplySettingText(Settings(), name, value) != ApplyOutcome::BadValue) return true;
    ShowMessageBox("Неверные параметры конфигурации", "Ошибка", MB_TASKMODAL | MB_ICONERROR);
    return false;
}

}  // namespace tervex
