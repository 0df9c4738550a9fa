#include "sim/Memory.h"

namespace tervex::sim {

Memory::Memory()
{
    for (int i = 0; i < kAreaCount; ++i)
        areas_[i].assign(AreaSize(static_cast<Area>(i)), 0);
}

uint8_t Memory::Get(Area area, uint32_t address) const
{
    const auto& bytes = areas_[static_cast<int>(area)];
    return bytes[address % bytes.size()];
}

void Memory::Set(Area area, uint32_t address, uint8_t value)
{
    auto& bytes = areas_[static_cast<int>(area)];
    bytes[address % bytes.size()] = value;
}

std::vector<uint8_t> Memory::Read(Area area, uint32_t address, size_t count) const
{
    std::vector<uint8_t> out;
    out.reserve(count);
    for (size_t i = 0; i < count; ++i)
        out.push_back(Get(area, static_cast<uint32_t>(address + i)));
    return out;
}

void Memory::Write(Area area, uint32_t address, const std::vector<uint8_t>& bytes)
{
    for (size_t i = 0; i < bytes.size(); ++i)
        Set(area, static_cast<uint32_t>(address + i), bytes[i]);
}

}  // namespace tervex::sim
