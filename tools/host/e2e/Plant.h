#pragma once
// Stations for the end-to-end cases, described as data, and the checks of an
// item's value, quality and write against the simulator's memory.
#include <string>
#include <vector>

#include "DeviceValues.h"
#include "E2eSupport.h"

namespace tervex::host::e2e {

struct ItemSpec {
    std::string name;
    std::string area;
    uint32_t address = 0;
    std::string type;
    int bit = 0;
    std::string write;  // a value to write, or empty
};

inline ItemSpec Item(std::string name, std::string area, uint32_t address, std::string type, int bit = 0,
                     std::string write = std::string()) {
    return ItemSpec{std::move(name), std::move(area), address, std::move(type), bit, std::move(write)};
}

struct NodeSpec {
    std::string name;
    int com = 0;
    int address = 1;
    std::string protocol = "RTU";
    Order order = Order::Msb;
    std::string readPassword;
    std::string writePassword;
    std::string scanRate = "0.2";
    std::vector<ItemSpec> items;
};

inline NodeSpec Node(std::string name, int com, int address, std::string protocol = "RTU", Order order = Order::Msb,
                     std::string readPassword = std::string(), std::string writePassword = std::string()) {
    NodeSpec node;
    node.name = std::move(name);
    node.com = com;
    node.address = address;
    node.protocol = std::move(protocol);
    node.order = order;
    node.readPassword = std::move(readPassword);
    node.writePassword = std::move(writePassword);
    return node;
}

// The station file: the settings lines, every COM port of the nodes as a
// serial port (with portLines added to each).
std::string StationText(const std::string& settings, const std::vector<NodeSpec>& nodes,
                        const std::string& portLines = "");
// --write-at arguments for every item with a write value.
std::vector<std::string> WriteArgs(const std::vector<NodeSpec>& nodes, const std::string& atSeconds);

// The memory a line configuration starts with, read from a line built aside.
std::vector<uint8_t> InitialMemory(const std::string& configText, uint8_t controller, const std::string& area,
                                   uint32_t address, size_t count);

// Every item of the node: value and good quality as the simulator's memory
// says at the end; every write acknowledged and found in memory.
void ExpectNodeMatchesMemory(const Results& results, SimLine& line, const std::string& configText,
                             const NodeSpec& node, int64_t runStartMs, int64_t runEndMs);

// What the host printed, for failure messages.
std::string Shown(const HostOutcome& outcome);

}  // namespace tervex::host::e2e
