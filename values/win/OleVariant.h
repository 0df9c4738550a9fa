#pragma once
// An owned OLE VARIANT: initialised on construction, cleared on destruction.
#include <oaidl.h>
#include <oleauto.h>

#include <cstdint>
#include <string_view>

namespace tervex {

class OleVariant {
public:
    OleVariant() { VariantInit(&value_); }
    ~OleVariant() { VariantClear(&value_); }
    OleVariant(OleVariant&& other) noexcept : value_(other.value_) { VariantInit(&other.value_); }
    OleVariant& operator=(OleVariant&& other) noexcept;
    OleVariant(const OleVariant&) = delete;
    OleVariant& operator=(const OleVariant&) = delete;

    // Typed values; the string and array makers throw std::bad_alloc when OLE has no memory.
    static OleVariant UI1(uint8_t value);
    static OleVariant I1(int8_t value);
    static OleVariant UI2(uint16_t value);
    static OleVariant I2(int16_t value);
    static OleVariant I4(int32_t value);
    static OleVariant I8(int64_t value);
    static OleVariant R8(double value);
    static OleVariant Date(double value);
    static OleVariant Null();
    static OleVariant Text(std::string_view utf8);
    static OleVariant Text(std::u16string_view utf16);

    VARIANT* get() { return &value_; }
    const VARIANT& ref() const { return value_; }
    VARTYPE type() const { return V_VT(&value_); }
    // Hands the value over; this object is left Empty.
    VARIANT Detach();

private:
    VARIANT value_;
};

}  // namespace tervex
