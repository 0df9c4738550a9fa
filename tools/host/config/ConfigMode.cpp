// The window mode: the driver loaded as for a run, the station's settings
// handed to it, and the configuration window until it is closed.
#include <cstdio>

#include "tools/host/config/ConfigWindow.h"
#include "tools/host/config/StationWriter.h"
#include "tools/host/core/ExitCodes.h"
#include "tools/host/win/DriverModule.h"

namespace tervex::host {

int RunConfigure(const std::string& dll, const std::string& stationPath) {
    DriverModule module;
    std::string error;
    if (!module.Load(dll, error)) {
        std::fprintf(stderr, "tervex-host: %s\n", error.c_str());
        return kExitUnavailable;
    }
    const std::string path = WindowsPath(stationPath);
    StationResult loaded = LoadStationForEditing(path);
    if (!loaded.errors.empty()) {
        for (const StationError& e : loaded.errors) std::fprintf(stderr, "%s\n", e.ToString().c_str());
        return kExitBadInput;
    }
    Station station = std::move(loaded.station);
    HostServer server;
    ShortString name{}, description{}, third{};
    IOrnPortClient* client = nullptr;
    IOrnDriver2* driver = module.Driver();
    driver->Initialize(&server, nullptr, &name, &description, &third, &client);
    for (const auto& [key, value] : station.settings) ApplySetting(driver, key, value);
    int code = kExitDone;
    {
        ConfigWindow window(driver, server, std::move(station), path);
        if (!window.Create(error)) {
            std::fprintf(stderr, "tervex-host: %s\n", error.c_str());
            code = kExitUnavailable;
        } else {
            MSG message;
            while (GetMessageW(&message, nullptr, 0, 0) > 0) {
                if (IsDialogMessageW(window.hwnd(), &message)) continue;
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
        }
    }
    driver->ClearAll();
    if (client) client->Release();
    return code;
}

}  // namespace tervex::host
