#pragma once
// Pictures of windows for a person to look at.
#include <windows.h>

#include <string>

namespace testing_host {

// False when the test build has no PNG writer.
bool ScreenshotsAvailable();

// Paints the window and writes its client area as a 24-bit PNG. False (with the reason
// in error) when nothing could be written.
bool SaveClientPng(HWND window, const std::string& path, std::string& error);

}  // namespace testing_host
