// Records laid out byte by byte at the host's own offsets, not through the driver's
// types: the built DLL must read the task and its property lists and write the item
// state exactly there. The compiler checks the declared layout; this checks the DLL
// as it was built and as it runs.
#include <gtest/gtest.h>

#include <array>
#include <cstddef>
#include <cstring>
#include <utility>
#include <vector>

#include "dll/HostRig.h"

using namespace testing_host;

namespace {

// The product's layout; a 64-bit test build has its wider pointers and variants at the
// declared offsets.
constexpr bool kProduct = sizeof(void*) == 4;

struct TaskOffsets {
    size_t kind, item, handle, itemState, nodeList, itemList, result;
};
constexpr TaskOffsets kTask = kProduct ? TaskOffsets{256, 260, 264, 268, 272, 276, 284}
                                       : TaskOffsets{offsetof(tervex::TTaskDef, kind),
                                                     offsetof(tervex::TTaskDef, item),
                                                     offsetof(tervex::TTaskDef, handle),
                                                     offsetof(tervex::TTaskDef, itemState),
                                                     offsetof(tervex::TTaskDef, nodeList),
                                                     offsetof(tervex::TTaskDef, itemList),
                                                     offsetof(tervex::TTaskDef, result)};

struct StateOffsets {
    size_t size, timestamp, quality, value;
};
constexpr StateOffsets kState = kProduct ? StateOffsets{32, 4, 12, 16}
                                         : StateOffsets{sizeof(tervex::TItemState),
                                                        offsetof(tervex::TItemState, timestamp),
                                                        offsetof(tervex::TItemState, quality),
                                                        offsetof(tervex::TItemState, value)};

struct PropertyOffsets {
    size_t stride, id, value;
};
constexpr PropertyOffsets kProperty = kProduct ? PropertyOffsets{544, 4, 520}
                                               : PropertyOffsets{sizeof(tervex::TItemProperty),
                                                                 offsetof(tervex::TItemProperty, propertyId),
                                                                 offsetof(tervex::TItemProperty, value)};

template <typename T>
void Put(uint8_t* at, const T& value) {
    std::memcpy(at, &value, sizeof(T));
}
template <typename T>
T Get(const uint8_t* at) {
    T value;
    std::memcpy(&value, at, sizeof(T));
    return value;
}

VARIANT Int(int32_t value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_I4;
    V_I4(&v) = value;
    return v;
}
VARIANT Text(const wchar_t* value) {
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_BSTR;
    V_BSTR(&v) = SysAllocString(value);
    return v;
}

// A property list in raw memory: reference count, entry count, then the entries.
class RawList {
public:
    explicit RawList(const std::vector<std::pair<uint32_t, VARIANT>>& entries)
        : memory_((8 + entries.size() * kProperty.stride + 7) / 8, 0), count_(entries.size()) {
        uint8_t* bytes = Bytes();
        Put<int32_t>(bytes, 1);
        Put<int32_t>(bytes + 4, static_cast<int32_t>(count_));
        for (size_t i = 0; i < count_; ++i) {
            Put(Entry(i) + kProperty.id, entries[i].first);
            Put(Entry(i) + kProperty.value, entries[i].second);
        }
        first_ = reinterpret_cast<tervex::TItemProperties>(Entry(0));
    }
    RawList(const RawList&) = delete;
    RawList& operator=(const RawList&) = delete;
    ~RawList() {
        for (size_t i = 0; i < count_; ++i) VariantClear(reinterpret_cast<VARIANT*>(Entry(i) + kProperty.value));
    }
    tervex::TItemProperties* Address() { return &first_; }

private:
    uint8_t* Bytes() { return reinterpret_cast<uint8_t*>(memory_.data()); }
    uint8_t* Entry(size_t i) { return Bytes() + 8 + i * kProperty.stride; }

    std::vector<uint64_t> memory_;
    size_t count_;
    tervex::TItemProperties first_ = nullptr;
};

// An item state in raw memory, with guard bytes after it that the driver must not touch.
struct RawState {
    static constexpr uint8_t kGuard = 0xA5;
    alignas(8) std::array<uint8_t, kState.size + 8> bytes;

    RawState() {
        bytes.fill(0);
        std::memset(bytes.data() + kState.size, kGuard, 8);
    }
    ~RawState() { VariantClear(Value()); }
    VARIANT* Value() { return reinterpret_cast<VARIANT*>(bytes.data() + kState.value); }
    uint16_t Quality() const { return Get<uint16_t>(bytes.data() + kState.quality); }
    bool Stamped() const { return Get<uint64_t>(bytes.data() + kState.timestamp) != 0; }
    bool GuardIntact() const {
        for (size_t i = kState.size; i < bytes.size(); ++i)
            if (bytes[i] != kGuard) return false;
        return true;
    }
};

// The task record as the host pushes it: every field put at its offset in zeroed bytes.
tervex::TTaskDef RawTask(uint8_t kind, IOrnItem* item, uint32_t handle, RawState& state, RawList& node,
                         RawList& itemList, HRESULT* result) {
    std::array<uint8_t, sizeof(tervex::TTaskDef)> raw{};
    Put(raw.data() + kTask.kind, kind);
    Put(raw.data() + kTask.item, item);
    Put(raw.data() + kTask.handle, handle);
    Put(raw.data() + kTask.itemState, static_cast<void*>(state.bytes.data()));
    Put(raw.data() + kTask.nodeList, node.Address());
    Put(raw.data() + kTask.itemList, itemList.Address());
    Put(raw.data() + kTask.result, result);
    tervex::TTaskDef task;
    std::memcpy(&task, raw.data(), sizeof task);
    return task;
}

TEST(HostRecords, TheDllReadsTasksAndListsAndWritesItemStatesAtTheHostsOffsets) {
    FakeServer server;
    FakePort port;
    DriverUnderHost host(&server, &port);
    ASSERT_NE(host.driver, nullptr);
    // An unrelated first entry, so that every entry the driver needs lies a stride or more in.
    RawList node({{9999, Int(7)}, {5000, Int(0)}, {5001, Int(1)}, {5002, Text(L"RTU")}});
    RawList itemList({{9999, Int(7)}, {1, Int(17)}, {5005, Int(5)}, {5006, Text(L"ОЗУ")}});

    FakeItem asyncItem;
    RawState asyncState;
    HRESULT asyncResult = 0x12345678;
    ASSERT_EQ(host.driver->QueueTask(RawTask(tervex::tkAsyncRead, &asyncItem, 41, asyncState, node, itemList,
                                             &asyncResult)),
              S_OK);
    host.driver->Poll(0);
    ASSERT_EQ(port.writes.size(), 1u);
    EXPECT_EQ(port.writes[0].bytes, kReadAt5) << "device, address and area found in the lists";
    host.Deliver(0, kAnswerAt5);
    ASSERT_EQ(asyncItem.completions.size(), 1u);
    EXPECT_EQ(asyncItem.completions[0].handle, 41u);
    EXPECT_EQ(asyncItem.completions[0].result, S_OK);
    EXPECT_EQ(asyncResult, 0x12345678) << "an asynchronous task leaves the result word alone";

    FakeItem syncItem;
    RawState syncState;
    HRESULT syncResult = 0x12345678;
    server.onIdle = [&] {
        if (port.writes.size() == 2 && syncItem.refs > 0) host.Deliver(0, kAnswerAt5);
    };
    host.driver->QueueTask(RawTask(tervex::tkSyncRead, &syncItem, 42, syncState, node, itemList, &syncResult));
    host.driver->Poll(0);
    server.onIdle = nullptr;
    EXPECT_EQ(syncResult, S_OK);

    for (RawState* state : {&asyncState, &syncState}) {
        EXPECT_EQ(state->Quality(), 0xC0);
        EXPECT_EQ(V_VT(state->Value()), VT_I4);
        EXPECT_EQ(V_I4(state->Value()), 0x11);
        EXPECT_TRUE(state->Stamped());
        EXPECT_TRUE(state->GuardIntact()) << "nothing written past the record";
    }
    EXPECT_EQ(asyncItem.refs, 0);
    EXPECT_EQ(syncItem.refs, 0);
}

}  // namespace
