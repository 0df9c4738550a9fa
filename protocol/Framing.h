#pragma once
// The two ways a data request and its answer travel on the line. RTU: binary bytes
// ending in the CRC. ASCII: the same bytes without CRC as hex text between a start
// character and a carriage return. The poll cycle asks the framing, never the name.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace tervex {

extern const char* const kProtocolRtu;    // "RTU"
extern const char* const kProtocolAscii;  // "ASCII"

class Framing {
public:
    virtual ~Framing() = default;
    virtual const char* Name() const = 0;
    // The binary request, CRC included, as it goes on the line.
    virtual std::vector<uint8_t> EncodeRequest(const uint8_t* binary, size_t count) const = 0;
    std::vector<uint8_t> EncodeRequest(const std::vector<uint8_t>& binary) const {
        return EncodeRequest(binary.data(), binary.size());
    }
    // Whether the bytes received so far can be handed over as one answer.
    virtual bool IsFrameComplete(const uint8_t* data, size_t count) const = 0;
    // Trace text of a frame, as the log shows it, appended to a line.
    virtual void AppendTrace(std::string& line, const uint8_t* data, size_t count) const = 0;
    std::string Trace(const uint8_t* data, size_t count) const {
        std::string text;
        AppendTrace(text, data, count);
        return text;
    }
    // Whether a binary answer (CRC included) acknowledges a write of this command.
    virtual bool IsWriteAcknowledged(const uint8_t* answer, size_t count, uint8_t device,
                                     uint8_t command) const = 0;
    // Whether answers are gathered from pieces in their port's receive buffer.
    virtual bool GathersPieces() const = 0;
};

const Framing& RtuFraming();
const Framing& AsciiFraming();

// Exactly "ASCII" selects ASCII; any other text, the empty one of password requests
// included, selects RTU.
const Framing& FramingFor(const std::string& protocol);

// Trace text of a frame for a protocol text.
std::string FrameToText(const uint8_t* data, size_t count, const std::string& protocol);

}  // namespace tervex
