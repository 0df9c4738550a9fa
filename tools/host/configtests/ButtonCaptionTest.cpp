// The window mode's buttons show their captions whole in the font they are drawn with.
#include <gtest/gtest.h>
#include <windows.h>

#include <iterator>
#include <string>

#include "tools/host/configtests/ConfigFixture.h"

namespace {

using namespace testing_host;

// The caption's width in the button's own font.
int CaptionWidth(HWND button, const std::wstring& caption) {
    const HDC dc = GetDC(button);
    const HGDIOBJ previous = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(button, WM_GETFONT, 0, 0)));
    SIZE size{};
    GetTextExtentPoint32W(dc, caption.c_str(), static_cast<int>(caption.size()), &size);
    SelectObject(dc, previous);
    ReleaseDC(button, dc);
    return size.cx;
}

std::wstring Caption(HWND button) {
    wchar_t text[64] = {};
    GetWindowTextW(button, text, 64);
    return text;
}

using ButtonCaptionTest = ConfigWindowFixture;

TEST_F(ButtonCaptionTest, EveryCaptionFitsItsButton) {
    const std::string path = TempPath("tervex-buttons-test.station");
    WriteAll(path, "[port COM1]\ntype = simulator\n");
    Open(path);
    if (HasFatalFailure()) return;
    const HWND buttons[] = {window->AddButton(), window->ApplyButton(), window->ReloadButton(), window->SaveButton(),
                            window->WatchButton()};
    // The frame and the focus rectangle take about two edges on each side.
    const int frame = 4 * GetSystemMetrics(SM_CXEDGE);
    RECT previous{};
    for (size_t i = 0; i < std::size(buttons); ++i) {
        const HWND button = buttons[i];
        const std::wstring caption = Caption(button);
        SCOPED_TRACE("button " + std::to_string(i));
        RECT client{};
        GetClientRect(button, &client);
        EXPECT_LE(CaptionWidth(button, caption) + frame, client.right) << "caption cut";
        RECT onScreen{};
        GetWindowRect(button, &onScreen);
        EXPECT_GE(onScreen.left, previous.right) << "buttons overlap";
        previous = onScreen;
    }
    // The watch button also shows "Стоп" while a watch runs.
    RECT watch{};
    GetClientRect(window->WatchButton(), &watch);
    EXPECT_LE(CaptionWidth(window->WatchButton(), W("Стоп")) + frame, watch.right);
    RECT main{};
    GetClientRect(window->hwnd(), &main);
    MapWindowPoints(nullptr, window->hwnd(), reinterpret_cast<POINT*>(&previous), 2);
    EXPECT_LE(previous.right, main.right) << "the last button leaves the window";
}

}  // namespace
