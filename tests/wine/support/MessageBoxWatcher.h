#pragma once
// Observes message boxes shown on this thread and closes each at once, so a
// test never blocks on one. Works for boxes shown from inside the loaded DLL.
#include <windows.h>

#include <string>
#include <vector>

namespace testing_host {

struct ObservedBox {
    std::wstring caption;
    std::wstring text;
};

class MessageBoxWatcher {
public:
    MessageBoxWatcher();
    ~MessageBoxWatcher();
    MessageBoxWatcher(const MessageBoxWatcher&) = delete;
    MessageBoxWatcher& operator=(const MessageBoxWatcher&) = delete;

    const std::vector<ObservedBox>& Boxes() const;
    void Clear();

private:
    HHOOK hook_ = nullptr;
};

// UTF-8 literal to UTF-16 for comparisons with observed texts.
std::wstring Wide(const char* utf8);

}  // namespace testing_host
