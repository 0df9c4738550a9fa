#include "pages/NodeProps.h"

namespace tervex {

TfmNodeProps::TfmNodeProps(HINSTANCE instance) : PageWindow(instance, 290, 286) {}

TfmNodeProps::~TfmNodeProps() {
    if (FHostItem) FHostItem->Release();
}

void TfmNodeProps::AttachToHost(HWND hostWnd, IOrnItem* element) {
    FHostWnd = hostWnd;
    if (element) element->AddRef();
    if (FHostItem) FHostItem->Release();
    FHostItem = element;
}

void TfmNodeProps::LoadNode(const ShortString&, TItemProperties*) {}

}  // namespace tervex
