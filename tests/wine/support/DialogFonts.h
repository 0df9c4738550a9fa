#pragma once
// Gives a test process the dialog font a Windows machine has.

namespace testing_host {

// Wine without its own fonts installed maps "MS Sans Serif" to whatever sans-serif
// face the system has, with other widths. Where Debian's fonts-wine is installed its
// Cyrillic "MS Sans Serif" is made available to this process. True when it is.
bool AddDialogFonts();

}  // namespace testing_host
