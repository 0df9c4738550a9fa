// Injected faults: a silent controller, corrupted and short answers, answers
// in pieces (byte by byte too) and slow answers, each judged as the driver must.
#include <gtest/gtest.h>

#include "Plant.h"

namespace tervex::host::e2e {
namespace {

int CountLogged(const Results& results, const std::string& part) {
    int count = 0;
    for (const std::string& line : results.log) count += line.find(part) != std::string::npos ? 1 : 0;
    return count;
}

struct Outcome {
    HostOutcome outcome;
    Results results;
    int64_t start = 0;
    int64_t end = 0;
};

Outcome RunStation(const std::string& settings, const std::vector<NodeSpec>& nodes, const std::string& seconds) {
    TempDir dir;
    const std::string station = dir.Write("faults.station", StationText(settings, nodes));
    const std::string resultsPath = dir.Path() + "/results.tsv";
    Outcome run;
    run.start = UnixNowMs();
    std::vector<std::string> args = {"--station", station, "--duration", seconds, "--refresh", "0", "--results", resultsPath};
    const std::vector<std::string> writes = WriteArgs(nodes, "0.5");
    args.insert(args.end(), writes.begin(), writes.end());
    run.outcome = RunHost(args, 60000);
    run.end = UnixNowMs();
    run.results = ReadResults(resultsPath);
    return run;
}

TEST(Faults, SilentControllerGoesOfflineAndRestsWhileTheLineGoesOn) {
    ASSERT_TRUE(Environment().missing.empty()) << "not set: " << Environment().missing;
    constexpr int kCom = 36;
    const std::string config = "[controller 1]\nmem = ОЗУ 0x00 12 34\n";
    SimLine line(kCom, config);
    ASSERT_TRUE(line.Ok()) << line.Error();
    NodeSpec live = Node("Live", kCom, 1);
    live.items = {Item("W", "ОЗУ", 0, "Word")};
    NodeSpec ghost = Node("Ghost", kCom, 9);
    ghost.items = {Item("T", "ОЗУ", 0, "Word")};

    const Outcome run = RunStation("WaitTimeout = 200\nCountTry = 3\nTimeNextSend = 1500\n", {live, ghost}, "3.5");
    ASSERT_EQ(run.outcome.exitCode, 0) << Shown(run.outcome);
    ASSERT_TRUE(run.results.loaded);

    const auto& t = run.results.Item("Ghost.T");
    EXPECT_EQ(t.at("result"), "0xCFFF0001");
    EXPECT_EQ(t.at("quality"), "0x0218");
    EXPECT_EQ(run.results.Number(t, "reads_ok"), 0);
    const int64_t failed = run.results.Number(t, "reads_bad");
    const int sent = CountLogged(run.results, "Tx: 09 D0 00 ");
    // CountTry writes make it offline; then at most one write per rest.
    EXPECT_GE(sent, 3);
    EXPECT_LE(sent, 3 + 3500 / 1500 + 1);
    EXPECT_GT(failed, sent) << "reads during the rest fail without a frame";
    EXPECT_EQ(run.results.Number(t, "frames"), sent);
    EXPECT_GE(CountLogged(run.results, "COM36 Адрес 9: устройство не доступно"), 2);
    const auto& ghostNode = run.results.nodes.at("Ghost");
    EXPECT_EQ(run.results.Number(ghostNode, "no_answer"), failed);
    EXPECT_GT(run.results.Number(run.results.ports.at("COM36"), "timeouts"), 0);

    ExpectNodeMatchesMemory(run.results, line, config, live, run.start, run.end);
}

TEST(Faults, DamagedAndDelayedAnswersAreJudged) {
    ASSERT_TRUE(Environment().missing.empty()) << "not set: " << Environment().missing;
    constexpr int kCom = 37;
    const std::string config = R"([controller 2]
mem = ОЗУ 0x00 01 02
fault = crc every 1
[controller 3]
mem = ОЗУ 0x00 03 04
fault = length every 1
[controller 4]
framing = ASCII
mem = ОЗУ 0x00 05 06 07 08 09 0A 0B 0C
fault = split every 1 pieces=4 gap_ms=10
[controller 5]
mem = ОЗУ 0x00 0D 0E
fault = slow every 1 delay_ms=100
)";
    SimLine line(kCom, config);
    ASSERT_TRUE(line.Ok()) << line.Error();
    NodeSpec crc = Node("Crc", kCom, 2);
    crc.items = {Item("A", "ОЗУ", 0, "Word")};
    NodeSpec shortAnswer = Node("Short", kCom, 3);
    shortAnswer.items = {Item("A", "ОЗУ", 0, "Word")};
    NodeSpec split = Node("Split", kCom, 4, "ASCII", Order::Lsb);
    split.items = {Item("A", "ОЗУ", 0, "Word"), Item("B", "ОЗУ", 2, "Integer"), Item("C", "ОЗУ", 1, "Byte", 0, "77")};
    NodeSpec slow = Node("Slow", kCom, 5);
    slow.items = {Item("A", "ОЗУ", 0, "Word")};
    crc.scanRate = shortAnswer.scanRate = split.scanRate = slow.scanRate = "0.3";

    const Outcome run =
        RunStation("WaitTimeout = 600\nCountTry = 3\nTimeNextSend = 1000\n", {crc, shortAnswer, split, slow}, "3.5");
    ASSERT_EQ(run.outcome.exitCode, 0) << Shown(run.outcome);
    ASSERT_TRUE(run.results.loaded);

    // A bad CRC is tried CountTry times, then reported; the device is then
    // offline and gets one try per read until an answer is accepted.
    const auto& c = run.results.Item("Crc.A");
    EXPECT_EQ(c.at("result"), "0xCFFF0002");
    EXPECT_EQ(c.at("quality"), "0x0318");
    EXPECT_EQ(c.at("value"), "-") << "a damaged answer never gives a value";
    EXPECT_GT(run.results.Number(c, "reads_bad"), 0);
    EXPECT_EQ(run.results.Number(c, "frames"), run.results.Number(c, "reads_bad") + 2);

    // A short answer with a good CRC is reported at once, without retry.
    const auto& s = run.results.Item("Short.A");
    EXPECT_EQ(s.at("result"), "0xCFFF0005");
    EXPECT_EQ(s.at("quality"), "0x0618");
    EXPECT_EQ(s.at("value"), "-");
    EXPECT_EQ(run.results.Number(s, "frames"), run.results.Number(s, "reads_bad"));

    // Text answers in pieces, and answers a little late, are whole answers.
    ExpectNodeMatchesMemory(run.results, line, config, split, run.start, run.end);
    ExpectNodeMatchesMemory(run.results, line, config, slow, run.start, run.end);

    const auto& port = run.results.ports.at("COM37");
    EXPECT_GT(run.results.Number(port, "incomplete"), 0) << "the bad-CRC answers were handed over after the quiet gap";
}

TEST(Faults, AnswerLaterThanTheWaitIsNoAnswer) {
    ASSERT_TRUE(Environment().missing.empty()) << "not set: " << Environment().missing;
    constexpr int kCom = 38;
    const std::string config = "[controller 6]\nmem = ОЗУ 0x00 0F\nfault = slow every 1 delay_ms=700\n";
    SimLine line(kCom, config);
    ASSERT_TRUE(line.Ok()) << line.Error();
    NodeSpec late = Node("Late", kCom, 6);
    late.items = {Item("A", "ОЗУ", 0, "Byte")};
    late.scanRate = "0.5";

    const Outcome run = RunStation("WaitTimeout = 300\nCountTry = 2\nTimeNextSend = 1000\n", {late}, "3");
    ASSERT_EQ(run.outcome.exitCode, 0) << Shown(run.outcome);
    ASSERT_TRUE(run.results.loaded);
    const auto& a = run.results.Item("Late.A");
    EXPECT_EQ(a.at("result"), "0xCFFF0001");
    EXPECT_EQ(a.at("quality"), "0x0218");
    EXPECT_EQ(run.results.Number(a, "reads_ok"), 0);
    EXPECT_GE(CountLogged(run.results, "Получены не ожидаемые данные"), 1)
        << "an answer after the exchange was closed is reported as unexpected";
}

// With eight zero bytes the first ten bytes of controller 3's read answers already end
// in a CRC of their own; the host's port, asking after every byte, must still get all
// eleven. Controller 1 with the same memory is the control.
TEST(Faults, ZeroMemoryAnswersComingByteByByteAreWhole) {
    ASSERT_TRUE(Environment().missing.empty()) << "not set: " << Environment().missing;
    constexpr int kCom = 39;
    const std::string config = R"([controller 1]
fault = split every 1 pieces=64 gap_ms=25
[controller 3]
fault = split every 1 pieces=64 gap_ms=25
)";
    SimLine line(kCom, config);
    ASSERT_TRUE(line.Ok()) << line.Error();
    NodeSpec three = Node("Three", kCom, 3);
    three.items = {Item("A", "ОЗУ", 0x10, "Word"), Item("B", "EEPROM", 0x0200, "Integer")};
    NodeSpec one = Node("One", kCom, 1);
    one.items = {Item("A", "ОЗУ", 0x10, "Word")};
    three.scanRate = one.scanRate = "0.5";

    const Outcome run = RunStation("WaitTimeout = 1500\nCountTry = 2\nTimeNextSend = 1000\n", {three, one}, "4");
    ASSERT_EQ(run.outcome.exitCode, 0) << Shown(run.outcome);
    ASSERT_TRUE(run.results.loaded);
    ExpectNodeMatchesMemory(run.results, line, config, three, run.start, run.end);
    ExpectNodeMatchesMemory(run.results, line, config, one, run.start, run.end);
    EXPECT_EQ(run.results.Number(run.results.Item("Three.A"), "reads_bad"), 0);
    const auto& port = run.results.ports.at("COM39");
    EXPECT_EQ(run.results.Number(port, "unexpected"), 0);
    EXPECT_EQ(run.results.Number(port, "incomplete"), 0);
    EXPECT_EQ(CountLogged(run.results, "Получены не ожидаемые данные"), 0);
}

}  // namespace
}  // namespace tervex::host::e2e
