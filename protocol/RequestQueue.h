#pragma once
// A port's queue of requests. The head is the only one that may be in flight. A new
// request goes before the first queued request (state 1) of lower priority, or to the
// end: equal priorities keep their order and nothing goes before a request in flight.
//
// The queue is kept as segments: sorted runs of never-sent requests, and single
// "pinned" requests that have been taken for sending. A pinned request that went back
// to state 1 for a retry keeps its place, so a later request of higher priority may go
// ahead of it while requests queued behind it stay there. Insertion costs
// O(segments x log n); there are only as many segments as retried heads overtaken.
#include <cstdint>
#include <list>
#include <map>
#include <utility>
#include <vector>

#include "protocol/Request.h"

namespace tervex {

class RequestQueue {
public:
    void Insert(RequestPtr request);
    RequestPtr Head() const;
    // Pins the head for sending; it keeps its place from now on.
    RequestPtr TakeHead();
    // Removes a finished request (normally the head).
    void Remove(const RequestPtr& request);
    void Clear();
    bool Empty() const { return FSize == 0; }
    size_t Size() const { return FSize; }
    std::vector<RequestPtr> Items() const;  // in queue order

private:
    using Key = std::pair<uint8_t, uint64_t>;  // (255 - priority, arrival)
    struct Segment {
        RequestPtr pinned;                      // set: a single pinned request
        std::map<Key, RequestPtr> run;          // else: sorted never-sent requests
    };
    static Key KeyOf(const TRequest& request, uint64_t arrival) {
        return {static_cast<uint8_t>(255 - request.Priority), arrival};
    }

    std::list<Segment> FSegments;
    size_t FSize = 0;
    uint64_t FArrivals = 0;
};

}  // namespace tervex
