// The driver's own operations through the DLL, as a host calls them.
#include "dll/DriverLibrary.h"

#include <gtest/gtest.h>
#include <oleauto.h>

#include <string>

#include "support/FakeHost.h"
#include "support/MessageBoxWatcher.h"

using namespace testing_host;
using tervex::ShortString;

namespace {

ShortString Short(const std::string& utf8) {
    ShortString s{};
    tervex::SetShortString(s, utf8);
    return s;
}

ShortString Filled() {
    ShortString s{};
    tervex::SetShortString(s, "sentinel");
    return s;
}

std::string Utf8(const ShortString& s) { return tervex::ShortStringToUtf8(s); }

class DriverOperations : public ::testing::Test {
protected:
    void SetUp() override {
        driver = ObtainDriver();
        ASSERT_NE(driver, nullptr);
    }
    void TearDown() override {
        // Settings live for the whole library: leave them as found.
        Apply("WaitTimeout", "3000");
        Apply("CountTry", "3");
        Apply("TimeNextSend", "60000");
        driver->ClearAll();
    }
    uint8_t Apply(const std::string& name, const std::string& value) {
        const ShortString n = Short(name), v = Short(value);
        return driver->ApplySetting(&n, &v);
    }
    int32_t WaitTime() {
        int32_t time = -1;
        EXPECT_EQ(driver->GetWaitTime(7, 9, &time), 1);
        return time;
    }
    std::string Text(int32_t id, VARIANT value) {
        ShortString text = Filled();
        driver->PropertyText(id, value, &text);
        return Utf8(text);
    }
    IOrnDriver2* driver = nullptr;
};

TEST_F(DriverOperations, InitializeNamesTheDriverAndHandsOutItsPortClient) {
    FakeServer server1, server2;
    FakePort port1, port2;
    for (int round = 0; round < 2; ++round) {
        FakeServer& server = round == 0 ? server1 : server2;
        FakePort& port = round == 0 ? port1 : port2;
        ShortString name = Filled(), description = Filled(), third = Filled();
        IOrnPortClient* client = reinterpret_cast<IOrnPortClient*>(0xdeadbeef);
        driver->Initialize(&server, &port, &name, &description, &third, &client);
        EXPECT_EQ(Utf8(name), "Tervex");
        EXPECT_EQ(name.length, 6);
        EXPECT_EQ(Utf8(description), "Протокол Tervex");
        EXPECT_EQ(description.length, 15) << "Windows-1251: one byte per character";
        EXPECT_EQ(static_cast<uint8_t>(description.chars[0]), 0xCF) << "'П' in Windows-1251";
        EXPECT_EQ(third.length, 0);
        void* expected = nullptr;
        ASSERT_EQ(driver->QueryInterface(IID_IOrnPortClient, &expected), S_OK);
        EXPECT_EQ(static_cast<void*>(client), expected);
    }
    EXPECT_EQ(server1.refs, 0) << "the second Initialize releases the first server";
    EXPECT_EQ(port1.refs, 0);
    EXPECT_EQ(server2.refs, 1);
    EXPECT_EQ(port2.refs, 1);
    // Leave no reference to stack objects behind.
    driver->Initialize(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(server2.refs, 0);
    EXPECT_EQ(port2.refs, 0);
}

TEST_F(DriverOperations, PropertyTextOfPortsAddressesAndOtherValues) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = 0;
    EXPECT_EQ(Text(5000, v), "COM1");
    V_I4(&v) = 26;
    EXPECT_EQ(Text(5005, v), "001A hex");
    V_I4(&v) = 70000;
    EXPECT_EQ(Text(5005, v), "11170 hex");
    V_VT(&v) = VT_I8;
    V_I8(&v) = 99;
    EXPECT_EQ(Text(5000, v), "COM100");
    V_VT(&v) = VT_R8;
    V_R8(&v) = 2.5;
    EXPECT_EQ(Text(6, v), "2.5");

    V_VT(&v) = VT_NULL;
    EXPECT_EQ(Text(101, v), "");
    V_VT(&v) = VT_EMPTY;
    EXPECT_EQ(Text(5000, v), "");

    VARIANT s;
    VariantInit(&s);
    V_VT(&s) = VT_BSTR;
    V_BSTR(&s) = SysAllocString(L"abc");
    EXPECT_EQ(Text(101, s), "abc");
    EXPECT_EQ(Text(5000, s), "") << "a text that is no number gives no port name";
    VariantClear(&s);

    V_VT(&s) = VT_BSTR;
    V_BSTR(&s) = SysAllocString(L"Описание узла");
    EXPECT_EQ(Text(101, s), "Описание узла");
    VariantClear(&s);

    std::wstring longText(300, L'x');
    V_VT(&s) = VT_BSTR;
    V_BSTR(&s) = SysAllocString(longText.c_str());
    EXPECT_EQ(Text(101, s).size(), 255u);
    VariantClear(&s);
}

TEST_F(DriverOperations, WaitTimeFollowsTheSettings) {
    EXPECT_EQ(WaitTime(), 12000);
    EXPECT_EQ(Apply("WaitTimeout", "2500"), 1);
    EXPECT_EQ(WaitTime(), 2500 * 3 + 3000);
    EXPECT_EQ(Apply("CountTry", "0"), 1);
    EXPECT_EQ(WaitTime(), 3000);
    EXPECT_EQ(Apply("countTry", "7"), 1) << "other names are accepted and ignored";
    EXPECT_EQ(WaitTime(), 3000);
}

TEST_F(DriverOperations, BadSettingValueShowsTheErrorAndKeepsTheOldValue) {
    MessageBoxWatcher boxes;
    EXPECT_EQ(Apply("CountTry", "abc"), 0);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].text, Wide("Неверные параметры конфигурации"));
    EXPECT_EQ(boxes.Boxes()[0].caption, Wide("Ошибка"));
    EXPECT_EQ(WaitTime(), 12000);
}

// A task of the host: its item state, result word and lists live here.
struct HostTask {
    FakeItem item;
    tervex::TItemState state{};
    HRESULT result = 0x12345678;
    tervex::TTaskDef Def(uint8_t kind) {
        tervex::TTaskDef def{};
        def.kind = kind;
        def.item = &item;
        def.itemState = &state;
        def.result = &result;
        return def;
    }
};

TEST_F(DriverOperations, QueueRemoveAndClearHoldOneItemReferencePerTask) {
    HostTask a, b, c;
    EXPECT_EQ(driver->QueueTask(a.Def(tervex::tkAsyncRead)), S_OK);
    EXPECT_EQ(driver->QueueTask(b.Def(tervex::tkAsyncRead)), S_OK);
    EXPECT_EQ(driver->QueueTask(a.Def(tervex::tkAsyncWrite)), S_OK);
    EXPECT_EQ(driver->QueueTask(c.Def(tervex::tkAsyncRead)), S_OK);
    EXPECT_EQ(a.item.refs, 2);
    EXPECT_EQ(b.item.refs, 1);

    driver->RemoveItemTasks(&a.item);
    EXPECT_EQ(a.item.refs, 0);
    EXPECT_EQ(b.item.refs, 1) << "other tasks stay";
    EXPECT_EQ(c.item.refs, 1);
    FakeItem stranger;
    driver->RemoveItemTasks(&stranger);
    EXPECT_EQ(b.item.refs, 1);

    driver->ClearAll();
    EXPECT_EQ(b.item.refs, 0);
    EXPECT_EQ(c.item.refs, 0);
    EXPECT_TRUE(b.item.completions.empty()) << "dropped tasks are not completed";
    EXPECT_EQ(b.result, 0x12345678);
}

}  // namespace
