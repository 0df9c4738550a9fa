#pragma once
// Lets the owner of an edit box see the box's messages before the box does.
#include <windows.h>

namespace tervex {

class EditHook {
public:
    EditHook() = default;
    virtual ~EditHook();
    EditHook(const EditHook&) = delete;
    EditHook& operator=(const EditHook&) = delete;

    void Hook(HWND edit);
    HWND Edit() const { return edit_; }

protected:
    // True when the message is handled here and the edit box must not see it.
    virtual bool OnEditMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) = 0;
    // Lets the edit box handle a message now.
    LRESULT CallEdit(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    HWND edit_ = nullptr;
};

// Discards a typed period; every other key passes.
class PeriodFilter final : public EditHook {
protected:
    bool OnEditMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

}  // namespace tervex
