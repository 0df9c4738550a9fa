#pragma once
// How one task fares with the answer to the frame it waited on: one function with a
// fixed order of checks, and one table from outcome to result code and quality.
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

// Offset of an item's first byte within a read answer starting at startAddress.
int ReadAnswerOffset(int64_t itemAddress, uint16_t startAddress);

}  // namespace tervex
