#pragma once
// Adding or modifying a node or an item through the host element a page was given.
#include <windows.h>

#include "plugin/PluginInterface.h"

namespace tervex {

class TComPortDriver;

// What the user is told when the host refuses the element.
struct StoreTexts {
    const char* duplicateText;
    const char* duplicateCaption;
    const char* failureText;
};

// Adds (mode 0) or modifies (any other mode) the element with the attributes and list,
// which stay the caller's. A duplicate name puts the focus on nameEdit; every refusal is
// told in a box. Returns the host's answer.
HRESULT StoreElement(IOrnItem* host, TComPortDriver* driver, int mode, const TItemAttributes& attributes,
                     int32_t kind, int32_t code, TItemProperties* list, HWND nameEdit, const StoreTexts& texts);

}  // namespace tervex
