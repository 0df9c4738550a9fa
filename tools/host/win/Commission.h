#pragma once
// Commissioning runs of the host (--scan, --read-once, --write-once) through the driver.
#include "tools/host/core/Options.h"

namespace tervex::host {

// The program's exit code (ExitCodes.h): done, unavailable (the driver, the
// port, the results file), bad input, or how a one-off ended.
int RunCommission(const Options& options);

}  // namespace tervex::host
