#include "tools/host/configtests/ConfigFixture.h"

#include <fstream>
#include <sstream>

#include "support/PageDriving.h"
#include "support/Screenshot.h"
#include "tools/host/config/StationWriter.h"

namespace testing_host {

using namespace tervex::host;

std::wstring W(const char* utf8) {
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8, -1, out.data(), n);
    out.resize(static_cast<size_t>(n - 1));
    return out;
}

void Pump() {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

bool PumpUntil(const std::function<bool()>& done, DWORD boundMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > boundMs) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
        Pump();
    }
    return true;
}

std::string TempPath(const char* name) {
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    return std::string(dir) + name;
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

void WriteAll(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
}

void Picture(HWND window, const char* file) {
    if (!ScreenshotsAvailable()) return;
    std::string error;
    EXPECT_TRUE(SaveClientPng(window, file, error)) << error;
}

void ConfigWindowFixture::Open(const std::string& path) {
    std::string error;
    ASSERT_TRUE(module.Load(TERVEX_DLL_PATH, error)) << error;
    tervex::ShortString name{}, description{}, third{};
    IOrnPortClient* client = nullptr;
    module.Driver()->Initialize(&server, nullptr, &name, &description, &third, &client);
    if (client) client->Release();
    StationResult loaded = LoadStationForEditing(path);
    ASSERT_TRUE(loaded.errors.empty()) << loaded.errors[0].ToString();
    for (const auto& [key, value] : loaded.station.settings) {
        tervex::ShortString k{}, v{};
        tervex::SetShortString(k, key);
        tervex::SetShortString(v, value);
        EXPECT_TRUE(module.Driver()->ApplySetting(&k, &v)) << key;
    }
    window = std::make_unique<ConfigWindow>(module.Driver(), server, std::move(loaded.station), path);
    ASSERT_TRUE(window->Create(error)) << error << " (window tests need a display: run under xvfb-run)";
}

void ConfigWindowFixture::Select(const std::wstring& text) {
    const HTREEITEM entry = window->FindEntry(text);
    ASSERT_NE(entry, nullptr) << "no tree entry for the text";
    TreeView_SelectItem(window->Tree(), entry);
    Pump();
    ASSERT_NE(window->Page(), nullptr);
}

void ConfigWindowFixture::SelectUnder(const std::wstring& parentText, const std::wstring& text) {
    const HTREEITEM parent = window->FindEntry(parentText);
    ASSERT_NE(parent, nullptr) << "no tree entry for the parent's text";
    HTREEITEM found = nullptr;
    for (HTREEITEM child = TreeView_GetChild(window->Tree(), parent); child && !found;
         child = TreeView_GetNextSibling(window->Tree(), child)) {
        wchar_t buffer[300] = {};
        TVITEMW item{};
        item.mask = TVIF_TEXT;
        item.hItem = child;
        item.pszText = buffer;
        item.cchTextMax = 300;
        if (TreeView_GetItem(window->Tree(), &item) && text == buffer) found = child;
    }
    ASSERT_NE(found, nullptr) << "no such entry under the parent";
    TreeView_SelectItem(window->Tree(), found);
    Pump();
    ASSERT_NE(window->Page(), nullptr);
}

std::vector<HWND> ConfigWindowFixture::Stops(size_t expected) {
    std::vector<HWND> stops = TabStops(window->Page());
    EXPECT_EQ(stops.size(), expected);
    stops.resize(expected, nullptr);
    return stops;
}

void ConfigWindowFixture::AddItem(const std::wstring& name, const std::wstring& address, const std::wstring& type,
                                  const wchar_t* bit) {
    // name, description, scan rate, address, memory area, type, read, write, bit
    const std::vector<HWND> c = Stops(9);
    Retype(c[0], name);
    ASSERT_TRUE(Choose(c[5], type));
    Retype(c[3], address);
    if (bit) Retype(c[8], bit);
    EXPECT_TRUE(IsWindowEnabled(window->AddButton()));
    Click(window->AddButton());
    Pump();
}

}  // namespace testing_host
