#pragma once
// One run of the reference host: the driver loaded and initialised, the
// station's settings applied, its ports opened, its items read at their scan
// rates and the writes asked for sent, until the run's time is up.
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "boundary/PluginInterface.h"
#include "tools/host/core/Options.h"
#include "tools/host/core/Station.h"
#include "tools/host/win/DriverModule.h"
#include "tools/host/win/HostServer.h"
#include "tools/host/win/StationPoller.h"

namespace tervex::host {

class HostRun {
public:
    HostRun(const Options& options, Station station);
    ~HostRun();
    HostRun(const HostRun&) = delete;
    HostRun& operator=(const HostRun&) = delete;

    // The program's exit code: 0 after a run, 1 when the driver or a port
    // cannot be had, 2 for a write that does not fit its item.
    int Run();

private:
    bool LoadDriver();
    void ApplySettings();
    bool OpenPorts();
    bool PrepareWrites();
    void Loop();
    void OnLog(const std::string& line);
    void Shutdown();
    int64_t NowMs() const { return poller_.NowMs(); }

    // Output (HostReport.cpp).
    void Print(const std::string& text) const;
    void Event(const std::string& text) const;
    void PrintBanner(const std::string& driverName, const std::string& description) const;
    void PrintTable(int64_t nowMs) const;
    void PrintSummary() const;
    bool OpenResults();
    bool WriteResults();

    Options options_;

    // The host's objects outlive the driver library (declared before it).
    HostServer server_;
    StationPoller poller_;
    // The driver's log is counted and passed on (printed, written to the
    // results file as it comes), never kept: a host may run for months.
    int64_t logLines_ = 0;
    int64_t logFramesSent_ = 0;
    std::ofstream results_;
    long unexpectedCalls_ = 0;

    DriverModule module_;
    IOrnDriver2* driver_ = nullptr;
    IOrnPortClient* client_ = nullptr;
};

}  // namespace tervex::host
