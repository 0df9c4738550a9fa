#include "pages/NodeProps.h"

#include <string>

#include "config/win/NodeList.h"
#include "pages/ComPortList.h"
#include "pages/Controls.h"
#include "values/ValueCodec.h"
#include "win/MessageBox.h"
#include "win/WideText.h"

namespace tervex {
namespace {

enum ControlId : int {
    kNameId = 101,
    kDescriptionId,
    kScanRateId,
    kDeviceAddressId,
    kComPortId,
    kProtocolId,
    kPasswordReadId,
    kPasswordWriteId,
    kByteOrderId,
};

constexpr unsigned kWarningBox = MB_TASKMODAL | MB_ICONWARNING;

constexpr ElementKind kNode{1, 0x10116, WM_NODE_ADD, WM_NODE_MODIFY, WM_NODE_RELOAD,
                            WM_NODE_NAME_EMPTY, WM_NODE_CHANGED, WM_NODE_APPLIED,
                            "Узел с таким именем уже существует\r\nВведите другое имя узла",
                            "Не верное имя узла", "Ошибка при добавлении узла"};

}  // namespace

TfmNodeProps::TfmNodeProps(HINSTANCE instance, IPageDriver& driver)
    : ElementPage(instance, 290, 286, driver, kNode) {
    EnsureWindow();
}

void TfmNodeProps::BuildControls() {
    // Created in tab order.
    edtNameNode = AddNameEdit(kNameId, 112, 16, 161, "Node");
    edtDescriptNode = AddEdit(kDescriptionId, 112, 48, 161, kFieldHeight, "Описание узла");
    rxsScanRate = AddScanRateField(kScanRateId, 112, 84);
    rxsDeviceAddress = AddSpinField(kDeviceAddressId, 112, 140, 56, kFieldHeight,
                                    SpinSettings{SpinKind::Integer, 1, 255, 1, 0, 1});
    cbxComPort = AddDropDownList(kComPortId, 112, 112, 73, kFieldHeight);
    cbxProtocolType = AddDropDownList(kProtocolId, 112, 168, 73, kFieldHeight);
    edtPasswordRead = AddEdit(kPasswordReadId, 112, 200, 121, kFieldHeight, "");
    edtPasswordWrite = AddEdit(kPasswordWriteId, 112, 224, 121, kFieldHeight, "");
    cbxOrderBytes = AddDropDownList(kByteOrderId, 112, 248, 161, kFieldHeight);

    AddLabel("Имя узла:", 56, 18);
    AddLabel("Описание:", 54, 51);
    AddLabel("Период опроса:", 26, 87, true);
    AddLabel("сек", 174, 87);
    AddLabel("Адрес устройства:", 12, 143, true);
    AddLabel("dec", 176, 144);
    AddLabel("СОМ порт:", 53, 116, true);
    AddLabel("Тип протокола:", 26, 172, true);
    AddLabel("Пароль на чтение:", 11, 204, true);
    AddLabel("Пароль на запись:", 9, 228, true);
    AddLabel("Порядок байт:", 32, 252, true);

    AddHint(edtNameNode, "Имя узла");
    AddHint(edtDescriptNode, "Текстовое описание узла");
    edtNameNodeKeyPress.Hook(edtNameNode);

    ListAdd(cbxProtocolType, "RTU");
    ListAdd(cbxProtocolType, "ASCII");
    ListSelect(cbxProtocolType, 0);
    // The registry is read once, for the first window; a rebuilt one lists the same ports.
    if (FComPorts) {
        ShowComPorts();
    } else {
        FillComPortList();
    }
    ListClear(cbxOrderBytes);
    ListAdd(cbxOrderBytes, kByteOrderMsbFirst);
    ListAdd(cbxOrderBytes, kByteOrderLsbFirst);
    ListSelect(cbxOrderBytes, 0);
}

TfmNodeProps::~TfmNodeProps() = default;

void TfmNodeProps::FillComPortList() {
    FComPorts = ReadSerialPorts();
    ShowComPorts();
}

void TfmNodeProps::ShowComPorts() {
    ListClear(cbxComPort);
    if (FComPorts)
        for (const std::wstring& port : *FComPorts) ListAdd(cbxComPort, WideToUtf8(port));
    if (SendMessageW(cbxComPort, CB_GETCOUNT, 0, 0) > 0) ListSelect(cbxComPort, 0);
}

void TfmNodeProps::AttachToHost(HWND hostWnd, IOrnItem* element) { AttachHost(hostWnd, element); }

NodePageValues TfmNodeProps::ReadControls() const {
    NodePageValues page;
    page.name = ControlText(edtNameNode);
    page.description = ControlText(edtDescriptNode);
    page.scanRateSeconds = rxsScanRate->Value();
    page.comPortName = ListSelectedText(cbxComPort);
    page.deviceAddress = rxsDeviceAddress->Value();
    page.protocol = ListSelectedText(cbxProtocolType);
    page.readPassword = ControlText(edtPasswordRead);
    page.writePassword = ControlText(edtPasswordWrite);
    page.byteOrder = ListSelectedText(cbxOrderBytes);
    return page;
}

void TfmNodeProps::LoadNode(const ShortString& name, TItemProperties* list) {
    const ShortString loaded = name;  // name may be FNodeName itself
    FLoading = true;
    FNodeName = loaded;
    FNodeProps = list;

    const NodePageValues shown = ReadControls();
    NodePageValues page = shown;
    page.name = ShortStringToUtf8(loaded);
    ApplyStoredNodeValues(ReadNodeStoredValues(list), page);

    // A property that is not found leaves its control as it was.
    SetControlText(edtNameNode, page.name);
    SetControlText(edtDescriptNode, page.description);
    if (page.scanRateSeconds != shown.scanRateSeconds) rxsScanRate->SetValue(page.scanRateSeconds);
    ListSelectText(cbxComPort, page.comPortName);
    if (page.deviceAddress != shown.deviceAddress) rxsDeviceAddress->SetValue(page.deviceAddress);
    ListSelectText(cbxProtocolType, page.protocol);
    SetControlText(edtPasswordRead, page.readPassword);
    SetControlText(edtPasswordWrite, page.writePassword);
    ListSelectText(cbxOrderBytes, page.byteOrder);
    FLoading = false;
}

void TfmNodeProps::StoreNode(int mode) {
    if (!FHostItem) return;
    const NodePageValues page = ReadControls();
    if (page.comPortName.empty()) {
        SetFocus(cbxComPort);
        ShowMessageBox("Выберите COM порт", "Добавить узел", kWarningBox);
        return;
    }
    const TItemAttributes attributes = ComposeNodeAttributes(page);
    StoreElement(mode, attributes, ComposeNodeList(page));
}

void TfmNodeProps::CommandReceived(int id, int code) {
    const bool edited =
        (code == EN_CHANGE && (id == kNameId || id == kDescriptionId || id == kScanRateId || id == kDeviceAddressId)) ||
        (code == CBN_SELCHANGE && id == kByteOrderId);
    if (edited) ChangeParams();
}

}  // namespace tervex
