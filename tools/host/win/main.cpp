// tervex-host: the reference host. Loads the driver through its export as an
// OPC server does, serves a station file's items over the built-in simulator
// or real COM ports, prints a live table and ends with a summary.
#include <windows.h>

#include <exception>
#include <string>
#include <vector>

#include "tools/host/config/ConfigWindow.h"
#include "tools/host/core/ExitCodes.h"
#include "tools/host/core/Options.h"
#include "tools/host/core/Station.h"
#include "tools/host/win/Commission.h"
#include "tools/host/win/ConsoleText.h"
#include "tools/host/win/DriverModule.h"
#include "tools/host/win/HostRun.h"
#include "tools/host/win/StopFlag.h"
#include "tools/host/win/SystemText.h"
#include "win/WideText.h"

namespace {

using namespace tervex::host;

std::string Shown(const std::string& version) { return version.empty() ? "(no version resource)" : version; }

// The host's version, and that of the driver library it loads.
int PrintVersions(const Options& options) {
    WriteOut("tervex-host " + Shown(FileVersion(ModulePath(nullptr))) + "\n");
    DriverModule module;
    std::string error;
    if (!module.Load(options.dll, error)) {
        WriteErr("tervex-host: " + error + "\n");
        return kExitUnavailable;
    }
    WriteOut(options.dll + " " + Shown(module.Version()) + " (" + tervex::WideToUtf8(ModulePath(module.Handle())) + ")\n");
    return kExitDone;
}

// Without a station: load the driver and name it.
int NameDriver(const Options& options) {
    DriverModule module;
    std::string error;
    if (!module.Load(options.dll, error)) {
        WriteErr("tervex-host: " + error + "\n");
        return kExitUnavailable;
    }
    tervex::ShortString name{}, description{}, third{};
    IOrnPortClient* client = nullptr;
    module.Driver()->Initialize(nullptr, nullptr, &name, &description, &third, &client);
    WriteOut("driver: " + tervex::ShortStringToUtf8(name) + "\ndescription: " + tervex::ShortStringToUtf8(description) +
             "\nversion: " + Shown(module.Version()) +
             "\n(give --station FILE to run a station; --help for more)\n");
    if (client) client->Release();
    return kExitDone;
}

int Main(const std::vector<std::string>& arguments) {
    std::vector<const char*> argv;
    for (const std::string& a : arguments) argv.push_back(a.c_str());
    Options options;
    const auto errors = ParseOptions(static_cast<int>(argv.size()), argv.data(), options);
    if (options.help) {
        WriteOut(UsageText());
        return kExitDone;
    }
    if (!errors.empty()) {
        for (const std::string& e : errors) WriteErr("tervex-host: " + e + "\n");
        WriteErr(UsageHint());
        return kExitBadInput;
    }
    if (options.version) return PrintVersions(options);
    if (options.configure) {
        if (options.station.empty()) {
            WriteErr("tervex-host: --configure needs --station FILE (created on save)\n");
            WriteErr(UsageHint());
            return kExitBadInput;
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
        return kExitBadInput;
    }
    loaded.station.file = options.station;
    InstallStopHandler();
    HostRun run(options, std::move(loaded.station));
    return run.Run();
}

}  // namespace

// The command line arrives as UTF-16 whatever the system's code page, so that
// "--area ОЗУ" works on a Windows whose language is not Russian; it becomes
// UTF-8, the host's own form, here and nowhere else.
int wmain(int argc, wchar_t** argv) {
    SetConsoleOutputCP(CP_UTF8);
    std::vector<std::string> arguments;
    for (int i = 0; i < argc; ++i) arguments.push_back(tervex::WideToUtf8(argv[i]));
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    int code = kExitUnavailable;
    try {
        code = Main(arguments);
    } catch (const std::exception& e) {
        WriteErr(std::string("tervex-host: ") + e.what() + "\n");
    } catch (...) {
        WriteErr("tervex-host: unexpected failure\n");
    }
    if (SUCCEEDED(com)) CoUninitialize();
    return code;
}
