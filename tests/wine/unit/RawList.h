#pragma once
// Reads a property list the way a host does: through raw memory, not the driver's types.
#include <windows.h>
#include <oaidl.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "boundary/Records.h"

namespace rawlist {

// The product's layout; a 64-bit test build has wider variants behind the same offsets.
constexpr size_t kValueOffset = 520;
constexpr size_t kErrorOffset = kValueOffset + sizeof(VARIANT);
constexpr size_t kStride = kErrorOffset + 8;
static_assert(sizeof(void*) != 4 || kStride == 544, "entries are 544 bytes apart");

// Offsets in the attributes record: fixed in the product, shifted by the wider blob
// pointer and variant of a 64-bit test build.
struct AttributeOffsets {
    size_t blobSize, blob, requestedType, canonicalType, euType, euInfo;
};
constexpr AttributeOffsets kAttributes =
    sizeof(void*) == 4 ? AttributeOffsets{528, 532, 536, 538, 540, 544}
                       : AttributeOffsets{offsetof(tervex::TItemAttributes, blobSize),
                                          offsetof(tervex::TItemAttributes, blob),
                                          offsetof(tervex::TItemAttributes, requestedDataType),
                                          offsetof(tervex::TItemAttributes, canonicalDataType),
                                          offsetof(tervex::TItemAttributes, euType),
                                          offsetof(tervex::TItemAttributes, euInfo)};

inline int32_t Int32At(const uint8_t* p) {
    int32_t v;
    std::memcpy(&v, p, 4);
    return v;
}

inline uint16_t UInt16At(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | (p[1] << 8));
}

struct Entry {
    uint16_t declaredType;
    uint16_t reserved;
    uint32_t id;
    std::string itemId;       // Windows-1251 bytes
    std::string description;  // Windows-1251 bytes
    const VARIANT* value;
    int32_t errorCode;
    int32_t reserved2;
};

struct List {
    int32_t refCount = 0;
    int32_t count = 0;
    std::vector<Entry> entries;
};

inline std::string ShortStringAt(const uint8_t* p) {
    return std::string(reinterpret_cast<const char*>(p + 1), p[0]);
}

inline List Walk(tervex::TItemProperties list) {
    List out;
    const auto* first = reinterpret_cast<const uint8_t*>(list);
    out.refCount = Int32At(first - 8);
    out.count = Int32At(first - 4);
    for (int32_t i = 0; i < out.count; ++i) {
        const uint8_t* e = first + static_cast<size_t>(i) * kStride;
        out.entries.push_back(Entry{UInt16At(e), UInt16At(e + 2), static_cast<uint32_t>(Int32At(e + 4)),
                                    ShortStringAt(e + 8), ShortStringAt(e + 264),
                                    reinterpret_cast<const VARIANT*>(e + kValueOffset), Int32At(e + kErrorOffset),
                                    Int32At(e + kErrorOffset + 4)});
    }
    return out;
}

// The platform's own Windows-1251 form of a text, as the expected bytes.
inline std::string Cp1251Of(const wchar_t* text) {
    const int n = WideCharToMultiByte(1251, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
    WideCharToMultiByte(1251, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

inline std::wstring BstrText(const VARIANT* v) {
    return std::wstring(V_BSTR(v), SysStringLen(V_BSTR(v)));
}

}  // namespace rawlist
