#pragma once
// The node property page: creates a node or edits an existing one inside a host window.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "config/NodePageValues.h"
#include "pages/EditHook.h"
#include "pages/ElementPage.h"
#include "pages/SpinField.h"

namespace tervex {

class TfmNodeProps : public ElementPage {
public:
    TfmNodeProps(HINSTANCE instance, IPageDriver& driver);
    ~TfmNodeProps() override;

    // The controls keep what they show: a new node starts from the page's last values.
    void AttachToHost(HWND hostWnd, IOrnItem* element);
    // Shows a node; properties missing from the list leave their controls as they are.
    void LoadNode(const ShortString& name, TItemProperties* list);
    // Mode 0 adds a new node, mode 1 stores into the existing one.
    void StoreNode(int mode);
    void FillComPortList();

private:
    void BuildControls() override;
    void ShowComPorts();
    void Store(int mode) override { StoreNode(mode); }
    void Reload() override { LoadNode(FNodeName, FNodeProps); }
    void CommandReceived(int id, int code) override;
    NodePageValues ReadControls() const;

    HWND edtNameNode = nullptr;
    HWND edtDescriptNode = nullptr;
    std::unique_ptr<SpinField> rxsScanRate;
    std::unique_ptr<SpinField> rxsDeviceAddress;
    HWND cbxComPort = nullptr;
    HWND cbxProtocolType = nullptr;
    HWND edtPasswordRead = nullptr;
    HWND edtPasswordWrite = nullptr;
    HWND cbxOrderBytes = nullptr;
    PeriodFilter edtNameNodeKeyPress;

    std::optional<std::vector<std::wstring>> FComPorts;  // as read from the registry
    ShortString FNodeName{};
    TItemProperties* FNodeProps = nullptr;
};

}  // namespace tervex
