// The configuration window driven as a user drives it, with the built driver
// library: a node and three items made on the pages, a setting changed, the
// station saved, and the saved file served by the polling mode over the
// built-in simulator.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <map>
#include <sstream>
#include <string>

#include "config/win/NodeList.h"
#include "support/DialogFonts.h"
#include "support/PageDriving.h"
#include "support/SerialPorts.h"
#include "tools/host/config/StationWriter.h"
#include "tools/host/configtests/ConfigFixture.h"
#include "tools/host/core/Options.h"
#include "tools/host/win/HostRun.h"

namespace {

using namespace tervex::host;
using namespace testing_host;

// key=value fields of the results file's "item" line for this item.
std::map<std::string, std::string> ItemResult(const std::string& results, const std::string& fullName) {
    std::istringstream lines(results);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.rfind("item\t" + fullName + "\t", 0) != 0) continue;
        std::map<std::string, std::string> fields;
        std::istringstream parts(line);
        std::string part;
        while (std::getline(parts, part, '\t')) {
            const size_t eq = part.find('=');
            if (eq != std::string::npos) fields[part.substr(0, eq)] = part.substr(eq + 1);
        }
        return fields;
    }
    return {};
}

using ConfigWindowTest = ConfigWindowFixture;

TEST_F(ConfigWindowTest, BuildsAStationOnThePagesThatThePollingModeServes) {
    ASSERT_TRUE(SetSerialPorts({L"COM1", L"COM2"}));
    AddDialogFonts();
    const std::string path = TempPath("tervex-configure-test.station");
    WriteAll(path, "[port COM1]\ntype = simulator\ncontroller = 1:framing=RTU:mem=RAM 0x10 2A 34 12 05\n");
    {
        Open(path);
        if (HasFatalFailure()) return;

        // A node on COM1.
        Select(W("Новый узел"));
        EXPECT_TRUE(IsWindowEnabled(window->AddButton()));
        EXPECT_FALSE(IsWindowEnabled(window->ApplyButton()));
        // name, description, scan rate, address, port, protocol, passwords, byte order
        std::vector<HWND> node = Stops(9);
        Retype(node[0], std::wstring());
        EXPECT_FALSE(IsWindowEnabled(window->AddButton())) << "an empty name cannot be added";
        Retype(node[0], L"Boiler");
        EXPECT_TRUE(IsWindowEnabled(window->AddButton()));
        ASSERT_TRUE(Choose(node[4], L"COM1"));
        Picture(window->hwnd(), "configure-node-page.png");
        Click(window->AddButton());
        Pump();
        ASSERT_EQ(window->Model().nodes.size(), 1u);
        EXPECT_EQ(window->Model().nodes[0].name, "Boiler");
        EXPECT_EQ(window->Model().nodes[0].port, 1);
        ASSERT_NE(window->FindEntry(L"Boiler"), nullptr) << "the tree shows the new node";

        // The same name again is refused by the host and nothing is added.
        // (The page reports it in a box, so it is checked on the element itself.)
        {
            Station copy = window->Model();
            ConfigElement root(copy, -1, -1);
            tervex::NodePageValues values;
            values.name = "Boiler";
            values.comPortName = "COM1";
            tervex::OwnedPropertyList list = tervex::ComposeNodeList(values);
            IUnknown* created = nullptr;
            EXPECT_EQ(root.AddElement(tervex::ComposeNodeAttributes(values), 1, 0x10116, list.Address(), nullptr,
                                      &created),
                      OPC_E_DUPLICATENAME);
            EXPECT_EQ(copy.nodes.size(), 1u);
        }

        // Three items through the item page.
        struct NewItem {
            const wchar_t* name;
            const wchar_t* address;
            const wchar_t* type;
            const wchar_t* bit;
        };
        for (const NewItem& n : {NewItem{L"Level", L"10", L"Byte", nullptr}, NewItem{L"Flow", L"11", L"Word", nullptr},
                                 NewItem{L"Pump", L"13", L"Boolean", L"2"}}) {
            Select(W("Новая переменная"));
            AddItem(n.name, n.address, n.type, n.bit);
        }
        Picture(window->hwnd(), "configure-new-item-page.png");
        ASSERT_EQ(window->Model().nodes[0].items.size(), 3u);
        EXPECT_NE(window->FindEntry(L"Flow  (Word)"), nullptr);

        // An existing item: Apply waits for a change.
        Select(L"Flow  (Word)");
        EXPECT_FALSE(IsWindowEnabled(window->ApplyButton()));
        std::vector<HWND> item = Stops(9);
        Retype(item[1], L"flow rate");
        EXPECT_TRUE(IsWindowEnabled(window->ApplyButton()));
        Picture(window->hwnd(), "configure-item-page.png");
        Click(window->ApplyButton());
        Pump();
        EXPECT_EQ(window->Model().nodes[0].items[1].description, "flow rate");
        EXPECT_EQ(window->Model().nodes[0].items[1].typeName, "Word");

        // The node itself.
        Select(L"Boiler");
        Picture(window->hwnd(), "configure-node-modify-page.png");

        // A setting.
        Select(W("Настройки драйвера"));
        std::vector<HWND> settings = Stops(3);  // wait time-out, tries, pause
        Retype(settings[1], L"3");
        EXPECT_TRUE(IsWindowEnabled(window->ApplyButton()));
        Picture(window->hwnd(), "configure-settings-page.png");
        Click(window->ApplyButton());
        Pump();

        Click(window->SaveButton());
        window.reset();
    }
    const std::string saved = ReadAll(path);
    EXPECT_NE(saved.find("CountTry = 3"), std::string::npos) << saved;
    EXPECT_NE(saved.find("[node Boiler]"), std::string::npos) << saved;
    EXPECT_NE(saved.find("item Flow ОЗУ 17 Word access=rw description=\"flow rate\""), std::string::npos) << saved;

    // The saved station in polling mode against the simulator.
    StationResult reloaded = LoadStation(path);
    ASSERT_TRUE(reloaded.errors.empty()) << reloaded.errors[0].ToString() << "\n" << saved;
    ASSERT_EQ(reloaded.station.ItemCount(), 3u);
    EXPECT_FALSE(reloaded.station.settings.empty());
    Options options;
    options.dll = TERVEX_DLL_PATH;
    options.station = path;
    options.durationMs = 3000;
    options.refreshMs = 0;
    options.results = TempPath("tervex-configure-test.results");
    reloaded.station.file = path;
    {
        HostRun run(options, std::move(reloaded.station));
        ASSERT_EQ(run.Run(), 0);
    }
    const std::string results = ReadAll(options.results);
    struct Expected {
        const char* name;
        const char* value;
    };
    for (const Expected& e : {Expected{"Boiler.Level", "i:42"}, Expected{"Boiler.Flow", "i:13330"},
                              Expected{"Boiler.Pump", nullptr}}) {
        SCOPED_TRACE(e.name);
        auto fields = ItemResult(results, e.name);
        ASSERT_FALSE(fields.empty()) << results;
        EXPECT_EQ(fields["quality"], "0x00C0");
        EXPECT_EQ(fields["result"], "0x00000000");
        if (e.value)
            EXPECT_EQ(fields["value"], e.value);
        else
            EXPECT_NE(fields["value"], "i:0") << "bit 2 of 05 is set";
    }
}

}  // namespace
