#include "tools/host/core/Outcome.h"

#include <cstdio>

namespace tervex::host {

std::string Hex32(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof(text), "0x%08X", static_cast<unsigned>(value));
    return text;
}

std::string Hex16(uint16_t value) {
    char text[8];
    std::snprintf(text, sizeof(text), "0x%04X", static_cast<unsigned>(value));
    return text;
}

std::string ResultText(uint32_t result) {
    switch (result) {
        case kResultOk: return "ok";
        case kResultNoAnswer: return "no answer";
        case kResultCrcError: return "CRC error";
        case kResultWrongAnswer: return "wrong answer";
        case kResultFailed: return "E_FAIL";
        default: return Hex32(result);
    }
}

std::string QualityText(uint16_t quality) {
    if (quality == kQualityGood) return "good";
    switch (quality & 0xC0) {
        case 0x00: return "bad " + Hex16(quality);
        case 0x40: return "uncertain " + Hex16(quality);
        default: return "good " + Hex16(quality);
    }
}

}  // namespace tervex::host
