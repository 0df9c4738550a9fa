#pragma once
// The one place where texts change encoding. Inside the driver texts are UTF-8;
// the host boundary carries Windows-1251 bytes, OLE strings carry UTF-16.
#include <string>
#include <string_view>

namespace tervex {

// Characters without a Windows-1251 form become '?'.
std::string Utf8ToCp1251(std::string_view utf8);
std::string Cp1251ToUtf8(std::string_view cp1251);

// The same for UTF-16 (the form of OLE strings); one code unit per byte and back,
// so zero characters and the length survive.
std::string Utf16ToCp1251(std::u16string_view utf16);
std::u16string Cp1251ToUtf16(std::string_view cp1251);

}  // namespace tervex
