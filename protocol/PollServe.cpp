// Serving a poll's batch: the tasks are laid out in the task pool, each is served by a
// frame of an earlier task or opens its own, and the served ones become active.
#include <algorithm>
#include <functional>
#include <iterator>
#include <list>
#include <unordered_map>
#include <utility>

#include "protocol/PollEngine.h"
#include "values/DataTypes.h"

namespace tervex {

namespace {

constexpr uint64_t kLow32 = 0xFFFFFFFFu;

// Sorts numbers (key << 32 | position) by their key, positions in order within a key,
// as std::sort of the whole numbers would. A large batch is sorted by the bytes of the
// key in linear time, so that it costs no more per task than a small one.
void SortByKey(std::vector<uint64_t>& items, int keyBytes, std::vector<uint64_t>& scratch) {
    const size_t n = items.size();
    if (n < 256) {
        std::sort(items.begin(), items.end());
        return;
    }
    size_t counts[4][256] = {};
    for (const uint64_t item : items) {
        for (int d = 0; d < keyBytes; ++d) {
            ++counts[d][(item >> (32 + 8 * d)) & 0xFF];
        }
    }
    scratch.resize(n);
    for (int d = 0; d < keyBytes; ++d) {
        const int shift = 32 + 8 * d;
        size_t* count = counts[d];
        if (count[(items[0] >> shift) & 0xFF] == n) {
            continue;  // every key has this byte: nothing moves
        }
        size_t start = 0;
        for (size_t& c : counts[d]) {
            const size_t here = c;
            c = start;
            start += here;
        }
        for (const uint64_t item : items) {
            scratch[count[(item >> shift) & 0xFF]++] = item;
        }
        items.swap(scratch);
    }
}

}  // namespace

// Tasks may share a frame within a group: the same kind, port, device byte and memory
// area. Only tasks that can open a frame belong to one (a port, a read or write kind and
// a known area); the others neither open nor share.
constexpr uint32_t kNoGroup = ~uint32_t{0};
constexpr uint32_t kKinds = 4;
constexpr uint32_t kAreas = 6;
constexpr uint32_t kNoWrite = ~uint32_t{0};

// Calls visit with a key for every byte a write of size bytes at this address puts into
// the device's memory; RAM and CLOCK frames carry the low address byte only.
template <class Visit>
void ForEachWrittenByte(uint8_t port, uint8_t device, MemoryArea area, uint16_t address, uint8_t size, Visit visit) {
    const uint32_t wrap = area == MemoryArea::Ram || area == MemoryArea::Clock ? 0xFF : 0xFFFF;
    const uint64_t where = static_cast<uint64_t>(port) << 40 | static_cast<uint64_t>(device) << 32 |
                           static_cast<uint64_t>(area) << 24;
    for (uint32_t k = 0; k < size; ++k) {
        visit(where | ((address + k) & wrap));
    }
}

// Positions are those of the address order.
struct PollEngine::BatchPlan {
    std::vector<uint8_t> size;    // the item's bytes, for sharing a read
    std::vector<uint32_t> group;
    // What each node comes to in this batch: the groups of its tasks by kind and area,
    // numbered from 0 as met, and once a task of it is served, its port record and
    // device index.
    struct Node {
        Node() { std::fill(std::begin(group), std::end(group), kNoGroup); }
        uint32_t group[kKinds * kAreas];
        TComPort* port = nullptr;
        uint16_t deviceIndex = 0;
    };
    std::vector<Node> nodes;      // by node id
    // The read frame opened last in each group, which alone can serve a later read (one
    // further on covers whatever an earlier one would).
    struct Opener {
        RequestPtr requests[TaskRequestIds::kCapacity];
        size_t count = 0;
    };
    struct Group {
        uint16_t address = 0;
        std::vector<Opener> openers;
    };
    std::vector<Group> groups;
    // The write frames opened so far, and for every byte they write (port, device byte,
    // area, address as the frame carries it) the latest of them: a write shares a frame
    // only with the latest one over each of its bytes, so that what is written last is
    // the newest value whoever shares.
    struct WriteFrame {
        Opener opener;
        TaskKind kind;
    };
    std::vector<WriteFrame> writes;
    std::unordered_map<uint64_t, uint32_t> latestWrite;
    bool writesShareNothing = false;  // memory ran out part way: the map may miss a frame
    std::vector<std::pair<void*, uint32_t>> served;  // context and position, in address order
};

namespace {

// The poll's hold on its batch: the batch stays while the poll serves it.
class BatchHold {
public:
    BatchHold(std::function<void()> release) : FRelease(std::move(release)) {}
    ~BatchHold() { FRelease(); }
    BatchHold(const BatchHold&) = delete;
    BatchHold& operator=(const BatchHold&) = delete;

private:
    std::function<void()> FRelease;
};

}  // namespace

void PollEngine::Serve(TaskList& batch, uint8_t priority) {
    const size_t n = batch.size();
    BatchPlan plan;
    std::list<ActiveBatch> made;     // the batch, until it joins the active list
    std::vector<uint32_t> queuePos;  // address position -> queue position
    std::vector<uint64_t> layout;    // port << 32 | address position, sorted: where records go
    try {
        // Each task's keys are read once, in queue order; the orders are then sorts of
        // plain numbers.
        plan.nodes.resize(FNodes.IdLimit());
        std::unordered_map<uint32_t, uint32_t> groups;  // port, device byte, kind, area -> group
        std::vector<uint64_t> scratch;
        std::vector<uint32_t> groupOf(n);
        std::vector<uint8_t> sizeOf(n);
        std::vector<uint8_t> portOf(n);
        std::vector<uint64_t> order(n);  // address << 32 | queue position
        for (size_t q = 0; q < n; ++q) {
            const TaskRecord& task = batch[q];
            const EngineNode& node = FNodes[task.node];
            const uint32_t kind = static_cast<uint32_t>(task.kind) - 1;
            const uint32_t area = static_cast<uint32_t>(task.area) - 1;
            groupOf[q] = kNoGroup;
            if (node.port && kind < kKinds && area < kAreas) {
                uint32_t& group = plan.nodes[task.node].group[kind * kAreas + area];
                if (group == kNoGroup) {
                    const uint32_t key = static_cast<uint32_t>(*node.port) << 24 |
                                         static_cast<uint32_t>(node.deviceByte) << 16 | kind << 8 | area;
                    group = groups.emplace(key, static_cast<uint32_t>(groups.size())).first->second;
                }
                groupOf[q] = group;
            }
            sizeOf[q] = static_cast<uint8_t>(DataTypeSize(task.typeCode));
            portOf[q] = node.port ? *node.port : 0xFF;
            order[q] = static_cast<uint64_t>(task.address) << 32 | q;
        }
        SortByKey(order, 2, scratch);
        queuePos.resize(n);
        layout.resize(n);
        plan.size.resize(n);
        plan.group.resize(n);
        for (size_t i = 0; i < n; ++i) {
            const size_t q = order[i] & kLow32;
            queuePos[i] = static_cast<uint32_t>(q);
            plan.size[i] = sizeOf[q];
            plan.group[i] = groupOf[q];
            layout[i] = static_cast<uint64_t>(portOf[q]) << 32 | i;
        }
        // The records are laid out port by port, each port's in address order: the
        // order in which that port's frames are queued and answered.
        SortByKey(layout, 1, scratch);
        plan.groups.resize(groups.size());
        plan.served.reserve(n);
        made.emplace_back();
        made.back().tasks.resize(n);
        FTasks.Reserve(n);
    } catch (...) {
        // No memory to serve them: none has moved, and each fails like an unserved task,
        // never silently.
        for (size_t q = 0; q < n; ++q) {
            FinishUnserved(batch[q]);
        }
        return;
    }
    // The records are read in an order unlike the one they were queued in: a few are
    // asked for ahead, so that the reads overlap.
    constexpr size_t kAhead = 8;
    ActiveBatch& placed = made.back();
    for (size_t k = 0; k < n; ++k) {
        if (k + kAhead < n) {
            __builtin_prefetch(&batch[queuePos[layout[k + kAhead] & kLow32]]);
        }
        const size_t i = layout[k] & kLow32;
        placed.tasks[i] = FTasks.RefOf(FTasks.Place(batch[queuePos[i]]));
    }
    std::vector<uint64_t>().swap(layout);
    std::vector<uint32_t>().swap(queuePos);
    FActive.splice(FActive.end(), made);
    placed.self = std::prev(FActive.end());
    placed.live = 1;
    BatchHold hold([this, &placed] { Release(placed); });
    ServePlaced(plan, placed, priority);
}

std::optional<DataFrame> PollEngine::FrameOf(const TaskRecord& task) const {
    const EngineNode& node = FNodes[task.node];
    DataFrameInput input;
    input.kind = task.kind;
    input.area = task.area;
    input.address = task.address;
    input.typeCode = task.typeCode;
    input.bitNumber = task.bitNumber;
    input.device = node.deviceByte;
    input.write = &task.write;
    input.framing = node.framing;
    try {
        return BuildDataFrame(input);
    } catch (...) {
        return std::nullopt;  // no memory for it: the task goes unserved
    }
}

void PollEngine::ServePlaced(BatchPlan& plan, ActiveBatch& batch, uint8_t priority) {
    const size_t n = batch.tasks.size();
    uint64_t nowMs = 0;
    try {
        nowMs = FClock.MonotonicMs();
    } catch (...) {
    }

    // A served task becomes active at once.
    auto serve = [&](size_t i, const RequestPtr* requests, size_t count) {
        const uint32_t slot = batch.tasks[i].slot;
        Link(slot, requests, count);
        Activate(slot, batch);
        plan.served.emplace_back(FTasks[slot].context, static_cast<uint32_t>(i));  // within its capacity
    };

    // In address order, each task is served by an earlier frame that answers it: a read
    // by the latest read of its group if its 8 bytes hold the item; a write by the latest
    // write frame over every byte it writes, if that has the same bytes and kind.
    // Otherwise it opens a frame of its own. No call leaves the engine in this loop, so
    // the records stay where they are.
    for (size_t i = 0; i < n; ++i) {
        const uint32_t slot = batch.tasks[i].slot;
        try {
            const TaskRecord& task = FTasks[slot];
            BatchPlan::Group* group = plan.group[i] != kNoGroup ? &plan.groups[plan.group[i]] : nullptr;
            const bool isWrite = IsWriteKind(task.kind);
            std::optional<DataFrame> frame;
            // A read wholly inside the 8 bytes the group's read returns, as SharesRequest decides.
            if (!isWrite && group != nullptr && !group->openers.empty() &&
                task.address + plan.size[i] <= group->address + 8) {
                const BatchPlan::Opener& opener = group->openers.back();
                serve(i, opener.requests, opener.count);
                continue;
            }
            if (isWrite && group != nullptr && !plan.writesShareNothing) {
                frame = FrameOf(task);
                uint32_t latest = kNoWrite;
                bool one = true;
                bool firstByte = true;
                const EngineNode& node = FNodes[task.node];
                ForEachWrittenByte(*node.port, node.deviceByte, task.area, task.address, plan.size[i], [&](uint64_t key) {
                    const auto it = plan.latestWrite.find(key);
                    const uint32_t at = it == plan.latestWrite.end() ? kNoWrite : it->second;
                    one = one && (firstByte || at == latest);
                    latest = at;
                    firstByte = false;
                });
                if (frame && one && latest != kNoWrite) {
                    const BatchPlan::WriteFrame& same = plan.writes[latest];
                    if (same.kind == task.kind && same.opener.requests[same.opener.count - 1]->Data == frame->wire) {
                        serve(i, same.opener.requests, same.opener.count);
                        continue;
                    }
                }
            }

            const EngineNode& node = FNodes[task.node];
            if (!node.port) {
                continue;
            }
            BatchPlan::Node& known = plan.nodes[task.node];
            if (known.port == nullptr) {
                TComPort* record = FPorts.FindOrCreate(*node.port).get();
                known.deviceIndex = record->FindOrCreateDevice(node.statusAddress);
                known.port = record;
            }
            TComPort& port = *known.port;
            const uint16_t deviceIndex = known.deviceIndex;
            if (!frame) {
                frame = FrameOf(task);
            }
            if (!frame) {
                continue;  // no data frame, so no password frame either
            }
            BatchPlan::Opener opener;
            if (auto password = TakePasswordFrame(task.kind, node.params, port.Devices[deviceIndex], nowMs)) {
                const uint8_t command = (*password)[1];
                opener.requests[opener.count++] = Enqueue(port, deviceIndex, priority, *password, std::string(), command, 0);
            }
            // The frame's bytes go into the request; later writes compare with them there.
            opener.requests[opener.count++] = Enqueue(port, deviceIndex, priority, frame->wire, std::move(frame->protocol),
                                                      frame->command, frame->startAddress);
            serve(i, opener.requests, opener.count);
            if (group != nullptr && isWrite) {
                const auto at = static_cast<uint32_t>(plan.writes.size());
                plan.writes.push_back({std::move(opener), task.kind});
                ForEachWrittenByte(*node.port, node.deviceByte, task.area, task.address, plan.size[i],
                                   [&](uint64_t key) { plan.latestWrite[key] = at; });
            } else if (group != nullptr) {
                group->openers.clear();
                group->address = task.address;
                group->openers.push_back(std::move(opener));
            }
        } catch (...) {
            // Whatever the task got linked to stands; without requests it fails below.
            // A write frame may be missing from the map: from here on writes share nothing.
            plan.writesShareNothing = true;
        }
    }
    std::vector<BatchPlan::Group>().swap(plan.groups);
    std::vector<BatchPlan::WriteFrame>().swap(plan.writes);

    // From here on the host is called, and may end any task. As long as no task has
    // ended, every served one is still active; after that, each is looked up again.
    const uint64_t endings = FEndings;
    for (const auto& entry : plan.served) {
        if (FEndings != endings) {
            const TaskRecord* task = FTasks.Find(batch.tasks[entry.second]);
            if (task == nullptr || task->phase != TaskRecord::Phase::Active) {
                continue;
            }
        }
        Stamp(entry.first, kQualityBad, nullptr);
    }
    // The others fail at once, from the last to the first.
    if (plan.served.size() < n) {
        for (size_t i = n; i-- > 0;) {
            const TaskRecord* task = FTasks.Find(batch.tasks[i]);
            if (task != nullptr && task->phase == TaskRecord::Phase::New) {
                FinishUnserved(batch.tasks[i].slot);
            }
        }
    }
}

RequestPtr PollEngine::Enqueue(TComPort& port, uint16_t deviceIndex, uint8_t priority, const std::vector<uint8_t>& data,
                               std::string protocol, uint8_t command, uint16_t startAddress) {
    auto request = std::allocate_shared<TRequest>(StoreAllocator<TRequest>(port.RequestStore));
    if (TaskRequestIds::Low(++FRequestIds) == 0) {
        ++FRequestIds;  // tasks keep the low bits, and 0 there means none
    }
    request->Id = FRequestIds;
    request->Priority = priority;
    request->Data = data;
    request->DeviceIndex = deviceIndex;
    request->Protocol = std::move(protocol);
    request->Command = command;
    request->StartAddress = startAddress;
    port.Queue.Insert(request);
    return request;
}

void PollEngine::Link(uint32_t slot, const RequestPtr* requests, size_t count) {
    // Room first: without memory the task keeps what it had, and is never left listing a
    // frame that does not list it (it would wait for that frame's answer for ever).
    for (size_t k = 0; k < count; ++k) {
        requests[k]->Waiters.ReserveOneMore();
    }
    TaskRecord& task = FTasks[slot];
    task.requests.clear();
    const TaskRef ref = FTasks.RefOf(slot);
    for (size_t k = 0; k < count; ++k) {
        task.requests.push_back(requests[k]->Id);
        requests[k]->Waiters.push_back(ref);
    }
}

}  // namespace tervex
