#pragma once
// UTF-8 text to standard output or error: through WriteConsoleW when the
// stream is a console (so that any code page shows Cyrillic), as bytes
// otherwise (pipes and files get UTF-8).
#include <string>

namespace tervex::host {

void WriteOut(const std::string& utf8);
void WriteErr(const std::string& utf8);

}  // namespace tervex::host
