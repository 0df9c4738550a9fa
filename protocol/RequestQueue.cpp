#include "protocol/RequestQueue.h"

#include <algorithm>
#include <iterator>
#include <utility>

namespace tervex {

void RequestQueue::AddToRun(Run& run, RequestPtr request) {
    const uint8_t priority = request->Priority;
    auto& list = run[priority];
    try {
        list.push_back(std::move(request));
    } catch (...) {
        if (list.empty()) {
            run.erase(priority);  // no list is left empty
        }
        throw;
    }
}

void RequestQueue::Insert(RequestPtr request) {
    const uint8_t priority = request->Priority;
    // The new request goes behind every request of at least its priority and behind one
    // in flight. Going only by the first lower one could put it ahead of an equal one
    // queued behind a retried head, and a later write would then be overtaken by an
    // earlier one.
    auto holds = [priority](const Segment& segment) {
        if (segment.pinned) {
            return segment.pinned->State != kRequestQueued || segment.pinned->Priority >= priority;
        }
        return !segment.run.empty() && segment.run.begin()->first >= priority;
    };
    auto last = FSegments.end();
    for (auto it = FSegments.begin(); it != FSegments.end(); ++it) {
        if (holds(*it)) {
            last = it;
        }
    }
    // Where it goes: the run that ends the requests it must follow, or the run that comes
    // next (whose requests all have a lower priority), or a new run.
    auto place = FSegments.begin();
    if (last != FSegments.end()) {
        place = last->pinned ? std::next(last) : last;
    }
    if (place == FSegments.end() || place->pinned) {
        Segment segment;
        AddToRun(segment.run, std::move(request));
        FSegments.insert(place, std::move(segment));
    } else {
        AddToRun(place->run, std::move(request));
    }
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
    return first.run.empty() ? nullptr : first.run.begin()->second.front();
}

const TRequest* RequestQueue::AfterHead() const {
    bool skipped = false;  // the head
    for (const Segment& segment : FSegments) {
        if (segment.pinned) {
            if (skipped) {
                return segment.pinned.get();
            }
            skipped = true;
            continue;
        }
        for (const auto& list : segment.run) {
            if (!skipped) {
                if (list.second.size() > 1) {
                    return list.second[1].get();
                }
                skipped = true;
                continue;
            }
            return list.second.front().get();
        }
    }
    return nullptr;
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
    const auto list = first.run.begin();
    pinned.pinned = std::move(list->second.front());
    list->second.pop_front();
    if (list->second.empty()) {
        first.run.erase(list);
    }
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
        for (auto list = it->run.begin(); list != it->run.end(); ++list) {
            const auto found = std::find(list->second.begin(), list->second.end(), request);
            if (found == list->second.end()) {
                continue;
            }
            list->second.erase(found);
            if (list->second.empty()) {
                it->run.erase(list);
            }
            if (it->run.empty()) {
                FSegments.erase(it);
            }
            --FSize;
            return;
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
            continue;
        }
        for (const auto& list : segment.run) {
            items.insert(items.end(), list.second.begin(), list.second.end());
        }
    }
    return items;
}

}  // namespace tervex
