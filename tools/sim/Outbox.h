#pragma once
// Answer pieces waiting for their time, in order of due time and, for equal
// times, of arrival.
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "sim/Line.h"

namespace tervex::sim {

class Outbox {
public:
    void Push(std::vector<Piece> pieces);
    // Bytes of every piece due at nowMs, in order.
    std::vector<uint8_t> TakeDue(int64_t nowMs);
    std::optional<int64_t> NextDueMs() const;
    bool Empty() const { return pending_.empty(); }

private:
    std::multimap<int64_t, std::vector<uint8_t>> pending_;
};

}  // namespace tervex::sim
