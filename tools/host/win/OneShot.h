#pragma once
// --read-once, --write-once: one request to one address, printed in full.
#include <string>

#include "tools/host/core/Commission.h"
#include "tools/host/win/LineSession.h"

namespace tervex::host {

// Prints the frames exchanged, the value (of a read), the quality and the result,
// and what a refusal for want of a password asks for; the exit code tells the
// outcomes apart (ExitCodes.h). Appends the results-file line.
int RunOneShot(LineSession& session, const CommissionPlan& plan, bool write, std::string& results);

}  // namespace tervex::host
