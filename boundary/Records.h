#pragma once
// Records that cross the library boundary, with their fixed layouts.
#include <windows.h>
#include <oaidl.h>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "values/Cp1251.h"

struct IOrnItem;

#if defined(__i386__) || defined(_M_IX86)
#define TERVEX_CHECK_LAYOUT(cond, what) static_assert(cond, what)
#else
#define TERVEX_CHECK_LAYOUT(cond, what) static_assert(true, what)
#endif

namespace tervex {

// A length byte and up to 255 Windows-1251 characters in a fixed 256-byte field.
struct ShortString {
    uint8_t length;
    char chars[255];
};
static_assert(sizeof(ShortString) == 256, "ShortString layout");

// Stores bytes that are already Windows-1251, cut to 255.
inline void SetShortStringRaw(ShortString& target, std::string_view cp1251) {
    const size_t n = cp1251.size() < sizeof(target.chars) ? cp1251.size() : sizeof(target.chars);
    target.length = static_cast<uint8_t>(n);
    for (size_t i = 0; i < n; ++i) target.chars[i] = cp1251[i];
}
// Stores UTF-8 text as Windows-1251, cut to 255 characters.
inline void SetShortString(ShortString& target, std::string_view utf8) {
    SetShortStringRaw(target, Utf8ToCp1251(utf8));
}
inline std::string ShortStringRaw(const ShortString& source) { return std::string(source.chars, source.length); }
inline std::string ShortStringToUtf8(const ShortString& source) { return Cp1251ToUtf8(ShortStringRaw(source)); }

struct TItemProperty {
    uint16_t dataType;
    uint16_t reserved;
    uint32_t propertyId;
    ShortString itemId;
    ShortString description;
    VARIANT value;
    int32_t errorCode;
    int32_t reserved2;
};
TERVEX_CHECK_LAYOUT(sizeof(TItemProperty) == 544, "TItemProperty size");
TERVEX_CHECK_LAYOUT(offsetof(TItemProperty, propertyId) == 4, "TItemProperty.propertyId");
TERVEX_CHECK_LAYOUT(offsetof(TItemProperty, itemId) == 8, "TItemProperty.itemId");
TERVEX_CHECK_LAYOUT(offsetof(TItemProperty, description) == 264, "TItemProperty.description");
TERVEX_CHECK_LAYOUT(offsetof(TItemProperty, value) == 520, "TItemProperty.value");
TERVEX_CHECK_LAYOUT(offsetof(TItemProperty, errorCode) == 536, "TItemProperty.errorCode");
TERVEX_CHECK_LAYOUT(offsetof(TItemProperty, reserved2) == 540, "TItemProperty.reserved2");

// A list variable: empty, or the address of the first entry. The entry count is
// stored in the 4 bytes before the first entry, the reference count before that.
using TItemProperties = TItemProperty*;

struct TItemAttributes {
    ShortString accessPath;
    ShortString itemId;
    int32_t active;
    uint32_t clientHandle;
    uint32_t serverHandle;
    uint32_t accessRights;
    uint32_t blobSize;
    uint8_t* blob;
    uint16_t requestedDataType;
    uint16_t canonicalDataType;
    uint32_t euType;
    VARIANT euInfo;
};
TERVEX_CHECK_LAYOUT(sizeof(TItemAttributes) == 560, "TItemAttributes size");
TERVEX_CHECK_LAYOUT(offsetof(TItemAttributes, itemId) == 256, "TItemAttributes.itemId");
TERVEX_CHECK_LAYOUT(offsetof(TItemAttributes, active) == 512, "TItemAttributes.active");
TERVEX_CHECK_LAYOUT(offsetof(TItemAttributes, clientHandle) == 516, "TItemAttributes.clientHandle");
TERVEX_CHECK_LAYOUT(offsetof(TItemAttributes, serverHandle) == 520, "TItemAttributes.serverHandle");
TERVEX_CHECK_LAYOUT(offsetof(TItemAttributes, accessRights) == 524, "TItemAttributes.accessRights");
TERVEX_CHECK_LAYOUT(offsetof(TItemAttributes, blobSize) == 528, "TItemAttributes.blobSize");
TERVEX_CHECK_LAYOUT(offsetof(TItemAttributes, blob) == 532, "TItemAttributes.blob");
TERVEX_CHECK_LAYOUT(offsetof(TItemAttributes, requestedDataType) == 536, "TItemAttributes.requestedDataType");
TERVEX_CHECK_LAYOUT(offsetof(TItemAttributes, canonicalDataType) == 538, "TItemAttributes.canonicalDataType");
TERVEX_CHECK_LAYOUT(offsetof(TItemAttributes, euType) == 540, "TItemAttributes.euType");
TERVEX_CHECK_LAYOUT(offsetof(TItemAttributes, euInfo) == 544, "TItemAttributes.euInfo");

// The OPC Data Access item-state record the host hands with each task.
struct TItemState {
    uint32_t clientHandle;
    FILETIME timestamp;
    uint16_t quality;
    uint16_t reserved;
    VARIANT value;
};
TERVEX_CHECK_LAYOUT(sizeof(TItemState) == 32, "item state size");
TERVEX_CHECK_LAYOUT(offsetof(TItemState, timestamp) == 4, "item state timestamp");
TERVEX_CHECK_LAYOUT(offsetof(TItemState, quality) == 12, "item state quality");
TERVEX_CHECK_LAYOUT(offsetof(TItemState, reserved) == 14, "item state reserved");
TERVEX_CHECK_LAYOUT(offsetof(TItemState, value) == 16, "item state value");

enum TTaskKind : uint8_t { tkSyncRead = 1, tkSyncWrite = 2, tkAsyncRead = 3, tkAsyncWrite = 4 };

struct TTaskDef {
    ShortString itemId;
    uint8_t kind;
    uint8_t gap[3];
    IOrnItem* item;
    uint32_t handle;
    TItemState* itemState;
    TItemProperties* nodeList;
    TItemProperties* itemList;
    uint32_t reserved;
    HRESULT* result;
};
TERVEX_CHECK_LAYOUT(sizeof(TTaskDef) == 288, "TTaskDef size");
TERVEX_CHECK_LAYOUT(offsetof(TTaskDef, kind) == 256, "TTaskDef.kind");
TERVEX_CHECK_LAYOUT(offsetof(TTaskDef, item) == 260, "TTaskDef.item");
TERVEX_CHECK_LAYOUT(offsetof(TTaskDef, handle) == 264, "TTaskDef.handle");
TERVEX_CHECK_LAYOUT(offsetof(TTaskDef, itemState) == 268, "TTaskDef.itemState");
TERVEX_CHECK_LAYOUT(offsetof(TTaskDef, nodeList) == 272, "TTaskDef.nodeList");
TERVEX_CHECK_LAYOUT(offsetof(TTaskDef, itemList) == 276, "TTaskDef.itemList");
TERVEX_CHECK_LAYOUT(offsetof(TTaskDef, reserved) == 280, "TTaskDef.reserved");
TERVEX_CHECK_LAYOUT(offsetof(TTaskDef, result) == 284, "TTaskDef.result");

// A historical-data task; only its item reference is used.
struct TTaskHDADef {
    uint8_t head[260];
    IOrnItem* item;
    uint8_t tail[48];
};
TERVEX_CHECK_LAYOUT(sizeof(TTaskHDADef) == 312, "TTaskHDADef size");
TERVEX_CHECK_LAYOUT(offsetof(TTaskHDADef, item) == 260, "TTaskHDADef.item");

// A counted array of 32-bit values, laid out like a property list.
using TAggregates = int32_t*;

}  // namespace tervex
