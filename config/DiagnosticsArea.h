#pragma once
// The memory area "ДИАГНОСТИКА": what the driver has seen of a controller since the
// library was loaded, read as Integer items. Never on the line; read only.
#include <cstdint>
#include <string>

namespace tervex {

extern const char* const kAreaDiagnostics;  // "ДИАГНОСТИКА"

// The item address says what is read.
enum DiagnosticsAddress : int32_t {
    kDiagState = 0,               // 0 answering, 1 not answering, 2 not asked yet
    kDiagAnswers = 1,             // answers accepted
    kDiagNoAnswers = 2,           // requests given up without an answer
    kDiagCrcErrors = 3,           // answers with a CRC error
    kDiagWrongAnswers = 4,        // answers of wrong length, address or echo
    kDiagLastResult = 5,          // result code of the last finished request
    kDiagSecondsSinceAnswer = 6,  // since the last accepted answer; -1 before the first
};
constexpr int32_t kDiagLastAddress = kDiagSecondsSinceAnswer;

enum DiagnosticsState : int32_t {
    kDiagAnswering = 0,
    kDiagNotAnswering = 1,
    kDiagNotAsked = 2,
};

// The highest item address an area offers: 255 in "ОЗУ" and "CLOCK", the last
// diagnostics address there, 65535 elsewhere (also with no area).
int32_t ItemAddressLimit(const std::string& area);

// Whether the page offers the write right: not in "FLASH", not for diagnostics.
bool ItemWriteOffered(const std::string& area);

}  // namespace tervex
