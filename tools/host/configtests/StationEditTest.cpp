// The station model as the configuration window edits and saves it: what the
// host elements take from the pages' lists, and the saved file read back.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <fstream>

#include "config/win/ItemList.h"
#include "config/win/NodeList.h"
#include "tools/host/config/ConfigElement.h"
#include "tools/host/config/StationWriter.h"
#include "tools/host/win/DriverModule.h"

namespace {

using namespace tervex::host;

HRESULT AddNode(Station& station, const tervex::NodePageValues& page) {
    ConfigElement root(station, -1, -1);
    tervex::OwnedPropertyList list = tervex::ComposeNodeList(page);
    IUnknown* created = reinterpret_cast<IUnknown*>(&root);  // must come back empty
    const HRESULT result =
        root.AddElement(tervex::ComposeNodeAttributes(page), 1, 0x10116, list.Address(), nullptr, &created);
    EXPECT_EQ(created, nullptr);
    return result;
}

HRESULT StoreItem(Station& station, int node, int item, const tervex::ItemPageValues& page) {
    ConfigElement element(station, node, item);
    tervex::OwnedPropertyList nodeList = tervex::ComposeNodeList(tervex::NodePageValues{});
    tervex::OwnedPropertyList list = tervex::ComposeItemList(page, nodeList.Address());
    if (item >= 0) return element.ModifyElement(tervex::ComposeItemAttributes(page), list.Address());
    return element.AddElement(tervex::ComposeItemAttributes(page), 2, 0x10102, list.Address(), nullptr, nullptr);
}

TEST(StationEdit, ElementsAddModifyAndRefuseDuplicateNames) {
    Station station;
    tervex::NodePageValues boiler;
    boiler.name = "Boiler";
    boiler.comPortName = "COM3";
    boiler.deviceAddress = 7;
    boiler.protocol = "ASCII";
    boiler.readPassword = "12";
    boiler.scanRateSeconds = 2.5;
    ASSERT_EQ(AddNode(station, boiler), S_OK);
    tervex::NodePageValues pump = boiler;
    pump.name = "Pump";
    pump.comPortName = "COM1";
    ASSERT_EQ(AddNode(station, pump), S_OK);
    EXPECT_EQ(AddNode(station, boiler), OPC_E_DUPLICATENAME);
    tervex::NodePageValues empty = boiler;
    empty.name = "";
    EXPECT_NE(AddNode(station, empty), S_OK);
    ASSERT_EQ(station.nodes.size(), 2u);
    const NodeConfig& n = station.nodes[0];
    EXPECT_EQ(n.port, 3);
    EXPECT_EQ(n.address, 7);
    EXPECT_EQ(n.protocol, "ASCII");
    EXPECT_EQ(n.readPassword, "12");
    EXPECT_EQ(n.writePassword, "");
    EXPECT_DOUBLE_EQ(n.scanRateSeconds, 2.5);

    // Renaming a node onto another's name is refused; keeping its own is not.
    {
        ConfigElement element(station, 1, -1);
        tervex::OwnedPropertyList list = tervex::ComposeNodeList(boiler);
        EXPECT_EQ(element.ModifyElement(tervex::ComposeNodeAttributes(boiler), list.Address()), OPC_E_DUPLICATENAME);
        tervex::OwnedPropertyList own = tervex::ComposeNodeList(pump);
        EXPECT_EQ(element.ModifyElement(tervex::ComposeNodeAttributes(pump), own.Address()), S_OK);
        EXPECT_EQ(station.nodes[1].name, "Pump");
    }

    tervex::ItemPageValues temp;
    temp.name = "Temp";
    temp.memoryArea = "EEPROM";
    temp.address = 0x120;
    temp.typeName = "Small Integer";
    temp.writeChecked = false;
    ASSERT_EQ(StoreItem(station, 0, -1, temp), S_OK);
    EXPECT_EQ(StoreItem(station, 0, -1, temp), OPC_E_DUPLICATENAME);
    EXPECT_EQ(StoreItem(station, 1, -1, temp), S_OK) << "names are unique within their node";
    ASSERT_EQ(station.nodes[0].items.size(), 1u);
    const ItemConfig& item = station.nodes[0].items[0];
    EXPECT_EQ(item.area, "EEPROM");
    EXPECT_EQ(item.address, 0x120u);
    EXPECT_EQ(item.typeName, "Small Integer");
    EXPECT_TRUE(item.readable);
    EXPECT_FALSE(item.writable);

    temp.typeName = "Boolean";
    temp.memoryArea = "ОЗУ";
    temp.address = 4;
    temp.bitNumber = 6;
    ASSERT_EQ(StoreItem(station, 0, 0, temp), S_OK);
    EXPECT_EQ(station.nodes[0].items.size(), 1u) << "modified in place";
    EXPECT_EQ(station.nodes[0].items[0].typeName, "Boolean");
    EXPECT_EQ(station.nodes[0].items[0].bit, 6);
}

TEST(StationEdit, TheSavedDemoStationReadsBackTheSame) {
    const std::string source = WindowsPath(TERVEX_HOST_STATIONS "/demo.station");
    StationResult original = LoadStation(source);
    ASSERT_TRUE(original.errors.empty()) << original.errors[0].ToString();
    char dir[MAX_PATH] = {};
    GetTempPathA(MAX_PATH, dir);
    const std::string path = std::string(dir) + "tervex-roundtrip.station";
    ASSERT_TRUE(SaveStation(original.station, path));
    StationResult again = LoadStation(path);
    ASSERT_TRUE(again.errors.empty()) << again.errors[0].ToString() << "\n" << StationText(original.station);
    const Station& a = original.station;
    const Station& b = again.station;
    EXPECT_EQ(a.settings, b.settings);
    ASSERT_EQ(a.ports.size(), b.ports.size());
    for (size_t i = 0; i < a.ports.size(); ++i) {
        EXPECT_EQ(a.ports[i].number, b.ports[i].number);
        EXPECT_EQ(a.ports[i].kind, b.ports[i].kind);
        EXPECT_EQ(a.ports[i].simLineFile, b.ports[i].simLineFile);
        EXPECT_EQ(a.ports[i].simControllers, b.ports[i].simControllers);
        EXPECT_EQ(a.ports[i].rxGapMs, b.ports[i].rxGapMs);
    }
    ASSERT_EQ(a.nodes.size(), b.nodes.size());
    for (size_t n = 0; n < a.nodes.size(); ++n) {
        const NodeConfig& x = a.nodes[n];
        const NodeConfig& y = b.nodes[n];
        SCOPED_TRACE(x.name);
        EXPECT_EQ(x.name, y.name);
        EXPECT_EQ(x.description, y.description);
        EXPECT_DOUBLE_EQ(x.scanRateSeconds, y.scanRateSeconds);
        EXPECT_EQ(x.port, y.port);
        EXPECT_EQ(x.address, y.address);
        EXPECT_EQ(x.protocol, y.protocol);
        EXPECT_EQ(x.readPassword, y.readPassword);
        EXPECT_EQ(x.writePassword, y.writePassword);
        EXPECT_EQ(x.byteOrder, y.byteOrder);
        ASSERT_EQ(x.items.size(), y.items.size());
        for (size_t i = 0; i < x.items.size(); ++i) {
            const ItemConfig& p = x.items[i];
            const ItemConfig& q = y.items[i];
            SCOPED_TRACE(p.name);
            EXPECT_EQ(p.name, q.name);
            EXPECT_EQ(p.area, q.area);
            EXPECT_EQ(p.address, q.address);
            EXPECT_EQ(p.typeCode, q.typeCode);
            EXPECT_EQ(p.bit, q.bit);
            EXPECT_EQ(p.scanRateSeconds, q.scanRateSeconds);
            EXPECT_EQ(p.readable, q.readable);
            EXPECT_EQ(p.writable, q.writable);
            EXPECT_EQ(p.description, q.description);
        }
    }
    std::remove(path.c_str());
}

}  // namespace
