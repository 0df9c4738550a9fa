#include "tools/host/core/ExitCodes.h"

namespace tervex::host {

int OneShotExitCode(Finding finding) {
    switch (finding) {
    case Finding::Answers: return kExitDone;
    case Finding::PasswordWanted: return kExitPassword;
    case Finding::WrongAnswer: return kExitWrongAnswer;
    case Finding::CrcErrors: return kExitCrcError;
    case Finding::Failed: return kExitFailed;
    case Finding::Silent: break;
    }
    return kExitNoAnswer;
}

}  // namespace tervex::host
