#include "tools/host/win/HostRun.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "config/ItemParams.h"
#include "config/NodeParams.h"
#include "config/win/ItemList.h"
#include "config/win/NodeList.h"
#include "config/win/PropertyRead.h"
#include "tools/host/core/Outcome.h"
#include "tools/host/core/StationPages.h"
#include "tools/host/win/StopFlag.h"
#include "tools/host/win/VariantText.h"
#include "values/DataTypes.h"
#include "values/ValueCodec.h"

namespace tervex::host {

namespace {

constexpr HRESULT kPending = E_PENDING;
constexpr uint32_t kWriteHandleBase = 0x40000000;

bool IsTraceLine(const std::string& line) {
    return line.find(" Tx: ") != std::string::npos || line.find(" Rx: ") != std::string::npos;
}

}  // namespace

HostRun::HostRun(const Options& options, Station station) : options_(options), station_(std::move(station)) {
    const std::string file = WindowsPath(station_.file);
    const size_t slash = file.find_last_of("/\\");
    baseDir_ = slash == std::string::npos ? std::string() : file.substr(0, slash);
}

HostRun::~HostRun() = default;

int64_t HostRun::NowMs() const {
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start_).count();
}

std::string HostRun::PropertyText(int32_t id, const VARIANT& value) {
    ShortString text{};
    driver_->PropertyText(id, value, &text);
    return ShortStringToUtf8(text);
}

bool HostRun::LoadDriver() {
    std::string error;
    if (!module_.Load(options_.dll, error)) {
        Print("tervex-host: " + error + "\n");
        return false;
    }
    driver_ = module_.Driver();
    ShortString name{}, description{}, third{};
    driver_->Initialize(&server_, &hub_, &name, &description, &third, &client_);
    if (!client_) {
        Print("tervex-host: the driver gave no port client\n");
        return false;
    }
    server_.onLog = [this](const std::string& line) { OnLog(line); };
    server_.onIdle = [this] { hub_.Pump(client_, NowMs()); };
    PrintBanner(ShortStringToUtf8(name), ShortStringToUtf8(description));
    return true;
}

void HostRun::ApplySettings() {
    for (const auto& [name, value] : station_.settings) {
        ShortString n{}, v{};
        SetShortString(n, name);
        SetShortString(v, value);
        if (!driver_->ApplySetting(&n, &v)) Event("the driver refused the setting " + name + " = " + value);
    }
}

bool HostRun::OpenPorts() {
    bool ok = true;
    for (const PortConfig& config : station_.ports) {
        std::string error;
        std::unique_ptr<LinePort> port = config.kind == PortKind::Serial ? OpenSerialPort(config, error)
                                                                         : OpenSimulatorPort(config, baseDir_, error);
        const std::string name = "COM" + std::to_string(config.number);
        if (!port) {
            Print("tervex-host: " + name + ": " + error + "\n");
            ok = false;
            continue;
        }
        Print("  " + name + (name.size() < 5 ? "      " : "     ") + port->Describe() + "\n");
        hub_.Add(static_cast<uint8_t>(config.number - 1), std::move(port), config.rxGapMs,
                 name + " (" + (config.kind == PortKind::Serial ? "serial" : "simulator") + ")");
    }
    return ok;
}

void HostRun::BuildElements() {
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
            if (itemConfig.readable) item->scheduleIndex = schedule_.AddItem(item->scanMs);
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

bool HostRun::PrepareWrites() {
    bool ok = true;
    for (const WriteOption& option : options_.writes) {
        const auto found = station_.FindItem(option.item);
        if (!found) {
            Print("tervex-host: --write " + option.item + ": no such item in " + station_.file + "\n");
            ok = false;
            continue;
        }
        size_t index = 0;
        for (size_t n = 0; n < found->first; ++n) index += station_.nodes[n].items.size();
        index += found->second;
        const ItemConfig& config = *items_[index]->config;
        if (!config.writable) {
            Print("tervex-host: --write " + option.item + ": the item is not writable\n");
            ok = false;
            continue;
        }
        std::string error;
        const auto value = ParseWriteValue(config.typeCode, option.value, error);
        if (!value) {
            Print("tervex-host: --write " + option.item + ": " + error + "\n");
            ok = false;
            continue;
        }
        auto job = std::make_unique<WriteJob>();
        job->item = index;
        job->value = *value;
        job->atMs = option.atMs;
        OleVariant variant = MakeWriteVariant(*value);
        job->state.state.value = variant.Detach();
        schedule_.AddWrite(option.atMs, index);
        writes_.push_back(std::move(job));
    }
    return ok;
}

void HostRun::QueueWrites(int64_t nowMs) {
    const std::vector<size_t> due = schedule_.TakeDueWrites(nowMs);
    if (due.empty()) return;
    for (const size_t w : due) {
        WriteJob& job = *writes_[w];
        ItemRuntime& item = *items_[job.item];
        TTaskDef task;
        std::memset(&task, 0, sizeof(task));
        SetShortString(task.itemId, item.fullName);
        task.kind = options_.sync ? tkSyncWrite : tkAsyncWrite;
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

void HostRun::QueueReads(int64_t nowMs) {
    const std::vector<size_t> due = schedule_.TakeDueReads(nowMs);
    if (due.empty()) return;
    for (size_t i = 0; i < items_.size(); ++i) {
        ItemRuntime& item = *items_[i];
        if (!item.scheduleIndex || std::find(due.begin(), due.end(), *item.scheduleIndex) == due.end()) continue;
        TTaskDef task;
        std::memset(&task, 0, sizeof(task));
        SetShortString(task.itemId, item.fullName);
        task.kind = options_.sync ? tkSyncRead : tkAsyncRead;
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

void HostRun::FinishSyncTasks() {
    if (!options_.sync) return;
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

void HostRun::OnComplete(size_t index, bool write, uint32_t handle, HRESULT result) {
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
    if (item.scheduleIndex) schedule_.ReadDone(*item.scheduleIndex);
}

void HostRun::OnLog(const std::string& line) {
    char stamp[16];
    std::snprintf(stamp, sizeof(stamp), "%7.3f", static_cast<double>(NowMs()) / 1000.0);
    log_.push_back(std::string(stamp) + "\t" + line);
    if (options_.log) Print(std::string("  ") + stamp + "  " + line + "\n");
    else if (!IsTraceLine(line)) Event(line);
}

void HostRun::Loop() {
    int64_t nextTickMs = 0;
    int64_t nextTableMs = options_.refreshMs;
    while (!StopRequested()) {
        const int64_t now = NowMs();
        if (now >= options_.durationMs) break;
        QueueWrites(now);
        QueueReads(now);
        hub_.Pump(client_, NowMs());
        if (now >= nextTickMs) {
            driver_->TimerTick();
            nextTickMs = now + options_.tickMs;
        }
        if (options_.refreshMs > 0 && now >= nextTableMs && nextTableMs < options_.durationMs) {
            PrintTable(now);
            nextTableMs += options_.refreshMs;
        }
        Sleep(2);
    }
}

void HostRun::Shutdown() {
    driver_->ClearAll();
    heldAfterClear_ = 0;
    for (const auto& item : items_) heldAfterClear_ += item->object.References();
    if (heldAfterClear_ != 0)
        Event("the driver still holds " + std::to_string(heldAfterClear_) + " item reference(s) after ClearAll");
    unexpectedCalls_ = server_.UnexpectedCalls() + hub_.UnexpectedCalls();
    for (const auto& item : items_) unexpectedCalls_ += item->object.UnexpectedCalls();
    if (unexpectedCalls_ != 0) Event("the driver called " + std::to_string(unexpectedCalls_) + " slot(s) it should not");
    if (client_) {
        client_->Release();
        client_ = nullptr;
    }
}

int HostRun::Run() {
    start_ = std::chrono::steady_clock::now();
    if (!LoadDriver()) return 1;
    ApplySettings();
    if (!OpenPorts()) return 1;
    BuildElements();
    if (!PrepareWrites()) return 2;
    Print("\n");
    start_ = std::chrono::steady_clock::now();
    Loop();
    const bool stopped = StopRequested();
    PrintTable(NowMs());
    PrintSummary();
    Shutdown();
    const bool written = WriteResults();
    if (stopped) Print("stopped early\n");
    return written ? 0 : 1;
}

}  // namespace tervex::host
