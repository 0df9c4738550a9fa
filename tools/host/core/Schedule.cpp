#include "tools/host/core/Schedule.h"

#include <algorithm>

namespace tervex::host {

size_t Schedule::AddItem(int64_t periodMs) {
    items_.push_back(Item{std::max<int64_t>(periodMs, 1)});
    return items_.size() - 1;
}

size_t Schedule::AddWrite(int64_t atMs, size_t item) {
    writes_.push_back(Write{atMs, item});
    return writes_.size() - 1;
}

void Schedule::Advance(Item& item, int64_t nowMs) {
    // Keep the phase: the next slot after now.
    if (item.nextMs <= nowMs) item.nextMs += ((nowMs - item.nextMs) / item.periodMs + 1) * item.periodMs;
}

std::vector<size_t> Schedule::TakeDueReads(int64_t nowMs) {
    std::vector<size_t> due;
    for (size_t i = 0; i < items_.size(); ++i) {
        Item& item = items_[i];
        const bool slot = item.nextMs <= nowMs;
        if (item.outstanding) {
            if (!slot) continue;
            item.overruns += (nowMs - item.nextMs) / item.periodMs + 1;
            item.owed = true;
        } else if (slot || item.owed) {
            item.outstanding = true;
            item.owed = false;
            due.push_back(i);
        }
        if (slot) Advance(item, nowMs);
    }
    return due;
}

void Schedule::ReadDone(size_t item) { items_[item].outstanding = false; }

std::vector<size_t> Schedule::TakeDueWrites(int64_t nowMs) {
    std::vector<size_t> due;
    for (size_t i = 0; i < writes_.size(); ++i) {
        if (writes_[i].taken || writes_[i].atMs > nowMs) continue;
        writes_[i].taken = true;
        due.push_back(i);
    }
    return due;
}

size_t Schedule::PendingWrites() const {
    return static_cast<size_t>(std::count_if(writes_.begin(), writes_.end(), [](const Write& w) { return !w.taken; }));
}

std::optional<int64_t> Schedule::NextDueMs() const {
    std::optional<int64_t> next;
    auto consider = [&next](int64_t at) {
        if (!next || at < *next) next = at;
    };
    for (const Item& item : items_)
        if (!item.outstanding) consider(item.owed ? item.nextMs - item.periodMs : item.nextMs);
    for (const Write& write : writes_)
        if (!write.taken) consider(write.atMs);
    return next;
}

}  // namespace tervex::host
