#include "tools/host/config/StationWriter.h"

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

namespace tervex::host {
namespace {

// Values with blanks, '#' or quotes are quoted; a quote inside cannot be kept.
std::string Quoted(const std::string& text) {
    if (!text.empty() && text.find_first_of(" \t#\"=") == std::string::npos) return text;
    std::string out = "\"";
    for (char c : text) out += c == '"' ? '\'' : c;
    return out + "\"";
}

std::string Seconds(double seconds) {
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.1f", std::round(seconds * 10) / 10);
    return buffer;
}

const char* ParityText(Parity parity) {
    switch (parity) {
    case Parity::Even: return "even";
    case Parity::Odd: return "odd";
    case Parity::Mark: return "mark";
    case Parity::Space: return "space";
    default: return "none";
    }
}

const char* StopBitsText(StopBits bits) {
    switch (bits) {
    case StopBits::OneAndHalf: return "1.5";
    case StopBits::Two: return "2";
    default: return "1";
    }
}

std::string Access(const ItemConfig& item) {
    if (item.readable && item.writable) return "rw";
    if (item.readable) return "r";
    if (item.writable) return "w";
    return "none";
}

void WritePort(std::ostringstream& out, const PortConfig& port) {
    out << "[port COM" << port.number << "]\n";
    if (port.kind == PortKind::Serial) {
        out << "type = serial\nbaud = " << port.baud << "\ndata_bits = " << port.dataBits
            << "\nparity = " << ParityText(port.parity) << "\nstop_bits = " << StopBitsText(port.stopBits) << "\n";
    } else {
        out << "type = simulator\n";
        if (!port.simLineFile.empty()) out << "line = " << Quoted(port.simLineFile) << "\n";
        for (const std::string& c : port.simControllers) out << "controller = " << c << "\n";
    }
    out << "rx_gap_ms = " << port.rxGapMs << "\n\n";
}

void WriteNode(std::ostringstream& out, const NodeConfig& node) {
    out << "[node " << node.name << "]\n";
    out << "port = COM" << node.port << "\naddress = " << node.address << "\nprotocol = " << node.protocol
        << "\nbyte_order = " << Quoted(node.byteOrder) << "\nscan_rate = " << Seconds(node.scanRateSeconds) << "\n";
    if (!node.readPassword.empty()) out << "read_password = " << Quoted(node.readPassword) << "\n";
    if (!node.writePassword.empty()) out << "write_password = " << Quoted(node.writePassword) << "\n";
    out << "description = " << Quoted(node.description) << "\n";
    for (const ItemConfig& item : node.items) {
        out << "item " << item.name << " " << item.area << " " << item.address << " " << Quoted(item.typeName);
        if (item.typeName == "Boolean") out << " bit=" << item.bit;
        if (item.scanRateSeconds) out << " scan_rate=" << Seconds(*item.scanRateSeconds);
        out << " access=" << Access(item) << " description=" << Quoted(item.description) << "\n";
    }
    out << "\n";
}

}  // namespace

std::string StationText(const Station& station) {
    std::ostringstream out;
    if (!station.settings.empty()) {
        out << "[settings]\n";
        for (const auto& [name, value] : station.settings) out << name << " = " << Quoted(value) << "\n";
        out << "\n";
    }
    for (const PortConfig& port : station.ports) WritePort(out, port);
    for (const NodeConfig& node : station.nodes) WriteNode(out, node);
    return out.str();
}

StationResult LoadStationForEditing(const std::string& path) {
    if (!std::ifstream(std::filesystem::u8path(path), std::ios::binary)) return {};
    StationResult loaded = LoadStation(path);
    std::vector<StationError> kept;
    for (StationError& e : loaded.errors)
        if (!(e.line == 0 && e.field.empty() && e.message.find("no [node") != std::string::npos))
            kept.push_back(std::move(e));
    loaded.errors = std::move(kept);
    return loaded;
}

bool SaveStation(const Station& station, const std::string& path) {
    std::ofstream file(std::filesystem::u8path(path), std::ios::binary | std::ios::trunc);
    if (!file) return false;
    file << StationText(station);
    file.close();
    return !file.fail();
}

}  // namespace tervex::host
