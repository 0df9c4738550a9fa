// The item page embedded in a host window, driven as the host and a user drive it.
#include <windows.h>
#include <oleauto.h>

#include <cmath>
#include <functional>

#include "PageFixture.h"

using namespace page_tests;
using namespace testing_host;

namespace {

struct ItemControls {
    HWND name, description, scanRate, address, memoryType, itemType, read, write, bit;
};

// Entry indexes of the item list.
enum : size_t { kType, kValue, kQuality, kTimestamp, kRights, kDescription, kScanRate, kAddress, kArea, kBit };

std::vector<ExpectedEntry> ItemList(const char* type, const char* rights, const char* description,
                                    VARTYPE scanType, const char* scan, const char* address, const char* area,
                                    VARTYPE bitType, const char* bit) {
    return {
        {1, VT_I2, "Тип переменной", VT_I4, type},
        {2, VT_VARIANT, "Значение переменной", VT_I4, "0"},
        {3, VT_I2, "Качество переменной", VT_I4, "64"},
        {4, VT_DATE, "Метка времени", VT_DATE, nullptr},
        {5, VT_I4, "Права доступа", VT_I4, rights},
        {101, VT_BSTR, "Описание переменной", VT_BSTR, description},
        {6, VT_R4, "Частота опроса", scanType, scan},
        {5005, VT_UI2, "Адрес переменной", VT_I8, address},
        {5006, VT_BSTR, "Вид памяти", VT_BSTR, area},
        {5007, VT_UI1, "Номер бита", bitType, bit},
    };
}

double LocalNow() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    double date = 0;
    SystemTimeToVariantTime(&now, &date);
    return date;
}

class ItemPage : public PageTest {
protected:
    ItemPage() { node1000.I8(6, 1000); }

    HWND ShowNew(TestList& node) {
        PageSize shown;
        EXPECT_EQ(driver->ShowNewItemPage(host.hwnd(), &element, node.get(), &shown.page, &shown.width,
                                          &shown.height),
                  1);
        EXPECT_EQ(shown.width, 326);
        EXPECT_EQ(shown.height, 263);
        Bind(shown.page);
        return shown.page;
    }

    HWND ShowExisting(const std::wstring& name, TestList& node, TestList& item, int32_t kind = 2) {
        PageSize shown;
        const tervex::ShortString shortName = Name(name);
        EXPECT_EQ(driver->ShowElementPage(host.hwnd(), &element, &shortName, kind, node.get(), item.get(),
                                          &shown.page, &shown.width, &shown.height),
                  1);
        Bind(shown.page);
        return shown.page;
    }

    void Bind(HWND shown) {
        page = shown;
        const std::vector<HWND> stops = TabStops(page);
        ASSERT_EQ(stops.size(), 9u);
        c = ItemControls{stops[0], stops[1], stops[2], stops[3], stops[4], stops[5], stops[6], stops[7], stops[8]};
        sizeLabel = nullptr;
        for (HWND label : Labels(page)) {
            const RECT r = RectInParent(label);
            if (r.left == 240 && r.top == 204) sizeLabel = label;
        }
        bitLabel = LabelWithText(page, W("Номер бита:"));
    }

    void Send(UINT message) { SendMessageW(page, message, 0, 0); }

    const CapturedCall& LastCall() {
        EXPECT_FALSE(element.calls.empty());
        return element.calls.back();
    }

    HWND page = nullptr;
    ItemControls c{};
    HWND sizeLabel = nullptr;
    HWND bitLabel = nullptr;
    TestList node1000;
};

TEST_F(ItemPage, AddWithTheDefaultsHandsTheHostTheTenEntries) {
    FakeItem created;
    element.createdElement = &created;
    ShowNew(node1000);
    EXPECT_EQ(element.refs, 1);
    const double before = LocalNow();
    Send(WM_ITEM_ADD);

    ASSERT_EQ(element.calls.size(), 1u);
    const CapturedCall& call = LastCall();
    EXPECT_TRUE(call.add);
    EXPECT_EQ(call.kind, 2);
    EXPECT_EQ(call.code, 0x10102);
    EXPECT_EQ(call.driver, tervex::Driver()->DriverInterface());
    EXPECT_EQ(call.itemId, L"Item");
    EXPECT_EQ(call.accessPath, L"");
    const tervex::TItemAttributes& a = call.attributes;
    EXPECT_EQ(a.active, -1);
    EXPECT_EQ(a.clientHandle, 0u);
    EXPECT_EQ(a.serverHandle, 0u);
    EXPECT_EQ(a.accessRights, 3u);
    EXPECT_EQ(a.blobSize, 0u);
    EXPECT_EQ(a.blob, nullptr);
    EXPECT_EQ(a.requestedDataType, 17);
    EXPECT_EQ(a.canonicalDataType, 17);
    EXPECT_EQ(a.euType, 0u);
    EXPECT_EQ(V_VT(&a.euInfo), VT_I4);
    EXPECT_EQ(V_I4(&a.euInfo), 0);
    ExpectEntries(call, ItemList("17", "3", "Описание переменной", VT_NULL, "null", "3", "ОЗУ", VT_NULL, "null"));
    ASSERT_EQ(call.entries.size(), 10u);
    EXPECT_LT(std::fabs(call.entries[kTimestamp].dateValue - before), 1.0 / 24) << "composed now, local time";
    EXPECT_EQ(created.refs, 0);
    EXPECT_EQ(host.Messages(), std::vector<UINT>{WM_ITEM_APPLIED});
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(ItemPage, AddAndModifyCarryTheUsersEdits) {
    ShowNew(node1000);
    Retype(c.name, W("Температура"));
    Retype(c.description, W("Вода, °C"));
    Retype(c.scanRate, L"2.5");
    ASSERT_TRUE(Choose(c.memoryType, L"EEPROM"));
    Retype(c.address, L"1a2B");
    ASSERT_TRUE(Choose(c.itemType, L"Integer"));
    Click(c.read);
    Send(WM_ITEM_ADD);
    Send(WM_ITEM_MODIFY);
    ASSERT_EQ(element.calls.size(), 2u);
    for (const CapturedCall& call : element.calls) {
        EXPECT_EQ(call.itemId, W("Температура"));
        EXPECT_EQ(call.attributes.accessRights, 2u);
        EXPECT_EQ(call.attributes.requestedDataType, 3);
        EXPECT_EQ(call.attributes.canonicalDataType, 3);
        ExpectEntries(call, ItemList("3", "2", "Вода, °C", VT_I8, "2500", "6699", "EEPROM", VT_NULL, "null"));
    }
    EXPECT_TRUE(element.calls[0].add);
    EXPECT_FALSE(element.calls[1].add);
}

TEST_F(ItemPage, OnlyABooleanItemCarriesItsBitNumber) {
    ShowNew(node1000);
    ASSERT_TRUE(Choose(c.itemType, L"Boolean"));
    Retype(c.bit, L"5");
    Send(WM_ITEM_ADD);
    EXPECT_EQ(LastCall().attributes.requestedDataType, 11);
    ExpectEntries(LastCall(), ItemList("11", "3", "Описание переменной", VT_NULL, "null", "3", "ОЗУ", VT_R8, "5"));
    ASSERT_TRUE(Choose(c.itemType, L"Word"));
    Send(WM_ITEM_ADD);
    ExpectEntries(LastCall(), ItemList("18", "3", "Описание переменной", VT_NULL, "null", "3", "ОЗУ", VT_NULL, "null"));
}

TEST_F(ItemPage, TheScanRateIsStoredOnlyWhereItDiffersFromTheNodes) {
    TestList node2000;
    node2000.I8(6, 2000);
    TestList nodeWithout;
    nodeWithout.Text(101, L"no scan rate");
    struct Case {
        TestList* node;
        const wchar_t* typed;  // nullptr: as attached
        VARTYPE type;
        const char* stored;
    };
    const Case cases[] = {
        {&node2000, nullptr, VT_NULL, "null"},  // the page takes the node's 2.0 s
        {&node2000, L"2.5", VT_I8, "2500"},
        {&node2000, L"", VT_I8, "100"},         // an emptied field reads as 0.1 s
        {&nodeWithout, L"7", VT_NULL, "null"},
        {&node1000, L"1.0", VT_NULL, "null"},
    };
    for (const Case& k : cases) {
        ShowNew(*k.node);
        if (k.typed) {
            Retype(c.scanRate, k.typed);
        } else {
            EXPECT_EQ(Number(c.scanRate), L"2.0");
        }
        element.calls.clear();
        Send(WM_ITEM_ADD);
        ASSERT_EQ(element.calls.size(), 1u);
        EXPECT_EQ(LastCall().entries[kScanRate].valueType, k.type) << (k.typed ? k.typed : L"as attached");
        EXPECT_EQ(LastCall().entries[kScanRate].valueText, W(k.stored));
        Send(WM_PAGE_DETACH);
    }
}

TEST_F(ItemPage, FlashOffersNoWriteRight) {
    ShowNew(node1000);
    ASSERT_TRUE(Checked(c.write));
    ASSERT_TRUE(Choose(c.memoryType, L"FLASH"));
    EXPECT_FALSE(IsShown(c.write));
    EXPECT_TRUE(Checked(c.write)) << "hidden, not cleared";
    Send(WM_ITEM_ADD);
    EXPECT_EQ(LastCall().attributes.accessRights, 1u);
    EXPECT_EQ(LastCall().entries[kRights].valueText, L"1");
    Click(c.read);
    Send(WM_ITEM_ADD);
    EXPECT_EQ(LastCall().attributes.accessRights, 0u);
    ASSERT_TRUE(Choose(c.memoryType, L"XRAM"));
    EXPECT_TRUE(IsShown(c.write));
    Send(WM_ITEM_ADD);
    EXPECT_EQ(LastCall().attributes.accessRights, 2u);
}

TEST_F(ItemPage, BooleanExistsOnlyInRam) {
    ShowNew(node1000);
    const std::vector<std::wstring> all = {L"Byte",    L"Short Integer", L"Word",          L"Small Integer",
                                           L"Integer", L"String",        L"Array of Byte", L"Boolean"};
    std::vector<std::wstring> withoutBoolean(all.begin(), all.end() - 1);
    EXPECT_EQ(Entries(c.itemType), all);
    EXPECT_EQ(Selected(c.itemType), L"Byte");
    EXPECT_EQ(Entries(c.memoryType), (std::vector<std::wstring>{W("ОЗУ"), L"CLOCK", L"EEPROM", L"FRAM", L"XRAM",
                                                                  L"FLASH", W("ДИАГНОСТИКА")}));

    ASSERT_TRUE(Choose(c.itemType, L"Boolean"));
    ASSERT_TRUE(Choose(c.memoryType, L"EEPROM"));
    EXPECT_EQ(Entries(c.itemType), withoutBoolean);
    EXPECT_EQ(Selected(c.itemType), L"Byte");
    ASSERT_TRUE(Choose(c.itemType, L"Word"));
    ASSERT_TRUE(Choose(c.memoryType, L"CLOCK"));
    EXPECT_EQ(Selected(c.itemType), L"Word") << "other types stay selected";
    ASSERT_TRUE(Choose(c.memoryType, W("ОЗУ")));
    EXPECT_EQ(Entries(c.itemType), all) << "appended at the end";
    EXPECT_EQ(Selected(c.itemType), L"Word");
    ASSERT_TRUE(Choose(c.memoryType, W("ОЗУ")));
    EXPECT_EQ(Entries(c.itemType).size(), 8u) << "never twice";
    EXPECT_TRUE(host.Messages().empty());
}

TEST_F(ItemPage, LeavingRamWithNoTypeSelectedSelectsTheFirstType) {
    TestList word;
    word.Text(5006, L"EEPROM").I4(1, 18);
    ShowExisting(L"Word", node1000, word);
    EXPECT_EQ(Selected(c.itemType), L"Word");
    Send(WM_PAGE_DETACH);
    TestList untyped;
    untyped.Text(5006, L"EEPROM");
    ShowExisting(L"Untyped", node1000, untyped);
    EXPECT_EQ(Selected(c.itemType), L"Byte") << "no type stored";
    ASSERT_TRUE(Choose(c.memoryType, L"FRAM"));
    EXPECT_EQ(Selected(c.itemType), L"Byte");
}

TEST_F(ItemPage, TheAddressLimitFollowsTheMemoryArea) {
    ShowNew(node1000);
    struct Case {
        const char* area;
        const wchar_t* typed;
        const char* stored;
    };
    const Case cases[] = {
        {"ОЗУ", L"FF", "255"},     {"ОЗУ", L"100", "255"},     {"CLOCK", L"1FF", "255"},
        {"EEPROM", L"FFFF", "65535"}, {"FRAM", L"10000", "65535"}, {"XRAM", L"abc", "2748"},
        {"FLASH", L"FFFF", "65535"},  {"EEPROM", L"12g", "18"},    // letters beyond F are refused
    };
    for (const Case& k : cases) {
        ASSERT_TRUE(Choose(c.memoryType, W(k.area)));
        Retype(c.address, k.typed);
        Send(WM_ITEM_ADD);
        EXPECT_EQ(LastCall().entries[kAddress].valueText, W(k.stored)) << k.area << " " << k.typed;
    }
    // A larger address is brought within the new limit when the area changes.
    ASSERT_TRUE(Choose(c.memoryType, L"EEPROM"));
    Retype(c.address, L"1234");
    ASSERT_TRUE(Choose(c.memoryType, L"CLOCK"));
    EXPECT_EQ(Text(c.address), L"FF");
    Retype(c.address, L"");
    Send(WM_ITEM_ADD);
    EXPECT_EQ(LastCall().entries[kAddress].valueText, L"0") << "an emptied address reads as 0";
}

TEST_F(ItemPage, TheSizeLabelAndTheBitNumberFollowTheType) {
    ShowNew(node1000);
    ASSERT_NE(sizeLabel, nullptr);
    ASSERT_NE(bitLabel, nullptr);
    struct Case {
        const wchar_t* type;
        const char* size;
        bool bit;
    };
    const Case cases[] = {
        {L"Byte", "1 байт", false},          {L"Short Integer", "1 байт", false}, {L"Word", "2 байта", false},
        {L"Small Integer", "2 байта", false}, {L"Integer", "4 байта", false},      {L"String", "8 байт", false},
        {L"Array of Byte", "8 байт", false}, {L"Boolean", "1 бит", true},
    };
    for (const Case& k : cases) {
        ASSERT_TRUE(Choose(c.itemType, k.type));
        EXPECT_EQ(Text(sizeLabel), W(k.size)) << k.type;
        EXPECT_EQ(IsShown(c.bit), k.bit) << k.type;
        EXPECT_EQ(IsShown(ArrowsOf(c.bit)), k.bit) << k.type;
        EXPECT_EQ(IsShown(bitLabel), k.bit) << k.type;
    }
    // Leaving RAM takes "Boolean" away; the area rule selects "Byte" but leaves the type
    // rule to the next choice of a type, so the item is stored without a bit number.
    ASSERT_TRUE(Choose(c.memoryType, L"FRAM"));
    EXPECT_EQ(Selected(c.itemType), L"Byte");
    Send(WM_ITEM_ADD);
    EXPECT_EQ(LastCall().entries[kBit].valueType, VT_NULL);
    ASSERT_TRUE(Choose(c.itemType, L"Word"));
    EXPECT_EQ(Text(sizeLabel), W("2 байта"));
    EXPECT_FALSE(IsShown(c.bit));
    EXPECT_EQ(host.Messages(), std::vector<UINT>{WM_ITEM_APPLIED}) << "the rules notify nothing";
}

TEST_F(ItemPage, OnlyNameDescriptionAndScanRateNotifyTheHost) {
    ShowNew(node1000);
    ASSERT_TRUE(Choose(c.itemType, L"Boolean"));
    struct Step {
        const char* what;
        std::function<void()> act;
        std::vector<UINT> expected;
    };
    const std::vector<Step> steps = {
        {"a character in the name", [&] { Append(c.name, L"1"); }, {WM_ITEM_CHANGED}},
        {"a typed period", [&] { Type(c.name, L"."); }, {}},
        {"clearing the name", [&] { Retype(c.name, L""); }, {WM_ITEM_NAME_EMPTY}},
        {"description while the name is empty", [&] { Append(c.description, L"d"); }, {WM_ITEM_NAME_EMPTY}},
        {"a character in the empty name", [&] { Type(c.name, L"T"); }, {WM_ITEM_CHANGED}},
        {"scan rate", [&] { Retype(c.scanRate, L"3"); }, {WM_ITEM_CHANGED}},
        {"scan rate arrows", [&] { ClickArrows(page, ArrowsOf(c.scanRate), -1); }, {WM_ITEM_CHANGED}},
        {"read box", [&] { Click(c.read); }, {}},
        {"write box", [&] { Click(c.write); }, {}},
        {"address", [&] { Retype(c.address, L"10"); }, {}},
        {"address arrows", [&] { ClickArrows(page, ArrowsOf(c.address), 1); }, {}},
        {"bit number", [&] { Retype(c.bit, L"2"); }, {}},
        {"type", [&] { Choose(c.itemType, L"Word"); }, {}},
        {"memory area", [&] { Choose(c.memoryType, L"XRAM"); }, {}},
    };
    for (const Step& step : steps) {
        host.Clear();
        step.act();
        EXPECT_EQ(host.Messages(), step.expected) << step.what;
    }
    EXPECT_EQ(Text(c.name), L"T");
    EXPECT_EQ(Number(c.scanRate), L"2.9");
    EXPECT_EQ(Text(c.address), L"11");
}

TEST_F(ItemPage, LoadingShowsTheStoredItemAndSendsNothing) {
    ShowNew(node1000);
    ASSERT_TRUE(Choose(c.memoryType, L"EEPROM"));  // "Boolean" leaves the list
    Send(WM_PAGE_DETACH);

    TestList item;
    item.Text(101, W("Авария насоса"))
        .I4(5, 1)
        .I8(6, 1500)
        .I8(5005, 0x2A)
        .Text(5006, W("ОЗУ"))
        .I4(1, 11)
        .R8(5007, 6);
    ShowExisting(W("Насос.Авария"), node1000, item);
    EXPECT_TRUE(host.Messages().empty());
    EXPECT_EQ(Text(c.name), W("Насос.Авария"));
    EXPECT_EQ(Text(c.description), W("Авария насоса"));
    EXPECT_TRUE(Checked(c.read));
    EXPECT_FALSE(Checked(c.write));
    EXPECT_EQ(Number(c.scanRate), L"1.5");
    EXPECT_EQ(Text(c.address), L"2A");
    EXPECT_EQ(Selected(c.memoryType), W("ОЗУ"));
    EXPECT_EQ(Selected(c.itemType), L"Boolean") << "selected once the area rule has put it back";
    EXPECT_EQ(Text(c.bit), L"6");
    EXPECT_TRUE(IsShown(c.bit));
    EXPECT_EQ(Text(sizeLabel), W("1 бит"));

    // Any kind other than a node shows the item page.
    Send(WM_PAGE_DETACH);
    ShowExisting(L"Other", node1000, item, 0);
    EXPECT_EQ(Text(c.name), L"Other");
    EXPECT_TRUE(host.Messages().empty());
}

TEST_F(ItemPage, LoadingTakesTheAddressWithinTheLimitOfTheItemsOwnArea) {
    ShowNew(node1000);  // the page shows RAM, limit 0xFF
    Send(WM_PAGE_DETACH);
    TestList item;
    item.I8(5005, 0x1234).Text(5006, L"EEPROM").I4(1, 18);
    ShowExisting(L"Far", node1000, item);
    EXPECT_EQ(Text(c.address), L"1234");
    Send(WM_ITEM_MODIFY);
    EXPECT_EQ(LastCall().entries[kAddress].valueText, L"4660") << "a modify keeps the stored address";
}

TEST_F(ItemPage, MissingPropertiesAndOddValues) {
    ShowNew(node1000);
    Retype(c.scanRate, L"4");
    Retype(c.address, L"7");
    Click(c.read);
    Send(WM_PAGE_DETACH);
    host.Clear();
    TestList item;
    item.I8(5005, 300).Text(5006, L"eeprom").I4(1, 11).R8(5007, 9);
    ShowExisting(L"Odd", node1000, item);
    EXPECT_EQ(Text(c.description), L"") << "emptied first";
    EXPECT_TRUE(Checked(c.read) && Checked(c.write)) << "no rights stored: both";
    EXPECT_EQ(Number(c.scanRate), L"1.0") << "no scan rate stored: the node's, taken when attached";
    EXPECT_EQ(Selected(c.memoryType), L"") << "areas are compared case-sensitively";
    EXPECT_EQ(Text(c.address), L"12C") << "without an area the limit is 0xFFFF";
    EXPECT_EQ(Selected(c.itemType), L"") << "\"Boolean\" is offered only in RAM";
    EXPECT_TRUE(IsShown(c.write));
    EXPECT_FALSE(IsShown(c.bit));
    EXPECT_TRUE(host.Messages().empty());
    Send(WM_ITEM_MODIFY);
    EXPECT_EQ(LastCall().attributes.requestedDataType, 17) << "no type selected stores Byte";
    EXPECT_EQ(LastCall().entries[kArea].valueText, L"");
    EXPECT_EQ(LastCall().entries[kBit].valueType, VT_NULL);
}

TEST_F(ItemPage, ReloadRestoresTheItemLastLoaded) {
    TestList item;
    item.Text(101, L"stored").I4(5, 3).I8(6, 2000).I8(5005, 16).Text(5006, L"FRAM").I4(1, 2);
    ShowExisting(L"Stored", node1000, item);
    Retype(c.name, L"Edited");
    Retype(c.description, L"edited");
    Click(c.write);
    Retype(c.scanRate, L"9");
    ASSERT_TRUE(Choose(c.memoryType, L"FLASH"));
    Retype(c.address, L"FFF");
    ASSERT_TRUE(Choose(c.itemType, L"String"));
    host.Clear();

    Send(WM_ITEM_RELOAD);
    EXPECT_TRUE(host.Messages().empty());
    EXPECT_EQ(Text(c.name), L"Stored");
    EXPECT_EQ(Text(c.description), L"stored");
    EXPECT_TRUE(Checked(c.read));
    EXPECT_TRUE(Checked(c.write));
    EXPECT_TRUE(IsShown(c.write));
    EXPECT_EQ(Number(c.scanRate), L"2.0");
    EXPECT_EQ(Selected(c.memoryType), L"FRAM");
    EXPECT_EQ(Text(c.address), L"10");
    EXPECT_EQ(Selected(c.itemType), L"Small Integer");
    EXPECT_EQ(Text(sizeLabel), W("2 байта"));
}

TEST_F(ItemPage, DuplicateNameIsReportedWithTheFocusOnTheName) {
    element.elementResult = OPC_E_DUPLICATENAME;
    ShowNew(node1000);
    SetFocus(c.description);
    for (UINT message : {WM_ITEM_MODIFY, WM_ITEM_ADD}) {
        Boxes().clear();
        Send(message);
        ASSERT_EQ(Boxes().size(), 1u);
        EXPECT_EQ(Boxes()[0].text, W("Переменная с таким именем уже существует\r\nВведите другое имя переменной"));
        EXPECT_EQ(Boxes()[0].caption, W("Не верное имя переменной"));
        EXPECT_EQ(Boxes()[0].flags, kWarningFlags);
        EXPECT_EQ(GetFocus(), c.name);
    }
    EXPECT_TRUE(host.Messages().empty());

    element.elementResult = E_OUTOFMEMORY;
    Boxes().clear();
    Send(WM_ITEM_ADD);
    Send(WM_ITEM_MODIFY);
    ASSERT_EQ(Boxes().size(), 2u);
    for (const tervex::MessageBoxCall& box : Boxes()) {
        EXPECT_EQ(box.text, W("Ошибка при добавлении переменной"));
        EXPECT_EQ(box.caption, W("Ошибка"));
        EXPECT_EQ(box.flags, kWarningFlags);
    }
    EXPECT_TRUE(host.Messages().empty());
    EXPECT_EQ(Text(c.name), L"Item") << "the user's input stays";
}

TEST_F(ItemPage, DetachReleasesTheHostAndANewItemKeepsTheLastValues) {
    ShowNew(node1000);
    Retype(c.name, L"Kept");
    ASSERT_TRUE(Choose(c.memoryType, L"XRAM"));
    ASSERT_TRUE(Choose(c.itemType, L"Integer"));
    Retype(c.scanRate, L"5");
    Send(WM_PAGE_DETACH);
    EXPECT_EQ(element.refs, 0);
    EXPECT_FALSE(IsWindowVisible(page));
    EXPECT_EQ(GetAncestor(page, GA_PARENT), GetDesktopWindow());
    host.Clear();

    Append(c.name, L"x");
    Retype(c.description, L"");
    Send(WM_ITEM_ADD);
    Send(WM_ITEM_MODIFY);
    EXPECT_TRUE(host.Messages().empty());
    EXPECT_TRUE(element.calls.empty());
    EXPECT_TRUE(Boxes().empty());

    TestList node3000;
    node3000.I8(6, 3000);
    ShowNew(node3000);
    EXPECT_EQ(Text(c.name), L"Keptx");
    EXPECT_EQ(Selected(c.memoryType), L"XRAM");
    EXPECT_EQ(Selected(c.itemType), L"Byte") << "the type starts afresh";
    EXPECT_EQ(Number(c.scanRate), L"3.0") << "the scan rate comes from the node";
}

TEST_F(ItemPage, ListsAndNamesTheHostLeavesOutReadAsEmpty) {
    PageSize shown;
    ASSERT_EQ(driver->ShowNewItemPage(host.hwnd(), &element, nullptr, &shown.page, &shown.width, &shown.height), 1);
    Bind(shown.page);
    Send(WM_ITEM_ADD);
    EXPECT_EQ(LastCall().entries[kScanRate].valueType, VT_NULL) << "no node list: no scan rate of its own";
    Send(WM_PAGE_DETACH);

    ASSERT_EQ(driver->ShowElementPage(host.hwnd(), &element, nullptr, 2, nullptr, nullptr, &shown.page, &shown.width,
                                      &shown.height),
              1);
    EXPECT_EQ(Text(c.name), L"");
    Send(WM_ITEM_RELOAD);
    Send(WM_ITEM_MODIFY);
    EXPECT_EQ(element.calls.size(), 2u);
    EXPECT_EQ(LastCall().itemId, L"");
    EXPECT_EQ(host.Messages(), (std::vector<UINT>{WM_ITEM_APPLIED, WM_ITEM_APPLIED}));
}

}  // namespace

TEST_F(ItemPage, DiagnosticsAreReadOnlyIntegersAtAddressesZeroToSix) {
    ShowNew(node1000);
    const std::vector<std::wstring> all = {L"Byte",    L"Short Integer", L"Word",          L"Small Integer",
                                           L"Integer", L"String",        L"Array of Byte", L"Boolean"};
    ASSERT_TRUE(Choose(c.itemType, L"Boolean"));
    ASSERT_TRUE(Choose(c.memoryType, W("ДИАГНОСТИКА")));
    EXPECT_EQ(Entries(c.itemType), std::vector<std::wstring>{L"Integer"});
    EXPECT_EQ(Selected(c.itemType), L"Integer");
    EXPECT_EQ(Text(sizeLabel), W("4 байта"));
    EXPECT_FALSE(IsShown(c.bit));
    EXPECT_FALSE(IsShown(c.write));
    struct Case {
        const wchar_t* typed;
        const char* stored;
    };
    for (const Case& k : {Case{L"0", "0"}, Case{L"6", "6"}, Case{L"7", "6"}, Case{L"FF", "6"}}) {
        Retype(c.address, k.typed);
        Send(WM_ITEM_ADD);
        EXPECT_EQ(LastCall().attributes.accessRights, 1u);
        EXPECT_EQ(LastCall().attributes.requestedDataType, 3);
        EXPECT_EQ(LastCall().attributes.canonicalDataType, 3);
        ExpectEntries(LastCall(), ItemList("3", "1", "Описание переменной", VT_NULL, "null", k.stored,
                                           "ДИАГНОСТИКА", VT_NULL, "null"));
    }

    // Back in RAM: the usual types with "Boolean", the Integer kept, the usual limit.
    ASSERT_TRUE(Choose(c.memoryType, W("ОЗУ")));
    EXPECT_EQ(Entries(c.itemType), all);
    EXPECT_EQ(Selected(c.itemType), L"Integer");
    EXPECT_TRUE(IsShown(c.write));
    Retype(c.address, L"FF");
    Send(WM_ITEM_ADD);
    ExpectEntries(LastCall(), ItemList("3", "3", "Описание переменной", VT_NULL, "null", "255", "ОЗУ", VT_NULL, "null"));
    ASSERT_TRUE(Choose(c.memoryType, W("ДИАГНОСТИКА")));
    ASSERT_TRUE(Choose(c.memoryType, L"EEPROM"));
    EXPECT_EQ(Entries(c.itemType), std::vector<std::wstring>(all.begin(), all.end() - 1));

    // A stored diagnostics item loads as such, and a RAM item after it as before.
    Send(WM_PAGE_DETACH);
    TestList diagnostics;
    diagnostics.I4(5, 1).I8(5005, 3).Text(5006, W("ДИАГНОСТИКА")).I4(1, 3);
    ShowExisting(L"CrcErrors", node1000, diagnostics);
    EXPECT_EQ(Selected(c.memoryType), W("ДИАГНОСТИКА"));
    EXPECT_EQ(Entries(c.itemType), std::vector<std::wstring>{L"Integer"});
    EXPECT_EQ(Text(c.address), L"3");
    Send(WM_PAGE_DETACH);
    TestList boolean;
    boolean.I8(5005, 0x2A).Text(5006, W("ОЗУ")).I4(1, 11).R8(5007, 2);
    ShowExisting(L"Alarm", node1000, boolean);
    EXPECT_EQ(Entries(c.itemType), all);
    EXPECT_EQ(Selected(c.itemType), L"Boolean");
    EXPECT_EQ(Text(c.address), L"2A");
    EXPECT_EQ(host.Messages(), std::vector<UINT>(5, WM_ITEM_APPLIED)) << "the rules notify nothing";
}
