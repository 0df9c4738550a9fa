#pragma once
// The node property page: creates a node or edits an existing one inside a host window.
#include <memory>

#include "config/NodePageValues.h"
#include "pages/ComRef.h"
#include "pages/EditHook.h"
#include "pages/PageWindow.h"
#include "pages/SpinField.h"
#include "plugin/PluginInterface.h"

namespace tervex {

class TfmNodeProps : public PageWindow {
public:
    explicit TfmNodeProps(HINSTANCE instance);
    ~TfmNodeProps() override;

    // The controls keep what they show: a new node starts from the page's last values.
    void AttachToHost(HWND hostWnd, IOrnItem* element);
    // Shows a node; properties missing from the list leave their controls as they are.
    void LoadNode(const ShortString& name, TItemProperties* list);
    // Mode 0 adds a new node, mode 1 stores into the existing one.
    void StoreNode(int mode);
    void FillComPortList();

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void ChangeParams();
    NodePageValues ReadControls() const;
    void Release();

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

    HWND FHostWnd = nullptr;
    ComRef<IOrnItem> FHostItem;
    bool FLoading = false;
    ShortString FNodeName{};
    TItemProperties* FNodeProps = nullptr;
};

}  // namespace tervex
