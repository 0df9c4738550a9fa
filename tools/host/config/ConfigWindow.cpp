#include "tools/host/config/ConfigWindow.h"

#include <commctrl.h>

#include <algorithm>

#include "config/win/ItemList.h"
#include "config/win/NodeList.h"
#include "tools/host/config/StationWriter.h"
#include "tools/host/core/StationPages.h"
#include "values/Cp1251.h"

namespace tervex::host {
namespace {

constexpr wchar_t kMainClass[] = L"TervexHostConfigure";
constexpr wchar_t kPanelClass[] = L"TervexHostConfigurePanel";
constexpr UINT kRefresh = WM_APP + 1;  // the tree is rebuilt outside the page's own call
constexpr int kPanelWidth = 520, kPanelHeight = 400, kTreeWidth = 260, kMargin = 8, kButtonHeight = 26;
constexpr int kListHeight = 190;

std::wstring Wide(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

// Counts the window procedures of the window on the stack.
class DepthCount {
public:
    explicit DepthCount(int& depth) : depth_(depth) { ++depth_; }
    ~DepthCount() { --depth_; }
    DepthCount(const DepthCount&) = delete;
    DepthCount& operator=(const DepthCount&) = delete;

private:
    int& depth_;
};

constexpr int kMinButtonWidth = 75;

// A push button's width that shows caption whole in font: the text, the
// button's frame and focus rectangle, and a little air on each side.
int ButtonWidthFor(const wchar_t* caption, HFONT font) {
    if (!caption || !*caption) return 0;
    const HDC dc = GetDC(nullptr);
    const HGDIOBJ previous = SelectObject(dc, font);
    SIZE size{};
    GetTextExtentPoint32W(dc, caption, static_cast<int>(wcslen(caption)), &size);
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);
    return size.cx + 2 * metrics.tmAveCharWidth + 4 * GetSystemMetrics(SM_CXEDGE);
}

bool IsPageNotification(UINT message) {
    return (message >= WM_CONFIG_CHANGED && message <= WM_ITEM_RELOAD);
}

void RegisterClasses() {
    static bool done = false;
    if (done) return;
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    WNDCLASSW main{};
    main.lpszClassName = kMainClass;
    main.hInstance = GetModuleHandleW(nullptr);
    main.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    main.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    main.lpfnWndProc = DefWindowProcW;
    RegisterClassW(&main);
    WNDCLASSW panel = main;
    panel.lpszClassName = kPanelClass;
    RegisterClassW(&panel);
    done = true;
}

}  // namespace

ConfigWindow::ConfigWindow(IOrnDriver2* driver, HostServer& server, Station station, std::string path)
    : driver_(driver), server_(server), station_(std::move(station)), path_(std::move(path)), watch_(driver, server) {}

ConfigWindow::~ConfigWindow() {
    watch_.Stop();
    Detach();
    if (window_) DestroyWindow(window_);
}

bool ConfigWindow::Create(std::string& error) {
    RegisterClasses();
    const DWORD style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_CLIPCHILDREN;
    RECT r{0, 0, kTreeWidth + kPanelWidth + 3 * kMargin, kPanelHeight + kButtonHeight + kListHeight + 5 * kMargin + 20};
    AdjustWindowRect(&r, style, FALSE);
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    window_ = CreateWindowExW(0, kMainClass, L"tervex-host: конфигурация", style, CW_USEDEFAULT, CW_USEDEFAULT,
                              r.right - r.left, r.bottom - r.top, nullptr, nullptr, instance, nullptr);
    if (!window_) {
        error = "the configuration window cannot be created";
        return false;
    }
    SetWindowLongPtrW(window_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(window_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&MainProc));
    const HFONT font = static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
    const int buttonsTop = kMargin * 2 + kPanelHeight;
    const int listTop = buttonsTop + kButtonHeight + kMargin;
    tree_ = CreateWindowExW(WS_EX_CLIENTEDGE, WC_TREEVIEWW, L"",
                            WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT |
                                TVS_SHOWSELALWAYS,
                            kMargin, kMargin, kTreeWidth, kPanelHeight + kButtonHeight + kMargin, window_, nullptr,
                            instance, nullptr);
    panel_ = CreateWindowExW(WS_EX_CONTROLPARENT, kPanelClass, L"", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN,
                             kTreeWidth + 2 * kMargin, kMargin, kPanelWidth, kPanelHeight, window_, nullptr, instance,
                             nullptr);
    if (!tree_ || !panel_) {
        error = "the tree or the page panel cannot be created";
        return false;
    }
    SetWindowLongPtrW(panel_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(panel_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&PanelProc));
    // Each button as wide as its caption in the font it shows (the watch button
    // also for its other caption), never narrower than a standard button.
    const wchar_t* labels[] = {L"Добавить", L"Применить", L"Обновить", L"Сохранить", L"Наблюдать"};
    const wchar_t* otherLabels[] = {L"", L"", L"", L"", L"Стоп"};
    HWND* buttons[] = {&add_, &apply_, &reload_, &save_, &watchButton_};
    int left = kTreeWidth + 2 * kMargin;
    for (int i = 0; i < 5; ++i) {
        const int width = std::max({kMinButtonWidth, ButtonWidthFor(labels[i], font), ButtonWidthFor(otherLabels[i], font)});
        *buttons[i] = CreateWindowExW(0, L"BUTTON", labels[i], WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON,
                                      left, buttonsTop, width, kButtonHeight, window_, nullptr, instance, nullptr);
        SendMessageW(*buttons[i], WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
        left += width + kMargin;
    }
    if (!watch_.CreateList(window_, kMargin, listTop, kTreeWidth + kPanelWidth + kMargin, kListHeight)) {
        error = "the list of watched values cannot be created";
        return false;
    }
    status_ = CreateWindowExW(0, L"STATIC", Wide(path_).c_str(), WS_CHILD | WS_VISIBLE | SS_LEFTNOWORDWRAP,
                              kMargin, listTop + kListHeight + kMargin, kTreeWidth + kPanelWidth + kMargin, 18,
                              window_, nullptr, instance, nullptr);
    SendMessageW(status_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    SendMessageW(tree_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    EnableButtons(false, false, false);
    Rebuild();
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
    return true;
}

HTREEITEM ConfigWindow::Insert(HTREEITEM parent, const std::string& utf8, Entry entry) {
    const std::wstring text = Wide(utf8);
    TVINSERTSTRUCTW insert{};
    insert.hParent = parent;
    insert.hInsertAfter = TVI_LAST;
    insert.item.mask = TVIF_TEXT | TVIF_PARAM;
    insert.item.pszText = const_cast<wchar_t*>(text.c_str());
    insert.item.lParam = static_cast<LPARAM>(entries_.size());
    entries_.push_back(entry);
    const HTREEITEM handle = TreeView_InsertItem(tree_, &insert);
    handles_.push_back(handle);
    return handle;
}

void ConfigWindow::Rebuild() {
    const Entry previous = shown_ >= 0 ? entries_[static_cast<size_t>(shown_)] : Entry{EntryKind::Settings};
    const bool hadSelection = shown_ >= 0;
    rebuilding_ = true;
    Detach();
    TreeView_DeleteAllItems(tree_);
    entries_.clear();
    handles_.clear();
    Insert(TVI_ROOT, "Настройки драйвера", {EntryKind::Settings});
    std::vector<int> ports;
    for (const PortConfig& p : station_.ports) ports.push_back(p.number);
    for (const NodeConfig& n : station_.nodes)
        if (std::find(ports.begin(), ports.end(), n.port) == ports.end()) ports.push_back(n.port);
    std::sort(ports.begin(), ports.end());
    for (int port : ports) {
        const HTREEITEM portItem = Insert(TVI_ROOT, "COM" + std::to_string(port), {EntryKind::Port, port});
        Insert(portItem, "Новый узел", {EntryKind::NewNode, port});
        for (size_t n = 0; n < station_.nodes.size(); ++n) {
            const NodeConfig& node = station_.nodes[n];
            if (node.port != port) continue;
            const int ni = static_cast<int>(n);
            const HTREEITEM nodeItem = Insert(portItem, node.name, {EntryKind::Node, port, ni});
            for (size_t i = 0; i < node.items.size(); ++i)
                Insert(nodeItem, node.items[i].name + "  (" + node.items[i].typeName + ")",
                       {EntryKind::Item, port, ni, static_cast<int>(i)});
            Insert(nodeItem, "Новая переменная", {EntryKind::NewItem, port, ni});
            TreeView_Expand(tree_, nodeItem, TVE_EXPAND);
        }
        TreeView_Expand(tree_, portItem, TVE_EXPAND);
    }
    rebuilding_ = false;
    if (!hadSelection) return;
    // The same place again, so that the user can go on where they were.
    for (size_t i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_[i];
        if (e.kind == previous.kind && e.port == previous.port && e.node == previous.node &&
            e.item == previous.item) {
            TreeView_SelectItem(tree_, handles_[i]);
            return;
        }
    }
}

HTREEITEM ConfigWindow::FindEntry(const std::wstring& text) const {
    for (HTREEITEM handle : handles_) {
        wchar_t buffer[300] = {};
        TVITEMW item{};
        item.mask = TVIF_TEXT;
        item.hItem = handle;
        item.pszText = buffer;
        item.cchTextMax = 300;
        if (TreeView_GetItem(tree_, &item) && text == buffer) return handle;
    }
    return nullptr;
}

void ConfigWindow::Detach() {
    if (page_) {
        SendMessageW(page_, WM_PAGE_DETACH, 0, 0);
        ShowWindow(page_, SW_HIDE);
    }
    page_ = nullptr;
    shown_ = -1;
    element_.reset();
    parentList_ = OwnedPropertyList();
    ownList_ = OwnedPropertyList();
    EnableButtons(false, false, false);
}

void ConfigWindow::EnableButtons(bool add, bool apply, bool reload) {
    EnableWindow(add_, add);
    EnableWindow(apply_, apply);
    EnableWindow(reload_, reload);
}

void ConfigWindow::ShowEntry(size_t index) {
    Detach();
    if (index >= entries_.size()) return;
    const Entry e = entries_[index];
    HWND page = nullptr;
    int32_t width = 0, height = 0;
    uint8_t shown = 0;
    switch (e.kind) {
    case EntryKind::Settings:
        shown = driver_->ShowSettingsPage(panel_, &page, &width, &height);
        break;
    case EntryKind::Port:
        break;
    case EntryKind::NewNode:
        element_ = std::make_unique<ConfigElement>(station_, -1, -1);
        shown = driver_->ShowNewNodePage(panel_, element_.get(), &page, &width, &height);
        break;
    case EntryKind::Node: {
        const NodeConfig& node = station_.nodes[static_cast<size_t>(e.node)];
        element_ = std::make_unique<ConfigElement>(station_, e.node, -1);
        ownList_ = ComposeNodeList(NodePage(node));
        ShortString name{};
        SetShortString(name, node.name);
        shown = driver_->ShowElementPage(panel_, element_.get(), &name, 1, nullptr, ownList_.Address(), &page,
                                         &width, &height);
        break;
    }
    case EntryKind::NewItem: {
        const NodeConfig& node = station_.nodes[static_cast<size_t>(e.node)];
        element_ = std::make_unique<ConfigElement>(station_, e.node, -1);
        parentList_ = ComposeNodeList(NodePage(node));
        shown = driver_->ShowNewItemPage(panel_, element_.get(), parentList_.Address(), &page, &width, &height);
        break;
    }
    case EntryKind::Item: {
        const NodeConfig& node = station_.nodes[static_cast<size_t>(e.node)];
        const ItemConfig& item = node.items[static_cast<size_t>(e.item)];
        element_ = std::make_unique<ConfigElement>(station_, e.node, e.item);
        parentList_ = ComposeNodeList(NodePage(node));
        ownList_ = ComposeItemList(ItemPage(item, node), parentList_.Address());
        ShortString name{};
        SetShortString(name, item.name);
        shown = driver_->ShowElementPage(panel_, element_.get(), &name, 2, parentList_.Address(),
                                         ownList_.Address(), &page, &width, &height);
        break;
    }
    }
    if (!shown || !page) {
        element_.reset();
        return;
    }
    page_ = page;
    shown_ = static_cast<int>(index);
    const bool adding = e.kind == EntryKind::NewNode || e.kind == EntryKind::NewItem;
    EnableButtons(adding, false, !adding);
}

void ConfigWindow::TakeStoredSettings() {
    for (const auto& [name, value] : server_.stored) {
        bool replaced = false;
        for (auto& setting : station_.settings)
            if (setting.first == name) {
                setting.second = value;
                replaced = true;
            }
        if (!replaced) station_.settings.emplace_back(name, value);
    }
    server_.stored.clear();
}

LRESULT ConfigWindow::OnPageMessage(UINT message) {
    if (shown_ < 0) return 0;
    const bool adding = entries_[static_cast<size_t>(shown_)].kind == EntryKind::NewNode ||
                        entries_[static_cast<size_t>(shown_)].kind == EntryKind::NewItem;
    switch (message) {
    case WM_CONFIG_CHANGED:
    case WM_NODE_CHANGED:
    case WM_ITEM_CHANGED:
        EnableWindow(adding ? add_ : apply_, TRUE);
        break;
    case WM_NODE_NAME_EMPTY:
    case WM_ITEM_NAME_EMPTY:
        EnableWindow(add_, FALSE);
        EnableWindow(apply_, FALSE);
        break;
    case WM_NODE_APPLIED:
    case WM_ITEM_APPLIED:
        PostMessageW(window_, kRefresh, 0, 0);
        break;
    default:
        break;
    }
    return 0;
}

void ConfigWindow::OnCommand(HWND button) {
    if (button == save_) {
        Save();
        return;
    }
    if (button == watchButton_) {
        if (watch_.Running())
            StopWatch();
        else
            StartWatch();
        return;
    }
    if (shown_ < 0 || !page_) return;
    const EntryKind kind = entries_[static_cast<size_t>(shown_)].kind;
    if (button == add_) {
        if (kind == EntryKind::NewNode) SendMessageW(page_, WM_NODE_ADD, 0, 0);
        if (kind == EntryKind::NewItem) SendMessageW(page_, WM_ITEM_ADD, 0, 0);
    } else if (button == apply_) {
        if (kind == EntryKind::Node) SendMessageW(page_, WM_NODE_MODIFY, 0, 0);
        if (kind == EntryKind::Item) SendMessageW(page_, WM_ITEM_MODIFY, 0, 0);
        if (kind == EntryKind::Settings) {
            SendMessageW(page_, WM_CONFIG_APPLY, 0, 0);
            TakeStoredSettings();
            EnableWindow(apply_, FALSE);
        }
    } else if (button == reload_) {
        if (kind == EntryKind::Node) SendMessageW(page_, WM_NODE_RELOAD, 0, 0);
        if (kind == EntryKind::Item) SendMessageW(page_, WM_ITEM_RELOAD, 0, 0);
        if (kind == EntryKind::Settings) SendMessageW(page_, WM_CONFIG_RELOAD, 0, 0);
        EnableWindow(apply_, FALSE);
    }
}

bool ConfigWindow::Save() {
    const bool saved = SaveStation(station_, path_);
    SetStatus((saved ? "сохранено: " : "не удалось сохранить: ") + path_);
    return saved;
}

void ConfigWindow::SetStatus(const std::string& utf8) { SetWindowTextW(status_, Wide(utf8).c_str()); }

void ConfigWindow::StartWatch() {
    Station watched = station_;
    watched.file = path_;  // simulator lines are found beside the station file
    std::string error;
    if (watch_.Start(watched, error)) {
        SetWindowTextW(watchButton_, L"Стоп");
        SetStatus("наблюдение: станция как в окне, с несохранёнными правками; переменных: " +
                  std::to_string(watched.ItemCount()));
    } else {
        SetWindowTextW(watchButton_, L"Наблюдать");
        SetStatus("наблюдение не начато: " + error);
    }
}

void ConfigWindow::StopWatch() {
    watch_.Stop();
    SetWindowTextW(watchButton_, L"Наблюдать");
    SetStatus("наблюдение остановлено");
}

LRESULT CALLBACK ConfigWindow::MainProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ConfigWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    const DepthCount depth(self->handlerDepth_);
    switch (message) {
    case WM_TIMER:
        // The driver is not called again while one of its calls may still be on
        // the stack: a timer that comes through a modal loop (a page's message
        // box disables this window; or one of our handlers is running) waits.
        if (wParam == ValueWatch::kTimerId && self->handlerDepth_ == 1 && IsWindowEnabled(hwnd)) self->watch_.OnTimer();
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->hwndFrom == self->tree_ && header->code == TVN_SELCHANGEDW && !self->rebuilding_) {
            const auto* change = reinterpret_cast<const NMTREEVIEWW*>(lParam);
            self->ShowEntry(static_cast<size_t>(change->itemNew.lParam));
        }
        return 0;
    }
    case WM_COMMAND:
        if (HIWORD(wParam) == BN_CLICKED && lParam) self->OnCommand(reinterpret_cast<HWND>(lParam));
        return 0;
    case kRefresh:
        self->Rebuild();
        if (self->watch_.Running()) self->StartWatch();  // the watch follows the edited station
        return 0;
    case WM_CLOSE:
        self->watch_.Stop();
        self->Detach();
        DestroyWindow(hwnd);
        return 0;
    case WM_DESTROY:
        self->window_ = nullptr;
        PostQuitMessage(0);
        return 0;
    default:
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
}

LRESULT CALLBACK ConfigWindow::PanelProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<ConfigWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    const DepthCount depth(self->handlerDepth_);
    if (IsPageNotification(message)) return self->OnPageMessage(message);
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

}  // namespace tervex::host
