// Diagnostics tasks: read from what the engine has seen of each controller, never put on
// the line, and ended in the poll that serves them.
#include <vector>

#include "protocol/PollEngine.h"

namespace tervex {

uint64_t PollEngine::NowMs() noexcept {
    try {
        return FClock.MonotonicMs();
    } catch (...) {
        return 0;
    }
}

void PollEngine::ServeDiagnostics(TaskList& batch) {
    auto isDiagnostics = [](const TaskRecord& task) { return task.area == MemoryArea::Diagnostics; };
    size_t count = 0;
    for (size_t q = 0; q < batch.size(); ++q) {
        count += isDiagnostics(batch[q]) ? 1 : 0;
    }
    if (count == 0) {
        return;
    }
    std::vector<TaskRecord> tasks;
    try {
        tasks.reserve(count);
    } catch (...) {
        return;  // left to the poll, where they get no frame and fail
    }
    // Taken out before the host is called: what it does from within a completion must
    // not meet them.
    for (size_t q = 0; q < batch.size(); ++q) {
        if (isDiagnostics(batch[q])) {
            tasks.push_back(batch[q]);
        }
    }
    batch.EraseIf(isDiagnostics);
    for (const TaskRecord& task : tasks) {
        const EngineNode& node = FNodes[task.node];
        Completion completion;
        completion.kind = task.kind;
        completion.node = &node.params;
        completion.typeCode = task.typeCode;
        completion.bitNumber = task.bitNumber;
        completion.timestamp = Timestamp::Now();
        TValue value;
        try {
            if (IsReadKind(task.kind) && node.port) {
                if (const auto number = FDiagnostics.Read(*node.port, node.statusAddress, task.address, NowMs())) {
                    value = TValue::Number(TValue::Kind::I4, *number);
                    completion.value = &value;
                    completion.result = kResultOk;
                    completion.quality = kQualityGood;
                }
            }
        } catch (...) {
        }
        Finish(task.context, completion);
        FNodes.Release(task.node);
    }
}

}  // namespace tervex
