#include "pages/ItemProps.h"

#include <string>

#include "config/DiagnosticsArea.h"
#include "config/ItemParams.h"
#include "config/NodePageValues.h"
#include "config/win/ItemList.h"
#include "pages/Controls.h"
#include "values/DataTypes.h"

namespace tervex {
namespace {

enum ControlId : int {
    kNameId = 201,
    kDescriptionId,
    kScanRateId,
    kAddressId,
    kMemoryTypeId,
    kItemTypeId,
    kReadAccessId,
    kWriteAccessId,
    kDataBitId,
};

constexpr ElementKind kItem{2, 0x10102, WM_ITEM_ADD, WM_ITEM_MODIFY, WM_ITEM_RELOAD,
                            WM_ITEM_NAME_EMPTY, WM_ITEM_CHANGED, WM_ITEM_APPLIED,
                            "Переменная с таким именем уже существует\r\nВведите другое имя переменной",
                            "Не верное имя переменной", "Ошибка при добавлении переменной"};

const char kBoolean[] = "Boolean";

// The types an item can have, in the order of the list.
constexpr uint16_t kListedTypes[] = {kTypeByte,   kTypeShortInteger, kTypeWord,        kTypeSmallInteger,
                                     kTypeInteger, kTypeString,       kTypeArrayOfByte, kTypeBoolean};

// The driver's diagnostics are Integer items only.
constexpr uint16_t kDiagnosticsTypes[] = {kTypeInteger};

std::string SizeText(const std::string& typeName) {
    if (typeName == kBoolean) return "1 бит";
    const int size = DataTypeSize(DataTypeFromName(typeName));
    return std::to_string(size) + (size >= 2 && size <= 4 ? " байта" : " байт");
}

bool HasStyle(HWND control, LONG_PTR style) { return (GetWindowLongPtrW(control, GWL_STYLE) & style) != 0; }

}  // namespace

TfmItemProps::TfmItemProps(HINSTANCE instance, IPageDriver& driver)
    : ElementPage(instance, 326, 263, driver, kItem) {
    EnsureWindow();
}

void TfmItemProps::BuildControls() {
    // Created in tab order.
    edtNameItem = AddNameEdit(kNameId, 120, 16, 185, "Item");
    edtDescriptItem = AddEdit(kDescriptionId, 120, 48, 185, kFieldHeight, "Описание переменной");
    rxsScanRate = AddScanRateField(kScanRateId, 120, 104);
    rxsItemAddress = AddSpinField(kAddressId, 120, 168, 57, kFieldHeight,
                                  SpinSettings{SpinKind::Hexadecimal, 0, 255, 1, 0, 3});
    cbxMemoryType = AddDropDownList(kMemoryTypeId, 120, 136, 89, kFieldHeight);
    cbxItemType = AddDropDownList(kItemTypeId, 120, 200, 105, kFieldHeight);
    chbxReadAccess = AddCheckBox(kReadAccessId, "Чтение", 120, 78, 65, 17);
    chbxWriteAccess = AddCheckBox(kWriteAccessId, "Запись", 200, 78, 65, 17);
    rxsDataBit = AddSpinField(kDataBitId, 120, 232, 57, kFieldHeight, SpinSettings{SpinKind::Integer, 0, 7, 1, 0, 0});

    AddLabel("Имя переменной:", 24, 18);
    AddLabel("Описание:", 60, 50);
    AddLabel("Права доступа:", 35, 80);
    AddLabel("Период опроса:", 33, 107, true);
    AddLabel("сек", 182, 108);
    AddLabel("Вид памяти:", 50, 140, true);
    AddLabel("Адрес переменной:", 14, 170, true);
    AddLabel("hex", 184, 170);
    AddLabel("Тип переменной:", 25, 204, true);
    lblSizeType = AddLabel("1 байт", 240, 204);
    lblDataBit = AddLabel("Номер бита:", 49, 236, true);

    AddHint(edtNameItem, "Имя переменной");
    AddHint(edtDescriptItem, "Текстовое описание переменной");
    AddHint(chbxReadAccess, "Право на чтение переменной");
    AddHint(chbxWriteAccess, "Право на запись переменной");
    edtNameItemKeyPress.Hook(edtNameItem);

    SetChecked(chbxReadAccess, true);
    SetChecked(chbxWriteAccess, true);
    for (const char* area : {kAreaRam, kAreaClock, kAreaEeprom, kAreaFram, kAreaXram, kAreaFlash, kAreaDiagnostics})
        ListAdd(cbxMemoryType, area);
    ListSelect(cbxMemoryType, 0);
    SendMessageW(cbxMemoryType, CB_SETDROPPEDWIDTH, 110, 0);  // "ДИАГНОСТИКА" is wider than the field
    // The type list is filled when the page is attached; until then no bit number.
    cbxItemTypeChange();
}

TfmItemProps::~TfmItemProps() = default;

void TfmItemProps::AttachToHost(HWND hostWnd, IOrnItem* element, TItemProperties* nodeProps,
                                TItemProperties* itemProps) {
    AttachHost(hostWnd, element);
    FLoading = true;
    FNodeProps = nodeProps;
    FItemProps = itemProps;
    SetShortString(FItemName, ControlText(edtNameItem));

    ListClear(cbxItemType);
    for (uint16_t code : kListedTypes) ListAdd(cbxItemType, DataTypeName(code));
    ListSelect(cbxItemType, 0);
    cbxMemoryTypeChange();
    cbxItemTypeChange();

    const std::optional<double> nodeScanRateMs = ReadNodeStoredValues(nodeProps).scanRateMs;
    if (nodeScanRateMs) rxsScanRate->SetValue(*nodeScanRateMs / 1000.0);
    FLoading = false;
}

void TfmItemProps::LoadItem(const ShortString& name, TItemProperties* nodeProps, TItemProperties* itemProps) {
    const ShortString loaded = name;  // name may be FItemName itself
    FLoading = true;
    FItemName = loaded;
    FNodeProps = nodeProps;
    FItemProps = itemProps;

    SetControlText(edtNameItem, ShortStringToUtf8(loaded));
    SetShortString(FItemName, ControlText(edtNameItem));
    const ItemStoredValues stored = ReadItemStoredValues(itemProps);

    SetControlText(edtDescriptItem, stored.description.value_or(""));
    SetChecked(chbxReadAccess, !stored.accessRights || (*stored.accessRights & 1) != 0);
    SetChecked(chbxWriteAccess, !stored.accessRights || (*stored.accessRights & 2) != 0);
    if (stored.scanRateMs) rxsScanRate->SetValue(*stored.scanRateMs / 1000.0);
    ListSelectText(cbxMemoryType, stored.memoryArea.value_or(""));
    ListSelect(cbxItemType, -1);
    rxsDataBit->SetValue(stored.bitNumber.value_or(0));
    cbxMemoryTypeChange();
    // The address is judged by the limits of the item's own area. Judged by the area the
    // page showed before, an EEPROM address above 0xFF would keep the old field value,
    // and the next modify would store that other address.
    if (stored.address && *stored.address >= rxsItemAddress->MinValue() &&
        *stored.address <= rxsItemAddress->MaxValue())
        rxsItemAddress->SetValue(static_cast<double>(RoundHalfEven(*stored.address)));
    // The stored type is selected once the area rule has put "Boolean" in or out of the
    // list, so a RAM "Boolean" item shows as such whatever area the page showed before.
    if (stored.typeCode) ListSelectText(cbxItemType, DataTypeName(static_cast<uint16_t>(*stored.typeCode)));
    cbxItemTypeChange();
    FLoading = false;
}

void TfmItemProps::cbxMemoryTypeChange() {
    const std::string area = ListSelectedText(cbxMemoryType);
    const bool ram = area == kAreaRam;
    rxsItemAddress->SetLimits(0, ItemAddressLimit(area));
    OfferTypesOf(area);
    const int boolean = ListFind(cbxItemType, kBoolean);
    if (ram) {
        if (boolean < 0) ListAdd(cbxItemType, kBoolean);
    } else {
        if (boolean >= 0) {
            const bool wasSelected = ListSelection(cbxItemType) == boolean;
            ListRemove(cbxItemType, boolean);
            if (wasSelected) ListSelect(cbxItemType, -1);
        }
        // Outside RAM a type is always chosen, whether or not "Boolean" was just taken out.
        if (ListSelection(cbxItemType) < 0) ListSelect(cbxItemType, 0);
    }
    ShowWindow(chbxWriteAccess, ItemWriteOffered(area) ? SW_SHOW : SW_HIDE);
}

void TfmItemProps::OfferTypesOf(const std::string& area) {
    const bool diagnostics = area == kAreaDiagnostics;
    const bool diagnosticsListed = SendMessageW(cbxItemType, CB_GETCOUNT, 0, 0) == 1 &&
                                   ListFind(cbxItemType, DataTypeName(kDiagnosticsTypes[0])) == 0;
    if (diagnostics == diagnosticsListed) return;
    // The selected type stays where the other list has it; "Boolean" is the area rule's.
    const std::string selected = ListSelectedText(cbxItemType);
    ListClear(cbxItemType);
    if (diagnostics) {
        for (uint16_t code : kDiagnosticsTypes) ListAdd(cbxItemType, DataTypeName(code));
    } else {
        for (uint16_t code : kListedTypes)
            if (code != kTypeBoolean) ListAdd(cbxItemType, DataTypeName(code));
    }
    ListSelectText(cbxItemType, selected);
    if (ListSelection(cbxItemType) < 0) ListSelect(cbxItemType, 0);
    cbxItemTypeChange();  // a size label or bit field of the other list would be left behind
}

void TfmItemProps::cbxItemTypeChange() {
    const std::string type = ListSelectedText(cbxItemType);
    SetControlText(lblSizeType, SizeText(type));
    FitLabel(lblSizeType);
    const bool boolean = type == kBoolean;
    ShowWindow(lblDataBit, boolean ? SW_SHOW : SW_HIDE);
    rxsDataBit->SetVisible(boolean);
}

ItemPageValues TfmItemProps::ReadControls() const {
    ItemPageValues page;
    page.name = ControlText(edtNameItem);
    page.description = ControlText(edtDescriptItem);
    page.readChecked = IsChecked(chbxReadAccess);
    // A hidden box offers no right.
    page.writeChecked = IsChecked(chbxWriteAccess) && HasStyle(chbxWriteAccess, WS_VISIBLE);
    page.scanRateSeconds = rxsScanRate->Value();
    page.memoryArea = ListSelectedText(cbxMemoryType);
    page.address = rxsItemAddress->Value();
    page.typeName = ListSelectedText(cbxItemType);
    page.bitNumber = rxsDataBit->Value();
    return page;
}

void TfmItemProps::StoreItem(int mode) {
    if (!FHostItem) return;
    const ItemPageValues page = ReadControls();
    const TItemAttributes attributes = ComposeItemAttributes(page);
    StoreElement(mode, attributes, ComposeItemList(page, FNodeProps));
}

void TfmItemProps::CommandReceived(int id, int code) {
    if (code == EN_CHANGE && (id == kNameId || id == kDescriptionId || id == kScanRateId)) ChangeParams();
    if (code == CBN_SELCHANGE && id == kMemoryTypeId) cbxMemoryTypeChange();
    if (code == CBN_SELCHANGE && id == kItemTypeId) cbxItemTypeChange();
}

}  // namespace tervex
