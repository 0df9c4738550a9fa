#include "pages/ElementPage.h"

#include "win/MessageBox.h"

namespace tervex {
namespace {

constexpr SpinSettings kScanRateSeconds{SpinKind::Decimal, 0.1, 9999, 0.1, 1, 1.0};

}  // namespace

ElementPage::ElementPage(HINSTANCE instance, int width, int height, IPageDriver& driver, const ElementKind& kind)
    : PageWindow(instance, width, height), FDriver(driver), FKind(kind) {}

HWND ElementPage::AddNameEdit(int id, int left, int top, int width, std::string_view textUtf8) {
    FNameEdit = AddEdit(id, left, top, width, kFieldHeight, textUtf8);
    return FNameEdit;
}

std::unique_ptr<SpinField> ElementPage::AddScanRateField(int id, int left, int top) {
    std::unique_ptr<SpinField> field = AddSpinField(id, left, top, 56, kFieldHeight, kScanRateSeconds);
    AddHint(field->Edit(), "Частота опроса переменных узла OPC сервером");
    return field;
}

void ElementPage::AttachHost(HWND hostWnd, IOrnItem* element) {
    FHostWnd = hostWnd;
    FHostItem.Reset(element);
}

void ElementPage::StoreElement(int mode, const TItemAttributes& attributes, OwnedPropertyList list) {
    constexpr unsigned kWarningBox = MB_TASKMODAL | MB_ICONWARNING;
    HRESULT result;
    if (mode == 0) {
        IUnknown* created = nullptr;
        result = FHostItem.get()->AddElement(attributes, FKind.element, FKind.code, list.Address(),
                                             FDriver.DriverInterface(), &created);
        if (created) created->Release();
    } else {
        result = FHostItem.get()->ModifyElement(attributes, list.Address());
    }
    if (result == OPC_E_DUPLICATENAME) {
        SetFocus(FNameEdit);
        ShowMessageBox(FKind.duplicateText, FKind.duplicateCaption, kWarningBox);
    } else if (result != S_OK) {
        ShowMessageBox(FKind.failureText, "Ошибка", kWarningBox);
    }
    list = OwnedPropertyList();  // its values cleared and the list released
    if (result == S_OK) NotifyHost(FHostWnd, FKind.appliedMessage);
}

void ElementPage::ChangeParams() {
    if (FLoading || !FHostWnd) return;
    NotifyHost(FHostWnd, GetWindowTextLengthW(FNameEdit) == 0 ? FKind.nameEmptyMessage : FKind.changedMessage);
}

void ElementPage::Release() {
    FHostWnd = nullptr;
    FHostItem.Reset(nullptr);
}

LRESULT ElementPage::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) {
        CommandReceived(LOWORD(wParam), HIWORD(wParam));
    } else if (message == FKind.addMessage) {
        Store(0);
    } else if (message == FKind.modifyMessage) {
        Store(1);
    } else if (message == FKind.reloadMessage) {
        Reload();
    } else if (message == WM_PAGE_DETACH) {
        Detach();
        Release();
    } else {
        return DefaultHandling(message, wParam, lParam);
    }
    return 0;
}

}  // namespace tervex
