#pragma once
// The library's long-lived objects, created at load and destroyed at unload.
#include <windows.h>

namespace tervex {

class TComPortDriver;
class TfmNodeProps;
class TfmItemProps;
class TfmConfig;

// Creates, in order, the node page, the item page, the settings page and the driver.
void LibraryInitialize(HINSTANCE instance);
// Destroys them in the reverse order.
void LibraryFinalize();

HINSTANCE LibraryInstance();
TComPortDriver* Driver();
TfmNodeProps* NodePage();
TfmItemProps* ItemPage();
TfmConfig* ConfigPage();

}  // namespace tervex
