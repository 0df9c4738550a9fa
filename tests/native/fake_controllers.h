#pragma once
// In-process controllers on fake serial lines, for tests only. They answer binary and
// ASCII requests from their own memory, take writes, acknowledge passwords, and can be
// told to keep silent at every n-th answer or to garble the CRC of every n-th binary one.
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "protocol_rig.h"

namespace rig {

class FakeController {
public:
    FakeController() = default;
    FakeController(uint8_t address, bool ascii, uint32_t seed) : FAddress(address), FAscii(ascii), FSeed(seed) {}

    int silentEvery = 0;  // 0: never
    int garbleEvery = 0;
    int answers = 0;

    // Memory areas by read command: 0xD0 RAM .. 0xD5 FLASH.
    std::vector<uint8_t>& Area(uint8_t readCommand) {
        auto it = FMemory.find(readCommand);
        if (it == FMemory.end()) {
            const size_t size = (readCommand <= 0xD1 ? 256 : 65536) + 8;
            std::vector<uint8_t> bytes(size);
            for (size_t i = 0; i < size; ++i) bytes[i] = Pattern(readCommand, i);
            it = FMemory.emplace(readCommand, std::move(bytes)).first;
        }
        return it->second;
    }

    uint8_t Pattern(uint8_t area, size_t index) const {
        uint32_t x = FSeed * 2654435761u ^ (area * 40503u) ^ static_cast<uint32_t>(index * 2246822519u);
        x ^= x >> 13;
        x *= 3266489917u;
        x ^= x >> 16;
        return static_cast<uint8_t>(x);
    }

    // The answer to a request addressed to this controller, or none (silence).
    std::optional<Bytes> Handle(const Bytes& request, bool binary) {
        std::optional<Bytes> reply = Respond(request);
        if (!reply) return std::nullopt;
        ++answers;
        if (silentEvery && answers % silentEvery == 0) return std::nullopt;
        Bytes body = *reply;
        const bool asText = FAscii && binary == false;
        Bytes wire = asText ? ToText(body) : WithCrc(body);
        if (garbleEvery && answers % garbleEvery == 0 && !asText) {  // text carries no CRC
            wire.back() ^= 0x5A;
        }
        return wire;
    }

private:
    static Bytes ToText(const Bytes& body) {
        static const char* digits = "0123456789ABCDEF";
        Bytes text{'!'};
        for (uint8_t b : body) {
            text.push_back(static_cast<uint8_t>(digits[b >> 4]));
            text.push_back(static_cast<uint8_t>(digits[b & 15]));
        }
        text.push_back('\r');
        return text;
    }

    std::optional<Bytes> Respond(const Bytes& r) {
        if (r.size() < 2) return std::nullopt;
        const uint8_t command = r[1];
        const bool shortAddress = command == 0xD0 || command == 0xD1 || command == 0xE0 || command == 0xE1 ||
                                  command == 0xB0 || command == 0xC0;
        const size_t addressBytes = shortAddress ? 1 : 2;
        auto address = [&] { return shortAddress ? r[2] : static_cast<size_t>(r[2] << 8 | r[3]); };
        if (command >= 0xD0 && command <= 0xD5 && r.size() == 2 + addressBytes) {
            auto& mem = Area(command);
            Bytes answer{FAddress};
            answer.insert(answer.end(), mem.begin() + address(), mem.begin() + address() + 8);
            return answer;
        }
        if (command >= 0xE0 && command <= 0xE4 && r.size() > 2 + addressBytes) {
            auto& mem = Area(static_cast<uint8_t>(command - 0x10));
            std::copy(r.begin() + 2 + addressBytes, r.end(), mem.begin() + address());
            return FAscii ? Bytes{FAddress} : Bytes{FAddress, command};
        }
        if ((command == 0xB0 || command == 0xC0) && r.size() == 4) {
            auto& mem = Area(0xD0);
            mem[address()] = command == 0xB0 ? (mem[address()] | r[3]) : (mem[address()] & ~r[3]);
            return FAscii ? Bytes{FAddress} : Bytes{FAddress, command};
        }
        if ((command == 0xF0 || command == 0xF1) && r.size() == 8) {
            passwords.push_back(std::string(r.begin() + 2, r.end()));
            return Bytes{FAddress, command};
        }
        return std::nullopt;
    }

    uint8_t FAddress = 0;
    bool FAscii = false;
    uint32_t FSeed = 0;
    std::map<uint8_t, std::vector<uint8_t>> FMemory;

public:
    std::vector<std::string> passwords;
};

// Controllers on the engine's ports; answers are collected at write time and handed
// over by Deliver, ASCII ones in two pieces.
class FakeLines {
public:
    std::map<uint8_t, std::map<uint8_t, FakeController>> ports;
    std::vector<std::pair<uint8_t, Bytes>> pending;

    void OnWrite(uint8_t port, const Bytes& frame) {
        Bytes request;
        bool binary = true;
        if (!frame.empty() && frame[0] == '$') {
            binary = false;
            if (frame.size() < 4 || frame.back() != '\r') return;
            for (size_t i = 1; i + 2 < frame.size(); i += 2) {
                request.push_back(static_cast<uint8_t>(Nibble(frame[i]) << 4 | Nibble(frame[i + 1])));
            }
        } else {
            if (frame.size() < 3 || ReferenceCrc(Bytes(frame.begin(), frame.end() - 2)) !=
                                        static_cast<uint16_t>(frame[frame.size() - 2] | frame.back() << 8)) {
                return;
            }
            request.assign(frame.begin(), frame.end() - 2);
        }
        auto line = ports.find(port);
        if (line == ports.end()) return;
        auto controller = line->second.find(request[0]);
        if (controller == line->second.end()) return;
        if (auto answer = controller->second.Handle(request, binary)) pending.emplace_back(port, *answer);
    }

    // Hands every collected answer to the engine; returns how many.
    size_t Deliver(tervex::PollEngine& engine) {
        std::vector<std::pair<uint8_t, Bytes>> answers;
        answers.swap(pending);
        for (const auto& [port, bytes] : answers) {
            if (bytes[0] == '!' && bytes.size() > 4) {
                const size_t cut = bytes.size() / 2;
                engine.DataReceived(port, bytes.data(), static_cast<int32_t>(cut));
                engine.DataReceived(port, bytes.data() + cut, static_cast<int32_t>(bytes.size() - cut));
            } else {
                engine.DataReceived(port, bytes.data(), static_cast<int32_t>(bytes.size()));
            }
        }
        return answers.size();
    }

private:
    static uint8_t Nibble(uint8_t c) { return c <= '9' ? c - '0' : c - 'A' + 10; }
};

}  // namespace rig
