#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "config/DiagnosticsArea.h"
#include "config/ItemParams.h"
#include "tools/host/core/Station.h"
#include "tools/host/core/StationValues.h"
#include "tools/host/core/TextFields.h"
#include "values/DataTypes.h"

namespace tervex::host {

std::string StationError::ToString() const {
    std::string text = line > 0 ? file + ":" + std::to_string(line) + ": " : file + ": ";
    if (!field.empty()) text += field + ": ";
    return text + message;
}

const PortConfig* Station::FindPort(int number) const {
    for (const PortConfig& port : ports)
        if (port.number == number) return &port;
    return nullptr;
}

const NodeConfig* Station::FindNode(const std::string& name) const {
    for (const NodeConfig& node : nodes)
        if (node.name == name) return &node;
    return nullptr;
}

std::optional<std::pair<size_t, size_t>> Station::FindItem(const std::string& fullName) const {
    const size_t dot = fullName.find('.');
    if (dot == std::string::npos) return std::nullopt;
    const std::string nodeName = fullName.substr(0, dot);
    const std::string itemName = fullName.substr(dot + 1);
    for (size_t n = 0; n < nodes.size(); ++n) {
        if (nodes[n].name != nodeName) continue;
        for (size_t i = 0; i < nodes[n].items.size(); ++i)
            if (nodes[n].items[i].name == itemName) return std::make_pair(n, i);
    }
    return std::nullopt;
}

size_t Station::ItemCount() const {
    size_t count = 0;
    for (const NodeConfig& node : nodes) count += node.items.size();
    return count;
}

namespace {

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\' || (name.size() > 1 && name[1] == ':') || dir.empty())
        return name;
    const char last = dir.back();
    return (last == '/' || last == '\\') ? dir + name : dir + "/" + name;
}

std::string DirectoryOf(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    return slash == std::string::npos ? std::string() : path.substr(0, slash);
}

class Parser {
public:
    Parser(std::string file, std::string baseDir) : baseDir_(std::move(baseDir)) { result_.station.file = std::move(file); }

    void Line(int number, const std::string& raw) {
        line_ = number;
        const std::string text = Trim(raw);
        if (text.empty() || text[0] == '#') return;
        if (text[0] == '[') return Header(text);
        switch (section_) {
            case Section::None: return Error("", "expected a section such as [settings], [port COM1] or [node NAME]");
            case Section::Settings: return Setting(text);
            case Section::Port: return PortKey(text);
            case Section::Node:
                if (text.compare(0, 5, "item ") == 0 || text.compare(0, 5, "item\t") == 0) return Item(text);
                return NodeKey(text);
        }
    }

    StationResult Finish() {
        Station& station = result_.station;
        if (station.nodes.empty()) Error0("", "the station has no [node ...] section");
        for (const NodeConfig& node : station.nodes) {
            if (node.port == 0) {
                ErrorAt(node.line, "port", "node \"" + node.name + "\" names no port (port = COM1, ...)");
                continue;
            }
            if (!station.FindPort(node.port)) {
                PortConfig implied;
                implied.number = node.port;
                station.ports.push_back(implied);
            }
        }
        return std::move(result_);
    }

private:
    enum class Section { None, Settings, Port, Node };

    void Error(const std::string& field, const std::string& message) { ErrorAt(line_, field, message); }
    void Error0(const std::string& field, const std::string& message) { ErrorAt(0, field, message); }
    void ErrorAt(int line, const std::string& field, const std::string& message) {
        result_.errors.push_back(StationError{result_.station.file, line, field, message});
    }

    void Header(const std::string& text) {
        section_ = Section::None;
        if (text.back() != ']') return Error("", "a section header ends with \"]\"");
        const auto fields = SplitFields(text.substr(1, text.size() - 2));
        if (!fields || fields->empty()) return Error("", "an empty section header");
        const std::string kind = (*fields)[0];
        if (kind == "settings") {
            if (fields->size() != 1) return Error("", "[settings] takes no name");
            section_ = Section::Settings;
            return;
        }
        if (fields->size() != 2) return Error("", "expected [port COMn] or [node NAME]");
        const std::string& name = (*fields)[1];
        std::string error;
        if (kind == "port") {
            const auto number = ReadPortName(name, error);
            if (!number) return Error("port", error);
            if (result_.station.FindPort(*number)) return Error("port", "COM" + std::to_string(*number) + " is given twice");
            PortConfig port;
            port.number = *number;
            port.line = line_;
            result_.station.ports.push_back(port);
            keysSeen_.clear();
            section_ = Section::Port;
            return;
        }
        if (kind == "node") {
            if (!CheckElementName(name, error)) return Error("node", error);
            if (result_.station.FindNode(name)) return Error("node", "\"" + name + "\" is given twice");
            NodeConfig node;
            node.name = name;
            node.line = line_;
            result_.station.nodes.push_back(node);
            keysSeen_.clear();
            section_ = Section::Node;
            return;
        }
        Error("", "unknown section \"" + kind + "\" (settings, port or node)");
    }

    // Each key once per section.
    bool FirstTime(const std::string& key) {
        if (keysSeen_.insert(key).second) return true;
        Error(key, "given twice in this section");
        return false;
    }

    void Setting(const std::string& text) {
        const auto pair = SplitAssignment(text);
        if (!pair) return Error("", "expected NAME = VALUE");
        for (const auto& stored : result_.station.settings)
            if (stored.first == pair->first) return Error(pair->first, "given twice");
        std::string error;
        if (!CheckSettingValue(pair->first, pair->second, error)) return Error(pair->first, error);
        result_.station.settings.push_back(*pair);
    }

    void PortKey(const std::string& text) {
        const auto pair = SplitAssignment(text);
        if (!pair) return Error("", "expected KEY = VALUE");
        const auto& [key, value] = *pair;
        PortConfig& port = result_.station.ports.back();
        std::string error;
        if (key == "controller") {  // may be repeated
            if (value.empty()) return Error(key, "empty controller");
            port.simControllers.push_back(value);
            return;
        }
        if (!FirstTime(key)) return;
        if (key == "type") {
            if (const auto kind = ReadPortKind(value, error)) port.kind = *kind;
            else Error(key, error);
        } else if (key == "line") {
            if (value.empty()) return Error(key, "no file named");
            port.simLineFile = JoinPath(baseDir_, value);
        } else if (key == "baud") {
            if (const auto baud = ReadBaud(value, error)) port.baud = *baud;
            else Error(key, error);
        } else if (key == "data_bits") {
            if (const auto bits = ReadDataBits(value, error)) port.dataBits = *bits;
            else Error(key, error);
        } else if (key == "parity") {
            if (const auto parity = ReadParity(value, error)) port.parity = *parity;
            else Error(key, error);
        } else if (key == "stop_bits") {
            if (const auto stop = ReadStopBits(value, error)) port.stopBits = *stop;
            else Error(key, error);
        } else if (key == "wait") {
            if (const auto wait = ReadSerialWait(value, error)) port.wait = *wait;
            else Error(key, error);
        } else if (key == "rx_gap_ms") {
            if (const auto gap = ReadGapMs(value, error)) port.rxGapMs = *gap;
            else Error(key, error);
        } else {
            Error(key, "unknown key (type, line, controller, baud, data_bits, parity, stop_bits, wait, rx_gap_ms)");
        }
    }

    void NodeKey(const std::string& text) {
        const auto pair = SplitAssignment(text);
        if (!pair) return Error("", "expected KEY = VALUE or an item line");
        const auto& [key, value] = *pair;
        if (!FirstTime(key)) return;
        NodeConfig& node = result_.station.nodes.back();
        if (!node.items.empty()) return Error(key, "node keys come before the node's items");
        std::string error;
        if (key == "port") {
            if (const auto number = ReadPortName(value, error)) node.port = *number;
            else Error(key, error);
        } else if (key == "address") {
            if (const auto address = ReadDeviceAddress(value, error)) node.address = *address;
            else Error(key, error);
        } else if (key == "protocol") {
            if (const auto protocol = ReadProtocol(value, error)) node.protocol = *protocol;
            else Error(key, error);
        } else if (key == "byte_order") {
            if (const auto order = ReadByteOrder(value, error)) node.byteOrder = *order;
            else Error(key, error);
        } else if (key == "scan_rate") {
            if (const auto rate = ReadScanRate(value, error)) node.scanRateSeconds = *rate;
            else Error(key, error);
        } else if (key == "read_password") {
            node.readPassword = value;
        } else if (key == "write_password") {
            node.writePassword = value;
        } else if (key == "description") {
            node.description = value;
        } else {
            Error(key, "unknown key (port, address, protocol, byte_order, scan_rate, read_password, "
                       "write_password, description)");
        }
    }

    // item NAME AREA ADDRESS TYPE [bit=N] [scan_rate=S] [access=rw] [description=TEXT]
    void Item(const std::string& text) {
        const auto fields = SplitFields(text);
        if (!fields) return Error("", "a double quote is left open");
        static const char* const kNames[] = {"item", "name", "area", "address", "type"};
        if (fields->size() < 5) {
            return Error(kNames[fields->size()], "missing: item lines read item NAME AREA ADDRESS TYPE [key=value ...]");
        }
        NodeConfig& node = result_.station.nodes.back();
        ItemConfig item;
        item.line = line_;
        item.name = (*fields)[1];
        std::string error;
        if (!CheckElementName(item.name, error)) return Error("name", error);
        for (const ItemConfig& other : node.items)
            if (other.name == item.name) return Error("name", "\"" + item.name + "\" is given twice in node " + node.name);
        const std::string where = "item " + item.name + ", ";
        const auto area = ReadArea((*fields)[2], error);
        if (!area) return Error(where + "area", error);
        item.area = *area;
        const auto address = ReadItemAddress((*fields)[3], item.area, error);
        if (!address) return Error(where + "address", error);
        item.address = *address;
        const auto code = ReadTypeName((*fields)[4], item.area, error);
        if (!code) return Error(where + "type", error);
        item.typeCode = *code;
        item.typeName = (*fields)[4];
        item.writable = ItemWriteOffered(item.area);

        bool ok = true;
        std::set<std::string> seen;
        for (size_t f = 5; f < fields->size(); ++f) {
            const std::string& option = (*fields)[f];
            const size_t eq = option.find('=');
            if (eq == std::string::npos || eq == 0) {
                Error(where + "field " + std::to_string(f), "\"" + option + "\" is not key=value");
                ok = false;
                continue;
            }
            const std::string key = option.substr(0, eq);
            std::string value = option.substr(eq + 1);
            if (value.size() >= 2 && value.front() == '"' && value.back() == '"') value = value.substr(1, value.size() - 2);
            if (!seen.insert(key).second) {
                Error(where + key, "given twice");
                ok = false;
                continue;
            }
            if (!ItemOption(item, key, value, where)) ok = false;
        }
        if (ok && seen.count("bit") && item.typeCode != kTypeBoolean) {
            Error(where + "bit", "only Boolean items have a bit number");
            ok = false;
        }
        if (ok) node.items.push_back(item);
    }

    bool ItemOption(ItemConfig& item, const std::string& key, const std::string& value, const std::string& where) {
        std::string error;
        if (key == "bit") {
            const auto bit = ReadBitNumber(value, error);
            if (bit) item.bit = *bit;
            else Error(where + key, error);
            return bit.has_value();
        }
        if (key == "scan_rate") {
            const auto rate = ReadScanRate(value, error);
            if (rate) item.scanRateSeconds = *rate;
            else Error(where + key, error);
            return rate.has_value();
        }
        if (key == "access") {
            const auto access = ReadAccess(value, error);
            if (!access) {
                Error(where + key, error);
                return false;
            }
            if (access->write && !ItemWriteOffered(item.area)) {
                Error(where + key, item.area + " cannot be written");
                return false;
            }
            item.readable = access->read;
            item.writable = access->write;
            return true;
        }
        if (key == "description") {
            item.description = value;
            return true;
        }
        Error(where + key, "unknown key (bit, scan_rate, access, description)");
        return false;
    }

    StationResult result_;
    std::string baseDir_;
    Section section_ = Section::None;
    std::set<std::string> keysSeen_;
    int line_ = 0;
};

}  // namespace

StationResult ParseStation(const std::string& text, const std::string& fileName, const std::string& baseDir) {
    Parser parser(fileName, baseDir);
    std::istringstream lines(text);
    std::string line;
    int number = 0;
    while (std::getline(lines, line)) {
        ++number;
        if (number == 1 && line.compare(0, 3, "\xEF\xBB\xBF") == 0) line = line.substr(3);  // UTF-8 mark
        parser.Line(number, line);
    }
    return parser.Finish();
}

StationResult LoadStation(const std::string& path) {
    // A UTF-8 name opens through the wide-character API on Windows, whatever the code page.
    errno = 0;
    std::ifstream in(std::filesystem::u8path(path), std::ios::binary);
    if (!in) {
        const int reason = errno;
        StationResult result;
        result.station.file = path;
        result.errors.push_back(StationError{path, 0, "", std::string("cannot be read") + (reason ? ": " + std::string(std::strerror(reason)) : "")});
        return result;
    }
    std::ostringstream text;
    text << in.rdbuf();
    return ParseStation(text.str(), path, DirectoryOf(path));
}

}  // namespace tervex::host
