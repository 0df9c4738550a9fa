#pragma once
// A borderless page window of a fixed client size, hidden and without parent until shown.
#include <windows.h>

namespace tervex {

class PageWindow {
public:
    PageWindow(HINSTANCE instance, int width, int height);
    virtual ~PageWindow();
    PageWindow(const PageWindow&) = delete;
    PageWindow& operator=(const PageWindow&) = delete;

    HWND Handle() const { return hwnd_; }
    int Width() const { return width_; }
    int Height() const { return height_; }

protected:
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
    int width_;
    int height_;
};

}  // namespace tervex
