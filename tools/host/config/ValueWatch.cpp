#include "tools/host/config/ValueWatch.h"

#include <commctrl.h>

#include "win/WideText.h"
#include "tools/host/core/Options.h"
#include "values/DataTypes.h"

namespace tervex::host {
namespace {

// Short enough for values to look live, long enough to leave the thread to the user.
constexpr UINT kStepMs = 10;
constexpr int64_t kRefreshMs = 100;

struct ColumnSpec {
    const wchar_t* title;
    int width;
};
constexpr ColumnSpec kColumns[ValueWatch::kColumnCount] = {
    {L"Узел", 55},     {L"Переменная", 85}, {L"Тип", 70},       {L"Адрес", 120},        {L"Значение", 80},
    {L"Качество", 75}, {L"Время", 80},      {L"Результат", 75}, {L"Чтения ok/ошибки", 125},
};

// The driver as the window mode holds it when nothing is watched: no port object.
void InitializeDriver(IOrnDriver2* driver, HostServer& server, IOrnComPort* port, IOrnPortClient** client) {
    ShortString name{}, description{}, third{};
    driver->Initialize(&server, port, &name, &description, &third, client);
}

}  // namespace

ValueWatch::ValueWatch(IOrnDriver2* driver, HostServer& server) : driver_(driver), server_(server) {}

ValueWatch::~ValueWatch() { Stop(); }

bool ValueWatch::CreateList(HWND owner, int x, int y, int width, int height) {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_LISTVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    owner_ = owner;
    list_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_LISTVIEWW, L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                                LVS_NOSORTHEADER,
                            x, y, width, height, owner, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!list_) return false;
    SendMessageW(list_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    for (int c = 0; c < kColumnCount; ++c) {
        LVCOLUMNW column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
        column.fmt = c == kReads ? LVCFMT_RIGHT : LVCFMT_LEFT;
        column.cx = kColumns[c].width;
        column.pszText = const_cast<wchar_t*>(kColumns[c].title);
        column.iSubItem = c;
        SendMessageW(list_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(c), reinterpret_cast<LPARAM>(&column));
    }
    return true;
}

bool ValueWatch::Start(const Station& station, std::string& error) {
    Stop();
    error.clear();
    auto poller = std::make_unique<StationPoller>(station, false, Options().tickMs);
    for (const PortOpening& port : poller->OpenPorts())
        if (!port.opened) error += (error.empty() ? "" : "; ") + port.name + ": " + port.text;
    if (!error.empty()) return false;
    IOrnPortClient* client = nullptr;
    InitializeDriver(driver_, server_, &poller->Hub(), &client);
    if (!client) {
        InitializeDriver(driver_, server_, nullptr, &client);
        error = "the driver gave no port client";
        return false;
    }
    poller->Attach(driver_, client);
    poller->BuildElements();
    poller->RestartClock();
    poller_ = std::move(poller);
    client_ = client;
    FillRows();
    nextRefreshMs_ = 0;
    SetTimer(owner_, kTimerId, kStepMs, nullptr);
    return true;
}

void ValueWatch::Stop() {
    if (!poller_) return;
    KillTimer(owner_, kTimerId);
    Refresh();
    stopCheck_.readsInFlight = 0;
    for (const auto& item : poller_->Items())
        if (item->readHandle != 0) ++stopCheck_.readsInFlight;
    poller_->Shutdown();
    IOrnPortClient* client = nullptr;
    InitializeDriver(driver_, server_, nullptr, &client);
    if (client) client->Release();
    if (client_) client_->Release();
    client_ = nullptr;
    stopCheck_.itemReferences = poller_->HeldAfterClear();
    stopCheck_.portReferences = poller_->Hub().References();
    stopCheck_.unexpectedCalls = poller_->UnexpectedCalls();
    poller_.reset();
}

void ValueWatch::OnTimer() {
    if (!poller_) return;
    const int64_t now = poller_->NowMs();
    poller_->Step(now);
    if (now >= nextRefreshMs_) {
        Refresh();
        nextRefreshMs_ = now + kRefreshMs;
    }
}

void ValueWatch::SetCell(int row, int column, const std::string& utf8) {
    std::wstring& shown = shown_[static_cast<size_t>(row)][static_cast<size_t>(column)];
    std::wstring text = Utf8ToWide(utf8);
    if (text == shown) return;
    shown = std::move(text);
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(shown.c_str());
    SendMessageW(list_, LVM_SETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

void ValueWatch::FillRows() {
    if (!list_ || !poller_) return;
    SendMessageW(list_, WM_SETREDRAW, FALSE, 0);
    ListView_DeleteAllItems(list_);
    shown_.clear();
    const auto& items = poller_->Items();
    for (size_t i = 0; i < items.size(); ++i) {
        const ItemRuntime& item = *items[i];
        LVITEMW row{};
        row.mask = LVIF_TEXT;
        row.iItem = static_cast<int>(i);
        row.pszText = const_cast<wchar_t*>(L"");
        const int index = static_cast<int>(SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&row)));
        if (index != static_cast<int>(i)) break;
        shown_.emplace_back(kColumnCount);
        SetCell(index, kNode, poller_->Nodes()[item.node]->config->name);
        SetCell(index, kItem, item.config->name);
        SetCell(index, kType, DataTypeName(item.config->typeCode));
        SetCell(index, kWhere, item.where);
    }
    SendMessageW(list_, WM_SETREDRAW, TRUE, 0);
    Refresh();
}

void ValueWatch::Refresh() {
    if (!list_ || !poller_) return;
    const auto& items = poller_->Items();
    for (size_t i = 0; i < items.size() && i < shown_.size(); ++i) {
        const ItemCells cells = ShownCells(*items[i]);
        const int row = static_cast<int>(i);
        SetCell(row, kValue, cells.value);
        SetCell(row, kQuality, cells.quality);
        SetCell(row, kTime, cells.time);
        SetCell(row, kResult, cells.result);
        SetCell(row, kReads, cells.reads);
    }
}

}  // namespace tervex::host
