#pragma once
// The host's exit codes: one for each outcome a script may want to tell apart.
#include "tools/host/core/ScanReport.h"

namespace tervex::host {

enum ExitCode : int {
    kExitDone = 0,         // a run or scan ended; a one-off got a good answer
    kExitUnavailable = 1,  // the driver, a port or the results file cannot be had
    kExitBadInput = 2,     // a bad command line or station, a write that does not fit its item
    kExitNoAnswer = 3,     // one-off: nothing came back within the tries
    kExitWrongAnswer = 4,  // one-off: something came back, but not an answer to the request
    kExitPassword = 5,     // one-off: the controller asks for its password
    kExitCrcError = 6,     // one-off: answers with a bad check sum
    kExitFailed = 7,       // one-off: the driver failed the task otherwise
    kExitStopped = 8,      // one-off: stopped before the driver finished the task
};

int OneShotExitCode(Finding finding);

}  // namespace tervex::host
