#include "support/DialogFonts.h"

#include <windows.h>

namespace testing_host {

bool AddDialogFonts() {
    static const bool added = [] {
        const wchar_t kCyrillicSansSerif[] = L"Z:\\usr\\share\\wine\\fonts\\sserifer.fon";
        if (GetFileAttributesW(kCyrillicSansSerif) == INVALID_FILE_ATTRIBUTES) return false;
        return AddFontResourceExW(kCyrillicSansSerif, FR_PRIVATE, nullptr) > 0;
    }();
    return added;
}

}  // namespace testing_host
