#include "protocol/Framing.h"

#include "protocol/Crc16.h"
#include "protocol/Hex.h"

namespace tervex {

const char* const kProtocolRtu = "RTU";
const char* const kProtocolAscii = "ASCII";

namespace {

constexpr uint8_t kCarriageReturn = 0x0D;
constexpr uint8_t kLineFeed = 0x0A;
constexpr uint8_t kRequestStart = '$';

class Rtu final : public Framing {
public:
    const char* Name() const override { return kProtocolRtu; }

    std::vector<uint8_t> EncodeRequest(const uint8_t* binary, size_t count) const override {
        return std::vector<uint8_t>(binary, binary + count);
    }

    bool IsFrameComplete(const uint8_t* data, size_t count) const override {
        return HasValidCrc16(data, count);
    }

    void AppendTrace(std::string& text, const uint8_t* data, size_t count) const override {
        if (data == nullptr) {
            return;
        }
        const size_t at = text.size();
        text.resize(at + count * 3);
        char* out = &text[at];
        for (size_t i = 0; i < count; ++i) {
            const auto pair = ByteToHexPair(data[i]);
            *out++ = pair.first;
            *out++ = pair.second;
            *out++ = ' ';
        }
    }

    bool IsWriteAcknowledged(const uint8_t* answer, size_t count, uint8_t device, uint8_t command) const override {
        return answer != nullptr && count == 4 && answer[0] == device && answer[1] == command;
    }

    bool GathersPieces() const override { return false; }
};

class Ascii final : public Framing {
public:
    const char* Name() const override { return kProtocolAscii; }

    // "$", two hex characters per byte before the CRC, carriage return; no checksum.
    std::vector<uint8_t> EncodeRequest(const uint8_t* binary, size_t count) const override {
        const size_t n = count < 2 ? 0 : count - 2;
        std::vector<uint8_t> text;
        text.reserve(2 * n + 2);
        text.push_back(kRequestStart);
        for (size_t i = 0; i < n; ++i) {
            const auto pair = ByteToHexPair(binary[i]);
            text.push_back(static_cast<uint8_t>(pair.first));
            text.push_back(static_cast<uint8_t>(pair.second));
        }
        text.push_back(kCarriageReturn);
        return text;
    }

    bool IsFrameComplete(const uint8_t* data, size_t count) const override {
        if (data == nullptr) {
            return false;
        }
        for (size_t i = 0; i < count; ++i) {
            if (data[i] == kCarriageReturn) {
                return true;
            }
        }
        return false;
    }

    void AppendTrace(std::string& text, const uint8_t* data, size_t count) const override {
        if (data == nullptr) {
            return;
        }
        text.reserve(text.size() + count + 3);  // one carriage return as a rule, shown as four characters
        for (size_t i = 0; i < count; ++i) {
            if (data[i] == kCarriageReturn) {
                text += "<CR>";
            } else if (data[i] == kLineFeed) {
                text += "<LF>";
            } else {
                text += static_cast<char>(data[i]);
            }
        }
    }

    // The ASCII acknowledgement carries only the device address.
    bool IsWriteAcknowledged(const uint8_t* answer, size_t count, uint8_t device, uint8_t) const override {
        return answer != nullptr && count == 3 && answer[0] == device;
    }

    bool GathersPieces() const override { return true; }
};

}  // namespace

const Framing& RtuFraming() {
    static const Rtu rtu;
    return rtu;
}

const Framing& AsciiFraming() {
    static const Ascii ascii;
    return ascii;
}

const Framing& FramingFor(const std::string& protocol) {
    return protocol == kProtocolAscii ? AsciiFraming() : RtuFraming();
}

std::string FrameToText(const uint8_t* data, size_t count, const std::string& protocol) {
    return FramingFor(protocol).Trace(data, count);
}

}  // namespace tervex
