#include "tools/host/core/Commission.h"

#include <cstdio>

#include "config/DiagnosticsArea.h"
#include "config/ItemParams.h"
#include "tools/host/core/ScanReport.h"
#include "tools/host/core/StationValues.h"
#include "tools/host/core/TextFields.h"
#include "values/DataTypes.h"

namespace tervex::host {

namespace {

const char* const kFramings[] = {"RTU", "ASCII"};

// "1-32" or "7"; both ends within the device addresses.
bool ReadAddressRange(const std::string& text, int& first, int& last) {
    const size_t dash = text.find('-');
    const auto low = ParseInteger(Trim(text.substr(0, dash)));
    const auto high = dash == std::string::npos ? low : ParseInteger(Trim(text.substr(dash + 1)));
    if (!low || !high || *low < 1 || *high > 255 || *low > *high) return false;
    first = static_cast<int>(*low);
    last = static_cast<int>(*high);
    return true;
}

template <typename T>
void Take(const char* value, std::optional<T> (*read)(const std::string&, std::string&), const std::string& arg,
          std::optional<T>& out, std::vector<std::string>& errors) {
    if (!value) return;
    std::string error;
    if (auto v = read(value, error)) out = *v;
    else errors.push_back(arg + ": " + error);
}

bool TakeSetting(const std::string& arg, const char* value, const char* name, int64_t low,
                 CommissionOptions& options, std::vector<std::string>& errors) {
    if (!value) return true;
    const auto number = ParseInteger(value);
    if (!number || *number < low || *number > 1000000) {
        errors.push_back(arg + ": \"" + value + "\" is not " + std::to_string(low) + "..1000000");
        return true;
    }
    options.settings.emplace_back(name, std::to_string(*number));
    return true;
}

}  // namespace

const char* CommissionUsageText() {
    return "commissioning (no station file needed; --station lends its port section and settings):\n"
           "  --scan COMn              which device addresses answer on the line, RTU and ASCII\n"
           "  --addresses A-B          the addresses to scan (default 1-255)\n"
           "  --read-once COMn         read one address once and print value, quality, result and frames\n"
           "  --write-once COMn VALUE  write VALUE to one address once\n"
           "  --device N               the controller's address for a one-off (default 1)\n"
           "  --framing RTU|ASCII      the framing (a scan tries both unless given)\n"
           "  --area AREA --at ADDRESS --type TYPE [--bit N] [--byte-order msb|lsb]\n"
           "                           what to read or write (default ОЗУ 0 Byte, msb); a scan reads it too;\n"
           "                           AREA: ОЗУ (or RAM), CLOCK, EEPROM, FRAM, XRAM, FLASH\n"
           "  --read-password TEXT --write-password TEXT   the controller's passwords (a scan: every address's)\n"
           "  --baud N --data-bits N --parity none|even|odd|mark|space --stop-bits 1|1.5|2\n"
           "                           the real port's line settings (default 9600 8N1)\n"
           "  --sim-line FILE | --sim-controller CONTROLLER   the built-in simulator instead of the real port\n"
           "  --wait-timeout MS --tries N   the driver's WaitTimeout and CountTry for this run; a scan\n"
           "                           waits 300 ms with 1 try per framing unless these or the station's\n"
           "                           [settings] give others (a one-off: the driver's 3000 ms, 3 tries)\n";
}

bool ParseCommissionOption(const std::string& arg, const NextArgument& next, CommissionOptions& options,
                           std::vector<std::string>& errors) {
    auto port = [&](CommissionMode mode) {
        if (const char* v = next("a port such as COM1")) {
            std::string error;
            if (const auto n = ReadPortName(v, error)) options.port = *n;
            else errors.push_back(arg + ": " + error);
        }
        if (options.mode != CommissionMode::None && options.mode != mode)
            errors.push_back(arg + ": only one of --scan, --read-once and --write-once at a time");
        options.mode = mode;
    };
    auto text = [&](std::string& out, const char* what) {
        if (const char* v = next(what)) out = v;
    };
    if (arg == "--scan") {
        port(CommissionMode::Scan);
    } else if (arg == "--read-once") {
        port(CommissionMode::Read);
    } else if (arg == "--write-once") {
        port(CommissionMode::Write);
        text(options.value, "a value");
    } else if (arg == "--addresses") {
        if (const char* v = next("a range such as 1-32"))
            if (!ReadAddressRange(v, options.firstAddress, options.lastAddress))
                errors.push_back(arg + ": \"" + std::string(v) + "\" is not a range within 1-255 such as 1-32");
    } else if (arg == "--framing") {
        std::optional<std::string> framing;
        Take(next("RTU or ASCII"), &ReadProtocol, arg, framing, errors);
        if (framing) options.framings = {*framing};
    } else if (arg == "--device") {
        text(options.device, "an address");
    } else if (arg == "--area") {
        text(options.area, "a memory area");
    } else if (arg == "--at") {
        text(options.at, "an address");
    } else if (arg == "--type") {
        text(options.type, "a type");
    } else if (arg == "--bit") {
        text(options.bit, "a bit number");
    } else if (arg == "--byte-order") {
        text(options.byteOrder, "msb or lsb");
    } else if (arg == "--read-password") {
        text(options.readPassword, "a password");
    } else if (arg == "--write-password") {
        text(options.writePassword, "a password");
    } else if (arg == "--baud") {
        Take(next("a baud rate"), &ReadBaud, arg, options.baud, errors);
    } else if (arg == "--data-bits") {
        Take(next("5..8"), &ReadDataBits, arg, options.dataBits, errors);
    } else if (arg == "--parity") {
        Take(next("a parity"), &ReadParity, arg, options.parity, errors);
    } else if (arg == "--stop-bits") {
        Take(next("1, 1.5 or 2"), &ReadStopBits, arg, options.stopBits, errors);
    } else if (arg == "--sim-line") {
        text(options.simLine, "a line file");
    } else if (arg == "--sim-controller") {
        std::string controller;
        text(controller, "a controller");
        if (!controller.empty()) options.simControllers.push_back(controller);
    } else if (arg == "--wait-timeout") {
        return TakeSetting(arg, next("milliseconds"), "WaitTimeout", 1, options, errors);
    } else if (arg == "--tries") {
        return TakeSetting(arg, next("a count"), "CountTry", 1, options, errors);
    } else {
        return false;
    }
    return true;
}

std::optional<CommissionPlan> PlanCommission(const CommissionOptions& options, std::vector<std::string>& errors) {
    const size_t before = errors.size();
    CommissionPlan plan;
    auto check = [&](const char* option, auto value, std::string& error) {
        if (!value) errors.push_back(std::string(option) + ": " + error);
        return value;
    };
    std::string error;
    plan.node.name = "Line";
    plan.node.port = options.port;
    if (const auto v = check("--device", ReadDeviceAddress(options.device, error), error)) plan.node.address = *v;
    if (const auto v = check("--byte-order", ReadByteOrder(options.byteOrder, error), error)) plan.node.byteOrder = *v;
    plan.node.readPassword = options.readPassword;
    plan.node.writePassword = options.writePassword;
    plan.framings = options.framings;
    if (plan.framings.empty())
        plan.framings = options.mode == CommissionMode::Scan ? std::vector<std::string>(std::begin(kFramings), std::end(kFramings))
                                                             : std::vector<std::string>{"RTU"};
    plan.node.protocol = plan.framings.front();

    ItemConfig& item = plan.item;
    item.name = "Value";
    if (const auto area = check("--area", ReadArea(options.area, error), error)) {
        item.area = *area;
        if (const auto v = check("--at", ReadItemAddress(options.at, item.area, error), error)) item.address = *v;
        if (const auto v = check("--type", ReadTypeName(options.type, item.area, error), error)) {
            item.typeCode = *v;
            item.typeName = DataTypeName(*v);
        }
    }
    if (const auto v = check("--bit", ReadBitNumber(options.bit, error), error)) item.bit = *v;
    item.writable = ItemWriteOffered(item.area);
    if (options.mode == CommissionMode::Write && errors.size() == before) {
        if (!item.writable) errors.push_back("--write-once: " + item.area + " cannot be written");
        else if (auto value = ParseWriteValue(item.typeCode, options.value, error)) plan.value = *value;
        else errors.push_back("--write-once: " + error);
    }
    if (errors.size() != before) return std::nullopt;
    return plan;
}

PortConfig CommissionPort(const CommissionOptions& options, const Station* station) {
    PortConfig port;
    const PortConfig* section = station ? station->FindPort(options.port) : nullptr;
    if (section) {
        port = *section;
    } else {
        port.kind = options.simLine.empty() && options.simControllers.empty() ? PortKind::Serial : PortKind::Simulator;
        port.simLineFile = options.simLine;
        port.simControllers = options.simControllers;
    }
    port.number = options.port;
    if (options.baud) port.baud = *options.baud;
    if (options.dataBits) port.dataBits = *options.dataBits;
    if (options.parity) port.parity = *options.parity;
    if (options.stopBits) port.stopBits = *options.stopBits;
    return port;
}

Settings CommissionSettings(CommissionMode mode, const Settings& station, const Settings& commandLine) {
    Settings settings;
    if (mode == CommissionMode::Scan)
        settings = {{"WaitTimeout", std::to_string(kScanWaitTimeoutMs)}, {"CountTry", std::to_string(kScanTries)}};
    settings.insert(settings.end(), station.begin(), station.end());
    settings.insert(settings.end(), commandLine.begin(), commandLine.end());
    return settings;
}

int64_t LineTiming::SilentMs() const { return (waitTimeoutMs + kCommissionTickMs) * countTry; }

LineTiming TimingOf(const Settings& settings) {
    LineTiming timing;
    for (const auto& [name, value] : settings) {
        const auto number = ParseInteger(value);
        if (!number) continue;
        if (name == "WaitTimeout") timing.waitTimeoutMs = *number;
        if (name == "CountTry") timing.countTry = *number;
    }
    return timing;
}

namespace {

enum class Origin { ScanDefault, Station, CommandLine };

Origin OriginOf(const char* name, const Settings& station, const Settings& commandLine) {
    auto has = [name](const Settings& settings) {
        for (const auto& setting : settings)
            if (setting.first == name) return true;
        return false;
    };
    return has(commandLine) ? Origin::CommandLine : has(station) ? Origin::Station : Origin::ScanDefault;
}

const char* OriginText(Origin origin) {
    switch (origin) {
    case Origin::ScanDefault: return "the scan's default";
    case Origin::Station: return "the station's";
    case Origin::CommandLine: break;
    }
    return "given";
}

}  // namespace

std::string ScanTimingText(const Settings& station, const Settings& commandLine, int framings, int addresses) {
    const LineTiming timing = TimingOf(CommissionSettings(CommissionMode::Scan, station, commandLine));
    const Origin wait = OriginOf("WaitTimeout", station, commandLine);
    const Origin tries = OriginOf("CountTry", station, commandLine);
    std::string origin;
    if (wait == tries && wait == Origin::ScanDefault) origin = "the scan's defaults";
    else if (wait == tries && wait == Origin::Station) origin = "the station's settings";
    else if (wait == tries) origin = "as given";
    else origin = std::string("WaitTimeout ") + OriginText(wait) + ", CountTry " + OriginText(tries);
    if (wait != Origin::CommandLine || tries != Origin::CommandLine) origin += "; --wait-timeout MS, --tries N change them";
    const std::string triesText = std::to_string(timing.countTry) + (timing.countTry == 1 ? " try" : " tries");
    return "  a silent address costs " + std::to_string(timing.waitTimeoutMs) + " ms x " + triesText + " per framing (" +
           origin + ")\n  " + DurationText(timing.SilentMs() * framings * addresses) + " at most for " +
           std::to_string(addresses) + (addresses == 1 ? " address" : " addresses") +
           "; Ctrl+C ends the scan with what was found\n";
}

std::string ItemText(const ItemConfig& item) {
    char address[16];
    std::snprintf(address, sizeof(address), "%04X hex", static_cast<unsigned>(item.address));
    std::string text = item.area + " " + address + " " + item.typeName;
    if (item.typeName == "Boolean") text += " bit " + std::to_string(item.bit);
    return text;
}

}  // namespace tervex::host
