#pragma once
// A controller's bytes to OLE variants and back, on top of the native value codec.
#include <oaidl.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "values/win/OleVariant.h"

namespace tervex {

// A value to write that OLE automation cannot convert to what the item's type needs.
class ValueConversionError : public std::runtime_error {
public:
    explicit ValueConversionError(HRESULT code);
    HRESULT code() const { return code_; }

private:
    HRESULT code_;
};

// Never fails: too few bytes, a type without device form or any failure give VT_UI1 0.
// Byte VT_UI1, Short Integer VT_I1, Word VT_UI2, Small Integer VT_I2, Integer VT_I4,
// Boolean VT_UI1 0/1, String an 8-character VT_BSTR, Array of Byte VT_ARRAY|VT_UI1 0..7.
OleVariant BytesToVariant(const uint8_t* data, int count, int typeCode, uint8_t bitNumber,
                          const std::string& byteOrderUtf8) noexcept;

// Writes the value's device form into the buffer. Nothing is written when the type's
// size exceeds bufferLength, for a type without device form, or for Array of Byte
// when the value is no array. Throws ValueConversionError when the value cannot be
// read safely (see CopyHostValue) or converted to an integer (Byte..Integer), a
// boolean or a text.
void VariantToBytes(const VARIANT& value, int typeCode, uint8_t* buffer, int bufferLength,
                    const std::string& byteOrderUtf8);

// Stores a decoded value into an item's value as the host keeps it: the 8-bit and the
// unsigned 16-bit numbers become VT_I4, everything else is copied as it is.
HRESULT StoreItemValue(VARIANT* target, const VARIANT& value) noexcept;

}  // namespace tervex
