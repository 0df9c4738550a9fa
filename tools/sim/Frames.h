#pragma once
// Requests as the controller sees them and answers as it sends them.
#include <cstdint>
#include <vector>

namespace tervex::sim {

enum class Framing {
    Rtu,    // binary, ending in the CRC-16
    Ascii,  // "$" + hex + CR for requests, "!" or "?" + hex + CR for answers, no checksum
};

const char* FramingName(Framing framing);

// A request with its framing removed: the bytes before the CRC, or the decoded hex.
struct Request {
    Framing framing = Framing::Rtu;
    std::vector<uint8_t> body;
};

struct Answer {
    Framing framing = Framing::Rtu;
    bool resetForm = false;  // the password-reset answer: "?" in ASCII
    std::vector<uint8_t> body;
};

// The answer as it goes on the wire.
std::vector<uint8_t> EncodeAnswer(const Answer& answer);

}  // namespace tervex::sim
