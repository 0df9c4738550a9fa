// The settings page embedded in a host window, driven as the host and a user drive it.
#include <windows.h>

#include <utility>

#include "PageFixture.h"
#include "support/FakeHost.h"

using namespace page_tests;
using namespace testing_host;

namespace {

using Stored = std::vector<std::pair<std::string, std::string>>;

class SettingsPage : public PageTest {
protected:
    void Initialize() {
        tervex::ShortString name{}, description{}, third{};
        IOrnPortClient* client = nullptr;
        driver->Initialize(&server, &port, &name, &description, &third, &client);
        if (client) client->Release();
    }

    void Show() {
        PageSize shown;
        EXPECT_EQ(driver->ShowSettingsPage(host.hwnd(), &shown.page, &shown.width, &shown.height), 1);
        EXPECT_EQ(shown.width, 280);
        EXPECT_EQ(shown.height, 134);
        page = shown.page;
        const std::vector<HWND> stops = TabStops(page);
        ASSERT_EQ(stops.size(), 3u);
        waitTimeout = stops[0];
        countTry = stops[1];
        timeNextSend = stops[2];
    }

    bool HostApplies(const char* name, const char* value) {
        tervex::ShortString n{}, v{};
        tervex::SetShortString(n, name);
        tervex::SetShortString(v, value);
        return driver->ApplySetting(&n, &v) != 0;
    }

    std::vector<std::wstring> Fields() { return {Number(waitTimeout), Number(countTry), Number(timeNextSend)}; }

    void Send(UINT message) { SendMessageW(page, message, 0, 0); }

    FakeServer server;
    FakePort port;
    HWND page = nullptr;
    HWND waitTimeout = nullptr;
    HWND countTry = nullptr;
    HWND timeNextSend = nullptr;
};

TEST_F(SettingsPage, ShowingFillsTheFieldsFromMemoryAndSendsNothing) {
    Show();
    EXPECT_EQ(Fields(), (std::vector<std::wstring>{L"3.0", L"3", L"60.0"}));
    Send(WM_PAGE_DETACH);
    ASSERT_TRUE(HostApplies("WaitTimeout", "2500"));
    ASSERT_TRUE(HostApplies("CountTry", "7"));
    ASSERT_TRUE(HostApplies("TimeNextSend", "1500"));
    Show();
    EXPECT_EQ(Fields(), (std::vector<std::wstring>{L"2.5", L"7", L"1.5"}));
    EXPECT_TRUE(host.Messages().empty());
}

TEST_F(SettingsPage, EveryChangeOfAFieldsTextNotifiesTheHost) {
    Show();
    for (HWND field : {waitTimeout, countTry, timeNextSend}) {
        host.Clear();
        Retype(field, L"12");
        EXPECT_EQ(host.Messages(), (std::vector<UINT>{WM_CONFIG_CHANGED, WM_CONFIG_CHANGED}));
        host.Clear();
        ClickArrows(page, ArrowsOf(field), 1);
        EXPECT_EQ(host.Messages(), std::vector<UINT>{WM_CONFIG_CHANGED});
        host.Clear();
        Type(field, L"x");
        EXPECT_TRUE(host.Messages().empty()) << "a letter is refused";
    }
    EXPECT_EQ(Fields(), (std::vector<std::wstring>{L"12.1", L"13", L"12.1"}));
    for (const auto& n : host.Received()) EXPECT_TRUE(n.wParam == 0 && n.lParam == 0);
}

TEST_F(SettingsPage, ApplyStoresTheThreeSettingsInMemoryAndWithTheHostInOrder) {
    Initialize();
    Show();
    Send(WM_CONFIG_APPLY);
    EXPECT_EQ(server.stored, (Stored{{"WaitTimeout", "3000"}, {"CountTry", "3"}, {"TimeNextSend", "60000"}}));

    server.stored.clear();
    Retype(waitTimeout, L"0.1");
    Retype(countTry, L"7");
    Retype(timeNextSend, L"999");
    Send(WM_CONFIG_APPLY);
    EXPECT_EQ(server.stored, (Stored{{"WaitTimeout", "100"}, {"CountTry", "7"}, {"TimeNextSend", "999000"}}));
    EXPECT_EQ(tervex::Settings().WaitTimeout, 100);
    EXPECT_EQ(tervex::Settings().CountTry, 7);
    EXPECT_EQ(tervex::Settings().TimeNextSend, 999000);
    int32_t waitTime = 0;
    EXPECT_EQ(driver->GetWaitTime(0, 0, &waitTime), 1);
    EXPECT_EQ(waitTime, 100 * 7 + 3000);
}

TEST_F(SettingsPage, FieldsBringEveryValueWithinTheirLimits) {
    Initialize();
    struct Case {
        const char* what;
        std::vector<const char*> fromHost;  // WaitTimeout, CountTry, TimeNextSend; before the page is shown
        std::vector<const wchar_t*> typed;  // into the three fields; nullptr leaves a field alone
        Stored stored;
    };
    const std::vector<Case> cases = {
        {"host values below the limits", {"5", "0", "-1"}, {},
         {{"WaitTimeout", "100"}, {"CountTry", "1"}, {"TimeNextSend", "100"}}},
        {"host values above the limits", {"2000000", "101", "1000000"}, {},
         {{"WaitTimeout", "999000"}, {"CountTry", "100"}, {"TimeNextSend", "999000"}}},
        {"typed values above the limits", {}, {L"5000", L"500", L"1000"},
         {{"WaitTimeout", "999000"}, {"CountTry", "100"}, {"TimeNextSend", "999000"}}},
        {"emptied fields", {}, {L"", L"", L""},
         {{"WaitTimeout", "100"}, {"CountTry", "1"}, {"TimeNextSend", "100"}}},
        {"more decimals than shown", {}, {L"2.54", nullptr, L"0.06"},
         {{"WaitTimeout", "2500"}, {"CountTry", "3"}, {"TimeNextSend", "100"}}},
    };
    const char* const names[] = {"WaitTimeout", "CountTry", "TimeNextSend"};
    for (const Case& k : cases) {
        tervex::Settings() = tervex::DriverSettings{};
        Send(WM_PAGE_DETACH);
        for (size_t i = 0; i < k.fromHost.size(); ++i) ASSERT_TRUE(HostApplies(names[i], k.fromHost[i]));
        Show();
        const HWND fields[] = {waitTimeout, countTry, timeNextSend};
        for (size_t i = 0; i < k.typed.size(); ++i)
            if (k.typed[i]) Retype(fields[i], k.typed[i]);
        server.stored.clear();
        Send(WM_CONFIG_APPLY);
        EXPECT_EQ(server.stored, k.stored) << k.what;
    }
    // The arrows stop at the limits.
    Retype(countTry, L"100");
    ClickArrows(page, ArrowsOf(countTry), 1);
    EXPECT_EQ(Text(countTry), L"100");
    Retype(waitTimeout, L"0.1");
    ClickArrows(page, ArrowsOf(waitTimeout), -1);
    EXPECT_EQ(Number(waitTimeout), L"0.1");
}

TEST_F(SettingsPage, ReloadDiscardsEditsAndShowsWhatTheHostHandedOverSince) {
    Show();
    Retype(waitTimeout, L"9");
    Retype(countTry, L"9");
    ASSERT_TRUE(HostApplies("TimeNextSend", "30000"));
    host.Clear();
    Send(WM_CONFIG_RELOAD);
    EXPECT_EQ(Fields(), (std::vector<std::wstring>{L"3.0", L"3", L"30.0"}));
    EXPECT_TRUE(host.Messages().empty());
}

TEST_F(SettingsPage, ABadValueFromTheHostIsReportedAndChangesNothing) {
    EXPECT_FALSE(HostApplies("CountTry", "abc"));
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, W("Неверные параметры конфигурации"));
    EXPECT_EQ(Boxes()[0].caption, W("Ошибка"));
    EXPECT_EQ(Boxes()[0].flags, static_cast<unsigned>(MB_TASKMODAL | MB_ICONERROR));
    EXPECT_EQ(tervex::Settings().CountTry, 3);
    EXPECT_TRUE(HostApplies("countTry", "abc")) << "another name is ignored";
    EXPECT_EQ(Boxes().size(), 1u);
}

TEST_F(SettingsPage, DetachedThePageNotifiesNobody) {
    Show();
    Send(WM_PAGE_DETACH);
    EXPECT_FALSE(IsWindowVisible(page));
    EXPECT_EQ(GetAncestor(page, GA_PARENT), GetDesktopWindow());
    Retype(countTry, L"5");
    EXPECT_TRUE(host.Messages().empty());
}

TEST_F(SettingsPage, ApplyBeforeInitializeStillSetsTheValuesInMemory) {
    Show();
    Retype(countTry, L"5");
    Send(WM_CONFIG_APPLY);
    EXPECT_EQ(tervex::Settings().CountTry, 5);
    EXPECT_TRUE(server.stored.empty());
}

}  // namespace
