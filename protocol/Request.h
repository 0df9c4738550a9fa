#pragma once
// One frame on a port awaiting one answer.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tervex {

enum RequestState : uint8_t {
    kRequestQueued = 1,    // waiting for its turn
    kRequestAwaiting = 2,  // handed to the port, its answer awaited
    kRequestJudging = 3,   // its answer (or silence) is being processed
};

// A task as a request knows it: its place among the engine's task records and the
// serial number it got there, so that a place used again is never taken for it.
struct TaskRef {
    uint32_t slot = 0;
    uint32_t serial = 0;
};

// The tasks linked to a request, in the order they were linked. Most requests have a
// handful; those are held in place, more go to one heap block.
class TaskRefs {
public:
    static constexpr size_t kInPlace = 8;

    size_t size() const { return FCount; }
    bool empty() const { return FCount == 0; }
    TaskRef operator[](size_t i) const { return i < kInPlace ? FInPlace[i] : (*FMore)[i - kInPlace]; }
    // Room for one more; without memory it throws and the list stays as it was.
    void ReserveOneMore() {
        if (FCount < kInPlace) {
            return;
        }
        if (!FMore) {
            FMore = std::make_unique<std::vector<TaskRef>>();
        }
        if (FMore->size() == FMore->capacity()) {
            FMore->reserve(FMore->capacity() < 8 ? 8 : FMore->capacity() * 2);
        }
    }
    // After ReserveOneMore it cannot fail.
    void push_back(TaskRef ref) {
        if (FCount < kInPlace) {
            FInPlace[FCount] = ref;
        } else {
            FMore->push_back(ref);
        }
        ++FCount;
    }

private:
    TaskRef FInPlace[kInPlace];
    uint32_t FCount = 0;
    std::unique_ptr<std::vector<TaskRef>> FMore;
};

// A frame's bytes, held in the request itself: the longest frame, an ASCII write of 8
// bytes above address 255, takes 26.
class FrameBytes {
public:
    static constexpr size_t kCapacity = 30;
    using value_type = uint8_t;
    using iterator = const uint8_t*;
    using const_iterator = const uint8_t*;

    FrameBytes() = default;
    // Converts from and to a byte vector, as the frame's bytes were one.
    FrameBytes(const std::vector<uint8_t>& bytes) { Assign(bytes.data(), bytes.size()); }
    FrameBytes& operator=(const std::vector<uint8_t>& bytes) {
        Assign(bytes.data(), bytes.size());
        return *this;
    }
    void Assign(const uint8_t* bytes, size_t count) {
        if (count > kCapacity) {
            throw std::length_error("a frame takes 30 bytes at most");
        }
        std::copy(bytes, bytes + count, FBytes);
        FSize = static_cast<uint8_t>(count);
    }

    const uint8_t* data() const { return FBytes; }
    size_t size() const { return FSize; }
    bool empty() const { return FSize == 0; }
    uint8_t operator[](size_t i) const { return FBytes[i]; }
    const uint8_t* begin() const { return FBytes; }
    const uint8_t* end() const { return FBytes + FSize; }
    operator std::vector<uint8_t>() const { return std::vector<uint8_t>(begin(), end()); }

    friend bool operator==(const FrameBytes& a, const FrameBytes& b) { return std::equal(a.begin(), a.end(), b.begin(), b.end()); }
    friend bool operator==(const FrameBytes& a, const std::vector<uint8_t>& b) { return std::equal(a.begin(), a.end(), b.begin(), b.end()); }
    friend bool operator==(const std::vector<uint8_t>& a, const FrameBytes& b) { return b == a; }
    friend bool operator!=(const FrameBytes& a, const FrameBytes& b) { return !(a == b); }
    friend bool operator!=(const FrameBytes& a, const std::vector<uint8_t>& b) { return !(a == b); }
    friend bool operator!=(const std::vector<uint8_t>& a, const FrameBytes& b) { return !(b == a); }

private:
    uint8_t FBytes[kCapacity] = {};
    uint8_t FSize = 0;
};

struct TRequest {
    uint64_t Id = 0;                 // never reused: a finished request is never taken for another
    double SendTime = 0;             // local date-time of the last write; 0 while not written
    uint64_t SendTick = 0;           // monotonic ms of the last write
    FrameBytes Data;                 // frame bytes as they go on the line
    std::string Protocol;            // "RTU" or "ASCII"; empty for password requests
    uint32_t Tries = 0;              // writes to the port so far
    uint16_t DeviceIndex = 0;
    uint16_t StartAddress = 0;
    uint8_t Priority = 0;
    uint8_t State = kRequestQueued;
    bool Written = false;            // written in the current try (SendTime is set)
    bool KeptForRemovedItem = false; // a write whose tasks went with their item: still written
    uint8_t Command = 0;
    // Tasks linked to this request. A task re-linked to another request, or finished,
    // is recognised and skipped when this one finishes.
    TaskRefs Waiters;

    int32_t Size() const { return static_cast<int32_t>(Data.size()); }
};

using RequestPtr = std::shared_ptr<TRequest>;

}  // namespace tervex
