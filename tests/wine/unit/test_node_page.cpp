// The node page embedded in a host window, driven as the host and a user drive it.
#include <windows.h>
#include <oleauto.h>

#include <cstdlib>
#include <functional>

#include "PageFixture.h"

using namespace page_tests;
using namespace testing_host;

namespace {

struct NodeControls {
    HWND name, description, scanRate, deviceAddress, comPort, protocol, passwordRead, passwordWrite, byteOrder;
};

const std::vector<ExpectedEntry> kDefaultNodeList = {
    {101, VT_BSTR, "Описание узла", VT_BSTR, "Описание узла"},
    {6, VT_R4, "Частота опроса", VT_I8, "1000"},
    {5000, VT_UI1, "COM порт", VT_I4, "0"},
    {5001, VT_UI2, "Адрес устройства", VT_I8, "1"},
    {5002, VT_BSTR, "Тип протокола", VT_BSTR, "RTU"},
    {5003, VT_BSTR, "Пароль на чтение", VT_BSTR, ""},
    {5004, VT_BSTR, "Пароль на запись", VT_BSTR, ""},
    {5008, VT_BSTR, "Порядок байт", VT_BSTR, "Старшим байтом вперед"},
};

class NodePage : public PageTest {
protected:
    HWND ShowNew() {
        PageSize shown;
        EXPECT_EQ(driver->ShowNewNodePage(host.hwnd(), &element, &shown.page, &shown.width, &shown.height), 1);
        EXPECT_EQ(shown.width, 290);
        EXPECT_EQ(shown.height, 286);
        Bind(shown.page);
        return shown.page;
    }

    HWND ShowExisting(const std::wstring& name, TestList& list) {
        PageSize shown;
        const tervex::ShortString shortName = Name(name);
        TestList parent;
        EXPECT_EQ(driver->ShowElementPage(host.hwnd(), &element, &shortName, 1, parent.get(), list.get(), &shown.page,
                                          &shown.width, &shown.height),
                  1);
        Bind(shown.page);
        return shown.page;
    }

    void Bind(HWND shown) {
        page = shown;
        const std::vector<HWND> stops = TabStops(page);
        ASSERT_EQ(stops.size(), 9u);
        c = NodeControls{stops[0], stops[1], stops[2], stops[3], stops[4], stops[5], stops[6], stops[7], stops[8]};
    }

    void Send(UINT message) { SendMessageW(page, message, 0, 0); }

    const CapturedCall& OnlyCall() {
        EXPECT_EQ(element.calls.size(), 1u);
        return element.calls.back();
    }

    void ExpectNodeAttributes(const CapturedCall& call, const std::wstring& name) {
        EXPECT_EQ(call.itemId, name);
        EXPECT_EQ(call.accessPath, L"");
        const tervex::TItemAttributes& a = call.attributes;
        EXPECT_EQ(a.active, -1);
        EXPECT_EQ(a.clientHandle, 0u);
        EXPECT_EQ(a.serverHandle, 0u);
        EXPECT_EQ(a.accessRights, 3u);
        EXPECT_EQ(a.blobSize, 0u);
        EXPECT_EQ(a.blob, nullptr);
        EXPECT_EQ(a.requestedDataType, 0);
        EXPECT_EQ(a.canonicalDataType, 0);
        EXPECT_EQ(a.euType, 0u);
        EXPECT_EQ(V_VT(&a.euInfo), VT_I4);
        EXPECT_EQ(V_I4(&a.euInfo), 0);
    }

    HWND page = nullptr;
    NodeControls c{};
};

TEST_F(NodePage, AddWithTheDefaultsHandsTheHostTheEightEntries) {
    FakeItem created;
    element.createdElement = &created;
    ShowNew();
    EXPECT_EQ(element.refs, 1) << "the page holds the element while attached";
    Send(WM_NODE_ADD);

    const CapturedCall& call = OnlyCall();
    EXPECT_TRUE(call.add);
    EXPECT_EQ(call.kind, 1);
    EXPECT_EQ(call.code, 0x10116);
    EXPECT_EQ(call.driver, tervex::Driver()->DriverInterface());
    EXPECT_TRUE(call.elementOutGiven);
    ExpectNodeAttributes(call, L"Node");
    ExpectEntries(call, kDefaultNodeList);
    EXPECT_EQ(created.refs, 0) << "the new element is released unused";
    EXPECT_EQ(host.Messages(), std::vector<UINT>{WM_NODE_APPLIED});
    for (const auto& n : host.Received()) EXPECT_TRUE(n.wParam == 0 && n.lParam == 0);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(NodePage, AddAndModifyCarryTheUsersEdits) {
    ShowNew();
    Retype(c.name, W("Котёл 1"));
    Retype(c.description, W("Котельная, ввод №2"));
    Retype(c.scanRate, L"2.5");
    Retype(c.deviceAddress, L"17");
    ASSERT_TRUE(Choose(c.comPort, L"COM10"));
    ASSERT_TRUE(Choose(c.protocol, L"ASCII"));
    Type(c.passwordRead, L"r1");
    Type(c.passwordWrite, W("пароль"));
    ASSERT_TRUE(Choose(c.byteOrder, W("Младшим байтом вперед")));
    const std::vector<ExpectedEntry> edited = {
        {101, VT_BSTR, "Описание узла", VT_BSTR, "Котельная, ввод №2"},
        {6, VT_R4, "Частота опроса", VT_I8, "2500"},
        {5000, VT_UI1, "COM порт", VT_I4, "9"},
        {5001, VT_UI2, "Адрес устройства", VT_I8, "17"},
        {5002, VT_BSTR, "Тип протокола", VT_BSTR, "ASCII"},
        {5003, VT_BSTR, "Пароль на чтение", VT_BSTR, "r1"},
        {5004, VT_BSTR, "Пароль на запись", VT_BSTR, "пароль"},
        {5008, VT_BSTR, "Порядок байт", VT_BSTR, "Младшим байтом вперед"},
    };
    host.Clear();

    Send(WM_NODE_ADD);
    Send(WM_NODE_MODIFY);
    ASSERT_EQ(element.calls.size(), 2u);
    for (const CapturedCall& call : element.calls) {
        ExpectNodeAttributes(call, W("Котёл 1"));
        ExpectEntries(call, edited);
    }
    EXPECT_TRUE(element.calls[0].add);
    EXPECT_FALSE(element.calls[1].add);
    EXPECT_EQ(host.Messages(), (std::vector<UINT>{WM_NODE_APPLIED, WM_NODE_APPLIED}));
}

TEST_F(NodePage, OnlyNameDescriptionScanRateAddressAndByteOrderNotifyTheHost) {
    ShowNew();
    struct Step {
        const char* what;
        std::function<void()> act;
        std::vector<UINT> expected;
    };
    const std::vector<Step> steps = {
        {"a character in the name", [&] { Append(c.name, L"x"); }, {WM_NODE_CHANGED}},
        {"a typed period", [&] { Type(c.name, L"."); }, {}},
        {"clearing the name", [&] { Retype(c.name, L""); }, {WM_NODE_NAME_EMPTY}},
        {"description while the name is empty", [&] { Type(c.description, L"d"); }, {WM_NODE_NAME_EMPTY}},
        {"a character in the empty name", [&] { Type(c.name, L"N"); }, {WM_NODE_CHANGED}},
        {"scan rate, two characters", [&] { Retype(c.scanRate, L"25"); }, {WM_NODE_CHANGED, WM_NODE_CHANGED}},
        {"scan rate arrows", [&] { ClickArrows(page, ArrowsOf(c.scanRate), 1); }, {WM_NODE_CHANGED}},
        {"device address", [&] { Type(c.deviceAddress, L"2"); }, {WM_NODE_CHANGED}},
        {"byte order", [&] { Choose(c.byteOrder, W("Младшим байтом вперед")); }, {WM_NODE_CHANGED}},
        {"port", [&] { Choose(c.comPort, L"COM2"); }, {}},
        {"protocol", [&] { Choose(c.protocol, L"ASCII"); }, {}},
        {"read password", [&] { Type(c.passwordRead, L"p"); }, {}},
        {"write password", [&] { Type(c.passwordWrite, L"p"); }, {}},
    };
    for (const Step& step : steps) {
        host.Clear();
        step.act();
        EXPECT_EQ(host.Messages(), step.expected) << step.what;
    }
    EXPECT_EQ(Text(c.name), L"N");
    EXPECT_EQ(Number(c.scanRate), L"25.1");
}

TEST_F(NodePage, APeriodNeverReachesTheName) {
    ShowNew();
    Retype(c.name, L"a.b.");
    EXPECT_EQ(Text(c.name), L"ab");
    Send(WM_NODE_ADD);
    EXPECT_EQ(OnlyCall().itemId, L"ab");
}

TEST_F(NodePage, DuplicateNameIsReportedWithTheFocusOnTheName) {
    element.elementResult = OPC_E_DUPLICATENAME;
    ShowNew();
    Retype(c.description, L"kept");
    SetFocus(c.scanRate);
    host.Clear();
    for (UINT message : {WM_NODE_ADD, WM_NODE_MODIFY}) {
        Boxes().clear();
        Send(message);
        ASSERT_EQ(Boxes().size(), 1u);
        EXPECT_EQ(Boxes()[0].text, W("Узел с таким именем уже существует\r\nВведите другое имя узла"));
        EXPECT_EQ(Boxes()[0].caption, W("Не верное имя узла"));
        EXPECT_EQ(Boxes()[0].flags, kWarningFlags);
        EXPECT_EQ(GetFocus(), c.name);
    }
    EXPECT_EQ(element.calls.size(), 2u);
    EXPECT_TRUE(host.Messages().empty()) << "no WM_NODE_APPLIED";
    EXPECT_EQ(Text(c.description), L"kept");
}

TEST_F(NodePage, AnyOtherHostFailureIsOneErrorBoxForAddAndModify) {
    element.elementResult = E_FAIL;
    ShowNew();
    host.Clear();
    Send(WM_NODE_ADD);
    Send(WM_NODE_MODIFY);
    ASSERT_EQ(Boxes().size(), 2u);
    for (const tervex::MessageBoxCall& box : Boxes()) {
        EXPECT_EQ(box.text, W("Ошибка при добавлении узла"));
        EXPECT_EQ(box.caption, W("Ошибка"));
        EXPECT_EQ(box.flags, kWarningFlags);
    }
    EXPECT_TRUE(host.Messages().empty());
}

class NodePageWithoutPorts : public NodePage {
protected:
    std::vector<std::wstring> Ports() const override { return {}; }
};

TEST_F(NodePageWithoutPorts, AddAndModifyAskForAPortAndStoreNothing) {
    ShowNew();
    EXPECT_TRUE(Entries(c.comPort).empty());
    for (UINT message : {WM_NODE_ADD, WM_NODE_MODIFY}) {
        Boxes().clear();
        SetFocus(c.name);
        Send(message);
        ASSERT_EQ(Boxes().size(), 1u);
        EXPECT_EQ(Boxes()[0].text, W("Выберите COM порт"));
        EXPECT_EQ(Boxes()[0].caption, W("Добавить узел"));
        EXPECT_EQ(Boxes()[0].flags, kWarningFlags);
        EXPECT_EQ(GetFocus(), c.comPort);
    }
    EXPECT_TRUE(element.calls.empty());
    EXPECT_TRUE(host.Messages().empty());
}

TEST_F(NodePage, LoadingShowsTheStoredNodeAndSendsNothing) {
    TestList list;
    list.Text(101, W("Насосная"))
        .I8(6, 1560)
        .I4(5000, 9)
        .I8(5001, 200)
        .Text(5002, L"ASCII")
        .Text(5003, L"r")
        .Text(5004, L"w")
        .Text(5008, W("Младшим байтом вперед"));
    ShowExisting(W("Узел.7"), list);
    EXPECT_TRUE(host.Messages().empty());
    EXPECT_EQ(Text(c.name), W("Узел.7")) << "the filter is for typing only";
    EXPECT_EQ(Text(c.description), W("Насосная"));
    EXPECT_EQ(Number(c.scanRate), L"1.6");
    EXPECT_EQ(Selected(c.comPort), L"COM10");
    EXPECT_EQ(Text(c.deviceAddress), L"200");
    EXPECT_EQ(Selected(c.protocol), L"ASCII");
    EXPECT_EQ(Text(c.passwordRead), L"r");
    EXPECT_EQ(Text(c.passwordWrite), L"w");
    EXPECT_EQ(Selected(c.byteOrder), W("Младшим байтом вперед"));
}

TEST_F(NodePage, MissingPropertiesLeaveTheirControlsAndPortsNotListedSelectNothing) {
    ShowNew();
    Retype(c.description, L"before");
    Retype(c.scanRate, L"3");
    Retype(c.deviceAddress, L"9");
    Append(c.passwordRead, L"old");
    ASSERT_TRUE(Choose(c.byteOrder, W("Младшим байтом вперед")));
    // Port 5 is COM6, which the machine does not have; address 300 is out of range.
    TestList list;
    list.I4(5000, 5).I8(5001, 300).Text(5002, L"ascii").Text(5008, L"other");
    host.Clear();
    ShowExisting(L"N2", list);
    EXPECT_TRUE(host.Messages().empty());
    EXPECT_EQ(Text(c.description), L"before");
    EXPECT_EQ(Number(c.scanRate), L"3");
    EXPECT_EQ(Text(c.deviceAddress), L"9");
    EXPECT_EQ(Selected(c.comPort), L"");
    EXPECT_EQ(Selected(c.protocol), L"") << "compared case-sensitively";
    EXPECT_EQ(Text(c.passwordRead), L"") << "passwords are emptied first";
    EXPECT_EQ(Selected(c.byteOrder), L"") << "a text equal to no entry selects none";

    TestList bare;
    ShowExisting(L"N3", bare);
    EXPECT_EQ(Selected(c.byteOrder), W("Старшим байтом вперед")) << "reset to the first entry";
    Boxes().clear();
    Send(WM_NODE_MODIFY);
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, W("Выберите COM порт"));
    EXPECT_EQ(Boxes()[0].caption, W("Добавить узел"));
    EXPECT_TRUE(element.calls.empty());
}

TEST_F(NodePage, ReloadRestoresTheNodeLastLoaded) {
    TestList list;
    list.Text(101, L"stored").I8(6, 2000).I4(5000, 1).I8(5001, 5).Text(5002, L"RTU").Text(5003, L"").Text(5004, L"")
        .Text(5008, W("Старшим байтом вперед"));
    ShowExisting(L"Stored", list);
    Retype(c.name, L"Edited");
    Retype(c.description, L"edited");
    Retype(c.scanRate, L"7");
    Retype(c.deviceAddress, L"77");
    Choose(c.comPort, L"COM1");
    Choose(c.protocol, L"ASCII");
    Type(c.passwordWrite, L"pw");
    Choose(c.byteOrder, W("Младшим байтом вперед"));
    host.Clear();

    Send(WM_NODE_RELOAD);
    EXPECT_TRUE(host.Messages().empty());
    EXPECT_EQ(Text(c.name), L"Stored");
    EXPECT_EQ(Text(c.description), L"stored");
    EXPECT_EQ(Number(c.scanRate), L"2.0");
    EXPECT_EQ(Text(c.deviceAddress), L"5");
    EXPECT_EQ(Selected(c.comPort), L"COM2");
    EXPECT_EQ(Selected(c.protocol), L"RTU");
    EXPECT_EQ(Text(c.passwordWrite), L"");
    EXPECT_EQ(Selected(c.byteOrder), W("Старшим байтом вперед"));
}

TEST_F(NodePage, DetachReleasesTheHostAndLeavesThePageSilent) {
    ShowNew();
    ASSERT_EQ(GetParent(page), host.hwnd());
    Send(WM_PAGE_DETACH);
    EXPECT_EQ(element.refs, 0);
    EXPECT_FALSE(IsWindowVisible(page));
    EXPECT_EQ(GetAncestor(page, GA_PARENT), GetDesktopWindow());
    EXPECT_TRUE(GetWindowLongPtrW(page, GWL_STYLE) & WS_POPUP);
    EXPECT_FALSE(GetWindowLongPtrW(page, GWL_STYLE) & WS_CHILD);

    Append(c.name, L"x");
    Retype(c.description, L"");
    Send(WM_NODE_ADD);
    Send(WM_NODE_MODIFY);
    EXPECT_TRUE(host.Messages().empty());
    EXPECT_TRUE(element.calls.empty());
    EXPECT_TRUE(Boxes().empty());

    // The next show finds the page as it was left.
    ShowNew();
    EXPECT_EQ(Text(c.name), L"Nodex");
    EXPECT_EQ(GetParent(page), host.hwnd());
}

TEST_F(NodePage, LongNamesAreCutAndEmptiedNumberFieldsReadAsTheirLowerLimits) {
    ShowNew();
    SetWindowTextW(c.name, std::wstring(300, L'Я').c_str());
    Retype(c.scanRate, L"");
    Retype(c.deviceAddress, L"");
    Send(WM_NODE_ADD);
    const CapturedCall& call = OnlyCall();
    EXPECT_EQ(call.itemId, std::wstring(255, L'Я'));
    ASSERT_EQ(call.entries.size(), 8u);
    EXPECT_EQ(call.entries[1].valueText, L"100");
    EXPECT_EQ(call.entries[3].valueText, L"1");
}

TEST_F(NodePage, NumberFieldsKeepTheirLimitsStepsAndDecimals) {
    ShowNew();
    struct Case {
        HWND field;
        const wchar_t* typed;
        int clicks;
        int entry;
        const wchar_t* stored;
    };
    const Case cases[] = {
        {c.scanRate, L"99999", 0, 1, L"9999000"},   // above the upper limit
        {c.scanRate, L"0", 0, 1, L"100"},           // below the lower limit
        {c.scanRate, L"1x.2y", 0, 1, L"1200"},      // letters are refused as typed
        {c.scanRate, L"1.2", 3, 1, L"1500"},        // three steps of 0.1
        {c.scanRate, L"0.1", -1, 1, L"100"},        // no step below the limit
        {c.scanRate, L"9999", 1, 1, L"9999000"},    // nor above it
        {c.deviceAddress, L"256", 0, 3, L"255"},
        {c.deviceAddress, L"4.5", 0, 3, L"45"},     // no decimal point in a whole number
        {c.deviceAddress, L"7", -2, 3, L"5"},
    };
    for (const Case& k : cases) {
        element.calls.clear();
        Retype(k.field, k.typed);
        for (int i = 0; i < std::abs(k.clicks); ++i) ClickArrows(page, ArrowsOf(k.field), k.clicks > 0 ? 1 : -1);
        Send(WM_NODE_ADD);
        ASSERT_EQ(element.calls.size(), 1u);
        EXPECT_EQ(element.calls[0].entries[static_cast<size_t>(k.entry)].valueText, k.stored) << k.typed;
    }
    // Leaving a field shows the value it reads as.
    SetFocus(c.scanRate);
    Retype(c.scanRate, L"12345");
    SetFocus(c.name);
    EXPECT_EQ(Number(c.scanRate), L"9999.0");
}

TEST_F(NodePage, ListsAndNamesTheHostLeavesOutReadAsEmpty) {
    PageSize shown;
    ASSERT_EQ(driver->ShowElementPage(host.hwnd(), &element, nullptr, 1, nullptr, nullptr, &shown.page, &shown.width,
                                      &shown.height),
              1);
    Bind(shown.page);
    EXPECT_EQ(Text(c.name), L"");
    EXPECT_EQ(Text(c.description), W("Описание узла"));
    EXPECT_EQ(Selected(c.comPort), L"");
    Send(WM_NODE_RELOAD);
    EXPECT_TRUE(host.Messages().empty());
}

class NodePagePortList : public NodePage {
protected:
    std::vector<std::wstring> Ports() const override {
        return {L"COM3", L"COM0", L"COM10", L"com3", L"COM100", L"COMX", L"COM250", L"COM101", L"COM03", L"COM",
                L"COM1 "};
    }
};

TEST_F(NodePagePortList, ListsOnlyPollablePortsInRegistryOrder) {
    ShowNew();
    EXPECT_EQ(Entries(c.comPort), (std::vector<std::wstring>{L"COM3", L"COM10", L"COM100"}));
    EXPECT_EQ(Selected(c.comPort), L"COM3");
    Send(WM_NODE_ADD);
    EXPECT_EQ(OnlyCall().entries[2].valueText, L"2");
    ASSERT_TRUE(Choose(c.comPort, L"COM100"));
    Send(WM_NODE_ADD);
    EXPECT_EQ(element.calls.back().entries[2].valueText, L"99");
}

class NodePageOddPortValue : public NodePage {
protected:
    bool WritePorts() override {
        return SetSerialPorts({L"COM4"}) && AddBinarySerialValue(L"\\Device\\Odd", L"COM5");
    }
};

TEST_F(NodePageOddPortValue, ValuesThatAreNotStringsAreSkipped) {
    ShowNew();
    EXPECT_EQ(Entries(c.comPort), std::vector<std::wstring>{L"COM4"});
}

}  // namespace
