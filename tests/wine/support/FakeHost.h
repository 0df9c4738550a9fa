#pragma once
// Fake host objects for tests: they count references and record every call.
#include <functional>
#include <string>
#include <vector>

#include "boundary/PluginInterface.h"

namespace testing_host {

// Reference counting shared by the fakes; a fake never deletes itself.
template <typename Interface>
class Counted : public Interface {
public:
    HRESULT __stdcall QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, ownIid_)) {
            *object = static_cast<Interface*>(this);
            AddRef();
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG __stdcall AddRef() override { return static_cast<ULONG>(++refs); }
    ULONG __stdcall Release() override { return static_cast<ULONG>(--refs); }
    long refs = 0;

protected:
    explicit Counted(const GUID& iid) : ownIid_(iid) {}

private:
    GUID ownIid_;
};

class FakeServer : public Counted<IOrnOPCServer> {
public:
    FakeServer() : Counted(IID_IOrnOPCServer) {}
    void __stdcall StoreSetting(const tervex::ShortString* name, const tervex::ShortString* value) override;
    void __stdcall WriteLog(const tervex::ShortString* text, int32_t kind) override;
    void __stdcall Reserved5() override { ++unexpectedCalls; }
    void __stdcall Reserved6() override { ++unexpectedCalls; }
    void __stdcall Idle() override;
    void __stdcall Reserved8() override { ++unexpectedCalls; }
    void __stdcall Reserved9() override { ++unexpectedCalls; }
    void __stdcall Reserved10() override { ++unexpectedCalls; }
    void __stdcall Reserved11() override { ++unexpectedCalls; }
    void __stdcall Reserved12() override { ++unexpectedCalls; }

    std::vector<std::pair<std::string, std::string>> stored;  // UTF-8
    std::vector<std::string> log;                             // UTF-8
    std::vector<int32_t> logKinds;
    std::function<void()> onIdle;
    int idleCalls = 0;
    int unexpectedCalls = 0;
};

class FakePort : public Counted<IOrnComPort> {
public:
    FakePort() : Counted(IID_IOrnComPort) {}
    uint8_t __stdcall WritePort(uint8_t port, const uint8_t* data, int32_t count, IOrnPortClient* client) override;
    uint8_t __stdcall CanTransmit(uint8_t port, IOrnPortClient* client) override;
    void __stdcall TransferDone(uint8_t port, IOrnPortClient* client) override;

    struct Write {
        uint8_t port;
        std::vector<uint8_t> bytes;
    };
    std::vector<Write> writes;
    std::vector<uint8_t> transfersDone;
    bool canTransmit = true;
    uint8_t writeResult = 0;
    IOrnPortClient* lastClient = nullptr;
    std::function<void(uint8_t port, const std::vector<uint8_t>& frame)> onWrite;
};

class FakeItem : public Counted<IOrnItem> {
public:
    FakeItem() : Counted(IID_IOrnItem) {}
    HRESULT __stdcall AddElement(tervex::TItemAttributes attributes, int32_t kind, int32_t code,
                                 tervex::TItemProperties* list, IOrnDriver2* driver, IUnknown** element) override;
    void __stdcall ReadComplete(uint32_t handle, HRESULT result) override;
    void __stdcall WriteComplete(uint32_t handle, HRESULT result) override;
    HRESULT __stdcall ModifyElement(tervex::TItemAttributes attributes, tervex::TItemProperties* list) override;
    void __stdcall ReportTransfer(int32_t answered, int32_t tries, uint8_t first) override;
    void __stdcall Reserved8() override { ++unexpectedCalls; }
    void __stdcall Reserved9() override { ++unexpectedCalls; }
    void __stdcall Reserved10() override { ++unexpectedCalls; }
    void __stdcall Reserved11() override { ++unexpectedCalls; }
    void __stdcall Reserved12() override { ++unexpectedCalls; }

    struct Completion {
        bool write;
        uint32_t handle;
        HRESULT result;
    };
    struct Transfer {
        int32_t answered;
        int32_t tries;
        uint8_t first;
    };
    struct ElementCall {
        bool add;
        tervex::TItemAttributes attributes;
        int32_t kind;
        int32_t code;
        std::vector<uint8_t> rawList;  // the list's entries as the host saw them
        int32_t listCount;
        bool driverGiven;
    };
    std::vector<Completion> completions;
    std::vector<Transfer> transfers;
    std::vector<ElementCall> elementCalls;
    HRESULT elementResult = S_OK;
    int unexpectedCalls = 0;
};

}  // namespace testing_host
