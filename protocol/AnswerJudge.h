#pragma once
// How one task fares with the answer to the frame it waited on: one function with a
// fixed order of checks, and one table from outcome to result code and quality.
#include <cstddef>
#include <cstdint>

#include "protocol/EngineTask.h"
#include "protocol/Framing.h"
#include "protocol/RequestBuilder.h"

namespace tervex {

enum class AnswerOutcome : uint8_t {
    Good,
    NoAnswer,     // silence after a written frame
    CrcError,
    WrongAnswer,  // wrong length, device address or command echo
    Failed,       // anything else
};

struct OutcomeCodes {
    uint32_t result;
    uint16_t quality;
};

OutcomeCodes CodesOf(AnswerOutcome outcome);

struct AnswerFacts {
    const uint8_t* data = nullptr;     // the answer in binary form, CRC included
    int count = 0;
    bool hasDevice = false;
    uint8_t deviceLastResult = 0;
    const Framing* framing = nullptr;  // the framing the request went out in
    uint8_t command = 0;               // the request's command
    // the task
    bool isRead = true;
    MemoryArea area = MemoryArea::None;
    uint8_t deviceAddress = 0;
};

// In order: CRC error; nothing received or no device (no answer when the device's
// last write got none, else failed); an area the task cannot use; for a read the
// length (11) and the device address; for a write the framing's acknowledgement.
AnswerOutcome JudgeAnswer(const AnswerFacts& facts);

// Whether the exchange counts as answered: bytes, a device, and no CRC error.
bool IsAcceptedAnswer(const uint8_t* data, int count, bool hasDevice);

constexpr int kReadAnswerBytes = 11;
constexpr int kWriteAnswerBytes = 4;

// The fewest bytes a binary answer to a request of this command can have, judged from
// what has come so far: a read answer 11 (its first ten bytes may already end in a CRC
// of their own), a write acknowledgement 4, a password reset (second byte 0xFF, any
// length) 4. An answer to a password frame has no length of its own: 0.
size_t LeastAnswerBytes(uint8_t command, const uint8_t* data, size_t count);

// Offset of an item's first byte within a read answer starting at startAddress; both
// addresses as the frames carry them.
int ReadAnswerOffset(uint16_t itemAddress, uint16_t startAddress);

}  // namespace tervex
