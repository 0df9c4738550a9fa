// The paced line: its timeline by hand, then the programs on real terminals,
// where an exchange must take its wire time. The bounds on the programs are
// loose on the slow side (a busy machine wakes late) and tight on the fast
// side (nothing may arrive before its last bit could have).
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>

#include "ChildProcess.h"
#include "TestUtil.h"
#include "sim/Hex.h"
#include "sim/WirePacer.h"

namespace tervex::sim::test {
namespace {

constexpr int64_t kMs = 1000000;

WireTiming Timing9600()
{
    WireTiming t;
    t.baud = 9600;
    t.bitsPerChar = 10;
    t.turnaroundNs = 2 * kMs;
    return t;
}

TEST(WirePacer, ExchangeTakesCharactersAndTurnaround)
{
    WirePacer pacer(Timing9600());
    const int64_t charNs = 1041666;  // 10 bits at 9600 baud
    const Burst request = pacer.Request(5, 100 * kMs);
    EXPECT_EQ(request.startNs, 100 * kMs);
    EXPECT_EQ(request.ArrivalNs(0), 100 * kMs + charNs);
    EXPECT_EQ(request.EndNs(), 100 * kMs + 5 * charNs);

    // The controller answers at once; the line makes it wait for the turnaround.
    const Burst answer = pacer.Answer(11, request.EndNs());
    EXPECT_EQ(answer.startNs, request.EndNs() + 2 * kMs);
    EXPECT_EQ(answer.EndNs(), answer.startNs + 11 * charNs);
    // A slow controller starts when it is ready.
    const Burst next = pacer.Request(5, answer.EndNs());
    EXPECT_EQ(pacer.Answer(11, next.EndNs() + 7 * kMs).startNs, next.EndNs() + 7 * kMs);

    const WireCounts& c = pacer.Counts();
    EXPECT_EQ(c.requests, 2u);
    EXPECT_EQ(c.answers, 2u);
    EXPECT_EQ(c.requestChars, 10u);
    EXPECT_EQ(c.answerChars, 22u);
    EXPECT_EQ(c.busyNs, 32 * charNs + 2 * 2 * kMs);
    EXPECT_EQ(c.firstNs, 100 * kMs);
    EXPECT_EQ(c.ElapsedNs(), 32 * charNs + 9 * kMs);

    // The master's rest after each answer is the line time its side loses.
    pacer.Request(5, pacer.Counts().lastNs + 3 * kMs);
    EXPECT_EQ(c.replyGapsNs, (std::vector<int64_t>{0, 3 * kMs}));
    EXPECT_EQ(c.ReplyGapMeanNs(), 1500 * 1000);
    EXPECT_EQ(c.ReplyGapPercentileNs(50), 0);
    EXPECT_EQ(c.ReplyGapPercentileNs(99), 3 * kMs);
}

TEST(WirePacer, HalfDuplexAndPiecesOfOneAnswer)
{
    WirePacer pacer(Timing9600());
    const Burst request = pacer.Request(5, 0);
    const Burst answer = pacer.Answer(6, request.EndNs());
    // The rest of the answer follows without another turnaround.
    const Burst rest = pacer.Answer(5, request.EndNs());
    EXPECT_EQ(rest.startNs, answer.EndNs());
    // The master talks over the answer: its characters wait for the wire.
    const Burst early = pacer.Request(5, answer.startNs);
    EXPECT_EQ(early.startNs, rest.EndNs());
    EXPECT_EQ(pacer.Counts().answers, 1u);
    EXPECT_EQ(pacer.Counts().answerChars, 11u);

    WireTiming t = Timing9600();
    t.bitsPerChar = 11;  // 8E1
    t.baud = 115200;
    EXPECT_EQ(WirePacer(t).Request(1, 0).EndNs(), 95486);
}

std::map<std::string, std::string> ReadStats(const std::string& path)
{
    std::map<std::string, std::string> stats;
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        const size_t eq = line.find('=');
        if (eq != std::string::npos)
            stats[line.substr(0, eq)] = line.substr(eq + 1);
    }
    return stats;
}

std::string TempPath(const char* name)
{
    char folder[] = "/tmp/tervex-paced-XXXXXX";
    if (!::mkdtemp(folder))
        return name;
    return std::string(folder) + "/" + name;
}

// 16 characters of 10 bits at 9600 baud, and the 2 ms turnaround.
constexpr int64_t kRtuReadExchangeUs = 16 * 10 * 1000000 / 9600 + 2000;
constexpr int kExchanges = 10;

TEST(PacedLine, SimulatorExchangeTakesItsWireTime)
{
    const std::string stats = TempPath("wire.txt");
    SimProcess sim({"--controller", "1:mem=RAM 5 11 22 33 44 55 66 77 88", "--pty", "--pace", "--baud", "9600",
                    "--wire-stats", stats, "--duration", "30"});
    ASSERT_TRUE(sim.Started());
    Terminal terminal(sim.ReadLine());
    ASSERT_TRUE(terminal.Open());

    const int64_t start = MonotonicMs();
    for (int i = 0; i < kExchanges; ++i)
        ASSERT_EQ(HexDump(terminal.Exchange(Bytes("01 D0 05 BD C3"), 11)), "01 11 22 33 44 55 66 77 88 E6 2B");
    const int64_t tookUs = (MonotonicMs() - start + 1) * 1000;
    EXPECT_GE(tookUs, kExchanges * kRtuReadExchangeUs);
    EXPECT_LE(tookUs, kExchanges * kRtuReadExchangeUs + 1500000);
    EXPECT_EQ(sim.Stop(), 0);

    auto wire = ReadStats(stats);
    EXPECT_EQ(wire["requests"], "10");
    EXPECT_EQ(wire["answers"], "10");
    EXPECT_EQ(wire["request_chars"], "50");
    EXPECT_EQ(wire["answer_chars"], "110");
    EXPECT_NEAR(std::stod(wire["busy_ms"]), kExchanges * kRtuReadExchangeUs / 1000.0, 0.01);
}

TEST(PacedLine, RelayPacesBothDirectionsBetweenTerminals)
{
    const std::string stats = TempPath("wire.txt");
    SimProcess wire({"--baud", "9600", "--turnaround-ms", "5", "--wire-stats", stats, "--duration", "30"},
                    TERVEX_WIRE_EXE);
    ASSERT_TRUE(wire.Started());
    Terminal master(wire.ReadLine());
    Terminal device(wire.ReadLine());
    ASSERT_TRUE(master.Open());
    ASSERT_TRUE(device.Open());

    // 8 request characters reach the device side no sooner than their 8.3 ms ...
    const std::vector<uint8_t> request = Bytes("01 03 00 00 00 04 44 09");
    const std::vector<uint8_t> answer = Bytes("01 03 08 00 01 00 02 00 03 00 04 0D 14");
    const int64_t start = MonotonicMs();
    ASSERT_TRUE(master.Write(request));
    EXPECT_EQ(device.Read(request.size()), request);
    const int64_t requestUs = (MonotonicMs() - start + 1) * 1000;
    EXPECT_GE(requestUs, 8 * 10 * 1000000 / 9600);
    EXPECT_LE(requestUs, 8 * 10 * 1000000 / 9600 + 500000);
    // ... and the answer's 13 come back after the 5 ms turnaround.
    ASSERT_TRUE(device.Write(answer));
    EXPECT_EQ(master.Read(answer.size()), answer);
    const int64_t tookUs = (MonotonicMs() - start + 1) * 1000;
    const int64_t wireUs = 21 * 10 * 1000000 / 9600 + 5000;
    EXPECT_GE(tookUs, wireUs);
    EXPECT_LE(tookUs, wireUs + 1000000);
    EXPECT_EQ(wire.Stop(), 0);

    auto counts = ReadStats(stats);
    EXPECT_EQ(counts["request_chars"], "8");
    EXPECT_EQ(counts["answer_chars"], "13");
    EXPECT_EQ(counts["turnaround_us"], "5000");
}

}  // namespace
}  // namespace tervex::sim::test
