#include "config/win/PropertyRead.h"

#include <cstring>
#include <utility>

#include "boundary/PropertyList.h"
#include "values/win/OleVariant.h"
#include "win/WideText.h"

namespace tervex {
namespace {

// The property's value converted to the given type, left in converted.
ReadOutcome ReadAs(const TItemProperties* list, int32_t id, VARTYPE type, OleVariant& converted) {
    OleVariant found;
    if (!FindProperty(id, list, found.get())) return ReadOutcome::Absent;
    if (FAILED(VariantChangeType(converted.get(), found.get(), 0, type))) return ReadOutcome::Unconvertible;
    return ReadOutcome::Found;
}

}  // namespace

ReadOutcome ReadInt64Property(const TItemProperties* list, int32_t id, int64_t& value) {
    OleVariant converted;
    const ReadOutcome outcome = ReadAs(list, id, VT_I8, converted);
    if (outcome == ReadOutcome::Found) value = V_I8(converted.get());
    return outcome;
}

ReadOutcome ReadDoubleProperty(const TItemProperties* list, int32_t id, double& value) {
    OleVariant converted;
    const ReadOutcome outcome = ReadAs(list, id, VT_R8, converted);
    if (outcome == ReadOutcome::Found) value = V_R8(converted.get());
    return outcome;
}

ReadOutcome ReadTextProperty(const TItemProperties* list, int32_t id, std::string& value) {
    OleVariant converted;
    const ReadOutcome outcome = ReadAs(list, id, VT_BSTR, converted);
    if (outcome == ReadOutcome::Found) value = BstrToUtf8(V_BSTR(converted.get()));
    return outcome;
}

namespace {

template <typename T>
void ReadShownAs(const TItemProperties* list, int32_t id, std::optional<T>& field,
                 ReadOutcome (*read)(const TItemProperties*, int32_t, T&)) {
    T value{};
    if (read(list, id, value) == ReadOutcome::Found) {
        field = std::move(value);
    } else {
        field.reset();
    }
}

}  // namespace

void ReadShown(const TItemProperties* list, int32_t id, std::optional<int64_t>& field) {
    ReadShownAs(list, id, field, ReadInt64Property);
}

void ReadShown(const TItemProperties* list, int32_t id, std::optional<double>& field) {
    ReadShownAs(list, id, field, ReadDoubleProperty);
}

void ReadShown(const TItemProperties* list, int32_t id, std::optional<std::string>& field) {
    ReadShownAs(list, id, field, ReadTextProperty);
}

TItemAttributes ComposeElementAttributes(const std::string& name, uint32_t accessRights, uint16_t dataType) {
    TItemAttributes attributes;
    std::memset(&attributes, 0, sizeof(attributes));
    SetShortString(attributes.itemId, name);
    attributes.active = -1;
    attributes.accessRights = accessRights;
    attributes.requestedDataType = dataType;
    attributes.canonicalDataType = dataType;
    V_VT(&attributes.euInfo) = VT_I4;
    V_I4(&attributes.euInfo) = 0;
    return attributes;
}

}  // namespace tervex
