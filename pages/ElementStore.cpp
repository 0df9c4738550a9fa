#include "pages/ElementStore.h"

#include "plugin/Driver.h"
#include "plugin/MessageBox.h"

namespace tervex {

HRESULT StoreElement(IOrnItem* host, TComPortDriver* driver, int mode, const TItemAttributes& attributes,
                     int32_t kind, int32_t code, TItemProperties* list, HWND nameEdit, const StoreTexts& texts) {
    constexpr unsigned kWarningBox = MB_TASKMODAL | MB_ICONWARNING;
    HRESULT result;
    if (mode == 0) {
        IUnknown* created = nullptr;
        result = host->AddElement(attributes, kind, code, list, driver ? driver->DriverInterface() : nullptr, &created);
        if (created) created->Release();
    } else {
        result = host->ModifyElement(attributes, list);
    }
    if (result == OPC_E_DUPLICATENAME) {
        SetFocus(nameEdit);
        ShowMessageBox(texts.duplicateText, texts.duplicateCaption, kWarningBox);
    } else if (result != S_OK) {
        ShowMessageBox(texts.failureText, "Ошибка", kWarningBox);
    }
    return result;
}

}  // namespace tervex
