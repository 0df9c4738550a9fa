#include "pages/ItemProps.h"

namespace tervex {

TfmItemProps::TfmItemProps(HINSTANCE instance) : PageWindow(instance, 326, 263) {}

TfmItemProps::~TfmItemProps() {
    if (FHostItem) FHostItem->Release();
}

void TfmItemProps::AttachToHost(HWND hostWnd, IOrnItem* element, TItemProperties*, TItemProperties*) {
    FHostWnd = hostWnd;
    if (element) element->AddRef();
    if (FHostItem) FHostItem->Release();
    FHostItem = element;
}

void TfmItemProps::LoadItem(const ShortString&, TItemProperties*, TItemProperties*) {}

}  // namespace tervex
