#pragma once
// When a host that looks at a serial port (instead of being woken by it) can
// find new bytes there. Characters cross the wire one at a time: the answer
// cannot begin before the request has left, and the controller's turnaround
// comes first; after bytes were found, the next character cannot end sooner
// than about half a character after the last ones. Times are microseconds on
// any monotonic scale.
#include <cstddef>
#include <cstdint>
#include <optional>

namespace tervex::host {

class LookPlan {
public:
    explicit LookPlan(int64_t charUs) : charUs_(charUs) {}

    // A request of count characters was handed to the port.
    void Wrote(size_t count, int64_t nowUs);
    // The port was looked at: bytes were there, or not.
    void Looked(bool bytes, int64_t nowUs);
    // The earliest time worth looking again.
    int64_t NextLookUs() const { return nextLookUs_; }
    // What the controllers' turnaround has been, at the least: the first
    // answer sets it; later ones move it an eighth of the way to what they
    // show, or an eighth down when an answer was already there at the first
    // look (it may have come sooner still). One slow answer thus does not
    // make the next quick one wait long; and a late first byte costs nothing
    // as long as the answer's last byte is looked for in time.
    std::optional<int64_t> TurnaroundUs() const { return turnaroundUs_; }

private:
    int64_t charUs_;
    int64_t requestEndUs_ = 0;
    int64_t lastEmptyUs_ = 0;
    int64_t nextLookUs_ = 0;
    bool awaitingFirst_ = false;    // no answer byte since the last request
    bool emptySinceWrite_ = false;  // a look after the request found nothing
    std::optional<int64_t> turnaroundUs_;
};

}  // namespace tervex::host
