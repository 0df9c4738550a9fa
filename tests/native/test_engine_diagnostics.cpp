// Diagnostics items: a controller's state and counts read from the engine's own records,
// in the poll that serves them, without a frame on the line.
#include <gtest/gtest.h>

#include <array>

#include "config/DiagnosticsArea.h"
#include "protocol_rig.h"
#include "values/DataTypes.h"

using namespace tervex;
using namespace rig;

namespace {

const Bytes kAnswer = {0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0xE6, 0x2B};
const Bytes kBadCrc = {0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88, 0xE6, 0x2C};
const Bytes kShortAnswer = WithCrc({0x01, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77});  // 10 bytes

Node On(std::optional<int64_t> port, int64_t device) {
    Node node;
    node.port = port;
    node.device = device;
    return node;
}

// State, answers, given up, CRC errors, wrong answers, last result, seconds since answer.
using Diagnostics = std::array<int64_t, 7>;

constexpr int64_t kNoAnswerResult = static_cast<int32_t>(kResultNoAnswer);
constexpr int64_t kWrongAnswerResult = static_cast<int32_t>(kResultWrongAnswer);

class EngineDiagnostics : public ::testing::Test {
protected:
    Rig r;

    // Every diagnostics address of the node, read in one poll that must end them all
    // good, without a frame, a wait or a log line.
    Diagnostics Read(const Node& node = Node{}, TaskKind kind = TaskKind::AsyncRead) {
        std::array<int, 7> ids{};
        for (int a = 0; a < 7; ++a) ids[a] = r.Queue(kind, node, MakeItem(kAreaDiagnostics, a, kTypeInteger));
        const size_t writes = r.port.writes.size();
        const size_t logged = r.server.log.size();
        const int sleeps = r.clock.sleeps;
        r.engine.Poll(0);
        EXPECT_EQ(r.port.writes.size(), writes);
        EXPECT_EQ(r.server.log.size(), logged);
        EXPECT_EQ(r.clock.sleeps, sleeps);
        Diagnostics values{};
        for (int a = 0; a < 7; ++a) {
            const Ending& e = r.sink.Of(ids[a]);
            EXPECT_TRUE(e.finished) << "address " << a;
            EXPECT_EQ(e.times, 1);
            EXPECT_EQ(e.completion.result, kResultOk) << "address " << a;
            EXPECT_EQ(e.completion.quality, kQualityGood);
            EXPECT_TRUE(e.completion.timestamp.now);
            EXPECT_TRUE(e.valueBytes.empty());
            if (!e.value) {
                ADD_FAILURE() << "no value at address " << a;
                continue;
            }
            EXPECT_EQ(e.value->kind, TValue::Kind::I4);
            values[a] = e.value->number;
        }
        return values;
    }
    int64_t Read(int address) { return Read()[address]; }

    // One RAM read of device 1 on COM1, written and left waiting for its answer.
    int Ask() {
        const int id = r.Read(Node{}, MakeItem(kRam, 5));
        r.engine.Poll(0);
        return id;
    }
    // Silence until the request is given up: CountTry writes.
    void Silence() {
        for (int i = 1; i < r.settings.CountTry; ++i) {
            r.TimeOut();
            r.engine.SendNext();
        }
        r.TimeOut();
    }
};

}  // namespace

TEST_F(EngineDiagnostics, NeverAskedControllerReadsNotAskedWithoutAFrame) {
    EXPECT_EQ(Read(), (Diagnostics{kDiagNotAsked, 0, 0, 0, 0, 0, -1}));
    EXPECT_TRUE(r.port.writes.empty());
    EXPECT_EQ(r.engine.Ports().Ports().size(), 0u);  // no port record either
    EXPECT_EQ(r.engine.ActiveTaskCount(), 0u);
}

TEST_F(EngineDiagnostics, SynchronousReadEndsInItsOwnPollWithoutWaiting) {
    EXPECT_EQ(Read(Node{}, TaskKind::SyncRead)[kDiagState], kDiagNotAsked);
    // Beside a device read: the diagnostics end at once, the device read goes on the line.
    const int device = r.Read(Node{}, MakeItem(kRam, 5));
    const int diagnostics = r.Read(Node{}, MakeItem(kAreaDiagnostics, kDiagState, kTypeInteger));
    r.engine.Poll(0);
    EXPECT_TRUE(r.sink.Of(diagnostics).finished);
    EXPECT_FALSE(r.sink.Ended(device));
    EXPECT_EQ(r.Frames(), (std::vector<Bytes>{{0x01, 0xD0, 0x05, 0xBD, 0xC3}}));
}

TEST_F(EngineDiagnostics, OtherAddressesWritesAndPortlessNodesFail) {
    struct Row {
        const char* name;
        TaskKind kind;
        Node node;
        int64_t address;
    };
    const Row rows[] = {
        {"address 7", TaskKind::AsyncRead, Node{}, 7},
        {"address 0xFFFF", TaskKind::SyncRead, Node{}, 0xFFFF},
        {"address 0x10000", TaskKind::AsyncRead, Node{}, 0x10000},  // would be 0 in 16 bits
        {"negative address", TaskKind::AsyncRead, Node{}, -1},
        {"async write", TaskKind::AsyncWrite, Node{}, kDiagState},
        {"sync write", TaskKind::SyncWrite, Node{}, kDiagAnswers},
        {"no port", TaskKind::AsyncRead, On(std::nullopt, 1), kDiagState},
    };
    for (const Row& row : rows) {
        const int id = r.Queue(row.kind, row.node, MakeItem(kAreaDiagnostics, row.address, kTypeInteger), {});
        r.engine.Poll(0);
        const Ending& e = r.sink.Of(id);
        EXPECT_TRUE(e.finished) << row.name;
        EXPECT_EQ(e.completion.result, kResultFail) << row.name;
        EXPECT_EQ(e.completion.quality, kQualityBad) << row.name;
        EXPECT_FALSE(e.value) << row.name;
    }
    EXPECT_TRUE(r.port.writes.empty());
    EXPECT_EQ(r.clock.sleeps, 0);
}

TEST_F(EngineDiagnostics, GoingSilentAndComingBackAfterTheRest) {
    Ask();
    r.clock.Advance(250);
    r.Answer(0, kAnswer);
    EXPECT_EQ(Read(), (Diagnostics{kDiagAnswering, 1, 0, 0, 0, 0, 0}));
    r.clock.Advance(4999);
    EXPECT_EQ(Read(kDiagSecondsSinceAnswer), 4);  // whole seconds, counted from the answer

    // Silent: answering while tries remain, then not answering, one request given up.
    Ask();
    r.TimeOut();
    r.engine.SendNext();
    EXPECT_EQ(Read(kDiagState), kDiagAnswering);
    EXPECT_EQ(Read(kDiagNoAnswers), 0);
    r.TimeOut();
    r.engine.SendNext();
    r.TimeOut();
    EXPECT_EQ(r.port.writes.size(), 4u);
    EXPECT_EQ(Read(), (Diagnostics{kDiagNotAnswering, 1, 1, 0, 0, kNoAnswerResult, 13}));

    // Resting: requests fail unwritten; nothing more was given up on the line.
    r.clock.Advance(1000);
    Ask();
    EXPECT_EQ(r.port.writes.size(), 4u);
    EXPECT_EQ(Read(), (Diagnostics{kDiagNotAnswering, 1, 1, 0, 0, kNoAnswerResult, 14}));

    // Tried again after the rest, still silent: one more.
    r.clock.Advance(60000);
    Ask();
    r.TimeOut();
    EXPECT_EQ(r.port.writes.size(), 5u);
    EXPECT_EQ(Read(kDiagNoAnswers), 2);
    EXPECT_EQ(Read(kDiagState), kDiagNotAnswering);

    // Back after the next rest.
    r.clock.Advance(60000);
    Ask();
    r.Answer(0, kAnswer);
    EXPECT_EQ(Read(), (Diagnostics{kDiagAnswering, 2, 2, 0, 0, 0, 0}));
}

TEST_F(EngineDiagnostics, CrcErrorsAndWrongAnswersCountPerAnswer) {
    // Two CRC errors retried, then a good answer: both errors count, one answer.
    const int id = Ask();
    r.Answer(0, kBadCrc);
    r.engine.SendNext();
    r.Answer(0, kBadCrc);
    r.engine.SendNext();
    EXPECT_EQ(Read(kDiagCrcErrors), 2);
    EXPECT_EQ(Read(kDiagState), kDiagNotAsked);  // no request of it has ended yet
    r.Answer(0, kAnswer);
    EXPECT_EQ(r.sink.Of(id).completion.result, kResultOk);
    EXPECT_EQ(Read(), (Diagnostics{kDiagAnswering, 1, 0, 2, 0, 0, 0}));

    // A wrong answer is one answer, not retried; the controller still answers. Two reads
    // served by one frame count it once.
    r.Read(Node{}, MakeItem(kRam, 5));
    r.Read(Node{}, MakeItem(kRam, 6));
    r.engine.Poll(0);
    r.Answer(0, kShortAnswer);
    EXPECT_EQ(Read(), (Diagnostics{kDiagAnswering, 1, 0, 2, 1, kWrongAnswerResult, 0}));

    // A write acknowledged with the wrong echo is a wrong answer too; a good one an answer.
    r.Write(Node{}, MakeItem(kRam, 5), {0x12});
    r.engine.Poll(0);
    r.Answer(0, WithCrc({0x01, 0xE1}));
    r.Write(Node{}, MakeItem(kRam, 5), {0x13});
    r.engine.Poll(0);
    r.Answer(0, WithCrc({0x01, 0xE0}));
    EXPECT_EQ(Read(), (Diagnostics{kDiagAnswering, 2, 0, 2, 2, 0, 0}));

    // CRC errors to the last try: the request ends with them, nothing given up silently.
    Ask();
    for (int i = 0; i < 3; ++i) {
        r.Answer(0, kBadCrc);
        r.engine.SendNext();
    }
    EXPECT_EQ(Read(), (Diagnostics{kDiagNotAnswering, 2, 0, 5, 2, static_cast<int32_t>(kResultCrcError), 0}));
}

TEST_F(EngineDiagnostics, CountsAreKeptPerControllerAndOutliveClearAll) {
    Ask();
    r.Answer(0, kAnswer);
    r.engine.ClearAll();
    EXPECT_EQ(r.engine.Ports().Ports().size(), 0u);
    EXPECT_EQ(Read(), (Diagnostics{kDiagAnswering, 1, 0, 0, 0, 0, 0}));
    // The same address on another port, and another address on the same port.
    EXPECT_EQ(Read(On(1, 1))[kDiagState], kDiagNotAsked);
    EXPECT_EQ(Read(On(0, 2))[kDiagState], kDiagNotAsked);
    // A node of the same controller with other settings reads the same records.
    Node ascii;
    ascii.protocol = "ASCII";
    EXPECT_EQ(Read(ascii)[kDiagAnswers], 1);
}

TEST_F(EngineDiagnostics, PasswordAnswersCountAsAnswers) {
    Node guarded;
    guarded.readPassword = "1234";
    const int id = r.Read(guarded, MakeItem(kRam, 5));
    r.engine.Poll(0);
    r.Answer(0, WithCrc({0x01, 0xF0}));
    r.engine.SendNext();
    r.Answer(0, kAnswer);
    EXPECT_EQ(r.sink.Of(id).completion.result, kResultOk);
    EXPECT_EQ(r.port.writes.size(), 2u);
    EXPECT_EQ(Read(guarded), (Diagnostics{kDiagAnswering, 2, 0, 0, 0, 0, 0}));
}
