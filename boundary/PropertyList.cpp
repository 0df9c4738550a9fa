#include "boundary/PropertyList.h"

#include <objbase.h>
#include <oleauto.h>

#include <cstring>
#include <new>
#include <stdexcept>

#include "values/win/HostVariant.h"

namespace tervex {
namespace {

// The two counters in front of the first entry.
struct ListHeader {
    int32_t refCount;
    int32_t count;
};
static_assert(sizeof(ListHeader) == 8, "list header");

ListHeader* HeaderOf(TItemProperties list) {
    return reinterpret_cast<ListHeader*>(reinterpret_cast<uint8_t*>(list) - sizeof(ListHeader));
}

}  // namespace

bool IsEmptyOrNull(const VARIANT& value) {
    // A by-reference variant is judged by the variant it refers to.
    const VARIANT* referred = ReferredVariant(value);
    // A reference to nothing holds nothing; following it would read address 0.
    if (!referred || (V_ISBYREF(referred) && V_BYREF(referred) == nullptr)) return true;
    const VARIANT& v = *referred;
    switch (V_VT(&v)) {
        case VT_EMPTY:
        case VT_NULL:
            return true;
        case VT_DISPATCH:
            return V_DISPATCH(&v) == nullptr;
        case VT_UNKNOWN:
            return V_UNKNOWN(&v) == nullptr;
        default:
            return false;
    }
}

int32_t PropertyCount(TItemProperties list) {
    return list ? HeaderOf(list)->count : 0;
}

bool FindProperty(int32_t id, const TItemProperties* list, VARIANT* value) {
    VariantClear(value);
    V_VT(value) = VT_UI1;
    V_UI1(value) = 0;
    if (!list || !*list || id < 0) return false;
    const TItemProperties entries = *list;
    const int32_t count = PropertyCount(entries);
    for (int32_t i = 0; i < count; ++i) {
        const TItemProperty& entry = entries[i];
        if (entry.propertyId != static_cast<uint32_t>(id)) continue;
        if (IsEmptyOrNull(entry.value)) return false;
        OleVariant copy;
        if (!CopyHostValue(entry.value, copy)) return false;
        VariantClear(value);
        *value = copy.Detach();
        return true;
    }
    return false;
}

PropertyListBuilder::PropertyListBuilder(int32_t capacity) : capacity_(capacity) {
    const size_t bytes = sizeof(ListHeader) + sizeof(TItemProperty) * static_cast<size_t>(capacity);
    void* block = CoTaskMemAlloc(bytes);
    if (!block) throw std::bad_alloc();
    std::memset(block, 0, bytes);
    auto* header = static_cast<ListHeader*>(block);
    header->refCount = 1;
    header->count = 0;
    list_ = reinterpret_cast<TItemProperties>(header + 1);
}

PropertyListBuilder::~PropertyListBuilder() {
    ReleasePropertyList(list_);
}

void PropertyListBuilder::Add(uint32_t id, uint16_t declaredType, std::string_view descriptionUtf8,
                              const VARIANT& value) {
    ListHeader* header = HeaderOf(list_);
    if (header->count >= capacity_) throw std::length_error("property list full");
    TItemProperty& entry = list_[header->count];
    std::memset(&entry, 0, sizeof(entry));
    entry.dataType = declaredType;
    entry.propertyId = id;
    SetShortString(entry.description, descriptionUtf8);
    VariantInit(&entry.value);
    if (FAILED(VariantCopy(&entry.value, const_cast<VARIANT*>(&value)))) throw std::bad_alloc();
    ++header->count;
}

TItemProperties PropertyListBuilder::Release() {
    TItemProperties list = list_;
    list_ = nullptr;
    return list;
}

void ReleasePropertyList(TItemProperties& list) {
    if (!list) return;
    ListHeader* header = HeaderOf(list);
    // A negative count marks a list that is never freed.
    if (header->refCount > 0 && --header->refCount == 0) {
        for (int32_t i = 0; i < header->count; ++i) VariantClear(&list[i].value);
        CoTaskMemFree(header);
    }
    list = nullptr;
}

OwnedPropertyList& OwnedPropertyList::operator=(OwnedPropertyList&& other) noexcept {
    if (this != &other) {
        ReleasePropertyList(list_);
        list_ = other.list_;
        other.list_ = nullptr;
    }
    return *this;
}

}  // namespace tervex
