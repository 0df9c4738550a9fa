// tervex-host: the reference host. Loads the driver through its export as an
// OPC server does, serves a station file's items over the built-in simulator
// or real COM ports, prints a live table and ends with a summary.
#include <windows.h>

#include <exception>
#include <string>
#include <vector>

#include "tools/host/config/ConfigWindow.h"
#include "tools/host/core/Options.h"
#include "tools/host/core/Station.h"
#include "tools/host/win/Commission.h"
#include "tools/host/win/ConsoleText.h"
#include "tools/host/win/DriverModule.h"
#include "tools/host/win/HostRun.h"
#include "tools/host/win/StopFlag.h"

namespace {

using namespace tervex::host;

// Without a station: load the driver and name it.
int NameDriver(const Options& options) {
    DriverModule module;
    std::string error;
    if (!module.Load(options.dll, error)) {
        WriteErr("tervex-host: " + error + "\n");
        return 1;
    }
    tervex::ShortString name{}, description{}, third{};
    IOrnPortClient* client = nullptr;
    module.Driver()->Initialize(nullptr, nullptr, &name, &description, &third, &client);
    WriteOut("driver: " + tervex::ShortStringToUtf8(name) + "\ndescription: " + tervex::ShortStringToUtf8(description) +
             "\n(give --station FILE to run a station; --help for more)\n");
    if (client) client->Release();
    return 0;
}

int Main(int argc, char** argv) {
    // --configure: the window mode, where the driver's pages edit the station.
    std::vector<char*> args;
    bool configure = false;
    for (int i = 0; i < argc; ++i) {
        if (i > 0 && std::string(argv[i]) == "--configure")
            configure = true;
        else
            args.push_back(argv[i]);
    }
    argc = static_cast<int>(args.size());
    argv = args.data();
    Options options;
    const auto errors = ParseOptions(argc, argv, options);
    if (options.help) {
        WriteOut(UsageText());
        WriteOut(CommissionUsageText());
        return 0;
    }
    if (!errors.empty()) {
        for (const std::string& e : errors) WriteErr("tervex-host: " + e + "\n");
        WriteErr(UsageText());
        return 2;
    }
    if (configure) {
        if (options.station.empty()) {
            std::fprintf(stderr, "tervex-host: --configure needs --station FILE (created on save)\n");
            return 2;
        }
        return RunConfigure(options.dll, options.station);
    }
    if (options.commission.mode != CommissionMode::None) return RunCommission(options);
    if (options.station.empty()) return NameDriver(options);

    StationResult loaded = LoadStation(WindowsPath(options.station));
    if (!loaded.errors.empty()) {
        for (const StationError& e : loaded.errors) {
            StationError shown = e;
            shown.file = options.station;
            WriteErr(shown.ToString() + "\n");
        }
        WriteErr("tervex-host: " + std::to_string(loaded.errors.size()) + " problem(s) in the station; nothing was run\n");
        return 2;
    }
    loaded.station.file = options.station;
    InstallStopHandler();
    HostRun run(options, std::move(loaded.station));
    return run.Run();
}

}  // namespace

int main(int argc, char** argv) {
    SetConsoleOutputCP(CP_UTF8);
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int code = 1;
    try {
        code = Main(argc, argv);
    } catch (const std::exception& e) {
        WriteErr(std::string("tervex-host: ") + e.what() + "\n");
    } catch (...) {
        WriteErr("tervex-host: unexpected failure\n");
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return code;
}
