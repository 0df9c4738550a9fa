#include "tools/host/win/StationPoller.h"

#include <algorithm>
#include <cstring>

#include "config/ItemParams.h"
#include "config/NodeParams.h"
#include "config/win/ItemList.h"
#include "config/win/NodeList.h"
#include "config/win/PropertyRead.h"
#include "tools/host/core/Outcome.h"
#include "tools/host/core/StationPages.h"
#include "tools/host/win/DriverModule.h"
#include "tools/host/win/VariantText.h"
#include "values/DataTypes.h"
#include "values/ValueCodec.h"

namespace tervex::host {

namespace {

constexpr HRESULT kPending = E_PENDING;
constexpr uint32_t kWriteHandleBase = 0x40000000;

}  // namespace

StationPoller::StationPoller(Station station, bool sync, int tickMs)
    : station_(std::move(station)), sync_(sync), tickMs_(tickMs), start_(std::chrono::steady_clock::now()) {
    const std::string file = WindowsPath(station_.file);
    const size_t slash = file.find_last_of("/\\");
    baseDir_ = slash == std::string::npos ? std::string() : file.substr(0, slash);
    for (const NodeConfig& node : station_.nodes) {
        if (node.port == 0 || station_.FindPort(node.port)) continue;
        PortConfig implied;
        implied.number = node.port;
        station_.ports.push_back(implied);
    }
}

StationPoller::~StationPoller() = default;

int64_t StationPoller::NowMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count();
}

int64_t StationPoller::NowUs() const {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start_).count();
}

void StationPoller::RestartClock() {
    start_ = std::chrono::steady_clock::now();
    nextTickMs_ = 0;
}

void StationPoller::Event(const std::string& text) const {
    if (onEvent) onEvent(text);
}

std::string StationPoller::PropertyText(int32_t id, const VARIANT& value) {
    ShortString text{};
    driver_->PropertyText(id, value, &text);
    return ShortStringToUtf8(text);
}

std::vector<PortOpening> StationPoller::OpenPorts() {
    std::vector<PortOpening> openings;
    for (const PortConfig& config : station_.ports) {
        PortOpening opening;
        opening.name = "COM" + std::to_string(config.number);
        std::string error;
        std::unique_ptr<LinePort> port = config.kind == PortKind::Serial ? OpenSerialPort(config, error)
                                                                         : OpenSimulatorPort(config, baseDir_, error);
        if (port) {
            opening.opened = true;
            opening.text = port->Describe();
            hub_.Add(static_cast<uint8_t>(config.number - 1), std::move(port), config.rxGapMs,
                     opening.name + " (" + (config.kind == PortKind::Serial ? "serial" : "simulator") + ")");
        } else {
            opening.text = error;
        }
        openings.push_back(std::move(opening));
    }
    return openings;
}

void StationPoller::Attach(IOrnDriver2* driver, IOrnPortClient* client) {
    driver_ = driver;
    client_ = client;
}

void StationPoller::BuildElements(int64_t readEveryMs) {
    for (const NodeConfig& config : station_.nodes) {
        auto node = std::make_unique<NodeRuntime>();
        node->config = &config;
        node->list = ComposeNodeList(NodePage(config));
        node->stats.name = config.name;
        node->stats.where = PropertyText(PROP_COM_PORT, OleVariant::I4(config.port - 1).ref()) + ", address " +
                            std::to_string(config.address) + ", " + config.protocol +
                            (IsLsbFirst(config.byteOrder) ? ", lsb" : ", msb") +
                            (config.readPassword.empty() && config.writePassword.empty() ? "" : ", passwords");
        const size_t nodeIndex = nodes_.size();
        for (const ItemConfig& itemConfig : config.items) {
            auto item = std::make_unique<ItemRuntime>();
            item->node = nodeIndex;
            item->config = &itemConfig;
            item->fullName = config.name + "." + itemConfig.name;
            item->list = ComposeItemList(ItemPage(itemConfig, config), node->list.Address());
            item->where = itemConfig.area + " " + PropertyText(PROP_ITEM_ADDRESS, OleVariant::I8(itemConfig.address).ref());
            if (itemConfig.typeCode == kTypeBoolean) item->where += " bit " + std::to_string(itemConfig.bit);
            // A host reads the rate as it stored it: the item's own, else its node's.
            int64_t rate = 0;
            if (ReadInt64Property(item->list.Address(), PROP_SCAN_RATE, rate) == ReadOutcome::Found ||
                ReadInt64Property(node->list.Address(), PROP_SCAN_RATE, rate) == ReadOutcome::Found)
                item->scanMs = rate > 0 ? rate : 1000;
            if (itemConfig.readable) item->scheduleIndex = schedule_.AddItem(readEveryMs > 0 ? readEveryMs : item->scanMs);
            item->stats.name = item->fullName;
            const size_t itemIndex = items_.size();
            item->object.onComplete = [this, itemIndex](bool write, uint32_t handle, HRESULT result) {
                OnComplete(itemIndex, write, handle, result);
            };
            item->object.onTransfer = [this, itemIndex](int32_t answered, int32_t tries, uint8_t first) {
                CountTransfer(items_[itemIndex]->stats, answered, tries, first);
            };
            items_.push_back(std::move(item));
        }
        nodes_.push_back(std::move(node));
    }
}

bool StationPoller::AddWrite(const WriteOption& option, std::string& error) {
    const auto found = station_.FindItem(option.item);
    if (!found) {
        error = "no such item in " + station_.file;
        return false;
    }
    size_t index = 0;
    for (size_t n = 0; n < found->first; ++n) index += station_.nodes[n].items.size();
    index += found->second;
    const ItemConfig& config = *items_[index]->config;
    if (!config.writable) {
        error = "the item is not writable";
        return false;
    }
    const auto value = ParseWriteValue(config.typeCode, option.value, error);
    if (!value) return false;
    auto job = std::make_unique<WriteJob>();
    job->item = index;
    job->value = *value;
    job->atMs = option.atMs;
    OleVariant variant = MakeWriteVariant(*value);
    job->state.state.value = variant.Detach();
    schedule_.AddWrite(option.atMs, index);
    writes_.push_back(std::move(job));
    return true;
}

void StationPoller::QueueWrites(int64_t nowMs) {
    const std::vector<size_t> due = schedule_.TakeDueWrites(nowMs);
    if (due.empty()) return;
    for (const size_t w : due) {
        WriteJob& job = *writes_[w];
        ItemRuntime& item = *items_[job.item];
        TTaskDef task;
        std::memset(&task, 0, sizeof(task));
        SetShortString(task.itemId, item.fullName);
        task.kind = sync_ ? tkSyncWrite : tkAsyncWrite;
        task.item = &item.object;
        task.handle = kWriteHandleBase + static_cast<uint32_t>(w);
        task.itemState = &job.state.state;
        task.nodeList = nodes_[item.node]->list.Address();
        task.itemList = item.list.Address();
        job.syncResult = kPending;
        task.result = &job.syncResult;
        job.queued = true;
        Event("write " + item.fullName + " = " + WriteValueText(job.value) + " queued");
        driver_->QueueTask(task);
    }
    driver_->Poll(1);  // writes go ahead of waiting reads
    FinishSyncTasks();
}

void StationPoller::QueueReads(int64_t nowMs) {
    const std::vector<size_t> due = schedule_.TakeDueReads(nowMs);
    if (due.empty()) return;
    for (size_t i = 0; i < items_.size(); ++i) {
        ItemRuntime& item = *items_[i];
        if (!item.scheduleIndex || std::find(due.begin(), due.end(), *item.scheduleIndex) == due.end()) continue;
        TTaskDef task;
        std::memset(&task, 0, sizeof(task));
        SetShortString(task.itemId, item.fullName);
        task.kind = sync_ ? tkSyncRead : tkAsyncRead;
        task.item = &item.object;
        item.readHandle = nextHandle_++;
        if (nextHandle_ >= kWriteHandleBase) nextHandle_ = 1;
        task.handle = item.readHandle;
        task.itemState = &item.read.state;
        task.nodeList = nodes_[item.node]->list.Address();
        task.itemList = item.list.Address();
        item.readResult = kPending;
        task.result = &item.readResult;
        driver_->QueueTask(task);
    }
    driver_->Poll(0);
    FinishSyncTasks();
}

void StationPoller::FinishSyncTasks() {
    if (!sync_) return;
    for (size_t i = 0; i < items_.size(); ++i) {
        ItemRuntime& item = *items_[i];
        if (item.readHandle != 0 && item.readResult != kPending) OnComplete(i, false, item.readHandle, item.readResult);
    }
    for (size_t w = 0; w < writes_.size(); ++w) {
        WriteJob& job = *writes_[w];
        if (job.queued && !job.done && job.syncResult != kPending)
            OnComplete(job.item, true, kWriteHandleBase + static_cast<uint32_t>(w), job.syncResult);
    }
}

void StationPoller::OnComplete(size_t index, bool write, uint32_t handle, HRESULT result) {
    ItemRuntime& item = *items_[index];
    NodeRuntime& node = *nodes_[item.node];
    const auto code = static_cast<uint32_t>(result);
    if (write) {
        const size_t w = handle - kWriteHandleBase;
        if (handle < kWriteHandleBase || w >= writes_.size() || writes_[w]->item != index || writes_[w]->done) {
            Event("unexpected write completion for " + item.fullName + " (handle " + std::to_string(handle) + ")");
            return;
        }
        WriteJob& job = *writes_[w];
        job.done = true;
        job.result = code;
        (code == kResultOk ? item.stats.writesOk : item.stats.writesBad)++;
        node.stats.Count(code);
        Event("write " + item.fullName + " = " + WriteValueText(job.value) + ": " + ResultText(code) + ", quality " +
              QualityText(job.state.state.quality));
        return;
    }
    if (handle != item.readHandle || handle == 0) {
        Event("unexpected read completion for " + item.fullName + " (handle " + std::to_string(handle) + ")");
        return;
    }
    item.readHandle = 0;
    item.reported = true;
    VariantClear(item.value.get());
    VariantCopy(item.value.get(), &item.read.state.value);
    item.quality = item.read.state.quality;
    item.stamp = item.read.state.timestamp;
    item.result = code;
    (code == kResultOk ? item.stats.readsOk : item.stats.readsBad)++;
    node.stats.Count(code);
    if (code == kResultOk) {
        const int64_t now = NowUs();
        if (item.lastGoodUs >= 0) item.refresh.Add(now - item.lastGoodUs);
        item.lastGoodUs = now;
    }
    if (item.scheduleIndex) schedule_.ReadDone(*item.scheduleIndex);
}

void StationPoller::Pump() { hub_.Pump(client_, NowMs()); }

void StationPoller::Step(int64_t nowMs) {
    QueueWrites(nowMs);
    QueueReads(nowMs);
    Pump();
    TickWhenDue(nowMs);
}

void StationPoller::TickWhenDue(int64_t nowMs) {
    if (nowMs < nextTickMs_) return;
    driver_->TimerTick();
    nextTickMs_ = nowMs + tickMs_;
}

void StationPoller::Wait(int64_t untilMs) {
    const int64_t now = NowMs();
    int64_t until = std::min(untilMs, nextTickMs_);
    if (const auto due = schedule_.NextDueMs()) until = std::min(until, *due);
    hub_.Wait(until - now, now);
}

void StationPoller::Finish(int64_t untilMs) {
    hub_.StopSending();
    for (int64_t now = NowMs(); hub_.AnyBusy() && now < untilMs; now = NowMs()) {
        Pump();
        FinishSyncTasks();
        TickWhenDue(now);  // a silent controller's exchange ends by its time-out
        if (hub_.AnyBusy()) hub_.Wait(std::min(untilMs, nextTickMs_) - now, now);
    }
}

void StationPoller::Shutdown() {
    if (driver_) driver_->ClearAll();
    heldAfterClear_ = 0;
    for (const auto& item : items_) heldAfterClear_ += item->object.References();
    unexpectedCalls_ = hub_.UnexpectedCalls();
    for (const auto& item : items_) unexpectedCalls_ += item->object.UnexpectedCalls();
}

int64_t StationPoller::Overruns(const ItemRuntime& item) const {
    return item.scheduleIndex ? schedule_.Overruns(*item.scheduleIndex) : 0;
}

}  // namespace tervex::host
