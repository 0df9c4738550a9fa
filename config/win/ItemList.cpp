#include "config/win/ItemList.h"

#include <climits>

#include "config/NodeParams.h"
#include "config/win/PropertyRead.h"
#include "values/win/DateTime.h"
#include "values/win/OleVariant.h"

namespace tervex {
namespace {

constexpr int32_t kUncertainQuality = 0x40;

OleVariant OptionalI8(const std::optional<int64_t>& value) {
    return value ? OleVariant::I8(*value) : OleVariant::Null();
}

OleVariant OptionalR8(const std::optional<double>& value) {
    return value ? OleVariant::R8(*value) : OleVariant::Null();
}

// What the item page shows of a list.
const ShownProperty<ItemStoredValues> kShown[] = {
    {PROP_DESCRIPTION, &ItemStoredValues::description}, {PROP_ACCESS_RIGHTS, &ItemStoredValues::accessRights},
    {PROP_SCAN_RATE, &ItemStoredValues::scanRateMs},    {PROP_ITEM_ADDRESS, &ItemStoredValues::address},
    {PROP_MEMORY_TYPE, &ItemStoredValues::memoryArea},  {PROP_ITEM_TYPE, &ItemStoredValues::typeCode},
    {PROP_BIT_NUMBER, &ItemStoredValues::bitNumber},
};

}  // namespace

OwnedPropertyList ComposeItemList(const ItemPageValues& page, const TItemProperties* nodeList) {
    return ComposeItemList(page, nodeList, LocalNowAsOleDate());
}

OwnedPropertyList ComposeItemList(const ItemPageValues& page, const TItemProperties* nodeList,
                                  double composedAtLocal) {
    std::optional<double> nodeScanRateMs;
    ReadShown(nodeList, PROP_SCAN_RATE, nodeScanRateMs);

    PropertyListBuilder list(10);
    list.Add(PROP_ITEM_TYPE, VT_I2, "Тип переменной", OleVariant::I4(ItemTypeCode(page)).ref());
    list.Add(PROP_VALUE, VT_VARIANT, "Значение переменной", OleVariant::I4(0).ref());
    list.Add(PROP_QUALITY, VT_I2, "Качество переменной", OleVariant::I4(kUncertainQuality).ref());
    list.Add(PROP_TIMESTAMP, VT_DATE, "Метка времени", OleVariant::Date(composedAtLocal).ref());
    list.Add(PROP_ACCESS_RIGHTS, VT_I4, "Права доступа", OleVariant::I4(ItemAccessRights(page)).ref());
    list.Add(PROP_DESCRIPTION, VT_BSTR, "Описание переменной", OleVariant::Text(page.description).ref());
    list.Add(PROP_SCAN_RATE, VT_R4, "Частота опроса",
             OptionalI8(ItemScanRateToStore(page.scanRateSeconds, nodeScanRateMs)).ref());
    list.Add(PROP_ITEM_ADDRESS, VT_UI2, "Адрес переменной", OleVariant::I8(RoundHalfEven(page.address)).ref());
    list.Add(PROP_MEMORY_TYPE, VT_BSTR, "Вид памяти", OleVariant::Text(page.memoryArea).ref());
    list.Add(PROP_BIT_NUMBER, VT_UI1, "Номер бита", OptionalR8(ItemBitNumberToStore(page)).ref());
    return OwnedPropertyList(list.Release());
}

TItemAttributes ComposeItemAttributes(const ItemPageValues& page) {
    return ComposeElementAttributes(page.name, static_cast<uint32_t>(ItemAccessRights(page)), ItemTypeCode(page));
}

ItemStoredValues ReadItemStoredValues(const TItemProperties* list) { return ReadShownProperties(list, kShown); }

ParamsStatus ReadItemParams(const TItemProperties* list, ItemParams& params) {
    params = ItemParams{};
    ReadTally tally;
    tally.Found(ReadTextProperty(list, PROP_MEMORY_TYPE, params.memoryArea));
    tally.Found(ReadInt64Property(list, PROP_ITEM_ADDRESS, params.address));
    int64_t type = 0;
    if (tally.Found(ReadInt64Property(list, PROP_ITEM_TYPE, type))) {
        // Codes are 16-bit; a number beyond that names no type.
        if (type >= INT32_MIN && type <= INT32_MAX) {
            params.typeCode = static_cast<int32_t>(type);
        } else {
            tally.Refuse();
        }
    }
    tally.Found(ReadInt64Property(list, PROP_BIT_NUMBER, params.bitNumber));
    return tally.AllConverted() ? ParamsStatus::Ok : ParamsStatus::Unconvertible;
}

}  // namespace tervex

