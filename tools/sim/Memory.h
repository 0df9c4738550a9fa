#pragma once
// The memory areas of one controller. Addresses wrap around the end of an
// area, as an 8- or 16-bit pointer of the controller would.
#include <array>
#include <cstdint>
#include <vector>

#include "sim/Commands.h"

namespace tervex::sim {

class Memory {
public:
    Memory();

    uint8_t Get(Area area, uint32_t address) const;
    void Set(Area area, uint32_t address, uint8_t value);
    std::vector<uint8_t> Read(Area area, uint32_t address, size_t count) const;
    void Write(Area area, uint32_t address, const std::vector<uint8_t>& bytes);

private:
    std::array<std::vector<uint8_t>, kAreaCount> areas_;
};

}  // namespace tervex::sim
