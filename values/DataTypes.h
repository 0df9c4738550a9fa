#pragma once
// Canonical item data types: OLE variant type numbers, with 0x2000 marking an array.
#include <cstdint>
#include <string>

namespace tervex {

enum DataTypeCode : uint16_t {
    kTypeSmallInteger = 2,   // VT_I2
    kTypeInteger = 3,        // VT_I4
    kTypeSingleFloat = 4,
    kTypeDoubleFloat = 5,
    kTypeCurrency = 6,
    kTypeDate = 7,
    kTypeString = 8,         // VT_BSTR, 8 device bytes
    kTypeBoolean = 11,       // one bit of a RAM byte
    kTypeVariant = 12,
    kTypeShortInteger = 16,  // VT_I1
    kTypeByte = 17,          // VT_UI1
    kTypeWord = 18,          // VT_UI2
    kTypeDoubleWord = 19,
    kTypeArrayFlag = 0x2000,
    kTypeArrayOfByte = 0x2011,
};

std::string DataTypeName(uint16_t code);
uint16_t DataTypeFromName(const std::string& name);
int DataTypeSize(int code);

}  // namespace tervex
