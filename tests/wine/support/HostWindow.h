#pragma once
// A host window as the host creates it around a page: it records every page
// notification it receives.
#include <windows.h>

#include <vector>

namespace testing_host {

class HostWindow {
public:
    // A hidden window closes fast under Wine; its children still take messages.
    explicit HostWindow(int width = 360, int height = 320, bool visible = true);
    ~HostWindow();
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    HWND hwnd() const { return hwnd_; }
    // Notifications (WM_USER + 300 and up) in the order received, with their parameters.
    struct Notification {
        UINT message;
        WPARAM wParam;
        LPARAM lParam;
    };
    const std::vector<Notification>& Received() const { return received_; }
    std::vector<UINT> Messages() const;
    void Clear() { received_.clear(); }
    // Closes the window as a careless host does: without detaching the pages in it first.
    void CloseWithoutDetaching();

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
    std::vector<Notification> received_;
};

}  // namespace testing_host
