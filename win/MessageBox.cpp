#include "win/MessageBox.h"

#include <windows.h>

#include "win/WideText.h"

namespace tervex {
namespace {

MessageBoxHandler g_handler = nullptr;

}  // namespace

int ShowMessageBox(std::string_view textUtf8, std::string_view captionUtf8, unsigned flags) {
    const MessageBoxCall call{Utf8ToWide(textUtf8), Utf8ToWide(captionUtf8), flags};
    if (g_handler) return g_handler(call);
    return MessageBoxW(nullptr, call.text.c_str(), call.caption.c_str(), flags);
}

MessageBoxHandler SetMessageBoxHandler(MessageBoxHandler handler) {
    MessageBoxHandler previous = g_handler;
    g_handler = handler;
    return previous;
}

}  // namespace tervex
