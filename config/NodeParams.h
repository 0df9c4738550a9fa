#pragma once
// A node's parameters as the driver reads them from the node's property list.
// Absent properties take the readers' defaults given here.
#include <cstdint>
#include <optional>
#include <string>

namespace tervex {

enum NodePropertyId : int32_t {
    PROP_DESCRIPTION = 101,
    PROP_SCAN_RATE = 6,
    PROP_COM_PORT = 5000,
    PROP_DEVICE_ADDRESS = 5001,
    PROP_PROTOCOL_TYPE = 5002,
    PROP_READ_PASSWORD = 5003,
    PROP_WRITE_PASSWORD = 5004,
    PROP_BYTE_ORDER = 5008,
};

struct NodeParams {
    std::optional<int64_t> comPort;  // zero-based; absent: the node's items are not polled
    int64_t deviceAddress = 0;       // taken as one byte on the wire
    std::string protocol;            // UTF-8; exactly "ASCII" selects ASCII framing
    std::string readPassword;        // UTF-8; empty: none
    std::string writePassword;       // UTF-8; empty: none
    std::string byteOrder;           // UTF-8; see IsLsbFirst
};

}  // namespace tervex
