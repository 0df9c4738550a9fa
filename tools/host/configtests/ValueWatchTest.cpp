// Live values in the configuration window: the station as edited in the
// window, read by the polling mode's machinery over the built-in simulator and
// shown in the list, followed through edits made while watching, and stopped
// with everything given back.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "tools/host/win/DriverModule.h"
#include "win/WideText.h"
#include "support/DialogFonts.h"
#include "support/PageDriving.h"
#include "support/SerialPorts.h"
#include "tools/host/configtests/ConfigFixture.h"

namespace {

using namespace tervex::host;
using namespace testing_host;

// Boiler's controller holds 2A 34 12 05 from address 0x10, so Level (Byte at
// 0x10) is 42, Flow (Word at 0x11, most significant byte first) 0x3412 = 13330,
// Pump (bit 2 of 05 at 0x13) 1, and Extra, added while watching (Byte at 0x12),
// 0x12 = 18. One try of a second lets a silent controller show soon.
constexpr char kStation[] =
    "[settings]\nWaitTimeout = 1000\nCountTry = 1\nTimeNextSend = 1000\n\n"
    "[port COM1]\ntype = simulator\ncontroller = 1:framing=RTU:mem=RAM 0x10 2A 34 12 05\n\n"
    "[node Boiler]\nport = COM1\naddress = 1\nscan_rate = 0.2\n"
    "item Level ОЗУ 0x10 Byte\nitem Flow ОЗУ 0x11 Word\nitem Pump ОЗУ 0x13 Boolean bit=2\n";

std::wstring Cell(HWND list, int row, int column) {
    wchar_t buffer[256] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = 256;
    SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    return buffer;
}

int Rows(HWND list) { return static_cast<int>(SendMessageW(list, LVM_GETITEMCOUNT, 0, 0)); }

int RowOf(HWND list, const std::wstring& node, const std::wstring& item) {
    for (int row = 0; row < Rows(list); ++row)
        if (Cell(list, row, ValueWatch::kNode) == node && Cell(list, row, ValueWatch::kItem) == item) return row;
    return -1;
}

// The list as text, for failure messages.
std::string Dump(HWND list) {
    std::string text;
    for (int row = 0; row < Rows(list); ++row) {
        for (int column = 0; column < ValueWatch::kColumnCount; ++column)
            text += tervex::WideToUtf8(Cell(list, row, column)) + " | ";
        text += "\n";
    }
    return text;
}

struct Shown {
    const wchar_t* node;
    const wchar_t* item;
    const wchar_t* value;    // nullptr: not checked
    const wchar_t* quality;  // the start of the quality's text
    const wchar_t* result;
};

const std::vector<Shown> kBoiler = {
    {L"Boiler", L"Level", L"42", L"good", L"ok"},
    {L"Boiler", L"Flow", L"13330", L"good", L"ok"},
    {L"Boiler", L"Pump", L"1", L"good", L"ok"},
};

bool Showing(HWND list, const std::vector<Shown>& rows) {
    for (const Shown& s : rows) {
        const int row = RowOf(list, s.node, s.item);
        if (row < 0) return false;
        if (s.value && Cell(list, row, ValueWatch::kValue) != s.value) return false;
        if (Cell(list, row, ValueWatch::kQuality).rfind(s.quality, 0) != 0) return false;
        if (Cell(list, row, ValueWatch::kResult) != s.result) return false;
    }
    return true;
}

class ValueWatchTest : public ConfigWindowFixture {
protected:
    // The window grown so that its list shows every row, for a picture of them all.
    void PictureWithWholeList(HWND list, const char* file) {
        RECT shown{};
        GetWindowRect(list, &shown);
        RECT client{};
        GetClientRect(list, &client);
        RECT last{};
        last.left = LVIR_BOUNDS;
        SendMessageW(list, LVM_GETITEMRECT, static_cast<WPARAM>(Rows(list) - 1), reinterpret_cast<LPARAM>(&last));
        const int grow = last.bottom + 4 - client.bottom;
        if (grow > 0) {
            RECT outer{};
            GetWindowRect(window->hwnd(), &outer);
            SetWindowPos(window->hwnd(), nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top + grow,
                         SWP_NOMOVE | SWP_NOZORDER);
            SetWindowPos(list, nullptr, 0, 0, shown.right - shown.left, shown.bottom - shown.top + grow,
                         SWP_NOMOVE | SWP_NOZORDER);
            POINT status{0, 0};
            MapWindowPoints(window->StatusLine(), window->hwnd(), &status, 1);
            SetWindowPos(window->StatusLine(), nullptr, status.x, status.y + grow, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
        }
        // Whole addresses: the diagnostics area has a long name.
        SendMessageW(list, LVM_SETCOLUMNWIDTH, ValueWatch::kWhere, LVSCW_AUTOSIZE);
        SendMessageW(list, LVM_SETCOLUMNWIDTH, ValueWatch::kReads, LVSCW_AUTOSIZE_USEHEADER);
        Pump();
        Picture(window->hwnd(), file);
    }

    void SetUp() override {
        ASSERT_TRUE(SetSerialPorts({L"COM1", L"COM2"}));
        AddDialogFonts();
    }
    HWND List() const { return window->Watch().List(); }
    void ExpectStoppedClean() {
        EXPECT_FALSE(window->Watch().Running());
        EXPECT_EQ(Text(window->WatchButton()), W("Наблюдать"));
        const ValueWatch::StopCheck& check = window->Watch().LastStop();
        EXPECT_EQ(check.itemReferences, 0) << "item references kept after ClearAll";
        EXPECT_EQ(check.portReferences, 0) << "the driver still holds the port object";
        EXPECT_EQ(check.unexpectedCalls, 0);
        EXPECT_FALSE(KillTimer(window->hwnd(), ValueWatch::kTimerId)) << "the watch's timer is still set";
    }
};

TEST_F(ValueWatchTest, ShowsTheEditedStationLiveAndGivesEverythingBackWhenStopped) {
    const std::string path = TempPath("tervex-watch-test.station");
    WriteAll(path, kStation);
    Open(path);
    if (HasFatalFailure()) return;
    const HWND list = List();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(Text(window->WatchButton()), W("Наблюдать"));
    EXPECT_EQ(Rows(list), 0);

    Click(window->WatchButton());
    ASSERT_TRUE(window->Watch().Running()) << tervex::WideToUtf8(Text(window->StatusLine()));
    EXPECT_EQ(Text(window->WatchButton()), W("Стоп"));
    ASSERT_EQ(Rows(list), 3);
    EXPECT_EQ(Cell(list, 1, ValueWatch::kNode), L"Boiler");
    EXPECT_EQ(Cell(list, 1, ValueWatch::kItem), L"Flow");
    EXPECT_EQ(Cell(list, 1, ValueWatch::kType), L"Word");
    EXPECT_EQ(Cell(list, 2, ValueWatch::kWhere), W("ОЗУ 0013 hex bit 2"));
    ASSERT_TRUE(PumpUntil([&] { return Showing(list, kBoiler); })) << Dump(list);
    // Reads go on at the scan rate, all of them good.
    const int level = RowOf(list, L"Boiler", L"Level");
    ASSERT_TRUE(PumpUntil([&] { return _wtoi(Cell(list, level, ValueWatch::kReads).c_str()) >= 3; })) << Dump(list);
    EXPECT_EQ(Cell(list, level, ValueWatch::kReads).substr(Cell(list, level, ValueWatch::kReads).find(L'/')), L"/0");
    EXPECT_FALSE(Cell(list, level, ValueWatch::kTime).empty());

    // An item added while watching: the watch goes on with the edited station.
    SelectUnder(L"Boiler", W("Новая переменная"));
    AddItem(L"Extra", L"12", L"Byte", nullptr);
    ASSERT_EQ(window->Model().nodes[0].items.size(), 4u);
    // A node on a port the station has no section for (a simulated line
    // without controllers), with an item that therefore gets no answer.
    SelectUnder(L"COM1", W("Новый узел"));
    // name, description, scan rate, address, port, protocol, passwords, byte order
    const std::vector<HWND> node = Stops(9);
    Retype(node[0], L"Ghost");
    ASSERT_TRUE(Choose(node[4], L"COM2"));
    Click(window->AddButton());
    Pump();
    SelectUnder(L"Ghost", W("Новая переменная"));
    AddItem(L"Temp", L"20", L"Word", nullptr);
    ASSERT_EQ(window->Model().nodes.size(), 2u);
    std::vector<Shown> all = kBoiler;
    all.push_back({L"Boiler", L"Extra", L"18", L"good", L"ok"});
    all.push_back({L"Ghost", L"Temp", nullptr, L"bad", L"no answer"});
    ASSERT_TRUE(PumpUntil([&] { return Showing(list, all); })) << Dump(list);
    EXPECT_TRUE(window->Watch().Running());
    EXPECT_EQ(Rows(list), 5);
    SelectUnder(L"Boiler", L"Level  (Byte)");
    Pump();
    Picture(window->hwnd(), "configure-watch.png");

    Click(window->WatchButton());
    ExpectStoppedClean();
    // The list keeps the last values, and nothing updates it any more.
    EXPECT_EQ(Rows(list), 5);
    const std::wstring reads = Cell(list, level, ValueWatch::kReads);
    Pump();
    EXPECT_EQ(Cell(list, level, ValueWatch::kReads), reads);

    // Watching again, one step: Boiler's controller answers at once, Ghost's
    // read waits for its answer (a second). Closing the window stops the watch
    // with that read in flight: ClearAll drops it and its item reference.
    Click(window->WatchButton());
    ASSERT_TRUE(window->Watch().Running());
    SendMessageW(window->hwnd(), WM_TIMER, ValueWatch::kTimerId, 0);
    SendMessageW(window->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(window->Watch().Running());
    const ValueWatch::StopCheck& check = window->Watch().LastStop();
    EXPECT_EQ(check.readsInFlight, 1);
    EXPECT_EQ(check.itemReferences, 0);
    EXPECT_EQ(check.portReferences, 0);
    EXPECT_EQ(check.unexpectedCalls, 0);
    window.reset();
    Pump();  // the closed window's quit message
}

// The demo station's diagnostics: each controller's state and CRC-error count, read
// from the driver's own records; Ghost never answers, so its state goes to 1. One more
// diagnostics item is added on the driver's own item page while watching.
TEST_F(ValueWatchTest, TheDemoStationShowsEachControllersDiagnostics) {
    Open(tervex::host::WindowsPath(TERVEX_HOST_STATIONS "/demo.station"));
    if (HasFatalFailure()) return;
    const HWND list = List();
    Click(window->WatchButton());
    ASSERT_TRUE(window->Watch().Running()) << tervex::WideToUtf8(Text(window->StatusLine()));
    const int ghostState = RowOf(list, L"Ghost", L"State");
    ASSERT_GE(ghostState, 0) << Dump(list);
    EXPECT_EQ(Cell(list, ghostState, ValueWatch::kType), L"Integer");
    EXPECT_EQ(Cell(list, ghostState, ValueWatch::kWhere), W("ДИАГНОСТИКА 0000 hex"));
    const std::vector<Shown> states = {
        {L"Boiler", L"State", L"0", L"good", L"ok"},    {L"Pump", L"State", L"0", L"good", L"ok"},
        {L"Vault", L"State", L"0", L"good", L"ok"},     {L"Ghost", L"State", L"1", L"good", L"ok"},
        {L"Ghost", L"CrcErrors", L"0", L"good", L"ok"}, {L"Ghost", L"Temp", nullptr, L"bad", L"no answer"},
    };
    ASSERT_TRUE(PumpUntil([&] { return Showing(list, states); })) << Dump(list);
    // Boiler's line corrupts an answer now and then.
    const int boilerCrc = RowOf(list, L"Boiler", L"CrcErrors");
    ASSERT_TRUE(PumpUntil([&] { return _wtoi(Cell(list, boilerCrc, ValueWatch::kValue).c_str()) >= 1; }))
        << Dump(list);

    SelectUnder(L"Ghost", W("Новая переменная"));
    // name, description, scan rate, address, memory area, type, read, write, bit
    ASSERT_TRUE(Choose(Stops(9)[4], W("ДИАГНОСТИКА")));
    AddItem(L"NoAnswers", L"2", L"Integer", nullptr);
    ASSERT_TRUE(PumpUntil([&] {
        const int row = RowOf(list, L"Ghost", L"NoAnswers");
        return row >= 0 && _wtoi(Cell(list, row, ValueWatch::kValue).c_str()) >= 1;
    })) << Dump(list);
    EXPECT_EQ(window->Model().nodes[3].items.back().area, "ДИАГНОСТИКА");
    SelectUnder(L"Ghost", L"State  (Integer)");
    ASSERT_TRUE(PumpUntil([&] {
        for (int row = 0; row < Rows(list); ++row)
            if (Cell(list, row, ValueWatch::kQuality).empty()) return false;
        return Showing(list, states);
    })) << Dump(list);
    PictureWithWholeList(list, "configure-diagnostics-watch.png");
    Click(window->WatchButton());
    ExpectStoppedClean();
}

TEST_F(ValueWatchTest, APortThatCannotBeOpenedStartsNothing) {
    const std::string path = TempPath("tervex-watch-badport.station");
    WriteAll(path, std::string(kStation) + "\n[port COM99]\ntype = serial\n\n[node Far]\nport = COM99\n"
                                           "item Level ОЗУ 0x10 Byte\n");
    Open(path);
    if (HasFatalFailure()) return;
    Click(window->WatchButton());
    EXPECT_FALSE(window->Watch().Running());
    EXPECT_EQ(Text(window->WatchButton()), W("Наблюдать"));
    EXPECT_NE(Text(window->StatusLine()).find(L"COM99"), std::wstring::npos)
        << tervex::WideToUtf8(Text(window->StatusLine()));
    EXPECT_EQ(Rows(List()), 0);
    EXPECT_FALSE(KillTimer(window->hwnd(), ValueWatch::kTimerId));
}

}  // namespace
