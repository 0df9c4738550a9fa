#pragma once
// The COM-style interfaces between the host OPC server and the driver. Slot order
// is the contract: never reorder, never remove a slot.
#include <windows.h>
#include <unknwn.h>

#include <cstdint>

#include "boundary/Records.h"

// GUIDs of the interfaces.
constexpr GUID IID_IOrnOPCServer = {0x66C716E1, 0xCB78, 0x4DD4, {0x93, 0xF2, 0xEC, 0x7E, 0xBE, 0xAF, 0x03, 0x54}};
constexpr GUID IID_IOrnComPort = {0x740C49CF, 0x02A2, 0x4427, {0xB3, 0x43, 0x2A, 0x76, 0xB9, 0x45, 0xE9, 0xD9}};
constexpr GUID IID_IOrnItem = {0xF2B0EFCD, 0x411F, 0x4E2A, {0xB6, 0x3D, 0x46, 0xA1, 0xBB, 0xE1, 0xC9, 0x21}};
constexpr GUID IID_IOrnPortClient = {0xFACC000A, 0x9C12, 0x46B9, {0xA9, 0x1B, 0x25, 0x4F, 0x02, 0xBA, 0x51, 0xF6}};
constexpr GUID IID_IOrnDriver2 = {0x267AFD2B, 0xC23F, 0x42DA, {0xA8, 0xDF, 0xFA, 0x32, 0x08, 0x6E, 0x75, 0xD7}};
constexpr GUID IID_IOrnDriver = {0xC057E49C, 0x3221, 0x4DF8, {0x81, 0x34, 0x1B, 0x2B, 0x51, 0x6C, 0xB0, 0xB1}};

// Window messages between host windows and the pages (both parameters 0).
enum : UINT {
    WM_CONFIG_CHANGED = WM_USER + 300,
    WM_CONFIG_APPLY = WM_USER + 301,
    WM_CONFIG_RELOAD = WM_USER + 303,
    WM_PAGE_DETACH = WM_USER + 304,
    WM_NODE_NAME_EMPTY = WM_USER + 310,
    WM_NODE_CHANGED = WM_USER + 311,
    WM_NODE_ADD = WM_USER + 312,
    WM_NODE_APPLIED = WM_USER + 313,
    WM_ITEM_NAME_EMPTY = WM_USER + 320,
    WM_ITEM_CHANGED = WM_USER + 321,
    WM_ITEM_ADD = WM_USER + 322,
    WM_ITEM_APPLIED = WM_USER + 323,
    WM_NODE_MODIFY = WM_USER + 330,
    WM_NODE_RELOAD = WM_USER + 331,
    WM_ITEM_MODIFY = WM_USER + 340,
    WM_ITEM_RELOAD = WM_USER + 341,
};

constexpr HRESULT OPC_E_DUPLICATENAME = static_cast<HRESULT>(0xC004000C);

struct IOrnPortClient;
struct IOrnDriver2;

// The host server.
struct IOrnOPCServer : public IUnknown {
    virtual void __stdcall StoreSetting(const tervex::ShortString* name, const tervex::ShortString* value) = 0;  // 3
    virtual void __stdcall WriteLog(const tervex::ShortString* text, int32_t kind) = 0;                         // 4
    virtual void __stdcall Reserved5() = 0;                                                                     // 5
    virtual void __stdcall Reserved6() = 0;                                                                     // 6
    virtual void __stdcall Idle() = 0;                                                                          // 7
    virtual void __stdcall Reserved8() = 0;                                                                     // 8
    virtual void __stdcall Reserved9() = 0;                                                                     // 9
    virtual void __stdcall Reserved10() = 0;                                                                    // 10
    virtual void __stdcall Reserved11() = 0;                                                                    // 11
    virtual void __stdcall Reserved12() = 0;                                                                    // 12
};

// The host's serial port object. Every call names the client to call back.
struct IOrnComPort : public IUnknown {
    // 0: written; anything else: the write failed.
    virtual uint8_t __stdcall WritePort(uint8_t port, const uint8_t* data, int32_t count, IOrnPortClient* client) = 0;  // 3
    virtual uint8_t __stdcall CanTransmit(uint8_t port, IOrnPortClient* client) = 0;                                    // 4
    virtual void __stdcall TransferDone(uint8_t port, IOrnPortClient* client) = 0;                                      // 5
};

// A host element: a node, an item, or the parent under which one is added.
struct IOrnItem : public IUnknown {
    virtual HRESULT __stdcall AddElement(tervex::TItemAttributes attributes, int32_t kind, int32_t code,
                                         tervex::TItemProperties* list, IOrnDriver2* driver,
                                         IUnknown** element) = 0;                                            // 3
    virtual void __stdcall ReadComplete(uint32_t handle, HRESULT result) = 0;                                // 4
    virtual void __stdcall WriteComplete(uint32_t handle, HRESULT result) = 0;                               // 5
    virtual HRESULT __stdcall ModifyElement(tervex::TItemAttributes attributes, tervex::TItemProperties* list) = 0;  // 6
    virtual void __stdcall ReportTransfer(int32_t answered, int32_t tries, uint8_t first) = 0;               // 7
    virtual void __stdcall Reserved8() = 0;                                                                  // 8
    virtual void __stdcall Reserved9() = 0;                                                                  // 9
    virtual void __stdcall Reserved10() = 0;                                                                 // 10
    virtual void __stdcall Reserved11() = 0;                                                                 // 11
    virtual void __stdcall Reserved12() = 0;                                                                 // 12
};

// The driver's port-client interface, called by the host's port.
struct IOrnPortClient : public IUnknown {
    virtual void __stdcall DataReceived(uint8_t port, const uint8_t* data, int32_t count) = 0;  // 3
    virtual void __stdcall SendNext(int32_t unused) = 0;                                        // 4
    virtual uint8_t __stdcall IsFrameComplete(uint8_t port, const uint8_t* data, int32_t count) = 0;  // 5
};

// The driver interface; IOrnDriver answers with the same table.
struct IOrnDriver2 : public IUnknown {
    virtual void __stdcall Initialize(IOrnOPCServer* server, IOrnComPort* port, tervex::ShortString* name,
                                      tervex::ShortString* description, tervex::ShortString* third,
                                      IOrnPortClient** client) = 0;                                             // 3
    virtual uint8_t __stdcall ShowSettingsPage(HWND parent, HWND* page, int32_t* width, int32_t* height) = 0;   // 4
    virtual uint8_t __stdcall ShowNewNodePage(HWND parent, IOrnItem* element, HWND* page, int32_t* width,
                                              int32_t* height) = 0;                                             // 5
    virtual uint8_t __stdcall ShowNewItemPage(HWND parent, IOrnItem* element, tervex::TItemProperties* nodeList,
                                              HWND* page, int32_t* width, int32_t* height) = 0;                 // 6
    virtual uint8_t __stdcall ShowElementPage(HWND parent, IOrnItem* element, const tervex::ShortString* name,
                                              int32_t kind, tervex::TItemProperties* parentList,
                                              tervex::TItemProperties* ownList, HWND* page, int32_t* width,
                                              int32_t* height) = 0;                                             // 7
    virtual HRESULT __stdcall QueueTask(tervex::TTaskDef task) = 0;                                             // 8
    virtual HRESULT __stdcall Poll(int32_t priority) = 0;                                                       // 9
    virtual uint8_t __stdcall ApplySetting(const tervex::ShortString* name, const tervex::ShortString* value) = 0;  // 10
    virtual void __stdcall RemoveItemTasks(IOrnItem* item) = 0;                                                 // 11
    virtual void __stdcall PropertyText(int32_t id, VARIANT value, tervex::ShortString* text) = 0;             // 12
    virtual HRESULT __stdcall Stub13(tervex::TTaskDef task) = 0;                                                // 13
    virtual void __stdcall ClearAll() = 0;                                                                      // 14
    virtual void __stdcall Stub15(int32_t value) = 0;                                                           // 15
    virtual uint8_t __stdcall GetWaitTime(int32_t first, int32_t second, int32_t* time) = 0;                    // 16
    virtual HRESULT __stdcall Stub17(int32_t value) = 0;                                                        // 17
    virtual HRESULT __stdcall Stub18(tervex::TItemProperties list, int32_t value) = 0;                          // 18
    virtual uint8_t __stdcall Stub19() = 0;                                                                     // 19
    virtual HRESULT __stdcall Stub20() = 0;                                                                     // 20
    virtual HRESULT __stdcall GetAggregates(tervex::TAggregates* aggregates) = 0;                               // 21
    virtual HRESULT __stdcall Stub22(int32_t value) = 0;                                                        // 22
    virtual HRESULT __stdcall QueueHdaTask(tervex::TTaskHDADef task) = 0;                                       // 23
    virtual void __stdcall TimerTick() = 0;                                                                     // 24
};

// The library's export: stores the driver interface into *driver (empty when there is no driver).
extern "C" void __stdcall GetOrnDriver2(IOrnDriver2** driver);
using GetOrnDriver2Proc = void(__stdcall*)(IOrnDriver2** driver);
