#include "tools/host/win/LineSession.h"

#include <algorithm>
#include <cstring>

#include "config/win/ItemList.h"
#include "config/win/NodeList.h"
#include "tools/host/core/Commission.h"
#include "tools/host/core/StationPages.h"
#include "tools/host/win/Runtime.h"
#include "tools/host/win/StopFlag.h"
#include "tools/host/win/VariantText.h"

namespace tervex::host {

namespace {

constexpr uint32_t kHandle = 1;

// The trace text of a " Tx: " or " Rx: " line, or nothing for other lines.
bool TraceText(const std::string& line, const char* marker, std::string& text) {
    const size_t at = line.find(marker);
    if (at == std::string::npos) return false;
    text = line.substr(at + std::strlen(marker));
    return true;
}

}  // namespace

LineSession::~LineSession() {
    if (driver_) driver_->ClearAll();
    if (client_) client_->Release();
}

int64_t LineSession::NowMs() const { return static_cast<int64_t>(GetTickCount64()) - startTick_; }

bool LineSession::Open(const std::string& dll, const PortConfig& port, const std::string& baseDir,
                       const std::vector<std::pair<std::string, std::string>>& settings, std::string& error) {
    startTick_ = static_cast<int64_t>(GetTickCount64());
    if (!module_.Load(dll, error)) return false;
    driver_ = module_.Driver();
    ShortString name{}, description{}, third{};
    driver_->Initialize(&server_, &hub_, &name, &description, &third, &client_);
    if (!client_) {
        error = "the driver gave no port client";
        return false;
    }
    driverName_ = DriverTitle(ShortStringToUtf8(name), ShortStringToUtf8(description), module_.Version());
    for (const auto& [settingName, value] : settings) {
        if (!ApplySetting(driver_, settingName, value)) {
            error = "the driver refused the setting " + settingName + " = " + value;
            return false;
        }
    }
    server_.onLog = [this](const std::string& line) {
        if (log_) log_->push_back(line);
    };
    std::unique_ptr<LinePort> line =
        port.kind == PortKind::Serial ? OpenSerialPort(port, error) : OpenSimulatorPort(port, baseDir, error);
    if (!line) return false;
    portText_ = "COM" + std::to_string(port.number) + " (" + line->Describe() + ")";
    hub_.Add(static_cast<uint8_t>(port.number - 1), std::move(line), port.rxGapMs, portText_);
    return true;
}

void LineSession::Forget() {
    if (driver_) driver_->ClearAll();
}

ExchangeOutcome LineSession::Read(const NodeConfig& node, const ItemConfig& item) {
    VARIANT empty;
    VariantInit(&empty);
    return Run(node, item, false, empty);
}

ExchangeOutcome LineSession::Write(const NodeConfig& node, const ItemConfig& item, const WriteValue& value) {
    OleVariant variant = MakeWriteVariant(value);
    return Run(node, item, true, variant.Detach());
}

ExchangeOutcome LineSession::Run(const NodeConfig& node, const ItemConfig& item, bool write, VARIANT value) {
    ExchangeOutcome outcome;
    OwnedPropertyList nodeList = ComposeNodeList(NodePage(node));
    OwnedPropertyList itemList = ComposeItemList(ItemPage(item, node), nodeList.Address());
    ItemStateRecord state;
    state.state.value = value;  // the record clears it

    bool finished = false;
    HRESULT result = S_OK;
    item_.onComplete = [&](bool, uint32_t handle, HRESULT r) {
        if (handle != kHandle) return;
        finished = true;
        result = r;
    };
    TTaskDef task;
    std::memset(&task, 0, sizeof(task));
    SetShortString(task.itemId, node.name + "." + item.name);
    task.kind = write ? tkAsyncWrite : tkAsyncRead;
    task.item = &item_;
    task.handle = kHandle;
    task.itemState = &state.state;
    task.nodeList = nodeList.Address();
    task.itemList = itemList.Address();

    log_ = &outcome.trace;
    driver_->QueueTask(task);
    driver_->Poll(write ? 1 : 0);
    // The driver gives a request up after its tries; a password frame may go first.
    int32_t waitMs = 0;
    driver_->GetWaitTime(0, 0, &waitMs);
    const int64_t deadline = NowMs() + 2 * static_cast<int64_t>(waitMs) + 2000;
    int64_t nextTick = 0;
    while (!finished && !StopRequested() && NowMs() < deadline) {
        hub_.Pump(client_, NowMs());
        if (NowMs() >= nextTick) {
            driver_->TimerTick();
            nextTick = NowMs() + kCommissionTickMs;
        }
        // Until the port has bytes or the next tick is due, as the polling mode waits.
        if (!finished) hub_.Wait(std::min(nextTick, deadline) - NowMs(), NowMs());
    }
    if (!finished) driver_->ClearAll();  // the task is dropped, its item reference given back
    log_ = nullptr;
    item_.onComplete = nullptr;

    outcome.finished = finished;
    outcome.result = static_cast<uint32_t>(result);
    outcome.quality = state.state.quality;
    outcome.stamp = state.state.timestamp;
    if (!write) VariantCopy(outcome.value.get(), &state.state.value);
    for (const std::string& line : outcome.trace) {
        std::string text;
        if (TraceText(line, " Tx: ", text)) ++outcome.sent;
        else if (TraceText(line, " Rx: ", text)) outcome.received.push_back(text);
    }
    return outcome;
}

}  // namespace tervex::host
