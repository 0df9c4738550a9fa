#pragma once
// How a scan (and a one-off) judges what an address brought, and what a scan
// prints and records.
#include <cstdint>
#include <string>
#include <vector>

namespace tervex::host {

// What one request to one address brought.
struct Probe {
    std::string framing;                // "RTU" or "ASCII"
    uint32_t result = 0;                // as the driver finished the task
    std::vector<std::string> received;  // trace texts of the driver's " Rx: " lines
    int sent = 0;                       // its " Tx: " lines
};

// Best first: an answer in some framing says more than a silence in another.
enum class Finding { Answers, PasswordWanted, WrongAnswer, CrcErrors, Failed, Silent };
Finding Judge(const Probe& probe);
// Whether an answer is the controller's reset form (address, 0xFF): it is
// there but wants its password first.
bool IsPasswordReset(const std::vector<std::string>& received);
// "answers", "answers, wants its password", "wrong answers", "CRC errors", "failed", "silent".
std::string FindingText(Finding finding);

struct AddressReport {
    int address = 0;
    Finding finding = Finding::Silent;
    std::string framing;  // the framing of the finding; empty when silent in every one
    std::vector<Probe> probes;
};
// The best finding over the framings tried.
AddressReport Combine(int address, std::vector<Probe> probes);
// A one-off's line on a refusal for want of a password: which option gives it.
std::string PasswordAdvice(bool write, bool passwordGiven);
// A framing that brought an answer makes trying the others pointless.
bool Settled(Finding finding);

// "12 s" / "3 min 20 s".
std::string DurationText(int64_t ms);
// One line per address, the summary at the end, and the results-file lines.
std::string ReportLine(const AddressReport& report);
std::string ScanSummary(const std::vector<AddressReport>& reports, int first, int last, bool stopped);
std::string ScanResultLine(const AddressReport& report);

}  // namespace tervex::host
