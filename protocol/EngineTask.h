#pragma once
// What the engine is handed for one host task, and what it hands back when the task ends.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "config/ItemParams.h"
#include "config/NodeParams.h"
#include "values/ValueCodec.h"

namespace tervex {

enum class TaskKind : uint8_t {
    SyncRead = 1,
    SyncWrite = 2,
    AsyncRead = 3,
    AsyncWrite = 4,
};

inline bool IsReadKind(TaskKind kind) { return kind == TaskKind::SyncRead || kind == TaskKind::AsyncRead; }
inline bool IsWriteKind(TaskKind kind) { return kind == TaskKind::SyncWrite || kind == TaskKind::AsyncWrite; }
inline bool IsSyncKind(TaskKind kind) { return kind == TaskKind::SyncRead || kind == TaskKind::SyncWrite; }

// The value to write, already in device form.
struct WritePayload {
    bool valid = true;                 // false: the host's value could not be converted
    std::array<uint8_t, 8> bytes{};    // the type's size of them go on the line
    bool bitValue = false;             // a RAM Boolean: set (true) or clear the bit
};

struct EngineTask {
    TaskKind kind = TaskKind::AsyncRead;
    NodeParams node;
    ItemParams item;
    WritePayload write;
    const void* itemKey = nullptr;     // identity of the host's item, for RemoveItemTasks
    void* context = nullptr;           // the caller's own record, handed back at the end
};

// Result codes and qualities handed to the host.
constexpr uint32_t kResultOk = 0;
constexpr uint32_t kResultNoAnswer = 0xCFFF0001;
constexpr uint32_t kResultCrcError = 0xCFFF0002;
constexpr uint32_t kResultWrongAnswer = 0xCFFF0005;
constexpr uint32_t kResultFail = 0x80004005;  // E_FAIL

constexpr uint16_t kQualityGood = 0xC0;
constexpr uint16_t kQualityBad = 0x00;
constexpr uint16_t kQualityNoAnswer = 0x0218;
constexpr uint16_t kQualityCrcError = 0x0318;
constexpr uint16_t kQualityWrongAnswer = 0x0618;

// A timestamp for the item state: the current time, or a local date-time (days since
// 1899-12-30) that the caller converts to UTC.
struct Timestamp {
    bool now = true;
    double localDateTime = 0;

    static Timestamp Now() { return Timestamp{}; }
    static Timestamp Local(double dateTime) { return Timestamp{false, dateTime}; }
};

// The statistics of the exchange that served a task.
struct TransferReport {
    bool answered = false;
    uint32_t tries = 0;
    bool first = false;                // first task reported for this exchange
};

struct Completion {
    TaskKind kind = TaskKind::AsyncRead;
    // The task's node parameters as queued (shared by the tasks of that node, valid for
    // the call) and its item's data type and bit number (0..7); no node for a task that
    // could not even be kept.
    const NodeParams* node = nullptr;
    int32_t typeCode = 17;
    uint8_t bitNumber = 0;
    uint32_t result = kResultFail;
    uint16_t quality = kQualityBad;
    Timestamp timestamp;
    // A good read only: the value, and the device bytes it was decoded from (the item's
    // first byte to the end of the answer's block; none for a diagnostics read).
    const TValue* value = nullptr;
    const uint8_t* valueBytes = nullptr;
    int valueByteCount = 0;
    bool reportTransfer = false;       // the frame was written at least once
    TransferReport transfer;
};

}  // namespace tervex
