#pragma once
// A host around the loaded driver for fault tests: property lists laid out as the host
// keeps them, tasks with their item state and result word, and fake host objects that
// raise Windows structured exceptions from their calls, as a host built with another
// compiler does when it raises its own exceptions.
#include <windows.h>
#include <oleauto.h>

#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

#include "dll/DriverLibrary.h"
#include "support/FakeHost.h"
#include "support/HostList.h"

namespace testing_host {

using Bytes = std::vector<uint8_t>;

// What a Delphi host raises for its own exceptions, and what an MSVC one raises for C++.
constexpr DWORD kDelphiException = 0x0EEDFADE;
constexpr DWORD kMsvcException = 0xE06D7363;

inline void RaiseHostException(DWORD code) { RaiseException(code, EXCEPTION_NONCONTINUABLE, 0, nullptr); }

// An item that can raise from each of the calls the driver makes on a task's item.
class RaisingItem : public FakeItem {
public:
    bool raiseOnRead = false, raiseOnWrite = false, raiseOnTransfer = false, raiseOnRelease = false;
    bool throwOnRead = false;  // a C++ exception of the host's own runtime instead
    DWORD code = kDelphiException;

    void __stdcall ReadComplete(uint32_t handle, HRESULT result) override {
        FakeItem::ReadComplete(handle, result);
        if (throwOnRead) throw std::runtime_error("host failure");
        if (raiseOnRead) RaiseHostException(code);
    }
    void __stdcall WriteComplete(uint32_t handle, HRESULT result) override {
        FakeItem::WriteComplete(handle, result);
        if (raiseOnWrite) RaiseHostException(code);
    }
    void __stdcall ReportTransfer(int32_t answered, int32_t tries, uint8_t first) override {
        FakeItem::ReportTransfer(answered, tries, first);
        if (raiseOnTransfer) RaiseHostException(code);
    }
    ULONG __stdcall Release() override {
        const ULONG left = FakeItem::Release();
        if (raiseOnRelease) RaiseHostException(code);
        return left;
    }
};

class RaisingServer : public FakeServer {
public:
    bool raiseOnLog = false, raiseOnIdle = false;
    DWORD code = kMsvcException;

    void __stdcall WriteLog(const tervex::ShortString* text, int32_t kind) override {
        FakeServer::WriteLog(text, kind);
        if (raiseOnLog) RaiseHostException(code);
    }
    void __stdcall Idle() override {
        FakeServer::Idle();  // runs onIdle first
        if (raiseOnIdle) RaiseHostException(code);
    }
};

class RaisingPort : public FakePort {
public:
    bool raiseOnCanTransmit = false, raiseOnWrite = false, raiseOnTransferDone = false;
    int canTransmitCalls = 0;
    DWORD code = kDelphiException;

    uint8_t __stdcall CanTransmit(uint8_t port, IOrnPortClient* client) override {
        ++canTransmitCalls;
        const uint8_t free = FakePort::CanTransmit(port, client);
        if (raiseOnCanTransmit) RaiseHostException(code);
        return free;
    }
    uint8_t __stdcall WritePort(uint8_t port, const uint8_t* data, int32_t count, IOrnPortClient* client) override {
        const uint8_t result = FakePort::WritePort(port, data, count, client);
        if (raiseOnWrite) RaiseHostException(code);
        return result;
    }
    void __stdcall TransferDone(uint8_t port, IOrnPortClient* client) override {
        FakePort::TransferDone(port, client);
        if (raiseOnTransferDone) RaiseHostException(code);
    }
};

// One task of the host with the item, lists, item state and result word it points to.
// The node is device 1 on COM1 (port 0), RTU; the item a Byte at RAM address 5.
struct HostTask {
    RaisingItem item;
    tervex::TItemState state{};
    HRESULT result = 0x12345678;
    HostList node;
    HostList itemList;

    explicit HostTask(bool withLists = true, int32_t device = 1) {
        if (withLists) {
            node.Int(5000, 0).Int(5001, device).Text(5002, L"RTU");
            itemList.Int(1, 17).Int(5005, 5).Text(5006, L"ОЗУ");
        }
    }
    ~HostTask() { VariantClear(&state.value); }

    tervex::TTaskDef Def(uint8_t kind, uint32_t handle = 1) {
        tervex::TTaskDef def{};
        def.kind = kind;
        def.item = &item;
        def.handle = handle;
        def.itemState = &state;
        def.nodeList = node.Address();
        def.itemList = itemList.Address();
        def.result = &result;
        return def;
    }
};

// The RAM read of address 5 on device 1, and the worked answer to it (0x11 at address 5).
inline const Bytes kReadAt5 = {0x01, 0xD0, 0x05, 0xBD, 0xC3};
inline const Bytes kAnswerAt5 = {0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0xE6, 0x2B};

constexpr HRESULT kNoAnswer = static_cast<HRESULT>(0xCFFF0001);

inline Bytes WithCrc(Bytes data) {
    uint16_t crc = 0xFFFF;
    for (uint8_t b : data) {
        crc ^= b;
        for (int i = 0; i < 8; ++i) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
    }
    data.push_back(static_cast<uint8_t>(crc & 0xFF));
    data.push_back(static_cast<uint8_t>(crc >> 8));
    return data;
}

// The driver loaded, initialised with the given host objects, settings restored after.
class DriverUnderHost {
public:
    DriverUnderHost(IOrnOPCServer* server, IOrnComPort* port) {
        driver = ObtainDriver();
        if (!driver) return;
        tervex::ShortString name{}, description{}, third{};
        driver->Initialize(server, port, &name, &description, &third, &client);
    }
    ~DriverUnderHost() {
        if (!driver) return;
        driver->ClearAll();
        Apply("WaitTimeout", "3000");
        Apply("CountTry", "3");
        Apply("TimeNextSend", "60000");
        driver->Initialize(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    }
    DriverUnderHost(const DriverUnderHost&) = delete;
    DriverUnderHost& operator=(const DriverUnderHost&) = delete;

    bool Apply(const std::string& name, const std::string& value) {
        tervex::ShortString n{}, v{};
        tervex::SetShortString(n, name);
        tervex::SetShortString(v, value);
        return driver->ApplySetting(&n, &v) != 0;
    }
    void Deliver(uint8_t port, const Bytes& bytes) {
        client->DataReceived(port, bytes.data(), static_cast<int32_t>(bytes.size()));
    }

    IOrnDriver2* driver = nullptr;
    IOrnPortClient* client = nullptr;
};

inline int CountLines(const FakeServer& server, const std::string& line) {
    int n = 0;
    for (const auto& l : server.log) n += l == line ? 1 : 0;
    return n;
}

}  // namespace testing_host
