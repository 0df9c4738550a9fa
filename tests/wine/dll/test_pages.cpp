// The three pages of the built DLL, embedded the way a host embeds them: through the
// export's driver only, with message boxes observed by a hook on this thread.
#include "dll/DriverLibrary.h"

#include <gtest/gtest.h>

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

}  // namespace
