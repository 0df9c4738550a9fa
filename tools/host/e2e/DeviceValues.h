#pragma once
// The value an item must show for given device bytes, and the bytes a write
// must leave in device memory, worked out here on their own (from the wire
// rules of the controller family) so the driver's codec is checked, not copied.
#include <cstdint>
#include <string>
#include <vector>

namespace tervex::host::e2e {

enum class Order { Msb, Lsb };

// The host's results-file form: "i:<n>", "s:<UTF-16 units>", "a:<hex>".
// bytes: the item's memory from its address on (8 bytes are enough for every type).
std::string ExpectedValue(const std::vector<uint8_t>& bytes, const std::string& type, Order order, int bit);

// The item's bytes (as many as its type occupies) after a write: before holds
// the item's memory before it; value as the host takes it on its command line.
std::vector<uint8_t> ExpectedAfterWrite(const std::vector<uint8_t>& before, const std::string& type, Order order,
                                        int bit, const std::string& value);

}  // namespace tervex::host::e2e
