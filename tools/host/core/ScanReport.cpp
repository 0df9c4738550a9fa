#include "tools/host/core/ScanReport.h"

#include "tools/host/core/Outcome.h"
#include "tools/host/core/TextFields.h"

namespace tervex::host {

namespace {

// The bytes of a trace text, told by its look: a text frame starts with "!" or
// "?" and holds hex digits up to its carriage return; a binary one is hex pairs.
// (A password frame's answer is binary whatever the node's framing.)
std::vector<uint8_t> TraceBytes(const std::string& trace) {
    std::string digits;
    if (!trace.empty() && (trace[0] == '!' || trace[0] == '?')) {
        const size_t cr = trace.find("<CR>");
        digits = trace.substr(1, cr == std::string::npos ? std::string::npos : cr - 1);
    } else {
        for (const char c : trace)
            if (c != ' ') digits += c;
    }
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < digits.size(); i += 2) {
        const auto byte = ParseInteger("0x" + digits.substr(i, 2));
        if (!byte) break;
        bytes.push_back(static_cast<uint8_t>(*byte));
    }
    return bytes;
}

bool IsResetForm(const std::string& trace) {
    if (!trace.empty() && trace[0] == '?') return true;
    const std::vector<uint8_t> bytes = TraceBytes(trace);
    return bytes.size() >= 2 && bytes[1] == 0xFF;
}

std::string Plural(size_t n, const char* one, const char* many) { return std::to_string(n) + " " + (n == 1 ? one : many); }

// "3, 5-9, 12"
std::string RangesText(const std::vector<int>& addresses) {
    std::string text;
    for (size_t i = 0; i < addresses.size();) {
        size_t j = i;
        while (j + 1 < addresses.size() && addresses[j + 1] == addresses[j] + 1) ++j;
        if (!text.empty()) text += ", ";
        text += std::to_string(addresses[i]);
        if (j > i) text += "-" + std::to_string(addresses[j]);
        i = j + 1;
    }
    return text;
}

}  // namespace

bool IsPasswordReset(const std::vector<std::string>& received) {
    // Each answer on its own, then all together: one may have come in pieces.
    std::string whole;
    for (const std::string& piece : received) {
        if (IsResetForm(piece)) return true;
        whole += piece;
    }
    return IsResetForm(whole);
}

Finding Judge(const Probe& probe) {
    switch (probe.result) {
    case kResultOk:
        return Finding::Answers;
    case kResultWrongAnswer:
        return IsPasswordReset(probe.received) ? Finding::PasswordWanted : Finding::WrongAnswer;
    case kResultCrcError:
        return Finding::CrcErrors;
    case kResultNoAnswer:
        return Finding::Silent;
    default:
        return Finding::Failed;
    }
}

std::string FindingText(Finding finding) {
    switch (finding) {
    case Finding::Answers: return "answers";
    case Finding::PasswordWanted: return "answers, wants its password";
    case Finding::WrongAnswer: return "wrong answers";
    case Finding::CrcErrors: return "CRC errors";
    case Finding::Failed: return "failed";
    case Finding::Silent: break;
    }
    return "silent";
}

AddressReport Combine(int address, std::vector<Probe> probes) {
    AddressReport report;
    report.address = address;
    for (const Probe& probe : probes) {
        const Finding finding = Judge(probe);
        if (finding < report.finding) {
            report.finding = finding;
            report.framing = probe.framing;
        }
    }
    report.probes = std::move(probes);
    return report;
}

std::string PasswordAdvice(bool write, bool passwordGiven) {
    const char* option = write ? "--write-password" : "--read-password";
    return std::string("the controller asks for its password (it answered with its reset form, address and FF): ") +
           (passwordGiven ? "check the one given with " : "give it with ") + option + "\n";
}

bool Settled(Finding finding) { return finding == Finding::Answers || finding == Finding::PasswordWanted; }

std::string DurationText(int64_t ms) {
    const int64_t seconds = (ms + 999) / 1000;
    if (seconds < 60) return std::to_string(seconds) + " s";
    if (seconds < 3600) return std::to_string(seconds / 60) + " min " + std::to_string(seconds % 60) + " s";
    return std::to_string(seconds / 3600) + " h " + std::to_string(seconds % 3600 / 60) + " min";
}

std::string ReportLine(const AddressReport& report) {
    std::string line = "address " + std::to_string(report.address) + ": " + FindingText(report.finding);
    if (!report.framing.empty()) line += " (" + report.framing + ")";
    if (report.finding == Finding::Silent) return line;
    for (const Probe& probe : report.probes) {
        if (probe.framing != report.framing || probe.received.empty()) continue;
        line += ", last answer " + probe.received.back();
        break;
    }
    return line;
}

std::string ScanSummary(const std::vector<AddressReport>& reports, int first, int last, bool stopped) {
    std::vector<int> silent;
    std::string found, trouble;
    for (const AddressReport& r : reports) {
        if (Settled(r.finding)) found += "  " + std::to_string(r.address) + "  " + r.framing + (r.finding == Finding::PasswordWanted ? ", wants its password" : "") + "\n";
        else if (r.finding == Finding::Silent) silent.push_back(r.address);
        else trouble += "  " + std::to_string(r.address) + "  " + FindingText(r.finding) + " (" + r.framing + ")\n";
    }
    std::string text = "\nScanned " + Plural(reports.size(), "address", "addresses") + " of " + std::to_string(first) +
                       "-" + std::to_string(last);
    if (stopped) {
        const int next = reports.empty() ? first : reports.back().address + 1;
        text += next <= last ? " (stopped; " + std::to_string(next) + "-" + std::to_string(last) + " not scanned)" : " (stopped)";
    }
    text += "\n";
    text += found.empty() ? "Answering: none\n" : "Answering (address, framing):\n" + found;
    if (!trouble.empty()) text += "Something there, but no good answer:\n" + trouble;
    text += "Silent: " + (silent.empty() ? std::string("none") : RangesText(silent)) + "\n";
    return text;
}

std::string ScanResultLine(const AddressReport& report) {
    std::string line = "scan\t" + std::to_string(report.address) + "\tfinding=";
    switch (report.finding) {
    case Finding::Answers: line += "answers"; break;
    case Finding::PasswordWanted: line += "password"; break;
    case Finding::WrongAnswer: line += "wrong"; break;
    case Finding::CrcErrors: line += "crc"; break;
    case Finding::Failed: line += "failed"; break;
    case Finding::Silent: line += "silent"; break;
    }
    line += "\tframing=" + (report.framing.empty() ? std::string("-") : report.framing);
    for (const Probe& probe : report.probes)
        line += "\t" + probe.framing + "=" + Hex32(probe.result) + "/" + std::to_string(probe.sent) + "/" +
                std::to_string(probe.received.size());
    return line + "\n";
}

}  // namespace tervex::host
