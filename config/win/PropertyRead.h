#pragma once
// Reading one property of a list as the type a reader needs.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>

#include "boundary/Records.h"

namespace tervex {

enum class ReadOutcome {
    Found,
    Absent,         // no entry, an Empty or Null value, or no list
    Unconvertible,  // a value OLE automation cannot turn into the type asked for
};

// Integers take any numeric variant (a fraction rounds to even) or a numeric text.
ReadOutcome ReadInt64Property(const TItemProperties* list, int32_t id, int64_t& value);
ReadOutcome ReadDoubleProperty(const TItemProperties* list, int32_t id, double& value);
// Text as UTF-8.
ReadOutcome ReadTextProperty(const TItemProperties* list, int32_t id, std::string& value);

// The pages' view: the field holds the value, or nothing when the property is absent
// or its value does not convert.
void ReadShown(const TItemProperties* list, int32_t id, std::optional<int64_t>& field);
void ReadShown(const TItemProperties* list, int32_t id, std::optional<double>& field);
void ReadShown(const TItemProperties* list, int32_t id, std::optional<std::string>& field);

// A property a page shows and the field of Shown that holds it.
template <typename Shown>
struct ShownProperty {
    int32_t id;
    std::variant<std::optional<int64_t> Shown::*, std::optional<double> Shown::*, std::optional<std::string> Shown::*>
        field;
};

// Every property of the table read into its field.
template <typename Shown, size_t N>
Shown ReadShownProperties(const TItemProperties* list, const ShownProperty<Shown> (&properties)[N]) {
    Shown shown;
    for (const ShownProperty<Shown>& property : properties)
        std::visit([&](auto field) { ReadShown(list, property.id, shown.*field); }, property.field);
    return shown;
}

// Follows the reads of one list: any value that does not convert spoils the whole read.
class ReadTally {
public:
    // True when the property was found.
    bool Found(ReadOutcome outcome) {
        if (outcome == ReadOutcome::Unconvertible) FAllConverted = false;
        return outcome == ReadOutcome::Found;
    }
    // A value that was read but means nothing here.
    void Refuse() { FAllConverted = false; }
    bool AllConverted() const { return FAllConverted; }

private:
    bool FAllConverted = true;
};

// The attributes a page hands the host with a new or changed element: active, no EU info.
TItemAttributes ComposeElementAttributes(const std::string& name, uint32_t accessRights, uint16_t dataType);

}  // namespace tervex
