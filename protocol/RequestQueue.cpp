#include "protocol/RequestQueue.h"

namespace tervex {

void RequestQueue::Insert(RequestPtr request) {
    const uint8_t priority = request->Priority;
    const Key key = KeyOf(*request, ++FArrivals);
    for (auto it = FSegments.begin(); it != FSegments.end(); ++it) {
        if (it->pinned) {
            if (it->pinned->State == kRequestQueued && it->pinned->Priority < priority) {
                // Before the pinned request: at the end of the run in front of it, whose
                // requests all have at least this priority.
                if (it != FSegments.begin() && !std::prev(it)->pinned) {
                    std::prev(it)->run.emplace(key, std::move(request));
                } else {
                    Segment segment;
                    segment.run.emplace(key, std::move(request));
                    FSegments.insert(it, std::move(segment));
                }
                ++FSize;
                return;
            }
            continue;
        }
        // A run is sorted: it holds a lower priority exactly when its last one is lower.
        if (!it->run.empty() && it->run.rbegin()->second->Priority < priority) {
            it->run.emplace(key, std::move(request));
            ++FSize;
            return;
        }
    }
    if (FSegments.empty() || FSegments.back().pinned) {
        FSegments.emplace_back();
    }
    FSegments.back().run.emplace(key, std::move(request));
    ++FSize;
}

RequestPtr RequestQueue::Head() const {
    if (FSegments.empty()) {
        return nullptr;
    }
    const Segment& first = FSegments.front();
    if (first.pinned) {
        return first.pinned;
    }
    return first.run.empty() ? nullptr : first.run.begin()->second;
}

RequestPtr RequestQueue::TakeHead() {
    if (FSegments.empty()) {
        return nullptr;
    }
    Segment& first = FSegments.front();
    if (first.pinned) {
        return first.pinned;
    }
    if (first.run.empty()) {
        return nullptr;
    }
    // The pinned segment is made first: without memory for it the queue stays as it was,
    // rather than losing the request between the run and its new place.
    FSegments.emplace_front();
    Segment& pinned = FSegments.front();
    pinned.pinned = first.run.begin()->second;
    first.run.erase(first.run.begin());
    if (first.run.empty()) {
        FSegments.erase(std::next(FSegments.begin()));
    }
    return pinned.pinned;
}

void RequestQueue::Remove(const RequestPtr& request) {
    for (auto it = FSegments.begin(); it != FSegments.end(); ++it) {
        if (it->pinned) {
            if (it->pinned != request) {
                continue;
            }
            // Runs that it separated stay separate runs: together they need not be sorted.
            FSegments.erase(it);
            --FSize;
            return;
        }
        for (auto r = it->run.begin(); r != it->run.end(); ++r) {
            if (r->second == request) {
                it->run.erase(r);
                if (it->run.empty()) {
                    FSegments.erase(it);
                }
                --FSize;
                return;
            }
        }
    }
}

void RequestQueue::Clear() {
    FSegments.clear();
    FSize = 0;
}

std::vector<RequestPtr> RequestQueue::Items() const {
    std::vector<RequestPtr> items;
    items.reserve(FSize);
    for (const Segment& segment : FSegments) {
        if (segment.pinned) {
            items.push_back(segment.pinned);
        } else {
            for (const auto& entry : segment.run) {
                items.push_back(entry.second);
            }
        }
    }
    return items;
}

}  // namespace tervex
