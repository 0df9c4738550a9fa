#pragma once
// The item property page.
#include "pages/PageWindow.h"
#include "plugin/PluginInterface.h"

namespace tervex {

class TfmItemProps : public PageWindow {
public:
    explicit TfmItemProps(HINSTANCE instance);
    ~TfmItemProps() override;

    void AttachToHost(HWND hostWnd, IOrnItem* element, TItemProperties* nodeProps, TItemProperties* itemProps);
    void LoadItem(const ShortString& name, TItemProperties* nodeProps, TItemProperties* itemProps);

private:
    HWND FHostWnd = nullptr;
    IOrnItem* FHostItem = nullptr;
};

}  // namespace tervex
