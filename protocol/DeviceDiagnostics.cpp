#include "protocol/DeviceDiagnostics.h"

#include <limits>

#include "config/DiagnosticsArea.h"
#include "protocol/Framing.h"

namespace tervex {
namespace {

int32_t Clamped(uint64_t count) {
    const uint64_t most = static_cast<uint64_t>(std::numeric_limits<int32_t>::max());
    return static_cast<int32_t>(count < most ? count : most);
}

}  // namespace

AnswerFacts ExchangeFacts(const TRequest& request, const TDeviceStatus* device, const std::vector<uint8_t>& answer) {
    AnswerFacts facts;
    facts.data = answer.empty() ? nullptr : answer.data();
    facts.count = static_cast<int>(answer.size());
    facts.hasDevice = device != nullptr;
    facts.deviceLastResult = device != nullptr ? device->LastResult : 0;
    facts.framing = &FramingFor(request.Protocol);
    facts.command = request.Command;
    return facts;
}

AnswerOutcome JudgeExchange(const TRequest& request, const TDeviceStatus* device, const std::vector<uint8_t>& answer) {
    AnswerFacts facts = ExchangeFacts(request, device, answer);
    facts.isRead = IsReadCommand(request.Command);
    facts.area = MemoryArea::Ram;  // the frame was built, so its area is one on the line
    facts.deviceAddress = device != nullptr && device->Address <= 255 ? static_cast<uint8_t>(device->Address) : 0;
    if (IsPasswordCommand(request.Command) && IsAcceptedAnswer(facts.data, facts.count, facts.hasDevice)) {
        return AnswerOutcome::Good;
    }
    return JudgeAnswer(facts);
}

DeviceDiagnostics::Record* DeviceDiagnostics::Of(uint8_t port, uint16_t device) noexcept {
    try {
        return &FRecords[{port, device}];
    } catch (...) {
        return nullptr;  // the count is lost, the exchange is not
    }
}

void DeviceDiagnostics::Answered(uint8_t port, uint16_t device, AnswerOutcome outcome, uint64_t nowMs) noexcept {
    Record* record = Of(port, device);
    if (record == nullptr) return;
    switch (outcome) {
    case AnswerOutcome::Good:
        ++record->answers;
        record->hasAnswer = true;
        record->lastAnswerMs = nowMs;
        break;
    case AnswerOutcome::CrcError: ++record->crcErrors; break;
    case AnswerOutcome::WrongAnswer: ++record->wrongAnswers; break;
    case AnswerOutcome::NoAnswer:
    case AnswerOutcome::Failed: break;
    }
}

void DeviceDiagnostics::Finished(uint8_t port, uint16_t device, uint32_t result, bool answering, bool written,
                                 bool received) noexcept {
    Record* record = Of(port, device);
    if (record == nullptr) return;
    record->asked = true;
    record->answering = answering;
    record->lastResult = result;
    if (written && !received) ++record->givenUp;
}

std::optional<int32_t> DeviceDiagnostics::Read(uint8_t port, uint16_t device, int64_t address,
                                               uint64_t nowMs) const {
    const auto found = FRecords.find({port, device});
    const Record none;
    const Record& r = found != FRecords.end() ? found->second : none;
    switch (address) {
    case kDiagState: return !r.asked ? kDiagNotAsked : r.answering ? kDiagAnswering : kDiagNotAnswering;
    case kDiagAnswers: return Clamped(r.answers);
    case kDiagNoAnswers: return Clamped(r.givenUp);
    case kDiagCrcErrors: return Clamped(r.crcErrors);
    case kDiagWrongAnswers: return Clamped(r.wrongAnswers);
    case kDiagLastResult: return static_cast<int32_t>(r.lastResult);
    case kDiagSecondsSinceAnswer:
        if (!r.hasAnswer) return -1;
        return Clamped((nowMs > r.lastAnswerMs ? nowMs - r.lastAnswerMs : 0) / 1000);
    default: return std::nullopt;
    }
}

}  // namespace tervex
