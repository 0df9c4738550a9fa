// The reference host's station-file parser with any text. It gives the same answer
// twice; every error names this file, a line that exists and a message; and a station
// read without errors holds only what the host can serve: unique port and node names,
// every node on a known port, every item in one of the seven areas within its address
// range, of a type with a size, Boolean only in RAM with a bit 0..7, FLASH and the
// diagnostics read-only, the diagnostics Integer only.
#include <cstdio>
#include <cstdlib>
#include <set>
#include <string>

#include "config/DiagnosticsArea.h"
#include "config/ItemParams.h"
#include "tools/host/core/Station.h"
#include "values/DataTypes.h"

namespace {

[[noreturn]] void Broken(const std::string& what) {
    std::fprintf(stderr, "invariant broken: %s\n", what.c_str());
    std::abort();
}

void Expect(bool condition, const std::string& what) {
    if (!condition) Broken(what);
}

const char* const kFile = "fuzz.station";

int LineCount(const std::string& text) {
    int lines = 0;
    for (char c : text) lines += c == '\n' ? 1 : 0;
    return lines + (text.empty() || text.back() == '\n' ? 0 : 1);
}

bool SameErrors(const tervex::host::StationResult& a, const tervex::host::StationResult& b) {
    if (a.errors.size() != b.errors.size()) return false;
    for (size_t i = 0; i < a.errors.size(); ++i) {
        if (a.errors[i].ToString() != b.errors[i].ToString()) return false;
    }
    return a.station.nodes.size() == b.station.nodes.size() && a.station.ports.size() == b.station.ports.size() &&
           a.station.settings == b.station.settings;
}

void CheckServable(const tervex::host::Station& s) {
    using namespace tervex;
    std::set<int> ports;
    for (const auto& port : s.ports) {
        Expect(port.number >= 1 && port.number <= 100, "a port outside COM1..COM100");
        Expect(ports.insert(port.number).second, "a port given twice");
    }
    std::set<std::string> nodes;
    for (const auto& node : s.nodes) {
        Expect(!node.name.empty() && nodes.insert(node.name).second, "an empty or repeated node name");
        Expect(node.name.find('.') == std::string::npos, "a node name with a dot");
        Expect(s.FindPort(node.port) != nullptr, "a node on a port the station does not have");
        Expect(node.protocol == "RTU" || node.protocol == "ASCII", "a protocol other than RTU or ASCII");
        std::set<std::string> items;
        for (const auto& item : node.items) {
            Expect(!item.name.empty() && items.insert(item.name).second, "an empty or repeated item name");
            const std::string& a = item.area;
            const bool shortArea = a == kAreaRam || a == kAreaClock;
            const bool diagnostics = a == kAreaDiagnostics;
            Expect(shortArea || diagnostics || a == kAreaEeprom || a == kAreaFram || a == kAreaXram || a == kAreaFlash,
                   "an item outside the seven areas: " + a);
            Expect(item.address <= (shortArea ? 255u : diagnostics ? 6u : 65535u), "an item address outside its area");
            if (diagnostics) {
                Expect(item.typeCode == kTypeInteger && !item.writable, "a diagnostics item not a read-only Integer");
            }
            static const std::set<int> types = {kTypeByte,    kTypeShortInteger, kTypeWord,   kTypeSmallInteger,
                                                kTypeInteger, kTypeString,       kTypeBoolean, kTypeArrayOfByte};
            Expect(types.count(item.typeCode) == 1, "an item of a type the pages do not offer");
            if (item.typeCode == kTypeBoolean) Expect(a == kAreaRam, "a Boolean outside RAM");
            Expect(item.bit >= 0 && item.bit <= 7, "a bit number outside 0..7");
            if (a == kAreaFlash) Expect(!item.writable, "a writable FLASH item");
            Expect(s.FindItem(node.name + "." + item.name).has_value(), "an item its full name does not find");
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    const auto first = tervex::host::ParseStation(text, kFile, "/nonexistent");
    const auto second = tervex::host::ParseStation(text, kFile, "/nonexistent");
    Expect(SameErrors(first, second), "two readings of one text differ");
    const int lines = LineCount(text);
    for (const auto& e : first.errors) {
        Expect(e.file == kFile, "an error naming another file");
        Expect(e.line >= 0 && e.line <= lines, "an error on line " + std::to_string(e.line) + " of " +
                                                    std::to_string(lines));
        Expect(!e.message.empty(), "an error without a message");
    }
    if (first.errors.empty()) {
        Expect(!first.station.nodes.empty(), "a station without nodes read without error");
        CheckServable(first.station);
    }
    return 0;
}
