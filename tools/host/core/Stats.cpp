#include "tools/host/core/Stats.h"

#include "tools/host/core/Outcome.h"
#include "tools/host/core/TextTable.h"

namespace tervex::host {

void NodeStats::Count(uint32_t result) {
    switch (result) {
        case kResultOk: ++good; break;
        case kResultNoAnswer: ++noAnswer; break;
        case kResultCrcError: ++crcError; break;
        case kResultWrongAnswer: ++wrongAnswer; break;
        default: ++failed; break;
    }
}

void CountTransfer(ItemStats& item, int32_t answered, int32_t tries, uint8_t first) {
    if (tries < 0) tries = 0;
    // Only the first task of an exchange brought the frame; the others rode along.
    if (first) item.frames += tries + (answered ? 1 : 0);
    else ++item.sharedReads;
}

namespace {

std::string N(int64_t value) { return std::to_string(value); }

}  // namespace

std::string RenderSummary(const std::vector<ItemStats>& items, const std::vector<NodeStats>& nodes,
                          const std::vector<PortStats>& ports) {
    using Align = TextTable::Align;
    std::string text;

    TextTable portTable;
    portTable.AddColumn("Port");
    for (const char* header : {"exchanges", "answers", "time-outs", "incomplete", "unexpected", "write errors",
                               "bytes out", "bytes in"})
        portTable.AddColumn(header, Align::Right);
    for (const PortStats& p : ports)
        portTable.AddRow({p.name, N(p.exchanges), N(p.answers), N(p.timeouts), N(p.incomplete), N(p.unexpected),
                          N(p.writeFailures), N(p.txBytes), N(p.rxBytes)});
    text += "Ports\n" + portTable.Render() + "\n";

    TextTable nodeTable;
    nodeTable.AddColumn("Device");
    nodeTable.AddColumn("Line");
    for (const char* header : {"good", "bad", "no answer", "CRC error", "wrong answer", "E_FAIL"})
        nodeTable.AddColumn(header, Align::Right);
    for (const NodeStats& n : nodes)
        nodeTable.AddRow({n.name, n.where, N(n.good), N(n.Bad()), N(n.noAnswer), N(n.crcError), N(n.wrongAnswer),
                          N(n.failed)});
    text += "Devices (results of reads and writes)\n" + nodeTable.Render() + "\n";

    TextTable itemTable;
    itemTable.AddColumn("Item");
    for (const char* header : {"reads ok", "reads bad", "writes ok", "writes bad", "frames", "shared", "skipped"})
        itemTable.AddColumn(header, Align::Right);
    for (const ItemStats& i : items)
        itemTable.AddRow({i.name, N(i.readsOk), N(i.readsBad), N(i.writesOk), N(i.writesBad), N(i.frames),
                          N(i.sharedReads), N(i.overruns)});
    text += "Items (frames: transmissions for the item's own tasks; shared: served by another item's frame)\n" +
            itemTable.Render();
    return text;
}

}  // namespace tervex::host
