#pragma once
// Reading and setting the standard controls of the pages, texts as UTF-8.
#include <windows.h>

#include <string>
#include <string_view>

namespace tervex {

std::string ControlText(HWND control);
// Sets the text only when it differs, so that an unchanged field reports no change.
void SetControlText(HWND control, std::string_view textUtf8);

// Drop-down lists. Texts are compared exactly: same characters, same case.
void ListAdd(HWND list, std::string_view textUtf8);
int ListFind(HWND list, std::string_view textUtf8);  // -1 when absent
void ListRemove(HWND list, int index);
void ListClear(HWND list);
int ListSelection(HWND list);  // -1 when nothing is selected
void ListSelect(HWND list, int index);  // -1 selects nothing
// Selects the entry equal to the text; nothing is selected when no entry is equal.
void ListSelectText(HWND list, std::string_view textUtf8);
std::string ListSelectedText(HWND list);  // empty when nothing is selected

bool IsChecked(HWND box);
void SetChecked(HWND box, bool checked);

}  // namespace tervex
