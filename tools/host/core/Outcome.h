#pragma once
// Result codes and qualities the driver reports, in words for the tables.
#include <cstdint>
#include <string>

namespace tervex::host {

constexpr uint32_t kResultOk = 0;
constexpr uint32_t kResultNoAnswer = 0xCFFF0001;
constexpr uint32_t kResultCrcError = 0xCFFF0002;
constexpr uint32_t kResultWrongAnswer = 0xCFFF0005;
constexpr uint32_t kResultFailed = 0x80004005;  // E_FAIL

constexpr uint16_t kQualityGood = 0xC0;

// "ok", "no answer", "CRC error", "wrong answer", "E_FAIL", else the code in hex.
std::string ResultText(uint32_t result);
// "good", or "bad"/"uncertain" with the word in hex.
std::string QualityText(uint16_t quality);
std::string Hex32(uint32_t value);
std::string Hex16(uint16_t value);

}  // namespace tervex::host
