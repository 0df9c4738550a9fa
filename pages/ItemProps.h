#pragma once
// The item property page: creates an item or edits an existing one inside a host window.
#include <memory>

#include "config/ItemPageValues.h"
#include "pages/EditHook.h"
#include "pages/ElementPage.h"
#include "pages/SpinField.h"

namespace tervex {

class TfmItemProps : public ElementPage {
public:
    TfmItemProps(HINSTANCE instance, IPageDriver& driver);
    ~TfmItemProps() override;

    // Prepares the page for an item of the node: the type list is filled afresh and the
    // scan rate taken from the node when it has one; everything else shows what it showed.
    void AttachToHost(HWND hostWnd, IOrnItem* element, TItemProperties* nodeProps, TItemProperties* itemProps);
    void LoadItem(const ShortString& name, TItemProperties* nodeProps, TItemProperties* itemProps);
    // Mode 0 adds a new item, mode 1 stores into the existing one.
    void StoreItem(int mode);

private:
    void BuildControls() override;
    void Store(int mode) override { StoreItem(mode); }
    void Reload() override { LoadItem(FItemName, FNodeProps, FItemProps); }
    void CommandReceived(int id, int code) override;
    // The memory-area rule: address limit, "Boolean" only in RAM, no write right in FLASH.
    void cbxMemoryTypeChange();
    // Diagnostics offer their own types; leaving them brings back the usual ones.
    void OfferTypesOf(const std::string& area);
    // The type rule: size label, bit number only for "Boolean".
    void cbxItemTypeChange();
    ItemPageValues ReadControls() const;

    HWND edtNameItem = nullptr;
    HWND edtDescriptItem = nullptr;
    std::unique_ptr<SpinField> rxsScanRate;
    std::unique_ptr<SpinField> rxsItemAddress;
    HWND cbxMemoryType = nullptr;
    HWND cbxItemType = nullptr;
    HWND chbxReadAccess = nullptr;
    HWND chbxWriteAccess = nullptr;
    std::unique_ptr<SpinField> rxsDataBit;
    HWND lblSizeType = nullptr;
    HWND lblDataBit = nullptr;
    PeriodFilter edtNameItemKeyPress;

    TItemProperties* FNodeProps = nullptr;
    TItemProperties* FItemProps = nullptr;
    ShortString FItemName{};
};

}  // namespace tervex
