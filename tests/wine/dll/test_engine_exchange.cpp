// Whole exchanges through the DLL's own interfaces: the host's port is scripted, the
// controller's answers are handed in through the driver's port client.
#include "dll/DriverLibrary.h"

#include <gtest/gtest.h>
#include <oleauto.h>

#include <cstring>
#include <string>
#include <vector>

#include "support/FakeHost.h"
#include "support/HostList.h"

using namespace testing_host;
using tervex::ShortString;
using Bytes = std::vector<uint8_t>;

namespace {

const Bytes kReadAt5 = {0x01, 0xD0, 0x05, 0xBD, 0xC3};
const Bytes kAnswer = {0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0xE6, 0x2B};
const HRESULT kNoAnswer = static_cast<HRESULT>(0xCFFF0001);

Bytes Text(const std::string& s) { return Bytes(s.begin(), s.end()); }

// One task of the host with the lists, item state and result word it points to.
struct HostTask {
    FakeItem item;
    tervex::TItemState state{};
    HRESULT result = 0x12345678;
    HostList node;
    HostList itemList;

    HostTask(const wchar_t* protocol, const wchar_t* byteOrder, int32_t type) {
        node.Int(5000, 0).Int(5001, 1).Text(5002, protocol).Text(5008, byteOrder);
        itemList.Int(1, type).Int(5005, 5).Text(5006, L"ОЗУ");
    }
    // An Integer item of another controller, in any area.
    HostTask(int32_t portIndex, int32_t device, const wchar_t* area, int32_t address) {
        node.Int(5000, portIndex).Int(5001, device);
        itemList.Int(1, 3).Int(5005, address).Text(5006, area);
    }
    ~HostTask() { VariantClear(&state.value); }

    tervex::TTaskDef Def(uint8_t kind, uint32_t handle) {
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
    bool Stamped() const { return state.timestamp.dwLowDateTime != 0 || state.timestamp.dwHighDateTime != 0; }
};

const wchar_t* const kMsbFirst = L"Старшим байтом вперед";
const wchar_t* const kLsbFirst = L"Младшим байтом вперед";

class EngineThroughDll : public ::testing::Test {
protected:
    void SetUp() override {
        driver = ObtainDriver();
        ASSERT_NE(driver, nullptr);
        ShortString name{}, description{}, third{};
        driver->Initialize(&server, &port, &name, &description, &third, &client);
        ASSERT_NE(client, nullptr);
    }
    void TearDown() override {
        driver->ClearAll();
        Apply("WaitTimeout", "3000");
        driver->Initialize(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    }
    void Apply(const std::string& name, const std::string& value) {
        ShortString n{}, v{};
        tervex::SetShortString(n, name);
        tervex::SetShortString(v, value);
        driver->ApplySetting(&n, &v);
    }
    void Deliver(const Bytes& bytes) { client->DataReceived(0, bytes.data(), static_cast<int32_t>(bytes.size())); }
    bool Complete(const Bytes& bytes) {
        return client->IsFrameComplete(0, bytes.data(), static_cast<int32_t>(bytes.size())) != 0;
    }
    int LogCount(const std::string& line) const {
        int n = 0;
        for (const auto& l : server.log) n += l == line ? 1 : 0;
        return n;
    }

    IOrnDriver2* driver = nullptr;
    IOrnPortClient* client = nullptr;
    FakeServer server;
    FakePort port;
};

}  // namespace

TEST_F(EngineThroughDll, RtuRead) {
    HostTask task(L"RTU", kMsbFirst, 17);
    ASSERT_EQ(driver->QueueTask(task.Def(tervex::tkAsyncRead, 41)), S_OK);
    EXPECT_TRUE(port.writes.empty()) << "nothing is sent before the poll";
    ASSERT_EQ(driver->Poll(0), S_OK);
    ASSERT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(port.writes[0].bytes, kReadAt5);
    EXPECT_EQ(port.lastClient, client);
    ASSERT_EQ(server.log.size(), 1u);
    EXPECT_EQ(server.log[0], "COM1 Tx: 01 D0 05 BD C3 ");
    EXPECT_EQ(server.logKinds[0], 1);

    EXPECT_FALSE(Complete(Bytes(kAnswer.begin(), kAnswer.end() - 1)));
    EXPECT_TRUE(Complete(kAnswer));
    Deliver(kAnswer);
    EXPECT_EQ(port.transfersDone, std::vector<uint8_t>{0});
    ASSERT_EQ(task.item.completions.size(), 1u);
    EXPECT_FALSE(task.item.completions[0].write);
    EXPECT_EQ(task.item.completions[0].handle, 41u);
    EXPECT_EQ(task.item.completions[0].result, S_OK);
    EXPECT_EQ(task.state.quality, 0xC0);
    EXPECT_EQ(V_VT(&task.state.value), VT_I4);
    EXPECT_EQ(V_I4(&task.state.value), 0x11);
    EXPECT_TRUE(task.Stamped());
    ASSERT_EQ(task.item.transfers.size(), 1u);
    EXPECT_EQ(task.item.transfers[0].answered, 1);
    EXPECT_EQ(task.item.transfers[0].tries, 0);
    EXPECT_EQ(task.item.transfers[0].first, 1);
    EXPECT_EQ(task.result, 0x12345678) << "an asynchronous task leaves the result word alone";
    EXPECT_EQ(task.item.refs, 0) << "the finished task released its item";
}

TEST_F(EngineThroughDll, AsciiReadArrivingInTwoPieces) {
    HostTask task(L"ASCII", kMsbFirst, 17);
    driver->QueueTask(task.Def(tervex::tkAsyncRead, 7));
    driver->Poll(0);
    ASSERT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(port.writes[0].bytes, Text("$01D005\r"));
    EXPECT_EQ(server.log.back(), "COM1 Tx: $01D005<CR>");

    const Bytes first = Text("!0111223344");
    const Bytes rest = Text("55667788\r");
    EXPECT_FALSE(Complete(first));
    Deliver(first);
    EXPECT_TRUE(task.item.completions.empty());
    EXPECT_TRUE(port.transfersDone.empty());
    EXPECT_TRUE(Complete(rest));
    Deliver(rest);
    ASSERT_EQ(task.item.completions.size(), 1u);
    EXPECT_EQ(task.item.completions[0].result, S_OK);
    EXPECT_EQ(V_I4(&task.state.value), 0x11);
    EXPECT_EQ(task.state.quality, 0xC0);
    EXPECT_EQ(server.log[1], "COM1 Rx: !0111223344");
    EXPECT_EQ(server.log[2], "COM1 Rx: 55667788<CR>");
}

TEST_F(EngineThroughDll, WordWrite) {
    HostTask task(L"RTU", kLsbFirst, 18);
    V_VT(&task.state.value) = VT_I4;
    V_I4(&task.state.value) = 0x1234;
    driver->QueueTask(task.Def(tervex::tkAsyncWrite, 9));
    driver->Poll(0);
    ASSERT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(port.writes[0].bytes, (Bytes{0x01, 0xE0, 0x05, 0x34, 0x12, 0xA8, 0xCC}));
    Deliver({0x01, 0xE0, 0x01, 0xA8});
    ASSERT_EQ(task.item.completions.size(), 1u);
    EXPECT_TRUE(task.item.completions[0].write);
    EXPECT_EQ(task.item.completions[0].handle, 9u);
    EXPECT_EQ(task.item.completions[0].result, S_OK);
    EXPECT_EQ(task.state.quality, 0xC0);
    EXPECT_EQ(V_I4(&task.state.value), 0x1234) << "a write leaves the value as the host gave it";
}

TEST_F(EngineThroughDll, UnconvertibleWriteValueFailsAtOnce) {
    HostTask task(L"RTU", kLsbFirst, 18);
    V_VT(&task.state.value) = VT_BSTR;
    V_BSTR(&task.state.value) = SysAllocString(L"not a number");
    driver->QueueTask(task.Def(tervex::tkSyncWrite, 9));
    driver->Poll(0);
    EXPECT_TRUE(port.writes.empty());
    EXPECT_EQ(task.result, E_FAIL);
    EXPECT_EQ(task.state.quality, 0);
    EXPECT_EQ(task.item.refs, 0);
}

TEST_F(EngineThroughDll, SilentDevice) {
    Apply("WaitTimeout", "30");  // the driver's own wait, kept short
    HostTask task(L"RTU", kMsbFirst, 17);
    FILETIME before;
    CoFileTimeNow(&before);
    driver->QueueTask(task.Def(tervex::tkSyncRead, 3));
    driver->Poll(0);
    EXPECT_EQ(task.result, kNoAnswer);
    EXPECT_EQ(task.state.quality, 0x0218);
    EXPECT_EQ(port.writes.size(), 3u);
    EXPECT_EQ(LogCount("COM1 Tx: 01 D0 05 BD C3 "), 3);
    EXPECT_EQ(LogCount("COM1 Адрес 1: устройство не доступно"), 1);
    EXPECT_EQ(server.log.size(), 4u);
    EXPECT_EQ(port.transfersDone.size(), 3u);
    ASSERT_EQ(task.item.transfers.size(), 1u);
    EXPECT_EQ(task.item.transfers[0].answered, 0);
    EXPECT_EQ(task.item.transfers[0].tries, 3);
    EXPECT_TRUE(task.item.completions.empty()) << "a synchronous task answers through its result word";
    EXPECT_GT(CompareFileTime(&task.state.timestamp, &before), 0) << "the last write plus the wait, in UTC";
    EXPECT_GT(server.idleCalls, 0);
}

TEST_F(EngineThroughDll, SynchronousReadAnsweredFromInsideIdle) {
    HostTask task(L"RTU", kMsbFirst, 17);
    server.onIdle = [&] {
        if (!port.writes.empty() && task.item.refs > 0) Deliver(kAnswer);
    };
    driver->QueueTask(task.Def(tervex::tkSyncRead, 5));
    driver->Poll(0);
    EXPECT_EQ(task.result, S_OK);
    EXPECT_EQ(task.state.quality, 0xC0);
    EXPECT_EQ(V_I4(&task.state.value), 0x11);
    EXPECT_EQ(server.idleCalls, 1);
    EXPECT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(task.item.refs, 0);
}

TEST_F(EngineThroughDll, DiagnosticsAreAnsweredInTheirOwnPollWithoutAFrame) {
    const wchar_t* const diagnostics = L"ДИАГНОСТИКА";
    // COM8, address 42: no other test asks this controller, and the counts outlive tests.
    HostTask notAsked(7, 42, diagnostics, 0);
    driver->QueueTask(notAsked.Def(tervex::tkSyncRead, 1));
    driver->Poll(0);
    EXPECT_EQ(notAsked.result, S_OK);
    EXPECT_EQ(notAsked.state.quality, 0xC0);
    EXPECT_EQ(V_VT(&notAsked.state.value), VT_I4);
    EXPECT_EQ(V_I4(&notAsked.state.value), 2) << "not asked yet";
    EXPECT_TRUE(notAsked.Stamped());
    EXPECT_EQ(notAsked.item.refs, 0);
    EXPECT_TRUE(port.writes.empty());
    EXPECT_TRUE(server.log.empty());
    EXPECT_EQ(server.idleCalls, 0) << "answered without waiting";

    Apply("WaitTimeout", "30");
    HostTask silent(7, 42, L"ОЗУ", 5);
    driver->QueueTask(silent.Def(tervex::tkSyncRead, 2));
    driver->Poll(0);
    ASSERT_EQ(silent.result, kNoAnswer);
    driver->ClearAll();  // the counts describe the line, not the tasks
    const size_t writes = port.writes.size();
    HostTask state(7, 42, diagnostics, 0);
    HostTask givenUp(7, 42, diagnostics, 2);
    HostTask beyond(7, 42, diagnostics, 7);
    HostTask write(7, 42, diagnostics, 0);
    V_VT(&write.state.value) = VT_I4;
    driver->QueueTask(state.Def(tervex::tkSyncRead, 3));
    driver->QueueTask(givenUp.Def(tervex::tkAsyncRead, 4));
    driver->QueueTask(beyond.Def(tervex::tkSyncRead, 5));
    driver->QueueTask(write.Def(tervex::tkAsyncWrite, 6));
    driver->Poll(0);
    EXPECT_EQ(port.writes.size(), writes);
    EXPECT_EQ(V_I4(&state.state.value), 1) << "not answering";
    ASSERT_EQ(givenUp.item.completions.size(), 1u);
    EXPECT_EQ(givenUp.item.completions[0].result, S_OK);
    EXPECT_EQ(V_I4(&givenUp.state.value), 1);
    EXPECT_EQ(beyond.result, E_FAIL);
    EXPECT_EQ(beyond.state.quality, 0);
    ASSERT_EQ(write.item.completions.size(), 1u);
    EXPECT_TRUE(write.item.completions[0].write);
    EXPECT_EQ(write.item.completions[0].result, E_FAIL);
}
