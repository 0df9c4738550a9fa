#pragma once
// What the node page and the item page share: the host window and element they are
// attached to, adding or modifying through that element, and the host's requests.
#include <windows.h>

#include "boundary/PluginInterface.h"
#include "boundary/PropertyList.h"
#include "pages/ComRef.h"
#include "pages/PageOwner.h"
#include "pages/PageWindow.h"
#include "pages/SpinField.h"

namespace tervex {

// What sets a node apart from an item on its page.
struct ElementKind {
    int32_t element;  // AddElement's kind: 1 node, 2 item
    int32_t code;     // AddElement's code
    // The host's requests.
    UINT addMessage;
    UINT modifyMessage;
    UINT reloadMessage;
    // What the page tells the host window.
    UINT nameEmptyMessage;
    UINT changedMessage;
    UINT appliedMessage;
    // What the user is told when the host refuses the element.
    const char* duplicateText;
    const char* duplicateCaption;
    const char* failureText;
};

// The scan rate of a node or an item, in seconds.
inline constexpr SpinSettings kScanRateSpin{SpinKind::Decimal, 0.1, 9999, 0.1, 1, 1.0};

class ElementPage : public PageWindow {
protected:
    ElementPage(HINSTANCE instance, int width, int height, IPageOwner& owner, const ElementKind& kind);

    // Mode 0 adds a new element, mode 1 stores into the existing one.
    virtual void Store(int mode) = 0;
    virtual void Reload() = 0;
    virtual void CommandReceived(int id, int code) = 0;

    void AttachHost(HWND hostWnd, IOrnItem* element);
    // Adds (mode 0) or modifies (any other mode) the element; the list is released before
    // the host window hears of success. A duplicate name puts the focus on nameEdit;
    // every refusal is told in a box.
    void StoreElement(int mode, const TItemAttributes& attributes, OwnedPropertyList list, HWND nameEdit);
    // Tells the host window of an edit, unless the page is loading or detached.
    void ChangeParams(HWND nameEdit);

    HWND FHostWnd = nullptr;
    ComRef<IOrnItem> FHostItem;
    bool FLoading = false;

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) final;
    void Release();

    IPageOwner& FOwner;
    const ElementKind& FKind;
};

}  // namespace tervex
