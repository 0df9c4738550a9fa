#include "tools/host/win/VariantText.h"

#include <oleauto.h>

#include <cstdio>
#include <stdexcept>

#include "win/WideText.h"

namespace tervex::host {

namespace {

bool IntegerOf(const VARIANT& v, long long& out) {
    switch (V_VT(&v)) {
        case VT_I1: out = V_I1(&v); return true;
        case VT_UI1: out = V_UI1(&v); return true;
        case VT_I2: out = V_I2(&v); return true;
        case VT_UI2: out = V_UI2(&v); return true;
        case VT_I4: out = V_I4(&v); return true;
        case VT_UI4: out = V_UI4(&v); return true;
        case VT_INT: out = V_INT(&v); return true;
        case VT_UINT: out = V_UINT(&v); return true;
        case VT_I8: out = V_I8(&v); return true;
        case VT_BOOL: out = V_BOOL(&v) ? 1 : 0; return true;
        default: return false;
    }
}

bool BytesOf(const VARIANT& v, std::string& hex, bool spaced) {
    if (V_VT(&v) != (VT_ARRAY | VT_UI1) || !V_ARRAY(&v)) return false;
    SAFEARRAY* array = V_ARRAY(&v);
    LONG low = 0, high = -1;
    if (SafeArrayGetDim(array) != 1 || FAILED(SafeArrayGetLBound(array, 1, &low)) ||
        FAILED(SafeArrayGetUBound(array, 1, &high)))
        return false;
    for (LONG i = low; i <= high; ++i) {
        unsigned char byte = 0;
        if (FAILED(SafeArrayGetElement(array, &i, &byte))) return false;
        char pair[4];
        std::snprintf(pair, sizeof(pair), "%02X", byte);
        if (spaced && i > low) hex += ' ';
        hex += pair;
    }
    return true;
}

}  // namespace

std::string DisplayValue(const VARIANT& value) {
    long long number = 0;
    if (V_VT(&value) == VT_EMPTY) return std::string();
    if (IntegerOf(value, number)) return std::to_string(number);
    if (V_VT(&value) == VT_BSTR) {
        const BSTR text = V_BSTR(&value);
        const UINT length = text ? SysStringLen(text) : 0;
        std::string shown = "\"";
        for (UINT i = 0; i < length; ++i) {
            const wchar_t c = text[i];
            if (c == 0) shown += "\\0";
            else if (c < 0x20) {
                char escaped[8];
                std::snprintf(escaped, sizeof(escaped), "\\x%02X", static_cast<unsigned>(c));
                shown += escaped;
            } else {
                shown += WideToUtf8(std::wstring_view(&text[i], 1));
            }
        }
        return shown + "\"";
    }
    std::string hex;
    if (BytesOf(value, hex, true)) return "[" + hex + "]";
    VARIANT text;
    VariantInit(&text);
    std::string shown = "(vt " + std::to_string(V_VT(&value)) + ")";
    if (SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(&value), 0, VT_BSTR))) shown = BstrToUtf8(V_BSTR(&text));
    VariantClear(&text);
    return shown;
}

std::string MachineValue(const VARIANT& value) {
    long long number = 0;
    if (V_VT(&value) == VT_EMPTY) return "-";
    if (IntegerOf(value, number)) return "i:" + std::to_string(number);
    if (V_VT(&value) == VT_BSTR) {
        const BSTR text = V_BSTR(&value);
        const UINT length = text ? SysStringLen(text) : 0;
        std::string units = "s:";
        for (UINT i = 0; i < length; ++i) {
            char unit[8];
            std::snprintf(unit, sizeof(unit), "%04X", static_cast<unsigned>(text[i]));
            units += unit;
        }
        return units;
    }
    std::string hex;
    if (BytesOf(value, hex, false)) return "a:" + hex;
    return "vt" + std::to_string(V_VT(&value)) + ":" + DisplayValue(value);
}

OleVariant MakeWriteVariant(const WriteValue& value) {
    switch (value.kind) {
        case WriteValue::Kind::Integer: return OleVariant::I4(static_cast<int32_t>(value.number));
        case WriteValue::Kind::Boolean: {
            OleVariant v;
            V_VT(v.get()) = VT_BOOL;
            V_BOOL(v.get()) = value.flag ? VARIANT_TRUE : VARIANT_FALSE;
            return v;
        }
        case WriteValue::Kind::Text: return OleVariant::Text(value.text);
        case WriteValue::Kind::Bytes: {
            SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(value.bytes.size()));
            if (!array) throw std::bad_alloc();
            for (LONG i = 0; i < static_cast<LONG>(value.bytes.size()); ++i) {
                unsigned char byte = value.bytes[static_cast<size_t>(i)];
                SafeArrayPutElement(array, &i, &byte);
            }
            OleVariant v;
            V_VT(v.get()) = VT_ARRAY | VT_UI1;
            V_ARRAY(v.get()) = array;
            return v;
        }
    }
    return OleVariant();
}

std::string LocalTimeText(const FILETIME& utc) {
    if (utc.dwLowDateTime == 0 && utc.dwHighDateTime == 0) return std::string();
    FILETIME local;
    SYSTEMTIME t;
    if (!FileTimeToLocalFileTime(&utc, &local) || !FileTimeToSystemTime(&local, &t)) return "?";
    char text[32];
    std::snprintf(text, sizeof(text), "%02u:%02u:%02u.%03u", t.wHour, t.wMinute, t.wSecond, t.wMilliseconds);
    return text;
}

int64_t UnixMs(const FILETIME& utc) {
    const uint64_t ticks = (static_cast<uint64_t>(utc.dwHighDateTime) << 32) | utc.dwLowDateTime;
    if (ticks == 0) return 0;
    constexpr uint64_t kEpochTicks = 116444736000000000ULL;  // 1970-01-01 in 100 ns since 1601
    return static_cast<int64_t>(ticks / 10000) - static_cast<int64_t>(kEpochTicks / 10000);
}

}  // namespace tervex::host
