#pragma once
// Commissioning runs of the host (--scan, --read-once, --write-once) through the driver.
#include "tools/host/core/Options.h"

namespace tervex::host {

// The program's exit code: 0 when done (a one-off: with a good answer), 1 when
// the driver or the port cannot be had or results cannot be written, 2 for a
// bad command line or station, 3 when a one-off got no good answer.
int RunCommission(const Options& options);

}  // namespace tervex::host
