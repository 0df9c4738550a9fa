#pragma once
// What the node page and the item page share: the host window and element they are
// attached to, adding or modifying through that element, and the host's requests.
#include <windows.h>

#include <memory>
#include <string_view>

#include "boundary/PluginInterface.h"
#include "boundary/PropertyList.h"
#include "pages/ComRef.h"
#include "pages/PageDriver.h"
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

class ElementPage : public PageWindow {
protected:
    ElementPage(HINSTANCE instance, int width, int height, IPageDriver& driver, const ElementKind& kind);

    // Mode 0 adds a new element, mode 1 stores into the existing one.
    virtual void Store(int mode) = 0;
    // Shows the element last loaded once more.
    virtual void Reload() = 0;
    // A notification from one of the page's controls.
    virtual void CommandReceived(int id, int code) = 0;

    // The element's name, first in tab order: a duplicate name puts the focus there, and
    // an empty one is told to the host window.
    HWND AddNameEdit(int id, int left, int top, int width, std::string_view textUtf8);
    // The scan rate in seconds, with its hint.
    std::unique_ptr<SpinField> AddScanRateField(int id, int left, int top);

    void AttachHost(HWND hostWnd, IOrnItem* element);
    // Adds (mode 0) or modifies (any other mode) the element; the list is released before
    // the host window hears of success. Every refusal is told in a box.
    void StoreElement(int mode, const TItemAttributes& attributes, OwnedPropertyList list);
    // Tells the host window of an edit, unless the page is loading or detached.
    void ChangeParams();
    void WindowLost() override { Release(); }

    HWND FHostWnd = nullptr;
    ComRef<IOrnItem> FHostItem;
    bool FLoading = false;

private:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) final;
    void Release();

    IPageDriver& FDriver;
    const ElementKind& FKind;
    HWND FNameEdit = nullptr;
};

}  // namespace tervex
