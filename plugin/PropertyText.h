#pragma once
// The text a host shows for a property value.
#include <oaidl.h>

#include <cstdint>
#include <string>

namespace tervex {

// UTF-8 text: "COMn" for a port, "XXXX hex" for an item address, the value's own
// text otherwise; empty for an empty, null or unconvertible value.
std::string FormatPropertyText(int32_t id, const VARIANT& value);

}  // namespace tervex
