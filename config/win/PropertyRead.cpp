#include "config/win/PropertyRead.h"

#include "plugin/PropertyList.h"
#include "plugin/WideText.h"
#include "values/win/OleVariant.h"

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

}  // namespace tervex
