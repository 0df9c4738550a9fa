#pragma once
// Driving the configuration window as a user does, shared by its tests: the
// built driver library loaded and initialised as the window mode does it, the
// window opened on a station file, tree entries selected, items added.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "tools/host/config/ConfigWindow.h"
#include "tools/host/win/DriverModule.h"
#include "tools/host/win/HostServer.h"

namespace testing_host {

std::wstring W(const char* utf8);
// Dispatches what is waiting.
void Pump();
// Dispatches messages as they come until done() holds or boundMs have passed
// (a bound against a hang, not a measure); gives done().
bool PumpUntil(const std::function<bool()>& done, DWORD boundMs = 30000);
std::string TempPath(const char* name);
std::string ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::string& text);
// A PNG of the window's client area in the test's working folder.
void Picture(HWND window, const char* file);

class ConfigWindowFixture : public ::testing::Test {
protected:
    // The driver loaded and initialised without a port object, the station's
    // settings applied, and the window opened on the station file.
    void Open(const std::string& path);
    // The first tree entry with this text; or the one under the entry parentText.
    void Select(const std::wstring& text);
    void SelectUnder(const std::wstring& parentText, const std::wstring& text);
    // The page's tab stops; expected is how many it must have.
    std::vector<HWND> Stops(size_t expected);
    // On the new-item page selected before: name, address (hex), type, bit (or nullptr).
    void AddItem(const std::wstring& name, const std::wstring& address, const std::wstring& type, const wchar_t* bit);

    tervex::host::DriverModule module;
    tervex::host::HostServer server;
    std::unique_ptr<tervex::host::ConfigWindow> window;
};

}  // namespace testing_host
