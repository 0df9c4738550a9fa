#include "fuzz/TaskLedger.h"

#include <algorithm>
#include <cstring>

#include "protocol/Crc16.h"
#include "protocol/RequestBuilder.h"

namespace tervex::fuzz {

namespace {

constexpr size_t kHistoryChars = 128;
constexpr int kReadAnswerBytes = 11;  // device byte, 8 data bytes, CRC

void* ContextOf(uint64_t id) { return reinterpret_cast<void*>(static_cast<uintptr_t>(id)); }
uint64_t IdOf(void* context) { return static_cast<uint64_t>(reinterpret_cast<uintptr_t>(context)); }

bool IsDefinedPair(uint32_t result, uint16_t quality) {
    return (result == kResultOk && quality == kQualityGood) ||
           (result == kResultNoAnswer && quality == kQualityNoAnswer) ||
           (result == kResultCrcError && quality == kQualityCrcError) ||
           (result == kResultWrongAnswer && quality == kQualityWrongAnswer) ||
           (result == kResultFail && quality == kQualityBad);
}

int Nibble(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return 0;  // as the controller's answer is read: anything else counts as 0
}

std::string Hex(const uint8_t* data, size_t n) {
    static const char* digits = "0123456789ABCDEF";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s += digits[data[i] >> 4];
        s += digits[data[i] & 15];
    }
    return s;
}

// Ends with the 8 data bytes of a read answer: the value's bytes are their tail.
bool TailMatches(const uint8_t* block, const Completion& c) {
    const int n = c.valueByteCount;
    return n >= 1 && n <= 8 && std::memcmp(block + 9 - n, c.valueBytes, static_cast<size_t>(n)) == 0;
}

}  // namespace

void* TaskLedger::Open(const EngineTask& task) {
    const uint64_t id = FNextId++;
    Entry entry;
    entry.kind = task.kind;
    entry.port = PollPort(task.node);
    entry.answerDevice = task.node.deviceAddress >= 0 && task.node.deviceAddress <= 255
                             ? static_cast<uint8_t>(task.node.deviceAddress)
                             : 0;
    FTasks.emplace(id, entry);
    ++FOpen;
    ++FCounts.queued;
    return ContextOf(id);
}

TaskLedger::Entry* TaskLedger::Find(void* context, const char* what) {
    auto it = FTasks.find(IdOf(context));
    if (it == FTasks.end()) {
        Fail(std::string(what) + " for a task that already ended or was never queued (id " +
             std::to_string(IdOf(context)) + ")");
        return nullptr;
    }
    return &it->second;
}

void TaskLedger::BeginDelivery(uint8_t port, const uint8_t* data, int32_t count) {
    Delivery d{port, {}, 0};
    if (data != nullptr && count > 0) d.bytes.assign(data, data + count);
    std::string& history = FHistory[port];
    d.historyStart = history.size();
    history.append(d.bytes.begin(), d.bytes.end());
    FDeliveries.push_back(std::move(d));
}

void TaskLedger::EndDelivery() {
    if (!FDeliveries.empty()) FDeliveries.pop_back();
    if (FDeliveries.empty()) {
        for (auto& [port, history] : FHistory) {
            if (history.size() > kHistoryChars) history.erase(0, history.size() - kHistoryChars);
        }
    }
}

void TaskLedger::CheckValue(const Entry& task, const Completion& c) {
    if (c.result != kResultOk || !IsReadKind(task.kind)) {
        Fail("a value reported with result " + std::to_string(c.result) + " for task kind " +
             std::to_string(static_cast<int>(task.kind)));
        return;
    }
    if (c.valueBytes == nullptr || c.valueByteCount < 1 || c.valueByteCount > 8) {
        Fail("a value without its device bytes");
        return;
    }
    if (FDeliveries.empty() || !task.port || FDeliveries.back().port != *task.port) {
        Fail("a value reported outside a delivery of bytes on the task's port");
        return;
    }
    // A task may share the frame of another node's task on the same device, and with it
    // that node's framing: either form must carry the value.
    const Delivery& d = FDeliveries.back();
    const auto& b = d.bytes;
    // The host hands a whole binary answer over at once.
    if (b.size() == kReadAnswerBytes && HasValidCrc16(b.data(), b.size()) && b[0] == task.answerDevice &&
        TailMatches(b.data(), c)) {
        return;
    }
    // Text: a start character, 18 or 19 characters, and the first carriage return after
    // it lying in this delivery.
    const std::string& h = FHistory[d.port];
    for (size_t s = 0; s < h.size(); ++s) {
        if (h[s] != '!' && h[s] != '?') continue;
        const size_t e = h.find('\r', s);
        if (e == std::string::npos || e < d.historyStart) continue;
        if (e - s - 1 != 18 && e - s - 1 != 19) continue;
        uint8_t block[9];
        for (int i = 0; i < 9; ++i) {
            block[i] = static_cast<uint8_t>(Nibble(h[s + 1 + 2 * i]) << 4 | Nibble(h[s + 2 + 2 * i]));
        }
        if (block[0] == task.answerDevice && TailMatches(block, c)) return;
    }
    Fail("a value that no delivered answer carries: " + Hex(b.data(), b.size()));
}

void TaskLedger::TaskFinished(void* context, const Completion& c) {
    Entry* task = Find(context, "TaskFinished");
    if (!task) return;
    const Entry entry = *task;
    FTasks.erase(IdOf(context));
    --FOpen;
    ++FCounts.finished;
    ++FCounts.byResult[c.result];
    if (!IsDefinedPair(c.result, c.quality)) {
        Fail("undefined result/quality pair " + std::to_string(c.result) + "/" + std::to_string(c.quality));
    }
    // The node may be missing (a task that could not even be kept), never another's.
    if ((c.node != nullptr && PollPort(*c.node) != entry.port) || c.kind != entry.kind) {
        Fail("a completion that does not describe its own task");
    }
    if (c.value != nullptr || c.valueBytes != nullptr) {
        ++FCounts.values;
        CheckValue(entry, c);
    } else if (c.result == kResultOk && IsReadKind(entry.kind)) {
        Fail("a good read without a value");
    }
    if (c.reportTransfer && static_cast<int64_t>(c.transfer.tries) > FMaxTries) {
        Fail("an exchange reported with " + std::to_string(c.transfer.tries) + " tries");
    }
    if (onEnded) onEnded(IdOf(context));
}

void TaskLedger::ItemStateStamped(void* context, uint16_t quality, const Timestamp*) {
    if (!Find(context, "ItemStateStamped")) return;
    if (quality != kQualityBad) Fail("a waiting task stamped with quality " + std::to_string(quality));
}

void TaskLedger::TaskDropped(void* context) {
    if (!Find(context, "TaskDropped")) return;
    FTasks.erase(IdOf(context));
    --FOpen;
    ++FCounts.dropped;
    if (onEnded) onEnded(IdOf(context));
}

void TaskLedger::ExpectAllEnded() {
    if (FOpen != 0) Fail(std::to_string(FOpen) + " tasks never ended");
}

}  // namespace tervex::fuzz
