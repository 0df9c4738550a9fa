// Tasks the driver cannot make sense of, through the DLL: property values it cannot
// convert, lists with repeated or Null entries, records with null pointers, kinds it
// does not know, and no task memory. Each task still ends, once, and is released.
#include <gtest/gtest.h>
#include <objidl.h>

#include "dll/HostRig.h"
#include "support/MessageBoxWatcher.h"

using namespace testing_host;

namespace {

class TaskInputs : public ::testing::Test {
protected:
    FakeServer server;
    FakePort port;
    DriverUnderHost host{&server, &port};
    IOrnDriver2* driver = host.driver;

    void SetUp() override { ASSERT_NE(driver, nullptr); }

    // A synchronous read that must fail at once, without a frame, and be released.
    void ExpectFailedUnwritten(HostTask& task, uint8_t kind = tervex::tkSyncRead) {
        driver->QueueTask(task.Def(kind));
        driver->Poll(0);
        EXPECT_TRUE(port.writes.empty());
        EXPECT_EQ(task.result, E_FAIL);
        EXPECT_EQ(task.state.quality, 0);
        EXPECT_TRUE(task.state.timestamp.dwLowDateTime != 0 || task.state.timestamp.dwHighDateTime != 0);
        EXPECT_EQ(task.item.refs, 0);
        EXPECT_EQ(server.idleCalls, 0) << "nothing left to wait for";
    }
    // An asynchronous read answered with the worked answer.
    void ReadAndAnswer(HostTask& task) {
        driver->QueueTask(task.Def(tervex::tkAsyncRead, 3));
        driver->Poll(0);
        ASSERT_EQ(port.writes.size(), 1u);
        host.Deliver(port.writes[0].port, kAnswerAt5);
    }
};

struct UnconvertibleCase {
    const char* name;
    void (*fill)(HostTask&);
};

TEST_F(TaskInputs, PropertyValuesTheDriverCannotConvertFailTheTask) {
    const UnconvertibleCase cases[] = {
        {"port as text", [](HostTask& t) { t.node.Text(5000, L"COM1").Int(5001, 1); }},
        {"port beyond 64 bits", [](HostTask& t) { t.node.Real(5000, 1e300).Int(5001, 1); }},
        {"port as an error value", [](HostTask& t) { t.node.Raw(5000, VT_ERROR).Int(5001, 1); }},
        {"device as text", [](HostTask& t) { t.node.Int(5000, 0).Text(5001, L"первый"); }},
        {"item address as text", [](HostTask& t) { t.itemList.Int(1, 17).Text(5005, L"05 hex").Text(5006, L"ОЗУ"); }},
        {"type as a name", [](HostTask& t) { t.itemList.Text(1, L"Word").Int(5005, 5).Text(5006, L"ОЗУ"); }},
        {"area as a number", [](HostTask& t) { t.itemList.Int(1, 17).Int(5005, 5).Int(5006, 1); }},
        {"port beyond 0..99", [](HostTask& t) { t.node.Int(5000, 100).Int(5001, 1); }},
        {"port as a byte array",
         [](HostTask& t) {
             VARIANT v;
             VariantInit(&v);
             V_VT(&v) = VT_ARRAY | VT_UI1;
             V_ARRAY(&v) = SafeArrayCreateVector(VT_UI1, 0, 2);
             t.node.Value(5000, v).Int(5001, 1);
             VariantClear(&v);
         }},
        {"port as an object without a value",
         [](HostTask& t) {
             static FakeItem object;  // answers no IDispatch
             VARIANT v;
             VariantInit(&v);
             V_VT(&v) = VT_UNKNOWN;
             V_UNKNOWN(&v) = &object;
             t.node.Value(5000, v).Int(5001, 1);
         }},
        {"port by reference to nothing",
         [](HostTask& t) {
             VARIANT v;
             VariantInit(&v);
             V_VT(&v) = VT_BYREF | VT_I4;
             V_I4REF(&v) = nullptr;
             t.node.Value(5000, v).Int(5001, 1);
         }},
        {"negative port", [](HostTask& t) { t.node.Int(5000, -1).Int(5001, 1); }},
    };
    for (const UnconvertibleCase& c : cases) {
        SCOPED_TRACE(c.name);
        HostTask task(false);
        c.fill(task);
        // Whichever list the case leaves alone gets its usual content.
        if (!*task.node.Address()) task.node.Int(5000, 0).Int(5001, 1);
        if (!*task.itemList.Address()) task.itemList.Int(1, 17).Int(5005, 5).Text(5006, L"ОЗУ");
        ExpectFailedUnwritten(task);
    }
}

TEST_F(TaskInputs, ReferencesToNothingCountAsAbsent) {
    VARIANT nothing;
    VariantInit(&nothing);
    V_VT(&nothing) = VT_BYREF | VT_I4;
    V_I4REF(&nothing) = nullptr;
    tervex::ShortString text{};
    tervex::SetShortString(text, "sentinel");
    driver->PropertyText(5000, nothing, &text);
    EXPECT_EQ(text.length, 0);

    // The address refers to nothing: absent, so the item is read at address 0.
    HostTask task(false);
    task.node.Int(5000, 0).Int(5001, 1);
    task.itemList.Int(1, 17).Value(5005, nothing).Text(5006, L"ОЗУ");
    driver->QueueTask(task.Def(tervex::tkAsyncRead));
    driver->Poll(0);
    ASSERT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(port.writes[0].bytes, WithCrc({0x01, 0xD0, 0x00}));

    // A value by reference is followed.
    LONG address = 5;
    VARIANT byReference;
    VariantInit(&byReference);
    V_VT(&byReference) = VT_BYREF | VT_I4;
    V_I4REF(&byReference) = &address;
    HostTask followed(false);
    followed.node.Int(5000, 1).Int(5001, 1);
    followed.itemList.Int(1, 17).Value(5005, byReference).Text(5006, L"ОЗУ");
    driver->QueueTask(followed.Def(tervex::tkAsyncRead));
    driver->Poll(0);
    ASSERT_EQ(port.writes.size(), 2u);
    EXPECT_EQ(port.writes[1].bytes, kReadAt5);
}

TEST_F(TaskInputs, WriteValuesTheDriverCannotConvertFailTheTask) {
    struct Case {
        const char* name;
        int32_t type;
        void (*value)(VARIANT&);
    };
    const Case cases[] = {
        {"text into a Word", 18, [](VARIANT& v) { V_VT(&v) = VT_BSTR; V_BSTR(&v) = SysAllocString(L"много"); }},
        {"Null into a Word", 18, [](VARIANT& v) { V_VT(&v) = VT_NULL; }},
        {"an error value into an Integer", 3, [](VARIANT& v) { V_VT(&v) = VT_ERROR; V_ERROR(&v) = E_FAIL; }},
        {"text into a Boolean", 11, [](VARIANT& v) { V_VT(&v) = VT_BSTR; V_BSTR(&v) = SysAllocString(L"да?"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HostTask task(false);
        task.node.Int(5000, 0).Int(5001, 1);
        task.itemList.Int(1, c.type).Int(5005, 5).Text(5006, L"ОЗУ");
        c.value(task.state.value);
        ExpectFailedUnwritten(task, tervex::tkSyncWrite);
    }
}

TEST_F(TaskInputs, PollingNeverReadsTheNodesScanRate) {
    const struct {
        const char* name;
        void (*fill)(HostList&);
    } rates[] = {
        {"a text with its unit", [](HostList& n) { n.Text(6, L"1 сек"); }},
        {"an error value", [](HostList& n) { n.Raw(6, VT_ERROR); }},
        {"beyond 64 bits", [](HostList& n) { n.Real(6, 1e300); }},
    };
    for (const auto& rate : rates) {
        SCOPED_TRACE(rate.name);
        port.writes.clear();
        HostTask task(false);
        rate.fill(task.node);
        task.node.Int(5000, 0).Int(5001, 1);
        task.itemList.Int(1, 17).Int(5005, 5).Text(5006, L"ОЗУ");
        driver->QueueTask(task.Def(tervex::tkAsyncRead, 3));
        driver->Poll(0);
        ASSERT_EQ(port.writes.size(), 1u) << "the read goes out";
        EXPECT_EQ(port.writes[0].bytes, kReadAt5);
        host.Deliver(port.writes[0].port, kAnswerAt5);
        ASSERT_EQ(task.item.completions.size(), 1u);
        EXPECT_EQ(task.item.completions[0].result, S_OK);
        EXPECT_EQ(V_I4(&task.state.value), 0x11);
    }
}

TEST_F(TaskInputs, RepeatedEntriesTakeTheFirstAndNullCountsAsAbsent) {
    {
        SCOPED_TRACE("the first of two ports decides");
        HostTask task(false);
        task.node.Int(5000, 3).Int(5001, 1).Int(5000, 0);
        task.itemList.Int(1, 17).Int(5005, 5).Text(5006, L"ОЗУ");
        ReadAndAnswer(task);
        EXPECT_EQ(port.writes[0].port, 3);
        EXPECT_EQ(server.log[0], "COM4 Tx: 01 D0 05 BD C3 ");
        ASSERT_EQ(task.item.completions.size(), 1u);
        EXPECT_EQ(task.item.completions[0].result, S_OK);
    }
    port.writes.clear();
    {
        SCOPED_TRACE("a Null address counts as absent although a later one is given");
        HostTask task(false);
        task.node.Int(5000, 0).Int(5001, 1);
        task.itemList.Int(1, 17).Null(5005).Text(5006, L"ОЗУ").Int(5005, 5);
        driver->QueueTask(task.Def(tervex::tkAsyncRead));
        driver->Poll(0);
        ASSERT_EQ(port.writes.size(), 1u);
        EXPECT_EQ(port.writes[0].bytes, WithCrc({0x01, 0xD0, 0x00}));
        driver->ClearAll();
        EXPECT_EQ(task.item.refs, 0);
    }
    port.writes.clear();
    const struct {
        const char* name;
        void (*fill)(HostTask&);
    } absent[] = {
        {"Null port", [](HostTask& t) { t.node.Null(5000).Int(5001, 1).Int(5000, 0); }},
        {"Null area", [](HostTask& t) { t.itemList.Int(1, 17).Int(5005, 5).Null(5006).Text(5006, L"ОЗУ"); }},
        {"no node list at all", [](HostTask&) {}},
    };
    for (const auto& c : absent) {
        SCOPED_TRACE(c.name);
        HostTask task(false);
        c.fill(task);
        if (!*task.itemList.Address()) task.itemList.Int(1, 17).Int(5005, 5).Text(5006, L"ОЗУ");
        ExpectFailedUnwritten(task);
    }
    {
        SCOPED_TRACE("null list addresses");
        HostTask task;
        tervex::TTaskDef def = task.Def(tervex::tkSyncRead);
        def.nodeList = nullptr;
        def.itemList = nullptr;
        driver->QueueTask(def);
        driver->Poll(0);
        EXPECT_EQ(task.result, E_FAIL);
        EXPECT_EQ(task.item.refs, 0);
    }
}

TEST_F(TaskInputs, NullPointersInTheTaskRecord) {
    {
        SCOPED_TRACE("no item: served, nobody to tell but the item state");
        HostTask task;
        tervex::TTaskDef def = task.Def(tervex::tkAsyncRead);
        def.item = nullptr;
        driver->QueueTask(def);
        driver->Poll(0);
        ASSERT_EQ(port.writes.size(), 1u);
        host.Deliver(0, kAnswerAt5);
        EXPECT_EQ(task.state.quality, 0xC0);
        EXPECT_EQ(V_I4(&task.state.value), 0x11);
        EXPECT_EQ(task.result, 0x12345678);
    }
    port.writes.clear();
    {
        SCOPED_TRACE("no item, synchronous");
        HostTask task;
        tervex::TTaskDef def = task.Def(tervex::tkSyncRead);
        def.item = nullptr;
        server.onIdle = [&] {
            if (port.writes.size() == 1 && task.result != S_OK) host.Deliver(0, kAnswerAt5);
        };
        driver->QueueTask(def);
        driver->Poll(0);
        server.onIdle = nullptr;
        EXPECT_EQ(task.result, S_OK);
    }
    {
        SCOPED_TRACE("no item, removed by the null interface");
        HostTask task, other;
        tervex::TTaskDef def = task.Def(tervex::tkAsyncRead);
        def.item = nullptr;
        driver->QueueTask(def);
        driver->QueueTask(other.Def(tervex::tkAsyncRead));
        driver->RemoveItemTasks(nullptr);
        EXPECT_EQ(other.item.refs, 1) << "only the item-less task goes";
        driver->ClearAll();
        EXPECT_EQ(other.item.refs, 0);
    }
}

TEST_F(TaskInputs, NoItemStateOrResultWord) {
    HostTask read;
    tervex::TTaskDef def = read.Def(tervex::tkAsyncRead, 4);
    def.itemState = nullptr;
    def.result = nullptr;
    driver->QueueTask(def);
    driver->Poll(0);
    ASSERT_EQ(port.writes.size(), 1u);
    host.Deliver(0, kAnswerAt5);
    ASSERT_EQ(read.item.completions.size(), 1u);
    EXPECT_EQ(read.item.completions[0].result, S_OK);
    EXPECT_EQ(read.item.refs, 0);

    HostTask write;
    def = write.Def(tervex::tkSyncWrite);
    def.itemState = nullptr;  // no value to write
    driver->QueueTask(def);
    driver->Poll(0);
    EXPECT_EQ(write.result, E_FAIL);
    EXPECT_EQ(port.writes.size(), 1u);

    HostTask sync;
    def = sync.Def(tervex::tkSyncRead);
    def.result = nullptr;
    server.onIdle = [&] {
        if (port.writes.size() == 2 && sync.item.refs > 0) host.Deliver(0, kAnswerAt5);
    };
    driver->QueueTask(def);
    driver->Poll(0);
    EXPECT_EQ(sync.state.quality, 0xC0);
    EXPECT_EQ(sync.item.refs, 0);
}

TEST_F(TaskInputs, UnknownKindsFailAtOnce) {
    for (uint8_t kind : {0, 5, 200}) {
        SCOPED_TRACE(static_cast<int>(kind));
        HostTask task;
        ExpectFailedUnwritten(task, kind);
        EXPECT_TRUE(task.item.completions.empty());
    }
}

// Makes the COM task allocator refuse the next allocations (Windows' own hook for it).
class RefusingMallocSpy final : public IMallocSpy {
public:
    int refuseNext = 0;
    int refused = 0;

    HRESULT __stdcall QueryInterface(REFIID iid, void** object) override {
        if (!object) return E_POINTER;
        *object = nullptr;
        if (IsEqualGUID(iid, IID_IUnknown) || IsEqualGUID(iid, IID_IMallocSpy)) {
            *object = static_cast<IMallocSpy*>(this);
            return S_OK;
        }
        return E_NOINTERFACE;
    }
    ULONG __stdcall AddRef() override { return 2; }
    ULONG __stdcall Release() override { return 1; }
    SIZE_T __stdcall PreAlloc(SIZE_T size) override {
        if (refuseNext > 0 && size > 0) {
            --refuseNext;
            ++refused;
            return 0;
        }
        return size;
    }
    void* __stdcall PostAlloc(void* actual) override { return actual; }
    void* __stdcall PreFree(void* request, BOOL) override { return request; }
    void __stdcall PostFree(BOOL) override {}
    SIZE_T __stdcall PreRealloc(void* request, SIZE_T size, void** newRequest, BOOL) override {
        *newRequest = request;
        return size;
    }
    void* __stdcall PostRealloc(void* actual, BOOL) override { return actual; }
    void* __stdcall PreGetSize(void* request, BOOL) override { return request; }
    SIZE_T __stdcall PostGetSize(SIZE_T actual, BOOL) override { return actual; }
    void* __stdcall PreDidAlloc(void* request, BOOL) override { return request; }
    int __stdcall PostDidAlloc(void*, BOOL, int actual) override { return actual; }
    void __stdcall PreHeapMinimize() override {}
    void __stdcall PostHeapMinimize() override {}
};

TEST_F(TaskInputs, TaskMemoryThatCannotBeAllocated) {
    static RefusingMallocSpy spy;  // outlives any allocation made while it was registered
    ASSERT_EQ(CoRegisterMallocSpy(&spy), S_OK);
    // Revoked however the test ends; it stays until what was allocated meanwhile is freed.
    struct Revoke {
        ~Revoke() { CoRevokeMallocSpy(); }
    } revoke;
    MessageBoxWatcher boxes;

    HostTask sync, async;
    spy.refuseNext = 1;
    driver->QueueTask(sync.Def(tervex::tkSyncRead));
    spy.refuseNext = 1;
    driver->QueueTask(async.Def(tervex::tkAsyncRead, 12));
    spy.refuseNext = 0;
    EXPECT_EQ(spy.refused, 2);
    EXPECT_EQ(sync.result, E_FAIL) << "ended at once, not left waiting";
    EXPECT_EQ(sync.state.quality, 0);
    EXPECT_TRUE(sync.state.timestamp.dwLowDateTime != 0 || sync.state.timestamp.dwHighDateTime != 0);
    ASSERT_EQ(async.item.completions.size(), 1u);
    EXPECT_EQ(async.item.completions[0].handle, 12u);
    EXPECT_EQ(async.item.completions[0].result, E_FAIL);
    EXPECT_EQ(sync.item.refs, 0);
    EXPECT_EQ(async.item.refs, 0);
    ASSERT_EQ(boxes.Boxes().size(), 2u);
    EXPECT_EQ(boxes.Boxes()[0].text, Wide("Не хватает памяти"));
    EXPECT_EQ(boxes.Boxes()[0].caption, Wide("OPC сервер"));

    driver->Poll(0);
    EXPECT_TRUE(port.writes.empty()) << "nothing was kept to be polled";

    HostTask later;
    ReadAndAnswer(later);
    ASSERT_EQ(later.item.completions.size(), 1u);
    EXPECT_EQ(later.item.completions[0].result, S_OK);
}

}  // namespace
