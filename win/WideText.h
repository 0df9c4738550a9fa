#pragma once
// UTF-8 <-> UTF-16 for the wide-character API and OLE strings; Windows-1251
// goes through values/Cp1251.h.
#include <oaidl.h>

#include <string>
#include <string_view>

namespace tervex {

std::wstring Utf8ToWide(std::string_view utf8);
std::string WideToUtf8(std::wstring_view wide);

// An owned OLE string from UTF-8; the caller frees it (or hands it to a VARIANT).
BSTR Utf8ToBstr(std::string_view utf8);
std::string BstrToUtf8(BSTR bstr);

}  // namespace tervex
