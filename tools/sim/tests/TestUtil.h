#pragma once
// Helpers shared by the simulator's tests.
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "sim/Line.h"

namespace tervex::sim::test {

// "01 D0 05" -> bytes. Written out here so expectations never go through the code under test.
inline std::vector<uint8_t> Bytes(const std::string& hex)
{
    std::vector<uint8_t> out;
    std::istringstream in(hex);
    std::string pair;
    while (in >> pair)
        out.push_back(static_cast<uint8_t>(std::strtoul(pair.c_str(), nullptr, 16)));
    return out;
}

inline std::vector<uint8_t> Text(const std::string& text)
{
    return std::vector<uint8_t>(text.begin(), text.end());
}

// Everything the pieces carry, whatever their timing.
inline std::vector<uint8_t> Joined(const std::vector<Piece>& pieces)
{
    std::vector<uint8_t> out;
    for (const Piece& p : pieces)
        out.insert(out.end(), p.bytes.begin(), p.bytes.end());
    return out;
}

// 2024-05-17 13:45:30, a Friday.
constexpr int64_t kClockStartSeconds = 1715953530;

inline LineConfig OneController(Framing framing = Framing::Rtu, uint8_t address = 1)
{
    LineConfig config;
    config.clockStartSeconds = kClockStartSeconds;
    ControllerConfig c;
    c.address = address;
    c.framing = framing;
    config.controllers.push_back(c);
    return config;
}

}  // namespace tervex::sim::test
