#pragma once
// Local OLE dates (days since 1899-12-30, the time as the fraction) and UTC file times.
#include <windows.h>

namespace tervex {

// Splits the local date-time into calendar fields down to the millisecond, takes them
// as a local FILETIME and converts that to UTC with the time-zone bias in force now.
// A date without a FILETIME (before 1601, after 9999, not a number) gives false and a
// zero FILETIME.
bool DateTimeToUtcFileTime(FILETIME& result, double localDateTime);

// The local clock now, as an OLE date with milliseconds.
double LocalNowAsOleDate();

// Now as a UTC FILETIME.
FILETIME UtcNowFileTime();

}  // namespace tervex
