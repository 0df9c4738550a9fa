#include "values/win/VariantCodec.h"

#include <new>
#include <string>
#include <vector>

#include "values/Cp1251.h"
#include "values/DataTypes.h"
#include "values/ValueCodec.h"
#include "values/win/HostVariant.h"

namespace tervex {

ValueConversionError::ValueConversionError(HRESULT code)
    : std::runtime_error("value cannot be converted"), code_(code) {}

namespace {

// OLE automation's own conversion; throws when there is none.
OleVariant Converted(const VARIANT& value, VARTYPE type, USHORT flags = 0) {
    OleVariant out;
    const HRESULT hr = VariantChangeType(out.get(), const_cast<VARIANT*>(&value), flags, type);
    if (FAILED(hr)) throw ValueConversionError(hr);
    return out;
}

OleVariant ByteArray(const std::vector<uint8_t>& bytes) {
    SAFEARRAY* array = SafeArrayCreateVector(VT_UI1, 0, static_cast<ULONG>(bytes.size()));
    if (!array) throw std::bad_alloc();
    void* data = nullptr;
    if (FAILED(SafeArrayAccessData(array, &data))) {
        SafeArrayDestroy(array);
        throw std::bad_alloc();
    }
    for (size_t i = 0; i < bytes.size(); ++i) static_cast<uint8_t*>(data)[i] = bytes[i];
    SafeArrayUnaccessData(array);
    OleVariant v;
    V_VT(v.get()) = VT_ARRAY | VT_UI1;
    V_ARRAY(v.get()) = array;
    return v;
}

OleVariant ToVariant(const TValue& value) {
    switch (value.kind) {
        case TValue::Kind::Text:
            return OleVariant::Text(Cp1251ToUtf16(value.text));
        case TValue::Kind::Bytes:
            return ByteArray(value.bytes);
        case TValue::Kind::I1:
            return OleVariant::I1(static_cast<int8_t>(value.number));
        case TValue::Kind::UI2:
            return OleVariant::UI2(static_cast<uint16_t>(value.number));
        case TValue::Kind::I2:
            return OleVariant::I2(static_cast<int16_t>(value.number));
        case TValue::Kind::I4:
            return OleVariant::I4(static_cast<int32_t>(value.number));
        default:  // UI1, and Boolean, which the codec delivers as a number
            return OleVariant::UI1(static_cast<uint8_t>(value.number));
    }
}

// Locks a safe array for element access.
class ArrayLock {
public:
    explicit ArrayLock(SAFEARRAY* array) : array_(SUCCEEDED(SafeArrayLock(array)) ? array : nullptr) {}
    ~ArrayLock() {
        if (array_) SafeArrayUnlock(array_);
    }
    ArrayLock(const ArrayLock&) = delete;
    ArrayLock& operator=(const ArrayLock&) = delete;
    bool locked() const { return array_ != nullptr; }

private:
    SAFEARRAY* array_;
};

// The leading elements of a one-dimensional array, each taken as an integer and cut to
// its low byte, as far as they convert. Empty for a value that is no array.
std::vector<uint8_t> ByteRun(const VARIANT& direct, size_t limit) {
    std::vector<uint8_t> run;
    const VARTYPE type = V_VT(&direct);
    SAFEARRAY* array = (type & VT_ARRAY) ? V_ARRAY(&direct) : nullptr;
    if (!array || SafeArrayGetDim(array) != 1) return run;
    LONG low = 0;
    LONG high = -1;
    if (FAILED(SafeArrayGetLBound(array, 1, &low)) || FAILED(SafeArrayGetUBound(array, 1, &high))) return run;
    ArrayLock lock(array);
    if (!lock.locked()) return run;
    const VARTYPE elementType = type & ~VT_ARRAY;
    for (LONG i = low; i <= high && run.size() < limit; ++i) {
        void* element = nullptr;
        if (FAILED(SafeArrayPtrOfIndex(array, &i, &element))) break;
        VARIANT reference;
        VariantInit(&reference);
        V_VT(&reference) = elementType | VT_BYREF;
        V_BYREF(&reference) = element;
        // An element of a variant array may itself be a reference to nothing.
        OleVariant value;
        OleVariant number;
        if (!CopyHostValue(reference, value) || FAILED(VariantChangeType(number.get(), value.get(), 0, VT_I4))) break;
        run.push_back(static_cast<uint8_t>(V_I4(number.get())));
    }
    return run;
}

}  // namespace

OleVariant BytesToVariant(const uint8_t* data, int count, int typeCode, uint8_t bitNumber,
                          const std::string& byteOrderUtf8) noexcept {
    try {
        return ToVariant(DecodeValue(data, count, typeCode, bitNumber, IsLsbFirst(byteOrderUtf8)));
    } catch (...) {
        return OleVariant::UI1(0);
    }
}

void VariantToBytes(const VARIANT& hostValue, int typeCode, uint8_t* buffer, int bufferLength,
                    const std::string& byteOrderUtf8) {
    if (!buffer || DataTypeSize(typeCode) > bufferLength) return;
    OleVariant direct;
    if (!CopyHostValue(hostValue, direct)) throw ValueConversionError(DISP_E_TYPEMISMATCH);
    const VARIANT& value = direct.ref();
    const bool lsbFirst = IsLsbFirst(byteOrderUtf8);
    TValue encoded;
    switch (typeCode) {
        case kTypeByte:
        case kTypeShortInteger:
        case kTypeWord:
        case kTypeSmallInteger:
        case kTypeInteger: {
            OleVariant number = Converted(value, VT_I4);
            encoded = TValue::Number(TValue::Kind::I4, V_I4(number.get()));
            break;
        }
        case kTypeBoolean: {
            OleVariant flag = Converted(value, VT_BOOL);
            encoded = TValue::Boolean(V_BOOL(flag.get()) != VARIANT_FALSE);
            break;
        }
        case kTypeString: {
            OleVariant text = Converted(value, VT_BSTR, VARIANT_ALPHABOOL);
            const BSTR chars = V_BSTR(text.get());
            const std::u16string utf16(chars, chars + SysStringLen(chars));
            encoded = TValue::FromText(Utf16ToCp1251(utf16));
            break;
        }
        case kTypeArrayOfByte:
            encoded = TValue::FromBytes(ByteRun(value, 8));
            break;
        default:
            return;
    }
    EncodeValue(encoded, typeCode, buffer, bufferLength, lsbFirst);
}

HRESULT StoreItemValue(VARIANT* target, const VARIANT& value) noexcept {
    if (!target) return E_POINTER;
    const VARTYPE type = V_VT(&value);
    if (type == VT_UI1 || type == VT_I1 || type == VT_UI2) {
        VARIANT widened;
        VariantInit(&widened);
        const HRESULT hr = VariantChangeType(&widened, const_cast<VARIANT*>(&value), 0, VT_I4);
        if (FAILED(hr)) return hr;
        VariantClear(target);
        *target = widened;
        return S_OK;
    }
    return VariantCopy(target, const_cast<VARIANT*>(&value));
}

}  // namespace tervex
