#include "sim/RequestFramer.h"

#include <algorithm>
#include <string>

#include "sim/Commands.h"
#include "sim/Crc16.h"
#include "sim/Hex.h"

namespace tervex::sim {

std::vector<Request> RequestFramer::Feed(const uint8_t* data, size_t size, int64_t nowMs)
{
    std::vector<Request> out;
    if (size == 0)
        return out;
    if (!buffer_.empty() && gapMs_ > 0 && nowMs - lastByteMs_ > gapMs_)
        Drop(buffer_.size());
    lastByteMs_ = nowMs;
    buffer_.insert(buffer_.end(), data, data + size);
    while (!buffer_.empty() && Extract(out) == Step::Progress) {
    }
    return out;
}

RequestFramer::Step RequestFramer::Extract(std::vector<Request>& out)
{
    if (buffer_.size() < 2)
        return Step::NeedMore;
    const Step step = (buffer_[0] == '$' && !IsRequestCode(buffer_[1])) ? ExtractText(out) : ExtractBinary(out);
    if (step == Step::Progress)
        return step;
    // Waiting on a start that may be noise: a whole request further on wins.
    for (size_t offset = 1; offset + 1 < buffer_.size(); ++offset) {
        if (IsWholeRequestAt(offset)) {
            Drop(offset);
            return Step::Progress;
        }
    }
    return Step::NeedMore;
}

bool RequestFramer::IsWholeRequestAt(size_t offset) const
{
    const uint8_t* start = buffer_.data() + offset;
    const size_t available = buffer_.size() - offset;
    if (start[0] == '$' && !IsRequestCode(start[1])) {
        const uint8_t* end = start + std::min(available, kMaxTextChars + 2);
        const uint8_t* stop = std::find_if(start + 1, end, [](uint8_t c) { return c == '\r' || c == '$'; });
        return stop != end && *stop == '\r' && FromHex(std::string(start + 1, stop)).has_value();
    }
    for (size_t body : RequestBodySizes(start[1]))
        if (available >= body + 2 && HasValidCrc(start, body + 2))
            return true;
    return false;
}

RequestFramer::Step RequestFramer::ExtractText(std::vector<Request>& out)
{
    const size_t limit = std::min(buffer_.size(), kMaxTextChars + 2);
    const auto end = buffer_.begin() + static_cast<std::ptrdiff_t>(limit);
    const auto cr = std::find_if(buffer_.begin() + 1, end, [](uint8_t c) { return c == '\r' || c == '$'; });
    if (cr != end && *cr == '$') {
        Drop(static_cast<size_t>(cr - buffer_.begin()));  // a new start abandons the unfinished text
        return Step::Progress;
    }
    if (cr == end) {
        if (buffer_.size() < kMaxTextChars + 2)
            return Step::NeedMore;
        Drop(1);  // too long for a request: look for the next start
        return Step::Progress;
    }
    const std::string text(buffer_.begin() + 1, cr);
    const size_t length = static_cast<size_t>(cr - buffer_.begin()) + 1;
    const auto body = FromHex(text);
    if (body) {
        out.push_back(Request{Framing::Ascii, *body});
        buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(length));
    } else {
        Drop(length);  // malformed text is not answered
    }
    return Step::Progress;
}

RequestFramer::Step RequestFramer::ExtractBinary(std::vector<Request>& out)
{
    const std::vector<size_t> sizes = RequestBodySizes(buffer_[1]);
    if (sizes.empty()) {
        Drop(1);
        return Step::Progress;
    }
    // The first bytes of a longer request can end in a CRC of their own (a write of
    // zeros, say): of the lengths whose bytes are all at hand, the longest that fits wins.
    for (auto size = sizes.rbegin(); size != sizes.rend(); ++size) {
        const size_t body = *size;
        const size_t length = body + 2;
        if (buffer_.size() >= length && HasValidCrc(buffer_.data(), length)) {
            out.push_back(Request{Framing::Rtu, std::vector<uint8_t>(buffer_.begin(),
                                                                     buffer_.begin() + static_cast<std::ptrdiff_t>(body))});
            buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(length));
            return Step::Progress;
        }
    }
    if (buffer_.size() < sizes.back() + 2)
        return Step::NeedMore;
    Drop(1);  // no length fits the CRC: not the start of a request
    return Step::Progress;
}

void RequestFramer::Drop(size_t count)
{
    count = std::min(count, buffer_.size());
    buffer_.erase(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(count));
    dropped_ += count;
}

}  // namespace tervex::sim
