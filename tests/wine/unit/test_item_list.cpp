#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "RawList.h"
#include "boundary/PropertyList.h"
#include "config/ItemParams.h"
#include "config/win/ItemList.h"
#include "config/win/NodeList.h"
#include "values/win/OleVariant.h"

using namespace tervex;

namespace {

struct ExpectedEntry {
    uint32_t id;
    uint16_t declaredType;
    const wchar_t* description;
};

// The item list as a host finds it.
const std::vector<ExpectedEntry> kItemTable = {
    {1, VT_I2, L"Тип переменной"},        {2, VT_VARIANT, L"Значение переменной"},
    {3, VT_I2, L"Качество переменной"},   {4, VT_DATE, L"Метка времени"},
    {5, VT_I4, L"Права доступа"},         {101, VT_BSTR, L"Описание переменной"},
    {6, VT_R4, L"Частота опроса"},        {5005, VT_UI2, L"Адрес переменной"},
    {5006, VT_BSTR, L"Вид памяти"},       {5007, VT_UI1, L"Номер бита"},
};

constexpr double kComposedAt = 45000.25;

OwnedPropertyList NodeWithScanRate(double seconds) {
    NodePageValues node;
    node.comPortName = "COM1";
    node.scanRateSeconds = seconds;
    return ComposeNodeList(node);
}

OwnedPropertyList SingleEntry(uint32_t id, const OleVariant& value) {
    PropertyListBuilder builder(1);
    builder.Add(id, VT_EMPTY, "", value.ref());
    return OwnedPropertyList(builder.Release());
}

rawlist::List Compose(const ItemPageValues& page, TItemProperties* nodeList, OwnedPropertyList& keep) {
    keep = ComposeItemList(page, nodeList, kComposedAt);
    return rawlist::Walk(keep.Get());
}

}  // namespace

TEST(ItemList, DefaultsMatchTheTableByteForByte) {
    OwnedPropertyList node = NodeWithScanRate(1.0);
    OwnedPropertyList list;
    const rawlist::List raw = Compose(ItemPageValues{}, node.Address(), list);
    EXPECT_EQ(raw.refCount, 1);
    ASSERT_EQ(raw.count, 10);
    for (size_t i = 0; i < kItemTable.size(); ++i) {
        const rawlist::Entry& e = raw.entries[i];
        EXPECT_EQ(e.id, kItemTable[i].id) << i;
        EXPECT_EQ(e.declaredType, kItemTable[i].declaredType) << i;
        EXPECT_EQ(e.reserved, 0) << i;
        EXPECT_EQ(e.itemId, "") << i;
        EXPECT_EQ(e.description, rawlist::Cp1251Of(kItemTable[i].description)) << i;
        EXPECT_EQ(e.errorCode, 0) << i;
        EXPECT_EQ(e.reserved2, 0) << i;
    }
    const std::vector<VARTYPE> valueTypes = {VT_I4, VT_I4, VT_I4, VT_DATE, VT_I4,
                                             VT_BSTR, VT_NULL, VT_I8, VT_BSTR, VT_NULL};
    for (size_t i = 0; i < valueTypes.size(); ++i) EXPECT_EQ(V_VT(raw.entries[i].value), valueTypes[i]) << i;
    EXPECT_EQ(V_I4(raw.entries[0].value), 17);
    EXPECT_EQ(V_I4(raw.entries[1].value), 0);
    EXPECT_EQ(V_I4(raw.entries[2].value), 0x40);
    EXPECT_EQ(V_DATE(raw.entries[3].value), kComposedAt);
    EXPECT_EQ(V_I4(raw.entries[4].value), 3);
    EXPECT_EQ(rawlist::BstrText(raw.entries[5].value), L"Описание переменной");
    EXPECT_EQ(V_I8(raw.entries[7].value), 3);
    EXPECT_EQ(rawlist::BstrText(raw.entries[8].value), L"ОЗУ");
}

TEST(ItemList, ScanRateOnlyWhereItDiffersFromTheNode) {
    OwnedPropertyList node = NodeWithScanRate(1.0);
    ItemPageValues page;
    OwnedPropertyList list;
    page.scanRateSeconds = 2.5;
    rawlist::List raw = Compose(page, node.Address(), list);
    ASSERT_EQ(V_VT(raw.entries[6].value), VT_I8);
    EXPECT_EQ(V_I8(raw.entries[6].value), 2500);

    page.scanRateSeconds = 1.0;
    raw = Compose(page, node.Address(), list);
    EXPECT_EQ(V_VT(raw.entries[6].value), VT_NULL);

    // A node without a scan rate, or no node list at all: never stored.
    page.scanRateSeconds = 2.5;
    OwnedPropertyList bare = SingleEntry(5000, OleVariant::I4(0));
    raw = Compose(page, bare.Address(), list);
    EXPECT_EQ(V_VT(raw.entries[6].value), VT_NULL);
    raw = Compose(page, nullptr, list);
    EXPECT_EQ(V_VT(raw.entries[6].value), VT_NULL);
}

TEST(ItemList, AccessRightsTypeAndBitNumber) {
    OwnedPropertyList list;
    ItemPageValues page;
    page.memoryArea = "FLASH";
    rawlist::List raw = Compose(page, nullptr, list);
    EXPECT_EQ(V_I4(raw.entries[4].value), 1);
    EXPECT_EQ(rawlist::BstrText(raw.entries[8].value), L"FLASH");

    page.memoryArea = "ОЗУ";
    page.typeName = "Boolean";
    page.bitNumber = 5;
    page.readChecked = false;
    raw = Compose(page, nullptr, list);
    EXPECT_EQ(V_I4(raw.entries[0].value), 11);
    EXPECT_EQ(V_I4(raw.entries[4].value), 2);
    ASSERT_EQ(V_VT(raw.entries[9].value), VT_R8);
    EXPECT_EQ(V_R8(raw.entries[9].value), 5.0);

    page.typeName = "Array of Byte";
    page.memoryArea = "";
    page.address = 70000.5;
    raw = Compose(page, nullptr, list);
    EXPECT_EQ(V_I4(raw.entries[0].value), 0x2011);
    EXPECT_EQ(V_VT(raw.entries[9].value), VT_NULL);
    EXPECT_EQ(V_I8(raw.entries[7].value), 70000);
    EXPECT_EQ(rawlist::BstrText(raw.entries[8].value), L"");

    page.typeName = "";
    raw = Compose(page, nullptr, list);
    EXPECT_EQ(V_I4(raw.entries[0].value), 17);
}

TEST(ItemList, StampedWithTheLocalTimeOfComposing) {
    OwnedPropertyList list = ComposeItemList(ItemPageValues{}, nullptr);
    const rawlist::List raw = rawlist::Walk(list.Get());
    ASSERT_EQ(V_VT(raw.entries[3].value), VT_DATE);
    SYSTEMTIME now;
    GetLocalTime(&now);
    double today = 0;
    now.wHour = now.wMinute = now.wSecond = now.wMilliseconds = 0;
    SystemTimeToVariantTime(&now, &today);
    // Composed today, local time (a run across midnight may see yesterday).
    EXPECT_GE(V_DATE(raw.entries[3].value), today - 1);
    EXPECT_LT(V_DATE(raw.entries[3].value), today + 1);
}

TEST(ItemAttributes, MirrorTheListAndCutTheName) {
    ItemPageValues page;
    page.name = std::string(256, 'I');
    page.typeName = "Word";
    page.memoryArea = "FLASH";
    const TItemAttributes attributes = ComposeItemAttributes(page);
    const auto* raw = reinterpret_cast<const uint8_t*>(&attributes);
    EXPECT_EQ(raw[0], 0);
    EXPECT_EQ(raw[256], 255);
    EXPECT_EQ(rawlist::Int32At(raw + 512), -1);
    EXPECT_EQ(rawlist::Int32At(raw + 516), 0);
    EXPECT_EQ(rawlist::Int32At(raw + 520), 0);
    EXPECT_EQ(rawlist::Int32At(raw + 524), 1);
    EXPECT_EQ(rawlist::Int32At(raw + rawlist::kAttributes.blobSize), 0);
    EXPECT_EQ(*reinterpret_cast<void* const*>(raw + rawlist::kAttributes.blob), nullptr);
    EXPECT_EQ(rawlist::UInt16At(raw + rawlist::kAttributes.requestedType), 18);
    EXPECT_EQ(rawlist::UInt16At(raw + rawlist::kAttributes.canonicalType), 18);
    EXPECT_EQ(rawlist::Int32At(raw + rawlist::kAttributes.euType), 0);
    const auto* euInfo = reinterpret_cast<const VARIANT*>(raw + rawlist::kAttributes.euInfo);
    EXPECT_EQ(V_VT(euInfo), VT_I4);
    EXPECT_EQ(V_I4(euInfo), 0);
}

TEST(ItemParams, ComposedListReadsBackForPolling) {
    ItemPageValues page;
    page.typeName = "Boolean";
    page.address = 0x1F;
    page.bitNumber = 6;
    OwnedPropertyList list = ComposeItemList(page, nullptr, kComposedAt);
    ItemParams params;
    ASSERT_EQ(ReadItemParams(list.Address(), params), ParamsStatus::Ok);
    EXPECT_EQ(params.typeCode, 11);
    EXPECT_EQ(params.address, 0x1F);
    EXPECT_EQ(params.memoryArea, kAreaRam);
    EXPECT_EQ(params.bitNumber, 6);

    page.typeName = "Byte";
    list = ComposeItemList(page, nullptr, kComposedAt);
    ASSERT_EQ(ReadItemParams(list.Address(), params), ParamsStatus::Ok);
    EXPECT_EQ(params.bitNumber, 0);  // null bit number: the default
}

TEST(ItemParams, AbsentPropertiesTakeTheDefaults) {
    ItemParams params;
    params.typeCode = 3;
    params.memoryArea = "stale";
    EXPECT_EQ(ReadItemParams(nullptr, params), ParamsStatus::Ok);
    EXPECT_EQ(params.typeCode, 17);
    EXPECT_EQ(params.address, 0);
    EXPECT_EQ(params.memoryArea, "");
    EXPECT_EQ(params.bitNumber, 0);

    OwnedPropertyList onlyAddress = SingleEntry(5005, OleVariant::I8(70000));
    ASSERT_EQ(ReadItemParams(onlyAddress.Address(), params), ParamsStatus::Ok);
    EXPECT_EQ(params.typeCode, 17);
    EXPECT_EQ(params.address, 70000);  // frames carry its low 16 bits
}

TEST(ItemParams, UnconvertibleValueIsReportedNotThrown) {
    struct Row {
        uint32_t id;
        OleVariant value;
    };
    std::vector<Row> rows;
    rows.push_back({1, OleVariant::Text(std::string("Byte"))});
    rows.push_back({5005, OleVariant::Text(std::string("0x10"))});
    rows.push_back({5007, OleVariant::Text(std::string("bit"))});
    rows.push_back({1, OleVariant::I8(int64_t{1} << 40)});
    for (const Row& row : rows) {
        OwnedPropertyList list = SingleEntry(row.id, row.value);
        ItemParams params;
        EXPECT_EQ(ReadItemParams(list.Address(), params), ParamsStatus::Unconvertible) << row.id;
        EXPECT_EQ(params.typeCode, 17) << row.id;
        EXPECT_EQ(params.address, 0) << row.id;
        EXPECT_EQ(params.bitNumber, 0) << row.id;
    }
}

TEST(ItemPageRead, StoredValuesAsThePageTakesThem) {
    ItemPageValues page;
    page.description = "Температура";
    page.readChecked = true;
    page.writeChecked = false;
    page.scanRateSeconds = 2.5;
    page.memoryArea = "EEPROM";
    page.address = 0x1234;
    page.typeName = "Boolean";
    page.bitNumber = 7;
    OwnedPropertyList node = NodeWithScanRate(1.0);
    OwnedPropertyList list = ComposeItemList(page, node.Address(), kComposedAt);
    const ItemStoredValues stored = ReadItemStoredValues(list.Address());
    EXPECT_EQ(stored.description, std::optional<std::string>("Температура"));
    EXPECT_EQ(stored.accessRights, std::optional<int64_t>(1));
    EXPECT_EQ(stored.scanRateMs, std::optional<double>(2500));
    EXPECT_EQ(stored.address, std::optional<double>(0x1234));
    EXPECT_EQ(stored.memoryArea, std::optional<std::string>("EEPROM"));
    EXPECT_EQ(stored.typeCode, std::optional<int64_t>(11));
    EXPECT_EQ(stored.bitNumber, std::optional<double>(7));

    page.typeName = "Byte";
    page.scanRateSeconds = 1.0;
    list = ComposeItemList(page, node.Address(), kComposedAt);
    const ItemStoredValues plain = ReadItemStoredValues(list.Address());
    EXPECT_EQ(plain.scanRateMs, std::nullopt);  // follows the node
    EXPECT_EQ(plain.bitNumber, std::nullopt);
    EXPECT_EQ(ReadItemStoredValues(nullptr).typeCode, std::nullopt);
}
