#pragma once
// What the node page edits, and the rules between those values and the stored ones.
#include <cstdint>
#include <optional>
#include <string>

namespace tervex {

// The page's values; the defaults are those of a page shown for the first time.
// Texts are UTF-8; an empty comPortName or protocol means nothing is selected.
struct NodePageValues {
    std::string name = "Node";
    std::string description = "Описание узла";
    double scanRateSeconds = 1.0;
    std::string comPortName;
    double deviceAddress = 1;
    std::string protocol = "RTU";
    std::string readPassword;
    std::string writePassword;
    std::string byteOrder = "Старшим байтом вперед";
};

// The values found in a node's list; absent (or unconvertible) ones are empty.
struct NodeStoredValues {
    std::optional<std::string> description;
    std::optional<double> scanRateMs;
    std::optional<int64_t> comPort;
    std::optional<double> deviceAddress;
    std::optional<std::string> protocol;
    std::optional<std::string> readPassword;
    std::optional<std::string> writePassword;
    std::optional<std::string> byteOrder;
};

// Nearest integer, ties to even; NaN gives 0 and the infinities saturate.
int64_t RoundHalfEven(double value);

// Seconds on a page to stored milliseconds.
int64_t ScanRateSecondsToMs(double seconds);
// Stored milliseconds to seconds on the node page, to the nearest tenth.
double ScanRateMsToPageSeconds(double ms);

// "COM<n>" to the stored zero-based index n - 1; an empty name or digits that do not
// convert give 0.
int32_t ComPortIndexFromName(const std::string& name);

// Fills the page from a node's list: found values replace the page's, the port, the
// protocol and the passwords are cleared first and the byte order reset to its first
// entry, and an address outside 1..255 leaves the field as it was.
void ApplyStoredNodeValues(const NodeStoredValues& stored, NodePageValues& page);

}  // namespace tervex
