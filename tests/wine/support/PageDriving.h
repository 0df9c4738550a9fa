#pragma once
// Driving an embedded page as a user does: keystrokes into its edit boxes, choices in
// its lists, clicks on its boxes; and reading what it shows.
#include <windows.h>

#include <string>
#include <vector>

namespace testing_host {

// The controls that take the focus, in tab order.
std::vector<HWND> TabStops(HWND page);
// The page's labels (static controls), in creation order.
std::vector<HWND> Labels(HWND page);
HWND LabelWithText(HWND page, const std::wstring& text);

std::wstring Text(HWND window);
// Position and size relative to the parent's client area.
RECT RectInParent(HWND window);
bool IsShown(HWND window);  // its own visibility style

// Characters typed one by one at the caret.
void Type(HWND edit, const std::wstring& text);
// Characters typed at the end of the text.
void Append(HWND edit, const std::wstring& text);
// Selects the whole text and types over it; an empty text clears the field.
void Retype(HWND edit, const std::wstring& text);
// The arrows of a spin field, as clicked once (delta > 0: up).
void ClickArrows(HWND page, HWND arrows, int delta);
// The up-down control attached to an edit box.
HWND ArrowsOf(HWND edit);

std::vector<std::wstring> Entries(HWND list);
std::wstring Selected(HWND list);  // empty when nothing is selected
// Selects the entry as the user does, with the change notification to the page.
bool Choose(HWND list, const std::wstring& entry);

void Click(HWND button);
bool Checked(HWND button);

// The hint shown for a control, empty when it has none.
std::wstring HintOf(HWND page, HWND control);

}  // namespace testing_host
