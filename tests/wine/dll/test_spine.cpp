// The plug-in spine through the DLL's export only, as a host sees it.
#include <gtest/gtest.h>

#include "dll/DriverLibrary.h"
#include "support/FakeHost.h"

using namespace testing_host;

namespace {

void* const kSentinel = reinterpret_cast<void*>(0xdeadbeef);

TEST(Export, LoadsAndHandsOutTheSameDriverEveryTime) {
    ASSERT_NE(DriverModule(), nullptr) << "LoadLibrary failed: " << GetLastError();
    ASSERT_NE(DriverExport(), nullptr);
    IOrnDriver2* first = ObtainDriver();
    IOrnDriver2* second = ObtainDriver();
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
}

TEST(Export, ReplacesWhatTheVariableHeld) {
    FakeItem held;
    held.AddRef();
    IOrnDriver2* variable = reinterpret_cast<IOrnDriver2*>(static_cast<IUnknown*>(&held));
    DriverExport()(&variable);
    EXPECT_EQ(variable, ObtainDriver());
    EXPECT_EQ(held.refs, 0) << "the previous value must be released";
}

TEST(QueryInterface, AnswersTheDriverInterfaces) {
    IOrnDriver2* driver = ObtainDriver();
    void* out = kSentinel;
    ASSERT_EQ(driver->QueryInterface(IID_IOrnDriver, &out), S_OK);
    EXPECT_EQ(out, driver) << "IOrnDriver shares the pointer and table of IOrnDriver2";
    out = kSentinel;
    ASSERT_EQ(driver->QueryInterface(IID_IOrnDriver2, &out), S_OK);
    EXPECT_EQ(out, driver);

    out = kSentinel;
    ASSERT_EQ(driver->QueryInterface(IID_IOrnPortClient, &out), S_OK);
    auto* client = static_cast<IOrnPortClient*>(out);
    ASSERT_NE(client, nullptr);
    EXPECT_NE(static_cast<void*>(client), static_cast<void*>(driver));

    void* back = kSentinel;
    ASSERT_EQ(client->QueryInterface(IID_IOrnDriver2, &back), S_OK);
    EXPECT_EQ(back, driver);

    void* unknown1 = nullptr;
    void* unknown2 = nullptr;
    ASSERT_EQ(driver->QueryInterface(IID_IUnknown, &unknown1), S_OK);
    ASSERT_EQ(client->QueryInterface(IID_IUnknown, &unknown2), S_OK);
    EXPECT_EQ(unknown1, unknown2) << "one fixed IUnknown pointer";
}

TEST(QueryInterface, RefusesUnknownInterfacesWithAnEmptyPointer) {
    IOrnDriver2* driver = ObtainDriver();
    for (const GUID& iid : {IID_IOrnItem, IID_IOrnComPort, IID_IOrnOPCServer, IID_IDispatch}) {
        void* out = kSentinel;
        EXPECT_EQ(driver->QueryInterface(iid, &out), E_NOINTERFACE);
        EXPECT_EQ(out, nullptr);
    }
}

TEST(References, CountNothingAndNeverDestroyTheDriver) {
    IOrnDriver2* driver = ObtainDriver();
    EXPECT_EQ(driver->AddRef(), static_cast<ULONG>(-1));
    for (int i = 0; i < 10; ++i) EXPECT_EQ(driver->Release(), static_cast<ULONG>(-1));
    int32_t time = 0;
    EXPECT_EQ(driver->GetWaitTime(0, 0, &time), 1) << "still usable after every reference was released";
    EXPECT_EQ(ObtainDriver(), driver);
}

TEST(Stubs, AnswerTheirFixedResults) {
    IOrnDriver2* driver = ObtainDriver();
    EXPECT_EQ(driver->Stub17(5), S_OK);
    EXPECT_EQ(driver->Stub19(), 1);
    EXPECT_EQ(driver->Stub20(), S_OK);
    EXPECT_EQ(driver->Stub22(5), S_OK);
    driver->Stub15(5);

    tervex::TAggregates aggregates = reinterpret_cast<tervex::TAggregates>(kSentinel);
    EXPECT_EQ(driver->GetAggregates(&aggregates), S_OK);
    EXPECT_EQ(aggregates, nullptr);

    FakeItem item;
    tervex::TTaskDef task{};
    task.item = &item;
    EXPECT_EQ(driver->Stub13(task), S_OK);
    tervex::TTaskHDADef hda{};
    hda.item = &item;
    EXPECT_EQ(driver->QueueHdaTask(hda), S_OK);
    EXPECT_EQ(item.refs, 0) << "the record's reference is taken and dropped";
}

}  // namespace
