#pragma once
// What the poll cycle has seen of each controller since the library was loaded, by port
// and device address: whether it answers, and how its exchanges ended. Unlike the port
// table it is never cleared: it describes the line, not the tasks.
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

#include "protocol/AnswerJudge.h"
#include "protocol/PortTable.h"
#include "protocol/Request.h"

namespace tervex {

// How an exchange ended for the line, whoever waited on it: the request's own command
// tells a read from a write, and any answer to a password counts as good.
AnswerOutcome JudgeExchange(const TRequest& request, const TDeviceStatus* device, const std::vector<uint8_t>& answer);

// What the judge needs to know of an exchange; the task's own side (read or write, area,
// the address it expects) is the caller's to fill in.
AnswerFacts ExchangeFacts(const TRequest& request, const TDeviceStatus* device, const std::vector<uint8_t>& answer);

class DeviceDiagnostics {
public:
    // An answer came (a CRC error, a wrong or a good one), at nowMs.
    void Answered(uint8_t port, uint16_t device, AnswerOutcome outcome, uint64_t nowMs) noexcept;
    // A request ended for good with this result; written: it was on the line, so
    // ending without an answer counts as given up.
    void Finished(uint8_t port, uint16_t device, uint32_t result, bool answering, bool written,
                  bool received) noexcept;

    // The value at a diagnostics address; none for an address that holds nothing.
    // A controller never met reads as not asked, with zero counts.
    std::optional<int32_t> Read(uint8_t port, uint16_t device, int64_t address, uint64_t nowMs) const;

private:
    struct Record {
        bool asked = false;            // a request of it has ended
        bool answering = true;
        uint64_t answers = 0;
        uint64_t givenUp = 0;
        uint64_t crcErrors = 0;
        uint64_t wrongAnswers = 0;
        uint32_t lastResult = 0;
        bool hasAnswer = false;
        uint64_t lastAnswerMs = 0;
    };
    Record* Of(uint8_t port, uint16_t device) noexcept;  // none without memory

    std::map<std::pair<uint8_t, uint16_t>, Record> FRecords;
};

}  // namespace tervex
