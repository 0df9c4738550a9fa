#pragma once
// A station: what the reference host serves. Read from a station file (see
// docs/STATIONS.md); texts are UTF-8.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tervex::host {

enum class PortKind { Simulator, Serial };
enum class Parity { None, Even, Odd, Mark, Space };
enum class StopBits { One, OneAndHalf, Two };
// How the host watches a serial port for answers. Events: a pending overlapped
// read wakes it (cheap on Windows). Poll: while an exchange is open it looks
// at the port in short steps and reads only what is there (under Wine every
// overlapped read costs several server round trips). Auto: Poll under Wine.
enum class SerialWait { Auto, Events, Poll };

struct PortConfig {
    int number = 1;  // n of "COMn"
    int line = 0;    // where the section starts; 0: implied by a node
    PortKind kind = PortKind::Simulator;
    // Built-in simulator: a line configuration file (resolved path) and
    // controllers given in place, both as tervex-sim takes them.
    std::string simLineFile;
    std::vector<std::string> simControllers;
    // Serial port.
    int baud = 9600;
    int dataBits = 8;
    Parity parity = Parity::None;
    StopBits stopBits = StopBits::One;
    SerialWait wait = SerialWait::Auto;
    // An answer the driver does not call complete is handed over anyway once
    // the line has been quiet this long.
    int rxGapMs = 100;
};

struct ItemConfig {
    std::string name;
    int line = 0;
    std::string area;  // one of the seven texts, "ОЗУ" for "RAM"
    uint32_t address = 0;
    std::string typeName;  // display name
    uint16_t typeCode = 17;
    int bit = 0;
    std::optional<double> scanRateSeconds;  // none: the node's
    bool readable = true;
    bool writable = true;
    std::string description = "Описание переменной";
};

struct NodeConfig {
    std::string name;
    int line = 0;
    std::string description = "Описание узла";
    double scanRateSeconds = 1.0;
    int port = 0;  // n of "COMn"; 0: not given
    int address = 1;
    std::string protocol = "RTU";
    std::string readPassword;
    std::string writePassword;
    std::string byteOrder = "Старшим байтом вперед";
    std::vector<ItemConfig> items;
};

struct Station {
    std::string file;
    // Driver settings as the host stores them: (name, value) pairs in file order.
    std::vector<std::pair<std::string, std::string>> settings;
    std::vector<PortConfig> ports;
    std::vector<NodeConfig> nodes;

    const PortConfig* FindPort(int number) const;
    const NodeConfig* FindNode(const std::string& name) const;
    // "Node.Item"; nothing when either part is unknown.
    std::optional<std::pair<size_t, size_t>> FindItem(const std::string& fullName) const;
    size_t ItemCount() const;
};

// A bad entry, named by file, line and field.
struct StationError {
    std::string file;
    int line = 0;
    std::string field;  // empty: the line as a whole
    std::string message;
    std::string ToString() const;
};

struct StationResult {
    Station station;
    std::vector<StationError> errors;
};

// baseDir: where relative file names in the station (simulator lines) are taken from.
StationResult ParseStation(const std::string& text, const std::string& fileName, const std::string& baseDir);
StationResult LoadStation(const std::string& path);

}  // namespace tervex::host
