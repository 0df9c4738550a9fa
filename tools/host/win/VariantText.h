#pragma once
// Item values as the tables show them, as the results file records them, and
// the values the host hands over for writes.
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "tools/host/core/WriteValue.h"
#include "values/win/OleVariant.h"

namespace tervex::host {

// Numbers in decimal, texts quoted with control characters escaped, byte
// arrays as hex; an empty value as the empty text.
std::string DisplayValue(const VARIANT& value);
// "i:<decimal>", "s:<UTF-16 units, 4 hex digits each>", "a:<hex bytes>", "-" when
// empty, "vt<n>:<text>" for anything else.
std::string MachineValue(const VARIANT& value);
// Integers as VT_I4, Booleans as VT_BOOL, texts as VT_BSTR, bytes as a safe array of VT_UI1.
OleVariant MakeWriteVariant(const WriteValue& value);

// Local "hh:mm:ss.mmm"; the empty text for a zero time.
std::string LocalTimeText(const FILETIME& utc);
// Milliseconds since 1970 (UTC); 0 for a zero time.
int64_t UnixMs(const FILETIME& utc);

}  // namespace tervex::host
