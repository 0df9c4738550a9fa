#pragma once
// The one driver object behind the library's export.
#include <memory>

#include "boundary/PluginInterface.h"
#include "plugin/TaskEntry.h"

namespace tervex {

class EngineAdapter;

class TComPortDriver final : public IOrnDriver2, public IOrnPortClient {
public:
    TComPortDriver();
    ~TComPortDriver();
    TComPortDriver(const TComPortDriver&) = delete;
    TComPortDriver& operator=(const TComPortDriver&) = delete;

    IOrnDriver2* DriverInterface() { return this; }
    IOrnPortClient* PortClientInterface() { return this; }
    IOrnOPCServer* Server() const { return FServer; }
    IOrnComPort* HostPort() const { return FHostPort; }

    // Drops (without completing) the new tasks, and the active tasks with the port table.
    void ClearTasks(bool clearNew, bool clearActive);

    const EngineAdapter& Engine() const { return *FEngine; }

    // IUnknown: references count nothing; the driver lives as long as the library.
    HRESULT __stdcall QueryInterface(REFIID iid, void** object) override;
    ULONG __stdcall AddRef() override;
    ULONG __stdcall Release() override;

    // IOrnDriver2
    void __stdcall Initialize(IOrnOPCServer* server, IOrnComPort* port, ShortString* name, ShortString* description,
                              ShortString* third, IOrnPortClient** client) override;
    uint8_t __stdcall ShowSettingsPage(HWND parent, HWND* page, int32_t* width, int32_t* height) override;
    uint8_t __stdcall ShowNewNodePage(HWND parent, IOrnItem* element, HWND* page, int32_t* width,
                                      int32_t* height) override;
    uint8_t __stdcall ShowNewItemPage(HWND parent, IOrnItem* element, TItemProperties* nodeList, HWND* page,
                                      int32_t* width, int32_t* height) override;
    uint8_t __stdcall ShowElementPage(HWND parent, IOrnItem* element, const ShortString* name, int32_t kind,
                                      TItemProperties* parentList, TItemProperties* ownList, HWND* page,
                                      int32_t* width, int32_t* height) override;
    HRESULT __stdcall QueueTask(TTaskDef task) override;
    HRESULT __stdcall Poll(int32_t priority) override;
    uint8_t __stdcall ApplySetting(const ShortString* name, const ShortString* value) override;
    void __stdcall RemoveItemTasks(IOrnItem* item) override;
    void __stdcall PropertyText(int32_t id, VARIANT value, ShortString* text) override;
    HRESULT __stdcall Stub13(TTaskDef task) override;
    void __stdcall ClearAll() override;
    void __stdcall Stub15(int32_t value) override;
    uint8_t __stdcall GetWaitTime(int32_t first, int32_t second, int32_t* time) override;
    HRESULT __stdcall Stub17(int32_t value) override;
    HRESULT __stdcall Stub18(TItemProperties list, int32_t value) override;
    uint8_t __stdcall Stub19() override;
    HRESULT __stdcall Stub20() override;
    HRESULT __stdcall GetAggregates(TAggregates* aggregates) override;
    HRESULT __stdcall Stub22(int32_t value) override;
    HRESULT __stdcall QueueHdaTask(TTaskHDADef task) override;
    void __stdcall TimerTick() override;

    // IOrnPortClient
    void __stdcall DataReceived(uint8_t port, const uint8_t* data, int32_t count) override;
    void __stdcall SendNext(int32_t unused) override;
    uint8_t __stdcall IsFrameComplete(uint8_t port, const uint8_t* data, int32_t count) override;

private:
    std::unique_ptr<EngineAdapter> FEngine;  // the task lists, the port table and the poll cycle
    IOrnOPCServer* FServer = nullptr;
    IOrnComPort* FHostPort = nullptr;
};

}  // namespace tervex
