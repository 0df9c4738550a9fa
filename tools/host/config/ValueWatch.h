#pragma once
// Live values in the configuration window: a copy of the station, read by the
// polling mode's own machinery (StationPoller: its schedule, ports, items and
// driver calls) on the window's thread, one short step per timer message, and
// shown in a list view. Nothing it does waits: reads are asynchronous tasks and
// the ports never block.
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "boundary/PluginInterface.h"
#include "tools/host/core/Station.h"
#include "tools/host/win/HostServer.h"
#include "tools/host/win/StationPoller.h"

namespace tervex::host {

class ValueWatch {
public:
    enum Column { kNode, kItem, kType, kWhere, kValue, kQuality, kTime, kResult, kReads, kColumnCount };
    // The owner's window procedure hands WM_TIMER with this id to OnTimer.
    static constexpr UINT_PTR kTimerId = 0x7761;

    // What the last Stop found the driver still holding or having done amiss.
    struct StopCheck {
        long readsInFlight = 0;   // reads the driver had not finished, dropped by ClearAll
        long itemReferences = 0;  // item references kept after ClearAll
        long portReferences = 0;  // references to the port object after the driver let go of it
        long unexpectedCalls = 0;
    };

    // The driver must have been initialised with server; while watching, it
    // is initialised again with the watch's port object, and back without one
    // when the watch stops.
    ValueWatch(IOrnDriver2* driver, HostServer& server);
    ~ValueWatch();
    ValueWatch(const ValueWatch&) = delete;
    ValueWatch& operator=(const ValueWatch&) = delete;

    // The list, as a child of owner, which also receives the timer.
    bool CreateList(HWND owner, int x, int y, int width, int height);
    HWND List() const { return list_; }
    bool Running() const { return poller_ != nullptr; }

    // Watches a copy of station (its file names where simulator lines are
    // found). False, with every port that cannot be opened named in error,
    // when not all of its ports can be had; nothing runs then.
    bool Start(const Station& station, std::string& error);
    // ClearAll, the port object taken back from the driver, the ports closed
    // and the items freed. The list keeps the last values.
    void Stop();
    // One step of the schedule, the ports and the driver's timer.
    void OnTimer();
    const StopCheck& LastStop() const { return stopCheck_; }

private:
    void FillRows();
    void Refresh();
    void SetCell(int row, int column, const std::string& utf8);

    IOrnDriver2* driver_;
    HostServer& server_;
    HWND owner_ = nullptr;
    HWND list_ = nullptr;
    std::unique_ptr<StationPoller> poller_;
    IOrnPortClient* client_ = nullptr;
    int64_t nextRefreshMs_ = 0;
    std::vector<std::vector<std::wstring>> shown_;  // cell texts in the list, to touch only what changed
    StopCheck stopCheck_;
};

}  // namespace tervex::host
