#pragma once
// The rig of the end-to-end cases: the simulator served on pseudo-terminals
// linked as COM ports of the Wine prefix, the host run under Wine with the real
// DLL, and its results file read back. Every wait has a deadline.
#include <csignal>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "sim/Clock.h"
#include "sim/Line.h"
#include "sim/app/Port.h"

namespace tervex::host::e2e {

// Paths given by the test registration (CTest) through the environment.
struct Env {
    std::string hostExe;   // TERVEX_HOST_EXE
    std::string dll;       // TERVEX_DLL
    std::string wineRun;   // TERVEX_WINE_RUN
    std::string prefix;    // WINEPREFIX
    std::string stations;  // TERVEX_STATIONS
    std::string missing;   // names of variables not set
};
const Env& Environment();

// A fresh folder, removed with everything in it.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& Path() const { return path_; }
    std::string Write(const std::string& name, const std::string& text) const;

private:
    std::string path_;
};

// A simulated line (tools/sim configuration text) served on a pseudo-terminal
// that the prefix's dosdevices/comN links to, until Stop.
class SimLine {
public:
    SimLine(int comNumber, const std::string& configText);
    ~SimLine();
    SimLine(const SimLine&) = delete;
    SimLine& operator=(const SimLine&) = delete;

    bool Ok() const { return error_.empty(); }
    const std::string& Error() const { return error_; }
    // Stops serving; the memory may then be inspected.
    void Stop();
    // count bytes of an area ("ОЗУ", "CLOCK", ...) of a controller, after Stop.
    std::vector<uint8_t> Memory(uint8_t controller, const std::string& area, uint32_t address, size_t count);
    std::vector<std::string> Log() const { return log_; }

private:
    std::string error_;
    sim::SteadyClock clock_;
    std::unique_ptr<sim::Line> line_;
    sim::Port port_;
    volatile std::sig_atomic_t stop_ = 0;
    std::thread thread_;
    std::vector<std::string> log_;
};

struct HostOutcome {
    int exitCode = -1;
    bool timedOut = false;
    std::string output;  // standard output and error together
};
// Runs the host under Wine with the DLL and the given arguments; environment
// entries ("NAME=value") replace the runner's own.
HostOutcome RunHost(const std::vector<std::string>& args, int timeoutMs, const std::vector<std::string>& environment = {});
// Runs any Windows program (the host, or one of Wine's own such as "reg") under Wine.
HostOutcome RunWine(const std::vector<std::string>& command, int timeoutMs, const std::vector<std::string>& environment = {});

// The results file: "kind<TAB>name<TAB>key=value..." lines; log lines kept whole.
struct Results {
    std::map<std::string, std::map<std::string, std::string>> items, writes, nodes, ports;
    std::map<std::string, std::string> host;
    // Lines of any other kind, by kind and name ("scan", "once").
    std::map<std::string, std::map<std::string, std::map<std::string, std::string>>> other;
    std::vector<std::string> log;
    bool loaded = false;
    const std::map<std::string, std::string>& Item(const std::string& name) const;
    int64_t Number(const std::map<std::string, std::string>& fields, const std::string& key) const;
};
Results ReadResults(const std::string& path);

int64_t UnixNowMs();

}  // namespace tervex::host::e2e
