#pragma once
// The host's configuration window: the station as a tree of ports, nodes and
// items on the left, the driver's page embedded in a panel on the right, the
// buttons a host offers around it (Add, Apply, Reload, Save), and below them
// the station's items watched live (Watch/Stop).
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <vector>

#include "boundary/PropertyList.h"
#include "tools/host/config/ConfigElement.h"
#include "tools/host/config/ValueWatch.h"
#include "tools/host/core/Station.h"
#include "tools/host/win/HostServer.h"

namespace tervex::host {

class ConfigWindow {
public:
    enum class EntryKind { Settings, Port, NewNode, Node, NewItem, Item };
    struct Entry {
        EntryKind kind;
        int port = 0;   // n of "COMn"
        int node = -1;
        int item = -1;
    };

    // The driver must have been initialised with server.
    ConfigWindow(IOrnDriver2* driver, HostServer& server, Station station, std::string path);
    ~ConfigWindow();
    ConfigWindow(const ConfigWindow&) = delete;
    ConfigWindow& operator=(const ConfigWindow&) = delete;

    bool Create(std::string& error);
    HWND hwnd() const { return window_; }
    HWND Tree() const { return tree_; }
    HWND Panel() const { return panel_; }
    HWND Page() const { return page_; }
    HWND AddButton() const { return add_; }
    HWND ApplyButton() const { return apply_; }
    HWND ReloadButton() const { return reload_; }
    HWND SaveButton() const { return save_; }
    HWND WatchButton() const { return watchButton_; }
    HWND StatusLine() const { return status_; }
    const ValueWatch& Watch() const { return watch_; }
    const Station& Model() const { return station_; }
    // The tree entry shown with this text, nullptr when there is none.
    HTREEITEM FindEntry(const std::wstring& text) const;
    bool Save();

private:
    static LRESULT CALLBACK MainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK PanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnPageMessage(UINT message);
    void OnCommand(HWND button);
    void Rebuild();
    void Detach();
    void ShowEntry(size_t index);
    void EnableButtons(bool add, bool apply, bool reload);
    void TakeStoredSettings();
    void StartWatch();
    void StopWatch();
    void SetStatus(const std::string& utf8);
    HTREEITEM Insert(HTREEITEM parent, const std::string& utf8, Entry entry);

    IOrnDriver2* driver_;
    HostServer& server_;
    Station station_;
    std::string path_;
    HWND window_ = nullptr, tree_ = nullptr, panel_ = nullptr, page_ = nullptr;
    HWND add_ = nullptr, apply_ = nullptr, reload_ = nullptr, save_ = nullptr, status_ = nullptr;
    HWND watchButton_ = nullptr;
    std::vector<Entry> entries_;
    std::vector<HTREEITEM> handles_;
    int shown_ = -1;  // entry whose page is embedded
    bool rebuilding_ = false;
    // What the embedded page holds on to until it is detached.
    std::unique_ptr<ConfigElement> element_;
    OwnedPropertyList parentList_;
    OwnedPropertyList ownList_;
    // Watches the station as edited here, unsaved changes included; an applied
    // change starts it again on the new station.
    ValueWatch watch_;
    int handlerDepth_ = 0;  // window procedures of this window on the stack
};

// The window mode of the host: runs until the window is closed. Exit code as the program's.
int RunConfigure(const std::string& dll, const std::string& stationPath);

}  // namespace tervex::host
