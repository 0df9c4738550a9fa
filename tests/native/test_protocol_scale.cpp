// Ten thousand items on four ports and thirty-two controllers, some of which drop or
// garble answers now and then: every task ends exactly once, with the right value.
#include <gtest/gtest.h>

#include <random>
#include <set>
#include <tuple>

#include "fake_controllers.h"
#include "protocol_rig.h"

using namespace tervex;
using namespace rig;

namespace {

const char* const kAreas[] = {"ОЗУ", "CLOCK", "EEPROM", "FRAM", "XRAM", "FLASH"};

struct Planned {
    int id = 0;
    uint8_t port = 0;
    uint8_t device = 0;
    int area = 0;  // index into kAreas; read command 0xD0 + area
    int64_t address = 0;
    int type = 17;
    int bit = 0;
    bool write = false;
    Bytes bytes;
    bool bitValue = false;
};

int SizeOf(int type) {
    switch (type) {
    case 2:
    case 18: return 2;
    case 3: return 4;
    case 8:
    case 0x2011: return 8;
    default: return 1;
    }
}

// The value a read of these device bytes must give, worked out here independently.
TValue Expected(const uint8_t* m, int type, int bit, bool lsbFirst) {
    auto word = [&] { return lsbFirst ? m[0] | m[1] << 8 : m[0] << 8 | m[1]; };
    switch (type) {
    case 17: return TValue::Number(TValue::Kind::UI1, m[0]);
    case 16: return TValue::Number(TValue::Kind::I1, static_cast<int8_t>(m[0]));
    case 18: return TValue::Number(TValue::Kind::UI2, static_cast<uint16_t>(word()));
    case 2: return TValue::Number(TValue::Kind::I2, static_cast<int16_t>(word()));
    case 3: {
        uint32_t v = 0;
        for (int i = 0; i < 4; ++i) v = v << 8 | m[lsbFirst ? 3 - i : i];
        return TValue::Number(TValue::Kind::I4, static_cast<int32_t>(v));
    }
    case 11: return TValue::Number(TValue::Kind::UI1, (m[0] >> bit) & 1);
    case 8: return TValue::FromText(std::string(m, m + 8));
    default: return TValue::FromBytes(Bytes(m, m + 8));
    }
}

}  // namespace

TEST(Scale, TenThousandItemsOnFourPortsAndThirtyTwoControllers) {
    constexpr int kTasks = 10000;
    Rig r;
    FakeLines lines;
    r.port.onWrite = [&](uint8_t port, const Bytes& frame) { lines.OnWrite(port, frame); };

    std::map<std::pair<int, int>, Node> nodes;
    for (uint8_t port = 0; port < 4; ++port) {
        for (uint8_t device = 1; device <= 8; ++device) {
            Node node;
            node.port = port;
            node.device = device;
            node.protocol = port >= 2 ? "ASCII" : "RTU";
            node.byteOrder = device % 2 ? kLsbFirst : "Старшим байтом вперед";
            if (device == 3) node.readPassword = "чтение";
            if (device == 5) node.writePassword = "запись";
            nodes[{port, device}] = node;
            FakeController controller(device, port >= 2, port * 100u + device);
            if (device == 2 || device == 5) controller.silentEvery = 7;
            if (device == 4 || device == 5) controller.garbleEvery = 11;
            lines.ports[port][device] = controller;
        }
    }

    std::mt19937 rng(20240611);
    auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
    std::set<std::tuple<int, int, int, int64_t>> writeSlots;
    std::vector<Planned> plan;
    plan.reserve(kTasks);
    for (int i = 0; i < kTasks; ++i) {
        Planned p;
        p.port = static_cast<uint8_t>(pick(0, 3));
        p.device = static_cast<uint8_t>(pick(1, 8));
        p.area = pick(0, 5);
        std::vector<int> types = {17, 16, 18, 2, 3, 8, 0x2011};
        if (p.area == 0) types.push_back(11);
        p.type = types[pick(0, static_cast<int>(types.size()) - 1)];
        p.bit = pick(0, 7);
        const bool small = p.area <= 1;
        // Reads stay below the written region, so they see the controllers' first contents.
        const int64_t readTop = small ? 0x80 : 1000;
        if (p.area != 5 && pick(0, 99) < 15) {
            const int64_t slot = small ? 0x80 + 8 * pick(0, 15) : 1000 + 8 * pick(0, 8000);
            if (writeSlots.insert({p.port, p.device, p.area, slot}).second) {
                p.write = true;
                p.address = slot;
                p.bitValue = pick(0, 1) == 1;
                for (int k = 0; k < SizeOf(p.type); ++k) p.bytes.push_back(static_cast<uint8_t>(pick(0, 255)));
            }
        }
        if (!p.write) p.address = pick(0, static_cast<int>(readTop - SizeOf(p.type)));
        plan.push_back(p);
    }

    for (int batch = 0; batch < 10; ++batch) {
        for (int i = batch * 1000; i < (batch + 1) * 1000; ++i) {
            Planned& p = plan[i];
            const Node& node = nodes[{p.port, p.device}];
            const ItemParams item = MakeItem(kAreas[p.area], p.address, p.type, p.bit);
            if (p.write) {
                WritePayload w;
                std::copy(p.bytes.begin(), p.bytes.end(), w.bytes.begin());
                w.bitValue = p.bitValue;
                p.id = r.Queue(TaskKind::AsyncWrite, node, item, w);
            } else {
                p.id = r.Read(node, item);
            }
        }
        r.engine.Poll(static_cast<uint32_t>(batch % 3));
    }

    for (int guard = 0; r.sink.endCount < kTasks && guard < 1000000; ++guard) {
        r.engine.SendNext();
        if (lines.Deliver(r.engine) == 0) {
            r.clock.Advance(static_cast<uint64_t>(r.settings.WaitTimeout));
            r.engine.TimerTick();
        }
    }

    ASSERT_EQ(r.sink.endCount, kTasks);
    EXPECT_EQ(r.engine.ActiveTaskCount(), 0u);
    EXPECT_EQ(r.engine.NewTaskCount(), 0u);
    int wrong = 0;
    int writes = 0;
    for (const Planned& p : plan) {
        const Ending& e = r.sink.Of(p.id);
        if (e.times != 1 || !e.finished || e.completion.result != kResultOk ||
            e.completion.quality != kQualityGood) {
            ++wrong;
            continue;
        }
        FakeController& controller = lines.ports[p.port][p.device];
        auto& memory = controller.Area(static_cast<uint8_t>(0xD0 + p.area));
        if (p.write) {
            ++writes;
            if (p.area == 0 && p.type == 11) {
                wrong += ((memory[p.address] >> p.bit) & 1) != (p.bitValue ? 1 : 0);
            } else {
                wrong += !std::equal(p.bytes.begin(), p.bytes.end(), memory.begin() + p.address);
            }
            continue;
        }
        Bytes original;
        for (int k = 0; k < 8; ++k) {
            original.push_back(controller.Pattern(static_cast<uint8_t>(0xD0 + p.area), p.address + k));
        }
        const bool lsbFirst = nodes[{p.port, p.device}].byteOrder == kLsbFirst;
        wrong += !(e.value && *e.value == Expected(original.data(), p.type, p.bit, lsbFirst));
    }
    EXPECT_EQ(wrong, 0);
    EXPECT_GT(writes, 1000);
    EXPECT_FALSE(lines.ports[0][3].passwords.empty());
    EXPECT_FALSE(lines.ports[2][5].passwords.empty());
}
