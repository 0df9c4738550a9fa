#pragma once
// A borderless page window of a fixed client size, hidden and without parent until
// shown, with the helpers its controls are built from. A host may destroy the window
// with its own; the page then builds it again, controls and all, for the next show.
#include <windows.h>

#include <memory>
#include <string_view>

namespace tervex {

class SpinField;
struct SpinSettings;

class PageWindow {
public:
    PageWindow(HINSTANCE instance, int width, int height);
    virtual ~PageWindow();
    PageWindow(const PageWindow&) = delete;
    PageWindow& operator=(const PageWindow&) = delete;

    HWND Handle() const { return hwnd_; }
    // Makes the window and its controls when there is none (at first, and after the
    // host destroyed them with its own window); false when the window cannot be made.
    bool EnsureWindow();
    int Width() const { return width_; }
    int Height() const { return height_; }
    HFONT Font() const { return font_; }

protected:
    // The height of every edit box, list and number field.
    static constexpr int kFieldHeight = 21;

    // Fills a freshly made window with the page's controls, in tab order.
    virtual void BuildControls() = 0;
    // The window went with a host window that was closed without detaching the page:
    // the page is detached, and its controls' handles are stale until it is rebuilt.
    virtual void WindowLost() {}

    // Derived pages handle their messages here; the default is DefWindowProc.
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT DefaultHandling(UINT message, WPARAM wParam, LPARAM lParam);

    // Controls, created in tab order: every control that takes the focus gets a tab stop.
    HWND AddLabel(std::string_view captionUtf8, int left, int top, bool rightAligned = false);
    HWND AddEdit(int id, int left, int top, int width, int height, std::string_view textUtf8);
    HWND AddDropDownList(int id, int left, int top, int width, int height);
    HWND AddCheckBox(int id, std::string_view captionUtf8, int left, int top, int width, int height);
    std::unique_ptr<SpinField> AddSpinField(int id, int left, int top, int width, int height,
                                            const SpinSettings& settings);
    // Sizes a label to its caption, as labels are sized when they are created.
    void FitLabel(HWND label);
    // A hint shown while the mouse rests on the control.
    void AddHint(HWND control, std::string_view hintUtf8);

    // Hides the page and takes it out of the host window; it becomes a hidden top-level window again.
    void Detach();
    // Notifications to the host window go out synchronously, both parameters 0.
    static void NotifyHost(HWND host, UINT message);

private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    bool CreateFrame();
    HWND CreateControl(DWORD exStyle, const wchar_t* className, std::string_view textUtf8, DWORD style, int left,
                       int top, int width, int height, int id);

    HINSTANCE instance_;
    HWND hwnd_ = nullptr;
    HWND tooltip_ = nullptr;
    HFONT font_ = nullptr;
    int width_;
    int height_;
};

}  // namespace tervex
