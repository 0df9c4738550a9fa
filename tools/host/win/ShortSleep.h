#pragma once
// Sleeping for less than a millisecond, for a host that looks at its ports
// in short steps. Windows rounds such a sleep up to its timer period; Wine
// keeps it to the microsecond.
#include <cstdint>

namespace tervex::host {

void SleepMicroseconds(int64_t us);

// True when this program runs under Wine rather than Windows.
bool RunningUnderWine();

}  // namespace tervex::host
