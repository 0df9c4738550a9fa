// The three pages of the built DLL, embedded the way a host embeds them: through the
// export's driver only, with message boxes observed by a hook on this thread.
#include "dll/DriverLibrary.h"

#include <gtest/gtest.h>

#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "support/DialogFonts.h"
#include "support/ElementRecorder.h"
#include "support/FakeHost.h"
#include "support/HostWindow.h"
#include "support/MessageBoxWatcher.h"
#include "support/PageDriving.h"
#include "support/SerialPorts.h"

using namespace testing_host;

namespace {

// The DLL reads the ports and creates its pages when it is loaded, which happens at
// the first test that asks for it; the machine is prepared before any test runs.
const bool kMachinePrepared = SetSerialPorts({L"COM5", L"COM7"}) && (AddDialogFonts() || true);

class PagesThroughDll : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(kMachinePrepared);
        driver = ObtainDriver();
        ASSERT_NE(driver, nullptr);
        ASSERT_NE(host().hwnd(), nullptr) << "window tests need a display (run under xvfb-run)";
        host().Clear();
    }
    void TearDown() override {
        if (page) SendMessageW(page, WM_PAGE_DETACH, 0, 0);
        Apply("WaitTimeout", "3000");
        Apply("CountTry", "3");
        Apply("TimeNextSend", "60000");
        driver->Initialize(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr);
    }

    // One host window for the run: closing a shown window is slow under Wine.
    static HostWindow& host() {
        static HostWindow* window = new HostWindow();
        return *window;
    }

    bool Apply(const char* name, const char* value) {
        tervex::ShortString n{}, v{};
        tervex::SetShortString(n, name);
        tervex::SetShortString(v, value);
        return driver->ApplySetting(&n, &v) != 0;
    }

    void Send(UINT message) { SendMessageW(page, message, 0, 0); }

    IOrnDriver2* driver = nullptr;
    RecordingItem element;
    HWND page = nullptr;
    int32_t width = 0;
    int32_t height = 0;
};

TEST_F(PagesThroughDll, NodePageAddsANodeWithTheFirstPortListed) {
    ASSERT_EQ(driver->ShowNewNodePage(host().hwnd(), &element, &page, &width, &height), 1);
    EXPECT_EQ(GetParent(page), host().hwnd());
    EXPECT_EQ(width, 290);
    EXPECT_EQ(height, 286);
    const std::vector<HWND> controls = TabStops(page);
    ASSERT_EQ(controls.size(), 9u);
    EXPECT_EQ(Entries(controls[4]), (std::vector<std::wstring>{L"COM5", L"COM7"}));

    Type(controls[0], L".");
    EXPECT_TRUE(host().Messages().empty());
    Send(WM_NODE_ADD);
    ASSERT_EQ(element.calls.size(), 1u);
    const CapturedCall& call = element.calls[0];
    EXPECT_EQ(call.kind, 1);
    EXPECT_EQ(call.code, 0x10116);
    EXPECT_EQ(call.driver, driver) << "the DLL's own driver interface";
    EXPECT_EQ(call.itemId, L"Node");
    ASSERT_EQ(call.entries.size(), 8u);
    EXPECT_EQ(call.entries[2].id, 5000u);
    EXPECT_EQ(call.entries[2].valueText, L"4") << "COM5";
    EXPECT_EQ(call.entries[7].valueText, Wide("Старшим байтом вперед"));
    EXPECT_EQ(host().Messages(), std::vector<UINT>{WM_NODE_APPLIED});

    Send(WM_PAGE_DETACH);
    EXPECT_EQ(element.refs, 0);
    Send(WM_NODE_ADD);
    EXPECT_EQ(element.calls.size(), 1u) << "nothing after a detach";
}

TEST_F(PagesThroughDll, ItemPageReportsADuplicateNameInABox) {
    MessageBoxWatcher boxes;
    element.elementResult = OPC_E_DUPLICATENAME;
    tervex::TItemProperties noNode = nullptr;
    ASSERT_EQ(driver->ShowNewItemPage(host().hwnd(), &element, &noNode, &page, &width, &height), 1);
    EXPECT_EQ(width, 326);
    EXPECT_EQ(height, 263);
    Send(WM_ITEM_ADD);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].caption, Wide("Не верное имя переменной"));
    EXPECT_EQ(boxes.Boxes()[0].text, Wide("Переменная с таким именем уже существует\r\nВведите другое имя переменной"));
    EXPECT_TRUE(host().Messages().empty());
    ASSERT_EQ(element.calls.size(), 1u);
    EXPECT_EQ(element.calls[0].kind, 2);
    EXPECT_EQ(element.calls[0].code, 0x10102);
}

TEST_F(PagesThroughDll, ElementPageLoadsANodeSilentlyAndReloadsIt) {
    tervex::ShortString name{};
    tervex::SetShortString(name, "Котёл");
    tervex::TItemProperties noList = nullptr;
    ASSERT_EQ(driver->ShowElementPage(host().hwnd(), &element, &name, 1, &noList, &noList, &page, &width, &height),
              1);
    EXPECT_EQ(width, 290);
    const std::vector<HWND> controls = TabStops(page);
    ASSERT_EQ(controls.size(), 9u);
    EXPECT_EQ(Text(controls[0]), Wide("Котёл"));
    EXPECT_EQ(Selected(controls[4]), L"") << "no port stored";
    EXPECT_TRUE(host().Messages().empty());
    Retype(controls[0], L"x");
    EXPECT_EQ(host().Messages(), std::vector<UINT>{WM_NODE_CHANGED});
    Send(WM_NODE_RELOAD);
    EXPECT_EQ(Text(controls[0]), Wide("Котёл"));

    MessageBoxWatcher boxes;
    Send(WM_NODE_MODIFY);
    ASSERT_EQ(boxes.Boxes().size(), 1u);
    EXPECT_EQ(boxes.Boxes()[0].caption, Wide("Добавить узел"));
    EXPECT_EQ(boxes.Boxes()[0].text, Wide("Выберите COM порт"));
    EXPECT_TRUE(element.calls.empty());
}

TEST_F(PagesThroughDll, SettingsPageStoresTheSettingsWithTheHost) {
    static FakeServer server;  // the driver may keep it until the next Initialize
    static FakePort port;
    server.stored.clear();
    tervex::ShortString n{}, d{}, t{};
    IOrnPortClient* client = nullptr;
    driver->Initialize(&server, &port, &n, &d, &t, &client);
    if (client) client->Release();
    ASSERT_TRUE(Apply("WaitTimeout", "2500"));
    ASSERT_EQ(driver->ShowSettingsPage(host().hwnd(), &page, &width, &height), 1);
    EXPECT_EQ(width, 280);
    EXPECT_EQ(height, 134);
    const std::vector<HWND> fields = TabStops(page);
    ASSERT_EQ(fields.size(), 3u);
    EXPECT_TRUE(host().Messages().empty());
    Retype(fields[1], L"5");
    EXPECT_EQ(host().Messages(), std::vector<UINT>{WM_CONFIG_CHANGED});
    Send(WM_CONFIG_APPLY);
    using Stored = std::vector<std::pair<std::string, std::string>>;
    EXPECT_EQ(server.stored, (Stored{{"WaitTimeout", "2500"}, {"CountTry", "5"}, {"TimeNextSend", "60000"}}));
    int32_t waitTime = 0;
    driver->GetWaitTime(0, 0, &waitTime);
    EXPECT_EQ(waitTime, 2500 * 5 + 3000);
}

// What this process holds of the window system. Where GetGuiResources has no answer
// (Wine), the windows of this thread stand in for the USER objects.
struct GuiObjects {
    DWORD gdi;
    DWORD user;
    size_t windows;
    bool operator==(const GuiObjects& o) const { return gdi == o.gdi && user == o.user && windows == o.windows; }
};

std::ostream& operator<<(std::ostream& out, const GuiObjects& g) {
    return out << "GDI " << g.gdi << ", USER " << g.user << ", windows " << g.windows;
}

BOOL CALLBACK CountChild(HWND, LPARAM count) {
    ++*reinterpret_cast<size_t*>(count);
    return TRUE;
}

BOOL CALLBACK CountWithChildren(HWND top, LPARAM count) {
    ++*reinterpret_cast<size_t*>(count);
    EnumChildWindows(top, CountChild, count);
    return TRUE;
}

GuiObjects CountGuiObjects() {
    size_t windows = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountWithChildren, reinterpret_cast<LPARAM>(&windows));
    return {GetGuiResources(GetCurrentProcess(), GR_GDIOBJECTS), GetGuiResources(GetCurrentProcess(), GR_USEROBJECTS),
            windows};
}

// A host that closes its window around a page without detaching it first, then shows
// the page in a new window: the page is there again, whole, and adds through the new
// window; over many such closes nothing piles up.
TEST_F(PagesThroughDll, APageClosedWithItsHostWindowComesBackInTheNext) {
    MessageBoxWatcher boxes;  // a page that cannot store says so in a box
    static FakeServer server;
    static FakePort port;
    tervex::ShortString n{}, d{}, t{};
    IOrnPortClient* client = nullptr;
    driver->Initialize(&server, &port, &n, &d, &t, &client);
    if (client) client->Release();
    tervex::TItemProperties noNode = nullptr;
    const struct Kind {
        const char* name;
        size_t tabStops;
        std::function<uint8_t(IOrnDriver2*, HWND, RecordingItem&, HWND*)> show;
        UINT add;
        UINT applied;
        std::function<size_t(const RecordingItem&)> added;
    } kinds[] = {
        {"node page", 9,
         [](IOrnDriver2* drv, HWND parent, RecordingItem& e, HWND* shown) {
             int32_t w = 0, h = 0;
             return drv->ShowNewNodePage(parent, &e, shown, &w, &h);
         },
         WM_NODE_ADD, WM_NODE_APPLIED, [](const RecordingItem& e) { return e.calls.size(); }},
        {"item page", 9,
         [&noNode](IOrnDriver2* drv, HWND parent, RecordingItem& e, HWND* shown) {
             int32_t w = 0, h = 0;
             return drv->ShowNewItemPage(parent, &e, &noNode, shown, &w, &h);
         },
         WM_ITEM_ADD, WM_ITEM_APPLIED, [](const RecordingItem& e) { return e.calls.size(); }},
        {"settings page", 3,
         [](IOrnDriver2* drv, HWND parent, RecordingItem&, HWND* shown) {
             int32_t w = 0, h = 0;
             return drv->ShowSettingsPage(parent, shown, &w, &h);
         },
         WM_CONFIG_APPLY, 0, [](const RecordingItem&) { return server.stored.size() / 3; }},
    };
    constexpr int kCycles = 200;
    for (const Kind& kind : kinds) {
        SCOPED_TRACE(kind.name);
        server.stored.clear();
        RecordingItem added;
        GuiObjects afterFirst{};
        for (int cycle = 1; cycle <= kCycles; ++cycle) {
            HostWindow window(360, 320, false);
            ASSERT_NE(window.hwnd(), nullptr);
            HWND shown = nullptr;
            ASSERT_EQ(kind.show(driver, window.hwnd(), added, &shown), 1) << "cycle " << cycle;
            ASSERT_EQ(GetParent(shown), window.hwnd());
            ASSERT_EQ(TabStops(shown).size(), kind.tabStops) << "cycle " << cycle;
            // The page shown last may have no port chosen; a rebuilt one has the first.
            if (kind.add == WM_NODE_ADD) {
                ASSERT_TRUE(Choose(TabStops(shown)[4], L"COM5"));
            }
            SendMessageW(shown, kind.add, 0, 0);
            ASSERT_EQ(kind.added(added), static_cast<size_t>(cycle)) << "cycle " << cycle;
            if (kind.applied) {
                ASSERT_EQ(window.Messages(), std::vector<UINT>{kind.applied}) << "cycle " << cycle;
            }
            window.CloseWithoutDetaching();
            EXPECT_FALSE(IsWindow(shown));
            if (cycle == 1) afterFirst = CountGuiObjects();
        }
        EXPECT_EQ(CountGuiObjects(), afterFirst) << "after " << kCycles << " closes";
        EXPECT_EQ(added.refs, 0) << "the closed window's page lets the element go";
    }
    EXPECT_TRUE(boxes.Boxes().empty());
    // The ports the node page read when the library was loaded are listed still.
    HWND shown = nullptr;
    ASSERT_EQ(kinds[0].show(driver, host().hwnd(), element, &shown), 1);
    page = shown;
    EXPECT_EQ(Entries(TabStops(page)[4]), (std::vector<std::wstring>{L"COM5", L"COM7"}));
}

}  // namespace
