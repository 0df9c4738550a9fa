#pragma once
// Reading one property of a list as the type a reader needs.
#include <cstdint>
#include <optional>
#include <string>

#include "plugin/Records.h"

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

// The pages' view: a value that does not convert counts as absent.
std::optional<int64_t> OptionalInt64Property(const TItemProperties* list, int32_t id);
std::optional<double> OptionalDoubleProperty(const TItemProperties* list, int32_t id);
std::optional<std::string> OptionalTextProperty(const TItemProperties* list, int32_t id);

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
