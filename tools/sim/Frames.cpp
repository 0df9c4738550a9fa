#include "sim/Frames.h"

#include "sim/Crc16.h"
#include "sim/Hex.h"

namespace tervex::sim {

const char* FramingName(Framing framing)
{
    return framing == Framing::Ascii ? "ASCII" : "RTU";
}

std::vector<uint8_t> EncodeAnswer(const Answer& answer)
{
    if (answer.framing == Framing::Rtu) {
        std::vector<uint8_t> wire = answer.body;
        AppendCrc(wire);
        return wire;
    }
    std::vector<uint8_t> wire;
    wire.push_back(answer.resetForm ? '?' : '!');
    for (char c : ToHex(answer.body))
        wire.push_back(static_cast<uint8_t>(c));
    wire.push_back('\r');
    return wire;
}

}  // namespace tervex::sim
