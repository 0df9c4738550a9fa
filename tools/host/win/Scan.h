#pragma once
// --scan: which device addresses answer on one line, and in which framing.
#include <string>

#include "tools/host/core/Commission.h"
#include "tools/host/core/ScanReport.h"
#include "tools/host/win/LineSession.h"

namespace tervex::host {

// Reads the plan's item at every address of the range in each framing, one
// request at a time, printing each address as it is done with the time left at
// most; Ctrl+C ends it with what was found so far. The session holds the
// settings the station and the options give (CommissionSettings); the banner
// says where they come from. Appends the results-file lines.
int RunScan(LineSession& session, const CommissionPlan& plan, const CommissionOptions& options,
            const Settings& stationSettings, std::string& results);

}  // namespace tervex::host
