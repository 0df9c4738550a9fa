#pragma once
// Property lists: lookup by id, the empty-value test, and lists the driver composes.
#include <cstdint>
#include <string_view>

#include "boundary/Records.h"

namespace tervex {

// Empty, Null, an interface variant without interface; by-reference variants are followed.
bool IsEmptyOrNull(const VARIANT& value);

// The first entry with the id decides; an Empty or Null value counts as absent.
// value receives a deep copy, or the 8-bit integer 0 when nothing is found. The
// caller owns value and must have initialised it (VariantInit).
bool FindProperty(int32_t id, const TItemProperties* list, VARIANT* value);

int32_t PropertyCount(TItemProperties list);

// A list the driver composes: allocated on the COM task allocator, reference count 1.
class PropertyListBuilder {
public:
    explicit PropertyListBuilder(int32_t capacity);
    ~PropertyListBuilder();
    PropertyListBuilder(const PropertyListBuilder&) = delete;
    PropertyListBuilder& operator=(const PropertyListBuilder&) = delete;

    // Appends an entry; the value is copied (the caller keeps its own).
    void Add(uint32_t id, uint16_t declaredType, std::string_view descriptionUtf8, const VARIANT& value);
    // Hands the list over; the builder no longer owns it.
    TItemProperties Release();

private:
    TItemProperties list_ = nullptr;
    int32_t capacity_ = 0;
};

// Drops one reference; the last one clears every value and frees the array.
// The variable is emptied.
void ReleasePropertyList(TItemProperties& list);

// Owns a composed list for the duration of a host call.
class OwnedPropertyList {
public:
    OwnedPropertyList() = default;
    explicit OwnedPropertyList(TItemProperties list) : list_(list) {}
    ~OwnedPropertyList() { ReleasePropertyList(list_); }
    OwnedPropertyList(OwnedPropertyList&& other) noexcept : list_(other.list_) { other.list_ = nullptr; }
    OwnedPropertyList& operator=(OwnedPropertyList&& other) noexcept;
    OwnedPropertyList(const OwnedPropertyList&) = delete;
    OwnedPropertyList& operator=(const OwnedPropertyList&) = delete;

    TItemProperties* Address() { return &list_; }
    TItemProperties Get() const { return list_; }

private:
    TItemProperties list_ = nullptr;
};

}  // namespace tervex
