#include "protocol/AsciiAssembler.h"

#include <algorithm>
#include <cstring>

#include "protocol/Crc16.h"
#include "protocol/Hex.h"

namespace tervex {

namespace {

constexpr uint8_t kCarriageReturn = 0x0D;
constexpr uint8_t kAnswerStart = '!';
constexpr uint8_t kResetAnswerStart = '?';

bool IsAnswerStart(uint8_t c) {
    return c == kAnswerStart || c == kResetAnswerStart;
}

}  // namespace

AsciiAssembler::Result AsciiAssembler::Assemble(const uint8_t* data, int count) {
    if (data != nullptr && count > 0) {
        if (FRxCount <= 0) {
            const uint8_t* start = std::find_if(data, data + count, IsAnswerStart);
            if (start == data + count) {
                return Result{};  // nothing that starts an answer: not stored
            }
            count -= static_cast<int>(start - data);
            data = start;
        }
        if (FRxCount + count > kCapacity) {
            FRxCount = 0;
            count = std::min(count, kCapacity);
        }
        std::memcpy(FRxBuffer + FRxCount, data, static_cast<size_t>(count));
        FRxCount += count;
        const uint8_t* end = FRxBuffer + FRxCount;
        const uint8_t* cr = std::find(static_cast<const uint8_t*>(FRxBuffer), end, kCarriageReturn);
        if (cr == end) {
            FRxWatch.Restart();
            return Result{};
        }
        FRxCount = static_cast<int>(cr - FRxBuffer) + 1;  // characters after it are dropped
    }
    return Complete();
}

AsciiAssembler::Result AsciiAssembler::Complete() {
    Result result;
    result.complete = true;
    if (FRxCount >= 3 && IsAnswerStart(FRxBuffer[0]) && FRxBuffer[FRxCount - 1] == kCarriageReturn) {
        const bool reset = FRxBuffer[0] == kResetAnswerStart;
        const int m = (FRxCount - 2) / 2;  // a lone hex character before the CR is ignored
        for (int i = 0; i < m; ++i) {
            FRxBuffer[i] = HexPairToByte(static_cast<char>(FRxBuffer[2 * i + 1]),
                                         static_cast<char>(FRxBuffer[2 * i + 2]));
        }
        const uint16_t crc = CalcCrc16(FRxBuffer, static_cast<size_t>(m));
        FRxBuffer[m] = static_cast<uint8_t>(crc & 0xFF);
        FRxBuffer[m + 1] = static_cast<uint8_t>(crc >> 8);
        result.data = FRxBuffer;
        result.count = m + 2;
        if (reset && m >= 1) {
            result.resetPasswords = true;
            result.device = FRxBuffer[0];
        }
    }
    // The buffer is given up either way, and with it the gap it was timing.
    FRxCount = 0;
    FRxWatch.Stop();
    return result;
}

}  // namespace tervex
