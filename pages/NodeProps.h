#pragma once
// The node property page.
#include "pages/PageWindow.h"
#include "plugin/PluginInterface.h"

namespace tervex {

class TfmNodeProps : public PageWindow {
public:
    explicit TfmNodeProps(HINSTANCE instance);
    ~TfmNodeProps() override;

    void AttachToHost(HWND hostWnd, IOrnItem* element);
    void LoadNode(const ShortString& name, TItemProperties* list);

private:
    HWND FHostWnd = nullptr;
    IOrnItem* FHostItem = nullptr;
};

}  // namespace tervex
