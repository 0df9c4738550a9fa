#include <gtest/gtest.h>
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "RawList.h"
#include "boundary/PropertyList.h"
#include "config/NodeParams.h"
#include "config/win/NodeList.h"
#include "values/win/OleVariant.h"

using namespace tervex;

namespace {

struct ExpectedEntry {
    uint32_t id;
    uint16_t declaredType;
    const wchar_t* description;
    VARTYPE valueType;
};

// The node list as a host finds it.
const std::vector<ExpectedEntry> kNodeTable = {
    {101, VT_BSTR, L"Описание узла", VT_BSTR},     {6, VT_R4, L"Частота опроса", VT_I8},
    {5000, VT_UI1, L"COM порт", VT_I4},             {5001, VT_UI2, L"Адрес устройства", VT_I8},
    {5002, VT_BSTR, L"Тип протокола", VT_BSTR},     {5003, VT_BSTR, L"Пароль на чтение", VT_BSTR},
    {5004, VT_BSTR, L"Пароль на запись", VT_BSTR},  {5008, VT_BSTR, L"Порядок байт", VT_BSTR},
};

// A list made entry by entry, for lists a page would never compose.
class ListOf {
public:
    explicit ListOf(const std::vector<std::pair<uint32_t, OleVariant>>& entries) {
        PropertyListBuilder builder(static_cast<int32_t>(entries.size()));
        for (const auto& [id, value] : entries) builder.Add(id, VT_EMPTY, "", value.ref());
        list_ = OwnedPropertyList(builder.Release());
    }
    TItemProperties* get() { return list_.Address(); }

private:
    OwnedPropertyList list_;
};

std::vector<std::pair<uint32_t, OleVariant>> Entries() { return {}; }

template <typename... Rest>
std::vector<std::pair<uint32_t, OleVariant>> Entries(uint32_t id, OleVariant value, Rest&&... rest) {
    auto tail = Entries(std::forward<Rest>(rest)...);
    tail.insert(tail.begin(), std::make_pair(id, std::move(value)));
    return tail;
}

}  // namespace

TEST(NodeList, DefaultsMatchTheTableByteForByte) {
    NodePageValues page;
    page.comPortName = "COM1";
    OwnedPropertyList list = ComposeNodeList(page);
    const rawlist::List raw = rawlist::Walk(list.Get());
    EXPECT_EQ(raw.refCount, 1);
    ASSERT_EQ(raw.count, 8);
    for (size_t i = 0; i < kNodeTable.size(); ++i) {
        const rawlist::Entry& e = raw.entries[i];
        const ExpectedEntry& want = kNodeTable[i];
        EXPECT_EQ(e.id, want.id) << i;
        EXPECT_EQ(e.declaredType, want.declaredType) << i;
        EXPECT_EQ(e.reserved, 0) << i;
        EXPECT_EQ(e.itemId, "") << i;
        EXPECT_EQ(e.description, rawlist::Cp1251Of(want.description)) << i;
        EXPECT_EQ(V_VT(e.value), want.valueType) << i;
        EXPECT_EQ(e.errorCode, 0) << i;
        EXPECT_EQ(e.reserved2, 0) << i;
    }
    EXPECT_EQ(rawlist::BstrText(raw.entries[0].value), L"Описание узла");
    EXPECT_EQ(V_I8(raw.entries[1].value), 1000);
    EXPECT_EQ(V_I4(raw.entries[2].value), 0);
    EXPECT_EQ(V_I8(raw.entries[3].value), 1);
    EXPECT_EQ(rawlist::BstrText(raw.entries[4].value), L"RTU");
    EXPECT_EQ(rawlist::BstrText(raw.entries[5].value), L"");
    EXPECT_EQ(rawlist::BstrText(raw.entries[6].value), L"");
    EXPECT_EQ(rawlist::BstrText(raw.entries[7].value), L"Старшим байтом вперед");
}

TEST(NodeList, PageValuesAreWrittenInTheirStoredForms) {
    NodePageValues page;
    page.description = "Котельная №2";
    page.scanRateSeconds = 2.5;
    page.comPortName = "COM250";
    page.deviceAddress = 17.5;
    page.protocol = "ASCII";
    page.readPassword = "чтение";
    page.writePassword = "w";
    page.byteOrder = "Младшим байтом вперед";
    OwnedPropertyList list = ComposeNodeList(page);
    const rawlist::List raw = rawlist::Walk(list.Get());
    ASSERT_EQ(raw.count, 8);
    EXPECT_EQ(rawlist::BstrText(raw.entries[0].value), L"Котельная №2");
    EXPECT_EQ(V_I8(raw.entries[1].value), 2500);
    EXPECT_EQ(V_I4(raw.entries[2].value), 249);
    EXPECT_EQ(V_I8(raw.entries[3].value), 18);
    EXPECT_EQ(rawlist::BstrText(raw.entries[4].value), L"ASCII");
    EXPECT_EQ(rawlist::BstrText(raw.entries[5].value), L"чтение");
    EXPECT_EQ(rawlist::BstrText(raw.entries[6].value), L"w");
    EXPECT_EQ(rawlist::BstrText(raw.entries[7].value), L"Младшим байтом вперед");

    page.comPortName = "";
    page.scanRateSeconds = 0.1;
    OwnedPropertyList second = ComposeNodeList(page);
    const rawlist::List raw2 = rawlist::Walk(second.Get());
    EXPECT_EQ(V_I4(raw2.entries[2].value), 0);
    EXPECT_EQ(V_I8(raw2.entries[1].value), 100);
}

TEST(NodeAttributes, NameCutAndFixedFields) {
    NodePageValues page;
    page.name = std::string(300, 'N');
    const TItemAttributes attributes = ComposeNodeAttributes(page);
    const auto* raw = reinterpret_cast<const uint8_t*>(&attributes);
    EXPECT_EQ(raw[0], 0);  // access path empty
    EXPECT_EQ(raw[256], 255);  // name cut to 255
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(raw + 257), 255), std::string(255, 'N'));
    EXPECT_EQ(rawlist::Int32At(raw + 512), -1);  // active
    EXPECT_EQ(rawlist::Int32At(raw + 516), 0);  // client handle
    EXPECT_EQ(rawlist::Int32At(raw + 520), 0);  // server handle
    EXPECT_EQ(rawlist::Int32At(raw + 524), 3);  // access rights
    EXPECT_EQ(rawlist::Int32At(raw + rawlist::kAttributes.blobSize), 0);  // blob size
    EXPECT_EQ(*reinterpret_cast<void* const*>(raw + rawlist::kAttributes.blob), nullptr);
    EXPECT_EQ(rawlist::UInt16At(raw + rawlist::kAttributes.requestedType), 0);  // requested type
    EXPECT_EQ(rawlist::UInt16At(raw + rawlist::kAttributes.canonicalType), 0);  // canonical type
    EXPECT_EQ(rawlist::Int32At(raw + rawlist::kAttributes.euType), 0);  // EU type
    const auto* euInfo = reinterpret_cast<const VARIANT*>(raw + rawlist::kAttributes.euInfo);
    EXPECT_EQ(V_VT(euInfo), VT_I4);
    EXPECT_EQ(V_I4(euInfo), 0);

    page.name = "Узел";
    const TItemAttributes cyrillic = ComposeNodeAttributes(page);
    EXPECT_EQ(ShortStringRaw(cyrillic.itemId), rawlist::Cp1251Of(L"Узел"));
}

TEST(NodeParams, DefaultsOfTheComposedListReadBack) {
    NodePageValues page;
    page.comPortName = "COM1";
    OwnedPropertyList list = ComposeNodeList(page);
    NodeParams params;
    params.deviceAddress = 99;
    ASSERT_EQ(ReadNodeParams(list.Address(), params), ParamsStatus::Ok);
    EXPECT_EQ(params.comPort, std::optional<int64_t>(0));
    EXPECT_EQ(params.deviceAddress, 1);
    EXPECT_EQ(params.protocol, "RTU");
    EXPECT_EQ(params.readPassword, "");
    EXPECT_EQ(params.writePassword, "");
    EXPECT_EQ(params.byteOrder, "Старшим байтом вперед");
}

TEST(NodeParams, MissingListOrPropertiesTakeTheDefaults) {
    NodeParams params;
    params.protocol = "stale";
    params.comPort = 4;
    EXPECT_EQ(ReadNodeParams(nullptr, params), ParamsStatus::Ok);
    EXPECT_EQ(params.comPort, std::nullopt);
    EXPECT_EQ(params.deviceAddress, 0);
    EXPECT_EQ(params.protocol, "");
    EXPECT_EQ(params.byteOrder, "");

    TItemProperties empty = nullptr;
    EXPECT_EQ(ReadNodeParams(&empty, params), ParamsStatus::Ok);
    EXPECT_EQ(params.comPort, std::nullopt);

    ListOf nulls(Entries(5000, OleVariant::Null(), 5001, OleVariant(), 5002, OleVariant::Null()));
    EXPECT_EQ(ReadNodeParams(nulls.get(), params), ParamsStatus::Ok);
    EXPECT_EQ(params.comPort, std::nullopt);
    EXPECT_EQ(params.deviceAddress, 0);
    EXPECT_EQ(params.protocol, "");
}

TEST(NodeParams, AnyNumericVariantTypeIsAccepted) {
    OleVariant r4;
    V_VT(r4.get()) = VT_R4;
    V_R4(r4.get()) = 3.0f;
    OleVariant ui1 = OleVariant::UI1(7);
    ListOf list(Entries(5000, std::move(r4), 5001, std::move(ui1), 6, OleVariant::R8(1500.0), 5002,
                        OleVariant::Text(std::string("ASCII"))));
    NodeParams params;
    ASSERT_EQ(ReadNodeParams(list.get(), params), ParamsStatus::Ok);
    EXPECT_EQ(params.comPort, std::optional<int64_t>(3));
    EXPECT_EQ(params.deviceAddress, 7);
    EXPECT_EQ(params.protocol, "ASCII");

    ListOf texts(Entries(5000, OleVariant::Text(std::string("99")), 5001, OleVariant::R8(2.5)));
    ASSERT_EQ(ReadNodeParams(texts.get(), params), ParamsStatus::Ok);
    EXPECT_EQ(params.comPort, std::optional<int64_t>(99));
    EXPECT_EQ(params.deviceAddress, 2);  // OLE rounds ties to even
}

TEST(NodeParams, FirstEntryOfAnIdDecides) {
    ListOf twice(Entries(5000, OleVariant::I4(1), 5000, OleVariant::I4(2)));
    NodeParams params;
    ASSERT_EQ(ReadNodeParams(twice.get(), params), ParamsStatus::Ok);
    EXPECT_EQ(params.comPort, std::optional<int64_t>(1));

    ListOf emptyFirst(Entries(5000, OleVariant::Null(), 5000, OleVariant::I4(2)));
    ASSERT_EQ(ReadNodeParams(emptyFirst.get(), params), ParamsStatus::Ok);
    EXPECT_EQ(params.comPort, std::nullopt);
}

TEST(NodeParams, UnconvertibleValueIsReportedNotThrown) {
    ListOf text(Entries(5000, OleVariant::Text(std::string("COM3")), 5001, OleVariant::I4(5), 5002,
                        OleVariant::Text(std::string("ASCII"))));
    NodeParams params;
    EXPECT_EQ(ReadNodeParams(text.get(), params), ParamsStatus::Unconvertible);
    // The other parameters are read all the same; the port counts as absent.
    EXPECT_EQ(params.comPort, std::nullopt);
    EXPECT_EQ(params.deviceAddress, 5);
    EXPECT_EQ(params.protocol, "ASCII");

    SAFEARRAY* array = SafeArrayCreateVector(VT_I4, 0, 2);
    OleVariant arrayValue;
    V_VT(arrayValue.get()) = VT_ARRAY | VT_I4;
    V_ARRAY(arrayValue.get()) = array;
    ListOf arrays(Entries(5008, std::move(arrayValue)));
    EXPECT_EQ(ReadNodeParams(arrays.get(), params), ParamsStatus::Unconvertible);
    EXPECT_EQ(params.byteOrder, "");

    ListOf huge(Entries(5001, OleVariant::R8(1e30)));
    EXPECT_EQ(ReadNodeParams(huge.get(), params), ParamsStatus::Unconvertible);
    EXPECT_EQ(params.deviceAddress, 0);
}

TEST(NodePageRead, ComposedListLoadsBackIntoThePage) {
    NodePageValues stored;
    stored.description = "Насосная";
    stored.scanRateSeconds = 1.5;
    stored.comPortName = "COM7";
    stored.deviceAddress = 200;
    stored.protocol = "ASCII";
    stored.readPassword = "r1";
    stored.writePassword = "w1";
    stored.byteOrder = "Младшим байтом вперед";
    OwnedPropertyList list = ComposeNodeList(stored);

    NodePageValues page;
    ApplyStoredNodeValues(ReadNodeStoredValues(list.Address()), page);
    EXPECT_EQ(page.description, stored.description);
    EXPECT_DOUBLE_EQ(page.scanRateSeconds, 1.5);
    EXPECT_EQ(page.comPortName, "COM7");
    EXPECT_EQ(page.deviceAddress, 200);
    EXPECT_EQ(page.protocol, "ASCII");
    EXPECT_EQ(page.readPassword, "r1");
    EXPECT_EQ(page.writePassword, "w1");
    EXPECT_EQ(page.byteOrder, "Младшим байтом вперед");
}

TEST(NodePageRead, UnconvertibleValuesCountAsAbsent) {
    ListOf list(Entries(6, OleVariant::Text(std::string("fast")), 5000, OleVariant::Text(std::string("x")), 5001,
                        OleVariant::Text(std::string("one")), 101, OleVariant::Text(std::string("kept"))));
    const NodeStoredValues stored = ReadNodeStoredValues(list.get());
    EXPECT_EQ(stored.scanRateMs, std::nullopt);
    EXPECT_EQ(stored.comPort, std::nullopt);
    EXPECT_EQ(stored.deviceAddress, std::nullopt);
    EXPECT_EQ(stored.description, std::optional<std::string>("kept"));
    EXPECT_EQ(stored.protocol, std::nullopt);
}
