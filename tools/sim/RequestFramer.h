#pragma once
// Finds requests in the byte stream that the master writes to the line.
//
// A binary request is recognised by its command byte, which fixes the
// possible lengths, and its CRC. A text request runs from "$" to CR. The two
// cannot be confused: the byte after a binary address is a command code
// (0xB0..0xF1), the byte after "$" is a hex digit. Bytes that start no
// request are dropped one at a time until one does; while a start waits for
// more bytes, a whole request found further on is taken and the bytes before
// it are dropped. A partial request is thrown away when the line has been
// quiet for longer than the frame gap.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "sim/Frames.h"

namespace tervex::sim {

class RequestFramer {
public:
    // gapMs 0: a partial request is never thrown away for quiet.
    explicit RequestFramer(int64_t gapMs) : gapMs_(gapMs) {}

    std::vector<Request> Feed(const uint8_t* data, size_t size, int64_t nowMs);
    size_t PendingBytes() const { return buffer_.size(); }
    // Bytes dropped while looking for requests, since construction.
    uint64_t DroppedBytes() const { return dropped_; }

    // Longest text between "$" and CR that is waited for.
    static constexpr size_t kMaxTextChars = 64;

private:
    enum class Step { NeedMore, Progress };
    Step Extract(std::vector<Request>& out);
    Step ExtractText(std::vector<Request>& out);
    Step ExtractBinary(std::vector<Request>& out);
    bool IsWholeRequestAt(size_t offset) const;
    void Drop(size_t count);

    int64_t gapMs_;
    int64_t lastByteMs_ = 0;
    std::vector<uint8_t> buffer_;
    uint64_t dropped_ = 0;
};

}  // namespace tervex::sim
