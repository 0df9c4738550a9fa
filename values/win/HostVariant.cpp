#include "values/win/HostVariant.h"

#include <oleauto.h>

namespace tervex {
namespace {

// Hosts nest a reference or two at most; a longer chain is taken for garbage.
constexpr int kMostReferences = 8;

// The bytes one element of the type takes in an array or behind a reference; 0 for a
// type that a variant does not carry, or that the driver has no use for (records).
ULONG ElementSize(VARTYPE base) {
    switch (base) {
        case VT_I1:
        case VT_UI1:
            return 1;
        case VT_I2:
        case VT_UI2:
        case VT_BOOL:
            return 2;
        case VT_I4:
        case VT_UI4:
        case VT_INT:
        case VT_UINT:
        case VT_R4:
        case VT_ERROR:
            return 4;
        case VT_I8:
        case VT_UI8:
        case VT_R8:
        case VT_CY:
        case VT_DATE:
            return 8;
        case VT_BSTR:
        case VT_DISPATCH:
        case VT_UNKNOWN:
            return sizeof(void*);
        case VT_DECIMAL:
            return sizeof(DECIMAL);
        case VT_VARIANT:
            return sizeof(VARIANT);
        default:
            return 0;
    }
}

bool ReadableArray(const SAFEARRAY* array, VARTYPE base) {
    if (!array) return true;  // no array at all: nothing in it to read
    if (array->cDims == 0 || array->cbElements != ElementSize(base)) return false;
    VARTYPE own = VT_EMPTY;
    if (SUCCEEDED(SafeArrayGetVartype(const_cast<SAFEARRAY*>(array), &own)) && own != base) return false;
    ULONGLONG elements = 1;
    for (USHORT i = 0; i < array->cDims; ++i) elements *= array->rgsabound[i].cElements;
    return elements == 0 || array->pvData != nullptr;
}

// Whether VariantCopyInd may take the value: it follows one reference and copies
// arrays by their header.
bool Readable(const VARIANT& value) {
    const VARTYPE type = V_VT(&value);
    if (type & ~(VT_TYPEMASK | VT_BYREF | VT_ARRAY)) return false;  // vectors and reserved bits
    const VARTYPE base = type & VT_TYPEMASK;
    const bool byReference = (type & VT_BYREF) != 0;
    const bool array = (type & VT_ARRAY) != 0;
    if (!byReference && !array) return base == VT_EMPTY || base == VT_NULL || (ElementSize(base) && base != VT_VARIANT);
    if (ElementSize(base) == 0) return false;
    if (byReference && !V_BYREF(&value)) return false;
    if (array) return ReadableArray(byReference ? *V_ARRAYREF(&value) : V_ARRAY(&value), base);
    return base != VT_VARIANT;  // a variant reference has been followed by now
}

}  // namespace

const VARIANT* ReferredVariant(const VARIANT& value) {
    const VARIANT* v = &value;
    for (int depth = 0; V_VT(v) == (VT_BYREF | VT_VARIANT); ++depth) {
        if (depth == kMostReferences || !V_VARIANTREF(v)) return nullptr;
        v = V_VARIANTREF(v);
    }
    return v;
}

bool CopyHostValue(const VARIANT& value, OleVariant& copy) {
    copy = OleVariant();
    const VARIANT* v = ReferredVariant(value);
    if (!v || !Readable(*v)) return false;
    if (SUCCEEDED(VariantCopyInd(copy.get(), const_cast<VARIANT*>(v)))) return true;
    copy = OleVariant();
    return false;
}

}  // namespace tervex
