#include "values/win/OleVariant.h"

#include <new>

#include "plugin/WideText.h"

namespace tervex {

OleVariant& OleVariant::operator=(OleVariant&& other) noexcept {
    if (this != &other) {
        VariantClear(&value_);
        value_ = other.value_;
        VariantInit(&other.value_);
    }
    return *this;
}

OleVariant OleVariant::UI1(uint8_t value) {
    OleVariant v;
    V_VT(v.get()) = VT_UI1;
    V_UI1(v.get()) = value;
    return v;
}

OleVariant OleVariant::I4(int32_t value) {
    OleVariant v;
    V_VT(v.get()) = VT_I4;
    V_I4(v.get()) = value;
    return v;
}

OleVariant OleVariant::I8(int64_t value) {
    OleVariant v;
    V_VT(v.get()) = VT_I8;
    V_I8(v.get()) = value;
    return v;
}

OleVariant OleVariant::R8(double value) {
    OleVariant v;
    V_VT(v.get()) = VT_R8;
    V_R8(v.get()) = value;
    return v;
}

OleVariant OleVariant::Date(double value) {
    OleVariant v;
    V_VT(v.get()) = VT_DATE;
    V_DATE(v.get()) = value;
    return v;
}

OleVariant OleVariant::Null() {
    OleVariant v;
    V_VT(v.get()) = VT_NULL;
    return v;
}

OleVariant OleVariant::Text(std::string_view utf8) {
    BSTR text = Utf8ToBstr(utf8);
    if (!text) throw std::bad_alloc();
    OleVariant v;
    V_VT(v.get()) = VT_BSTR;
    V_BSTR(v.get()) = text;
    return v;
}

OleVariant OleVariant::Text(std::u16string_view utf16) {
    BSTR text = SysAllocStringLen(nullptr, static_cast<UINT>(utf16.size()));
    if (!text) throw std::bad_alloc();
    for (size_t i = 0; i < utf16.size(); ++i) text[i] = static_cast<wchar_t>(utf16[i]);
    OleVariant v;
    V_VT(v.get()) = VT_BSTR;
    V_BSTR(v.get()) = text;
    return v;
}

VARIANT OleVariant::Detach() {
    VARIANT out = value_;
    VariantInit(&value_);
    return out;
}

}  // namespace tervex
