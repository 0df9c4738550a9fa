#include "plugin/Driver.h"

#include <algorithm>

#include "boundary/PropertyList.h"
#include "config/DriverSettings.h"
#include "pages/Config.h"
#include "plugin/EngineAdapter.h"
#include "plugin/Library.h"
#include "plugin/PropertyText.h"
#include "win/Guard.h"
#include "win/HostShield.h"

namespace tervex {
namespace {

template <typename T>
void ReplaceReference(T*& field, T* value) {
    if (value) HostCall([&] { value->AddRef(); });
    T* previous = field;
    field = value;
    if (previous) HostCall([&] { previous->Release(); });
}

// Takes and drops the reference a record would hold.
void TouchReference(IOrnItem* item) {
    if (!item) return;
    HostCall([&] { item->AddRef(); });
    HostCall([&] { item->Release(); });
}

}  // namespace

TComPortDriver::TComPortDriver() : FEngine(std::make_unique<EngineAdapter>(*this)) {}

TComPortDriver::~TComPortDriver() {
    Guarded([&] { ClearTasks(true, true); });
    ReplaceReference<IOrnOPCServer>(FServer, nullptr);
    ReplaceReference<IOrnComPort>(FHostPort, nullptr);
}

void TComPortDriver::ClearTasks(bool clearNew, bool clearActive) {
    FEngine->ClearTasks(clearNew, clearActive);
}

HRESULT __stdcall TComPortDriver::QueryInterface(REFIID iid, void** object) {
    if (!object) return E_POINTER;
    *object = nullptr;
    if (IsEqualGUID(iid, IID_IOrnDriver2) || IsEqualGUID(iid, IID_IOrnDriver) || IsEqualGUID(iid, IID_IUnknown)) {
        *object = static_cast<IOrnDriver2*>(this);
    } else if (IsEqualGUID(iid, IID_IOrnPortClient)) {
        *object = static_cast<IOrnPortClient*>(this);
    } else {
        return E_NOINTERFACE;
    }
    return S_OK;
}

ULONG __stdcall TComPortDriver::AddRef() { return static_cast<ULONG>(-1); }
ULONG __stdcall TComPortDriver::Release() { return static_cast<ULONG>(-1); }

void __stdcall TComPortDriver::Initialize(IOrnOPCServer* server, IOrnComPort* port, ShortString* name,
                                          ShortString* description, ShortString* third, IOrnPortClient** client) {
    Guarded([&] {
        if (client) *client = nullptr;
        if (name) SetShortString(*name, "Tervex");
        if (description) SetShortString(*description, "Протокол Tervex");
        if (third) SetShortString(*third, "");
        ReplaceReference(FServer, server);
        ReplaceReference(FHostPort, port);
        if (client) *client = static_cast<IOrnPortClient*>(this);
    });
}

HRESULT __stdcall TComPortDriver::QueueTask(TTaskDef task) {
    Guarded([&] { FEngine->QueueTask(task); });
    return S_OK;
}

HRESULT __stdcall TComPortDriver::Poll(int32_t priority) {
    Guarded([&] { FEngine->Poll(priority); });
    return S_OK;
}

uint8_t __stdcall TComPortDriver::ApplySetting(const ShortString* name, const ShortString* value) {
    return Guarded<uint8_t>(0, [&]() -> uint8_t {
        TfmConfig* page = ConfigPage();
        if (!page || !name || !value) return 0;
        return page->ApplySetting(ShortStringToUtf8(*name), ShortStringToUtf8(*value)) ? 1 : 0;
    });
}

void __stdcall TComPortDriver::RemoveItemTasks(IOrnItem* item) {
    Guarded([&] { FEngine->RemoveItemTasks(item); });
}

void __stdcall TComPortDriver::PropertyText(int32_t id, VARIANT value, ShortString* text) {
    if (!text) return;
    SetShortString(*text, "");
    Guarded([&] { SetShortString(*text, FormatPropertyText(id, value)); });
}

HRESULT __stdcall TComPortDriver::Stub13(TTaskDef task) {
    TouchReference(task.item);
    return S_OK;
}

void __stdcall TComPortDriver::ClearAll() {
    Guarded([&] { ClearTasks(true, true); });
}

void __stdcall TComPortDriver::Stub15(int32_t) {}

uint8_t __stdcall TComPortDriver::GetWaitTime(int32_t, int32_t, int32_t* time) {
    if (time) *time = GetWaitTimeMs(Settings());
    return 1;
}

HRESULT __stdcall TComPortDriver::Stub17(int32_t) { return S_OK; }

HRESULT __stdcall TComPortDriver::Stub18(TItemProperties list, int32_t) {
    Guarded([&] { ReleasePropertyList(list); });
    return S_OK;
}

uint8_t __stdcall TComPortDriver::Stub19() { return 1; }
HRESULT __stdcall TComPortDriver::Stub20() { return S_OK; }

HRESULT __stdcall TComPortDriver::GetAggregates(TAggregates* aggregates) {
    if (aggregates) *aggregates = nullptr;
    return S_OK;
}

HRESULT __stdcall TComPortDriver::Stub22(int32_t) { return S_OK; }

HRESULT __stdcall TComPortDriver::QueueHdaTask(TTaskHDADef task) {
    TouchReference(task.item);
    return S_OK;
}

void __stdcall TComPortDriver::TimerTick() {
    Guarded([&] { FEngine->TimerTick(); });
}

void __stdcall TComPortDriver::DataReceived(uint8_t port, const uint8_t* data, int32_t count) {
    Guarded([&] { FEngine->DataReceived(port, data, count); });
}

void __stdcall TComPortDriver::SendNext(int32_t) {
    Guarded([&] { FEngine->SendNext(); });
}

uint8_t __stdcall TComPortDriver::IsFrameComplete(uint8_t port, const uint8_t* data, int32_t count) {
    return Guarded<uint8_t>(0, [&]() -> uint8_t { return FEngine->IsFrameComplete(port, data, count) ? 1 : 0; });
}

}  // namespace tervex
