#include "sim/Outbox.h"

namespace tervex::sim {

void Outbox::Push(std::vector<Piece> pieces)
{
    for (Piece& piece : pieces)
        pending_.emplace(piece.dueMs, std::move(piece.bytes));
}

std::vector<uint8_t> Outbox::TakeDue(int64_t nowMs)
{
    std::vector<uint8_t> out;
    auto it = pending_.begin();
    while (it != pending_.end() && it->first <= nowMs) {
        out.insert(out.end(), it->second.begin(), it->second.end());
        it = pending_.erase(it);
    }
    return out;
}

std::optional<int64_t> Outbox::NextDueMs() const
{
    if (pending_.empty())
        return std::nullopt;
    return pending_.begin()->first;
}

}  // namespace tervex::sim
