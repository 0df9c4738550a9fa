#pragma once
// The plug-in's one way of showing a message box. Tests replace the handler so
// that they can observe the box without a window ever blocking.
#include <string>
#include <string_view>

namespace tervex {

struct MessageBoxCall {
    std::wstring text;
    std::wstring caption;
    unsigned flags;
};

using MessageBoxHandler = int (*)(const MessageBoxCall& call);

// Texts are UTF-8; the box is shown through the wide-character API without owner window.
int ShowMessageBox(std::string_view textUtf8, std::string_view captionUtf8, unsigned flags);

// Installs a handler (nullptr restores the real box); returns the previous one.
MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler);

}  // namespace tervex
