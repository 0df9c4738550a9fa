#include "config/win/NodeList.h"

#include "config/win/PropertyRead.h"
#include "values/win/OleVariant.h"

namespace tervex {
namespace {

// What the node page shows of a list.
const ShownProperty<NodeStoredValues> kShown[] = {
    {PROP_DESCRIPTION, &NodeStoredValues::description},     {PROP_SCAN_RATE, &NodeStoredValues::scanRateMs},
    {PROP_COM_PORT, &NodeStoredValues::comPort},             {PROP_DEVICE_ADDRESS, &NodeStoredValues::deviceAddress},
    {PROP_PROTOCOL_TYPE, &NodeStoredValues::protocol},       {PROP_READ_PASSWORD, &NodeStoredValues::readPassword},
    {PROP_WRITE_PASSWORD, &NodeStoredValues::writePassword}, {PROP_BYTE_ORDER, &NodeStoredValues::byteOrder},
};

}  // namespace

OwnedPropertyList ComposeNodeList(const NodePageValues& page) {
    PropertyListBuilder list(8);
    list.Add(PROP_DESCRIPTION, VT_BSTR, "Описание узла", OleVariant::Text(page.description).ref());
    list.Add(PROP_SCAN_RATE, VT_R4, "Частота опроса", OleVariant::I8(ScanRateSecondsToMs(page.scanRateSeconds)).ref());
    list.Add(PROP_COM_PORT, VT_UI1, "COM порт", OleVariant::I4(ComPortIndexFromName(page.comPortName)).ref());
    list.Add(PROP_DEVICE_ADDRESS, VT_UI2, "Адрес устройства", OleVariant::I8(RoundHalfEven(page.deviceAddress)).ref());
    list.Add(PROP_PROTOCOL_TYPE, VT_BSTR, "Тип протокола", OleVariant::Text(page.protocol).ref());
    list.Add(PROP_READ_PASSWORD, VT_BSTR, "Пароль на чтение", OleVariant::Text(page.readPassword).ref());
    list.Add(PROP_WRITE_PASSWORD, VT_BSTR, "Пароль на запись", OleVariant::Text(page.writePassword).ref());
    list.Add(PROP_BYTE_ORDER, VT_BSTR, "Порядок байт", OleVariant::Text(page.byteOrder).ref());
    return OwnedPropertyList(list.Release());
}

TItemAttributes ComposeNodeAttributes(const NodePageValues& page) {
    return ComposeElementAttributes(page.name, 3, 0);
}

NodeStoredValues ReadNodeStoredValues(const TItemProperties* list) { return ReadShownProperties(list, kShown); }

ParamsStatus ReadNodeParams(const TItemProperties* list, NodeParams& params) {
    params = NodeParams{};
    ReadTally tally;
    int64_t integer = 0;
    if (tally.Found(ReadInt64Property(list, PROP_COM_PORT, integer))) params.comPort = integer;
    if (tally.Found(ReadInt64Property(list, PROP_DEVICE_ADDRESS, integer))) params.deviceAddress = integer;
    // The scan rate is the pages' concern: polling never consults it.
    tally.Found(ReadTextProperty(list, PROP_PROTOCOL_TYPE, params.protocol));
    tally.Found(ReadTextProperty(list, PROP_READ_PASSWORD, params.readPassword));
    tally.Found(ReadTextProperty(list, PROP_WRITE_PASSWORD, params.writePassword));
    tally.Found(ReadTextProperty(list, PROP_BYTE_ORDER, params.byteOrder));
    return tally.AllConverted() ? ParamsStatus::Ok : ParamsStatus::Unconvertible;
}

}  // namespace tervex
