#include "plugin/EngineAdapter.h"

#include <oleauto.h>

#include "config/DriverSettings.h"
#include "config/win/ItemList.h"
#include "config/win/NodeList.h"
#include "plugin/Driver.h"
#include "plugin/TaskEntry.h"
#include "protocol/RequestBuilder.h"
#include "values/DataTypes.h"
#include "values/win/DateTime.h"
#include "values/win/HostVariant.h"
#include "values/win/OleVariant.h"
#include "values/win/VariantCodec.h"
#include "win/Guard.h"
#include "win/HostShield.h"

namespace tervex {
namespace {

constexpr int32_t kLogKind = 1;

// Whether a value equals the integer 0, as a bit write decides set or clear. Null
// equals nothing; a value that is no number cannot be compared.
bool IsZeroValue(const VARIANT& value, bool& comparable) {
    comparable = false;
    OleVariant direct;
    if (!CopyHostValue(value, direct)) return false;  // a reference to nothing is no value
    if (direct.type() == VT_NULL) {
        comparable = true;
        return false;
    }
    OleVariant number;
    if (FAILED(VariantChangeType(number.get(), direct.get(), 0, VT_R8))) return false;
    comparable = true;
    return V_R8(number.get()) == 0.0;
}

// The value to write in device form; an unconvertible one marks the payload invalid.
WritePayload EncodeWrite(const TItemState* state, const EngineTask& task) {
    WritePayload payload;
    if (!state) {
        payload.valid = false;
        return payload;
    }
    if (MemoryAreaFromText(task.item.memoryArea) == MemoryArea::Ram && task.item.typeCode == kTypeBoolean) {
        bool comparable = false;
        payload.bitValue = !IsZeroValue(state->value, comparable);
        payload.valid = comparable;
        return payload;
    }
    try {
        VariantToBytes(state->value, task.item.typeCode, payload.bytes.data(), DataTypeSize(task.item.typeCode),
                       task.node.byteOrder);
    } catch (...) {
        payload.valid = false;
    }
    return payload;
}

FILETIME ToFileTime(const Timestamp& timestamp) {
    if (timestamp.now) return UtcNowFileTime();
    FILETIME result;
    DateTimeToUtcFileTime(result, timestamp.localDateTime);
    return result;
}

}  // namespace

// Every call into the host runs behind a shield: what the host raises in there counts
// as a failed call, and the driver goes on.
class EngineAdapter::HostPort final : public IHostPort {
public:
    explicit HostPort(TComPortDriver& driver) : FDriver(driver) {}

    bool CanTransmit(uint8_t port) override {
        IOrnComPort* host = FDriver.HostPort();
        IOrnPortClient* client = FDriver.PortClientInterface();
        return host && HostCall<uint8_t>(0, [&] { return host->CanTransmit(port, client); }) != 0;
    }
    uint8_t WritePort(uint8_t port, const uint8_t* data, int32_t count) override {
        IOrnComPort* host = FDriver.HostPort();
        IOrnPortClient* client = FDriver.PortClientInterface();
        return host ? HostCall<uint8_t>(1, [&] { return host->WritePort(port, data, count, client); }) : 1;
    }
    void TransferDone(uint8_t port) override {
        IOrnComPort* host = FDriver.HostPort();
        IOrnPortClient* client = FDriver.PortClientInterface();
        if (host) HostCall([&] { host->TransferDone(port, client); });
    }

private:
    TComPortDriver& FDriver;
};

class EngineAdapter::HostServer final : public IHostServer {
public:
    explicit HostServer(TComPortDriver& driver) : FDriver(driver) {}

    void WriteLog(const std::string& utf8Line) override {
        IOrnOPCServer* server = FDriver.Server();
        if (!server) return;
        ShortString text;
        SetShortString(text, utf8Line);  // Windows-1251, cut to 255
        HostCall([&] { server->WriteLog(&text, kLogKind); });
    }
    void Idle() override {
        if (IOrnOPCServer* server = FDriver.Server()) HostCall([&] { server->Idle(); });
    }

private:
    TComPortDriver& FDriver;
};

// Writes outcomes into the host's records and releases each task record at its end.
class EngineAdapter::Sink final : public ICompletionSink {
public:
    void TaskFinished(void* context, const Completion& c) override {
        auto* entry = static_cast<TTaskEntry*>(context);
        if (!entry) return;
        Guarded([&] { WriteItemState(*entry, c); });
        Guarded([&] { Report(*entry, c.result); });
        if (c.reportTransfer && entry->Item) {
            IOrnItem* item = entry->Item;
            const int32_t answered = c.transfer.answered ? 1 : 0;
            const auto tries = static_cast<int32_t>(c.transfer.tries);
            const uint8_t first = c.transfer.first ? 1 : 0;
            HostCall([&] { item->ReportTransfer(answered, tries, first); });
        }
        FreeTaskEntry(entry);
    }

    void ItemStateStamped(void* context, uint16_t quality, const Timestamp* timestamp) override {
        auto* entry = static_cast<TTaskEntry*>(context);
        if (!entry || !entry->ItemState) return;
        if (timestamp) entry->ItemState->timestamp = ToFileTime(*timestamp);
        entry->ItemState->quality = quality;
    }

    void TaskDropped(void* context) override { FreeTaskEntry(static_cast<TTaskEntry*>(context)); }

private:
    static void WriteItemState(TTaskEntry& entry, const Completion& c) {
        TItemState* state = entry.ItemState;
        if (!state) return;
        state->timestamp = ToFileTime(c.timestamp);
        state->quality = c.quality;
        if (c.valueBytes && c.node) {
            const OleVariant value =
                BytesToVariant(c.valueBytes, c.valueByteCount, c.typeCode, c.bitNumber, c.node->byteOrder);
            StoreItemValue(&state->value, value.ref());
        } else if (c.value) {
            // A diagnostics read: a count or state of the driver's own, as an Integer.
            VARIANT number;
            VariantInit(&number);
            V_VT(&number) = VT_I4;
            V_I4(&number) = static_cast<LONG>(c.value->number);
            StoreItemValue(&state->value, number);
        }
    }

    static void Report(TTaskEntry& entry, uint32_t result) {
        ReportResult(entry.Kind, entry.Item, entry.Handle, entry.ResultPtr, static_cast<HRESULT>(result));
    }
};

EngineAdapter::EngineAdapter(TComPortDriver& driver)
    : FPort(std::make_unique<HostPort>(driver)),
      FServer(std::make_unique<HostServer>(driver)),
      FSink(std::make_unique<Sink>()),
      FEngine(std::make_unique<PollEngine>(FClock, *FPort, *FServer, *FSink, Settings())) {}

EngineAdapter::~EngineAdapter() {
    FEngine.reset();  // drops what is left while the sink still exists
}

void EngineAdapter::QueueTask(const TTaskDef& task) {
    TTaskEntry* entry = NewTaskEntry(task);
    if (!entry) {
        // No task memory for the driver's copy: the task ends at once, failed like a
        // task that cannot be served, rather than never.
        Guarded([&] {
            if (task.itemState) {
                task.itemState->timestamp = UtcNowFileTime();
                task.itemState->quality = kQualityBad;
            }
            ReportResult(task.kind, task.item, task.handle, task.result, E_FAIL);
        });
        return;
    }
    EngineTask t;
    t.kind = static_cast<TaskKind>(task.kind);
    t.itemKey = entry->Item;
    t.context = entry;
    try {
        const bool readable = ReadNodeParams(task.nodeList, t.node) == ParamsStatus::Ok &&
                              ReadItemParams(task.itemList, t.item) == ParamsStatus::Ok;
        if (!readable) t.node.comPort.reset();  // not served: finished with E_FAIL
        if (IsWriteKind(t.kind)) t.write = EncodeWrite(entry->ItemState, t);
    } catch (...) {
        t.node.comPort.reset();
    }
    FEngine->QueueTask(t);
}

void EngineAdapter::Poll(int32_t priority) { FEngine->Poll(static_cast<uint32_t>(priority)); }

void EngineAdapter::RemoveItemTasks(IOrnItem* item) { FEngine->RemoveItemTasks(item); }

void EngineAdapter::ClearTasks(bool clearNew, bool clearActive) {
    if (clearActive) {
        FEngine->ClearAll();
    } else if (clearNew) {
        FEngine->ClearNewTasks();
    }
}

void EngineAdapter::TimerTick() { FEngine->TimerTick(); }

void EngineAdapter::DataReceived(uint8_t port, const uint8_t* data, int32_t count) {
    FEngine->DataReceived(port, data, count);
}

void EngineAdapter::SendNext() { FEngine->SendNext(); }

bool EngineAdapter::IsFrameComplete(uint8_t port, const uint8_t* data, int32_t count) const {
    return FEngine->IsFrameComplete(port, data, count);
}

}  // namespace tervex
