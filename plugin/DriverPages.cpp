// The driver's page operations: embed a long-lived page into a host window.
#include "pages/Config.h"
#include "pages/ItemProps.h"
#include "pages/NodeProps.h"
#include "plugin/Driver.h"
#include "plugin/Library.h"

namespace tervex {
namespace {

template <typename Page, typename Attach>
uint8_t ShowPage(Page* page, HWND parent, HWND* pageOut, int32_t* width, int32_t* height, Attach&& attach) noexcept {
    try {
        if (pageOut) *pageOut = nullptr;
        if (width) *width = 0;
        if (height) *height = 0;
        // A page whose window went with an earlier host window is built again first.
        if (!page || !page->EnsureWindow()) return 0;
        const HWND hwnd = page->Handle();
        // A page is a child of the host window while it is shown.
        SetWindowLongPtrW(hwnd, GWL_STYLE, (GetWindowLongPtrW(hwnd, GWL_STYLE) & ~WS_POPUP) | WS_CHILD);
        if (!SetParent(hwnd, parent)) return 0;
        if (!SetWindowPos(hwnd, HWND_TOP, 0, 0, page->Width(), page->Height(), SWP_SHOWWINDOW)) return 0;
        attach(*page);
        if (pageOut) *pageOut = hwnd;
        if (width) *width = page->Width();
        if (height) *height = page->Height();
        ShowWindow(hwnd, SW_SHOW);
        return 1;
    } catch (...) {
        return 0;
    }
}

}  // namespace

uint8_t __stdcall TComPortDriver::ShowSettingsPage(HWND parent, HWND* page, int32_t* width, int32_t* height) {
    return ShowPage(ConfigPage(), parent, page, width, height, [&](TfmConfig& p) { p.ShowSettings(parent); });
}

uint8_t __stdcall TComPortDriver::ShowNewNodePage(HWND parent, IOrnItem* element, HWND* page, int32_t* width,
                                                  int32_t* height) {
    return ShowPage(NodePage(), parent, page, width, height,
                    [&](TfmNodeProps& p) { p.AttachToHost(parent, element); });
}

uint8_t __stdcall TComPortDriver::ShowNewItemPage(HWND parent, IOrnItem* element, TItemProperties* nodeList,
                                                  HWND* page, int32_t* width, int32_t* height) {
    return ShowPage(ItemPage(), parent, page, width, height,
                    [&](TfmItemProps& p) { p.AttachToHost(parent, element, nodeList, nullptr); });
}

uint8_t __stdcall TComPortDriver::ShowElementPage(HWND parent, IOrnItem* element, const ShortString* name,
                                                  int32_t kind, TItemProperties* parentList, TItemProperties* ownList,
                                                  HWND* page, int32_t* width, int32_t* height) {
    static const ShortString kNoName{};
    const ShortString& elementName = name ? *name : kNoName;
    if (kind == 1) {
        return ShowPage(NodePage(), parent, page, width, height, [&](TfmNodeProps& p) {
            p.AttachToHost(parent, element);
            p.LoadNode(elementName, ownList);
        });
    }
    return ShowPage(ItemPage(), parent, page, width, height, [&](TfmItemProps& p) {
        p.AttachToHost(parent, element, parentList, ownList);
        p.LoadItem(elementName, parentList, ownList);
    });
}

}  // namespace tervex
