#include "values/win/OleVariant.h"

#include <new>

#include "win/WideText.h"

namespace tervex {

OleVariant& OleVariant::operator=(OleVariant&& other) noexcept {
    if (this != &other) {
        VariantClear(&value_);
        value_ = other.value_;
        VariantInit(&other.value_);
    }
    return *this;
}

namespace {

// A variant of the given type whose value set() writes into it.
template <typename Set>
OleVariant Typed(VARTYPE type, Set&& set) {
    OleVariant v;
    V_VT(v.get()) = type;
    set(*v.get());
    return v;
}

// Takes the string over; no string means OLE had no memory.
OleVariant HoldingText(BSTR text) {
    if (!text) throw std::bad_alloc();
    return Typed(VT_BSTR, [&](VARIANT& v) { V_BSTR(&v) = text; });
}

}  // namespace

OleVariant OleVariant::UI1(uint8_t value) { return Typed(VT_UI1, [&](VARIANT& v) { V_UI1(&v) = value; }); }
OleVariant OleVariant::I1(int8_t value) { return Typed(VT_I1, [&](VARIANT& v) { V_I1(&v) = value; }); }
OleVariant OleVariant::UI2(uint16_t value) { return Typed(VT_UI2, [&](VARIANT& v) { V_UI2(&v) = value; }); }
OleVariant OleVariant::I2(int16_t value) { return Typed(VT_I2, [&](VARIANT& v) { V_I2(&v) = value; }); }
OleVariant OleVariant::I4(int32_t value) { return Typed(VT_I4, [&](VARIANT& v) { V_I4(&v) = value; }); }
OleVariant OleVariant::I8(int64_t value) { return Typed(VT_I8, [&](VARIANT& v) { V_I8(&v) = value; }); }
OleVariant OleVariant::R8(double value) { return Typed(VT_R8, [&](VARIANT& v) { V_R8(&v) = value; }); }
OleVariant OleVariant::Date(double value) { return Typed(VT_DATE, [&](VARIANT& v) { V_DATE(&v) = value; }); }
OleVariant OleVariant::Null() { return Typed(VT_NULL, [](VARIANT&) {}); }

OleVariant OleVariant::Text(std::string_view utf8) { return HoldingText(Utf8ToBstr(utf8)); }

OleVariant OleVariant::Text(std::u16string_view utf16) {
    static_assert(sizeof(OLECHAR) == sizeof(char16_t), "OLE strings are UTF-16");
    return HoldingText(
        SysAllocStringLen(reinterpret_cast<const OLECHAR*>(utf16.data()), static_cast<UINT>(utf16.size())));
}

VARIANT OleVariant::Detach() {
    VARIANT out = value_;
    VariantInit(&value_);
    return out;
}

}  // namespace tervex
