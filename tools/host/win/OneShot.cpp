#include "tools/host/win/OneShot.h"

#include "tools/host/core/ExitCodes.h"
#include "tools/host/core/Outcome.h"
#include "tools/host/core/ScanReport.h"
#include "tools/host/win/ConsoleText.h"
#include "tools/host/win/VariantText.h"
#include "values/ValueCodec.h"

namespace tervex::host {

int RunOneShot(LineSession& session, const CommissionPlan& plan, bool write, std::string& results) {
    const NodeConfig& node = plan.node;
    const ItemConfig& item = plan.item;
    const std::string what = ItemText(item);
    WriteOut(std::string(write ? "Writing " + WriteValueText(*plan.value) + " to " : "Reading ") + what + " of address " +
             std::to_string(node.address) + ", " + node.protocol + (IsLsbFirst(node.byteOrder) ? ", lsb first" : ", msb first") +
             (node.readPassword.empty() && node.writePassword.empty() ? "" : ", with passwords") + "\n  on " +
             session.PortText() + " with " + session.DriverName() + "\n");
    const ExchangeOutcome outcome = write ? session.Write(node, item, *plan.value) : session.Read(node, item);
    for (const std::string& line : outcome.trace) WriteOut("  " + line + "\n");
    if (!outcome.finished) {
        WriteOut("stopped before the driver finished the task\n");
        return kExitStopped;
    }
    const Finding finding = Judge(Probe{node.protocol, outcome.result, outcome.received, outcome.sent});
    std::string text;
    if (!write) text += "value    " + (outcome.result == kResultOk ? DisplayValue(outcome.value.ref()) : std::string("-")) + "\n";
    text += "quality  " + (outcome.quality == kQualityGood ? "good " + Hex16(outcome.quality) : QualityText(outcome.quality)) + "\n";
    text += "result   " + ResultText(outcome.result) + " (" + Hex32(outcome.result) + ")\n";
    if (finding == Finding::PasswordWanted)
        text += "         " + PasswordAdvice(write, !(write ? node.writePassword : node.readPassword).empty());
    text += "frames   " + std::to_string(outcome.sent) + " sent, " + std::to_string(outcome.received.size()) + " received\n";
    WriteOut(text);
    results += std::string("once\t") + (write ? "write" : "read") + "\tvalue=" + (write ? "-" : MachineValue(outcome.value.ref())) +
               "\tquality=" + Hex16(outcome.quality) + "\tresult=" + Hex32(outcome.result) + "\tsent=" +
               std::to_string(outcome.sent) + "\treceived=" + std::to_string(outcome.received.size()) + "\n";
    return OneShotExitCode(finding);
}

}  // namespace tervex::host
