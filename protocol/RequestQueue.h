#pragma once
// A port's queue of requests. The head is the only one that may be in flight. A new
// request goes behind every request of at least its priority and behind the one in
// flight, before the requests of lower priority that follow: equal priorities keep their
// order, also behind a retried head that a higher priority overtook.
//
// The queue is kept as segments: runs of never-sent requests, held by priority (one
// list per priority, in order of arrival), and single "pinned" requests that have been
// taken for sending. A pinned request that went back to state 1 for a retry keeps its
// place, so a later request of higher priority may go ahead of it while requests
// queued behind it stay there. Insertion costs O(segments x log priorities); there are
// only as many segments as retried heads overtaken.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <list>
#include <map>
#include <vector>

#include "protocol/Request.h"

namespace tervex {

class RequestQueue {
public:
    void Insert(RequestPtr request);
    RequestPtr Head() const;
    // The request that comes after the head, or none.
    const TRequest* AfterHead() const;
    // Pins the head for sending; it keeps its place from now on.
    RequestPtr TakeHead();
    // Removes a finished request (normally the head).
    void Remove(const RequestPtr& request);
    void Clear();
    bool Empty() const { return FSize == 0; }
    size_t Size() const { return FSize; }
    std::vector<RequestPtr> Items() const;  // in queue order

private:
    // Highest priority first; no list is ever left empty.
    using Run = std::map<uint8_t, std::deque<RequestPtr>, std::greater<uint8_t>>;
    struct Segment {
        RequestPtr pinned;  // set: a single pinned request
        Run run;            // else: never-sent requests
    };
    static void AddToRun(Run& run, RequestPtr request);

    std::list<Segment> FSegments;
    size_t FSize = 0;
};

}  // namespace tervex
