#include "protocol/AnswerJudge.h"

#include "protocol/Crc16.h"

namespace tervex {

OutcomeCodes CodesOf(AnswerOutcome outcome) {
    // Failure qualities: bad, communication failure, reason = low word of the result + 1.
    switch (outcome) {
    case AnswerOutcome::Good: return {kResultOk, kQualityGood};
    case AnswerOutcome::NoAnswer: return {kResultNoAnswer, kQualityNoAnswer};
    case AnswerOutcome::CrcError: return {kResultCrcError, kQualityCrcError};
    case AnswerOutcome::WrongAnswer: return {kResultWrongAnswer, kQualityWrongAnswer};
    case AnswerOutcome::Failed: break;
    }
    return {kResultFail, kQualityBad};
}

bool IsAcceptedAnswer(const uint8_t* data, int count, bool hasDevice) {
    return data != nullptr && count > 0 && hasDevice && !IsCrcError(data, static_cast<size_t>(count));
}

AnswerOutcome JudgeAnswer(const AnswerFacts& f) {
    const bool received = f.data != nullptr && f.count > 0;
    if (received && IsCrcError(f.data, static_cast<size_t>(f.count))) {
        return AnswerOutcome::CrcError;
    }
    if (!received || !f.hasDevice) {
        return f.hasDevice && f.deviceLastResult == 2 ? AnswerOutcome::NoAnswer : AnswerOutcome::Failed;
    }
    if (f.isRead) {
        if (f.area == MemoryArea::None) {
            return AnswerOutcome::Failed;
        }
        if (f.count != kReadAnswerBytes || f.data[0] != f.deviceAddress) {
            return AnswerOutcome::WrongAnswer;
        }
        return AnswerOutcome::Good;
    }
    if (!IsWritableArea(f.area)) {
        return AnswerOutcome::Failed;
    }
    const Framing& framing = f.framing != nullptr ? *f.framing : RtuFraming();
    return framing.IsWriteAcknowledged(f.data, static_cast<size_t>(f.count), f.deviceAddress, f.command)
               ? AnswerOutcome::Good
               : AnswerOutcome::WrongAnswer;
}

size_t LeastAnswerBytes(uint8_t command, const uint8_t* data, size_t count) {
    if (IsPasswordCommand(command)) {
        return 0;
    }
    if (data != nullptr && count >= 2 && data[1] == 0xFF) {
        return kWriteAnswerBytes;  // device, 0xFF, CRC at the least
    }
    if (IsReadCommand(command)) {
        return kReadAnswerBytes;
    }
    return kWriteAnswerBytes;
}

int ReadAnswerOffset(uint16_t itemAddress, uint16_t startAddress) {
    if (itemAddress >= startAddress && itemAddress < startAddress + 8) {
        return 1 + (itemAddress - startAddress);
    }
    return 1;
}

}  // namespace tervex
