#pragma once
// When to read each item and when to send the writes asked for. Time is given
// by the caller in milliseconds since the start of the run.
#include <cstdint>
#include <optional>
#include <vector>

namespace tervex::host {

class Schedule {
public:
    // Returns the item's index. The first read is due at once.
    size_t AddItem(int64_t periodMs);
    // Returns the write's index.
    size_t AddWrite(int64_t atMs, size_t item);

    // Items whose read is due and that have no read outstanding; each is then
    // outstanding until ReadDone. Due times that pass while the item is still
    // outstanding count as overruns and make up one read, due as soon as the
    // outstanding one is done: a late answer delays the next read, but reads
    // do not pile up and the item does not wait a whole period more.
    std::vector<size_t> TakeDueReads(int64_t nowMs);
    void ReadDone(size_t item);
    // Writes whose time has come, each once, in the order given.
    std::vector<size_t> TakeDueWrites(int64_t nowMs);

    int64_t Overruns(size_t item) const { return items_[item].overruns; }
    bool Outstanding(size_t item) const { return items_[item].outstanding; }
    size_t PendingWrites() const;
    // The earliest time anything is due; nothing when all is done or outstanding.
    std::optional<int64_t> NextDueMs() const;

private:
    struct Item {
        int64_t periodMs;
        int64_t nextMs = 0;
        bool outstanding = false;
        bool owed = false;  // a slot passed while outstanding
        int64_t overruns = 0;
    };
    struct Write {
        int64_t atMs;
        size_t item;
        bool taken = false;
    };
    void Advance(Item& item, int64_t nowMs);

    std::vector<Item> items_;
    std::vector<Write> writes_;
};

}  // namespace tervex::host
