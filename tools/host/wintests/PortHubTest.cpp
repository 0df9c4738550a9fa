// The host's port object against a scripted line and a recording client: one
// exchange per port, answers offered to IsFrameComplete before DataReceived,
// the quiet gap, TransferDone followed by SendNext.
#include <gtest/gtest.h>

#include <deque>
#include <functional>
#include <vector>

#include "tools/host/win/PortHub.h"

using namespace tervex::host;

namespace {

using Bytes = std::vector<uint8_t>;

class ScriptedLine final : public LinePort {
public:
    explicit ScriptedLine(std::vector<Bytes>* written, std::deque<Bytes>* incoming, bool* writeOk)
        : written_(written), incoming_(incoming), writeOk_(writeOk) {}
    bool Write(const uint8_t* data, size_t count) override {
        written_->emplace_back(data, data + count);
        return *writeOk_;
    }
    void Read(Bytes& out) override {
        if (incoming_->empty()) return;
        out.insert(out.end(), incoming_->front().begin(), incoming_->front().end());
        incoming_->pop_front();
    }
    std::string Describe() const override { return "scripted"; }

private:
    std::vector<Bytes>* written_;
    std::deque<Bytes>* incoming_;
    bool* writeOk_;
};

class RecordingClient final : public IOrnPortClient {
public:
    HRESULT __stdcall QueryInterface(REFIID, void** object) override {
        if (object) *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG __stdcall AddRef() override { return 1; }
    ULONG __stdcall Release() override { return 1; }
    void __stdcall DataReceived(uint8_t port, const uint8_t* data, int32_t count) override {
        received.push_back(Bytes(data, data + count));
        ports.push_back(port);
        if (onReceived) onReceived();
    }
    void __stdcall SendNext(int32_t) override { ++sendNext; }
    uint8_t __stdcall IsFrameComplete(uint8_t, const uint8_t* data, int32_t count) override {
        offered.push_back(Bytes(data, data + count));
        return count >= completeAt ? 1 : 0;
    }

    int32_t completeAt = 3;
    std::vector<Bytes> offered;
    std::vector<Bytes> received;
    std::vector<uint8_t> ports;
    int sendNext = 0;
    std::function<void()> onReceived;
};

class PortHubTest : public ::testing::Test {
protected:
    PortHubTest() { hub.Add(2, std::make_unique<ScriptedLine>(&written, &incoming, &writeOk), 100, "COM3 (test)"); }

    PortStats Stats() { return hub.Stats().at(0); }

    PortHub hub;
    RecordingClient client;
    std::vector<Bytes> written;
    std::deque<Bytes> incoming;
    bool writeOk = true;
    const uint8_t frame[3] = {0x01, 0xD0, 0x05};
};

}  // namespace

TEST_F(PortHubTest, OneExchangeAtATimeAndSendNextOnceThePortIsFree) {
    EXPECT_EQ(hub.CanTransmit(2, &client), 1);
    EXPECT_EQ(hub.WritePort(2, frame, 3, &client), 0);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0], Bytes(frame, frame + 3));
    EXPECT_EQ(hub.CanTransmit(2, &client), 0) << "an exchange is open";
    hub.Pump(&client, 0);
    EXPECT_EQ(client.sendNext, 0);

    hub.TransferDone(2, &client);
    EXPECT_EQ(hub.CanTransmit(2, &client), 1);
    EXPECT_EQ(client.sendNext, 0) << "never from inside the driver's own call";
    hub.Pump(&client, 1);
    EXPECT_EQ(client.sendNext, 1);
    hub.Pump(&client, 2);
    EXPECT_EQ(client.sendNext, 1) << "once per freed port";
    EXPECT_EQ(Stats().timeouts, 1) << "closed without an answer";
    EXPECT_EQ(Stats().exchanges, 1);
    EXPECT_EQ(Stats().txBytes, 3);
}

TEST_F(PortHubTest, AnswerIsOfferedAsItGrowsAndHandedOverWhenComplete) {
    ASSERT_EQ(hub.WritePort(2, frame, 3, &client), 0);
    client.completeAt = 4;
    client.onReceived = [&] { hub.TransferDone(2, &client); };
    incoming = {{0x01, 0x11}, {}, {0x22, 0x33}};
    hub.Pump(&client, 10);
    ASSERT_EQ(client.offered.size(), 1u);
    EXPECT_TRUE(client.received.empty());
    hub.Pump(&client, 20);  // nothing new, not quiet long enough: not even offered
    EXPECT_EQ(client.offered.size(), 1u);
    hub.Pump(&client, 30);
    ASSERT_EQ(client.offered.size(), 2u);
    EXPECT_EQ(client.offered[1], (Bytes{0x01, 0x11, 0x22, 0x33}));
    ASSERT_EQ(client.received.size(), 1u);
    EXPECT_EQ(client.received[0], (Bytes{0x01, 0x11, 0x22, 0x33}));
    EXPECT_EQ(client.ports[0], 2);
    EXPECT_EQ(client.sendNext, 1);
    const PortStats s = Stats();
    EXPECT_EQ(s.answers, 1);
    EXPECT_EQ(s.timeouts, 0) << "TransferDone during the delivery is no time-out";
    EXPECT_EQ(s.rxBytes, 4);
}

TEST_F(PortHubTest, IncompleteAnswerIsHandedOverAfterTheQuietGap) {
    ASSERT_EQ(hub.WritePort(2, frame, 3, &client), 0);
    client.completeAt = 100;
    incoming = {{0x01, 0x11, 0x22}};
    hub.Pump(&client, 1000);
    hub.Pump(&client, 1099);
    EXPECT_TRUE(client.received.empty());
    hub.Pump(&client, 1100);
    ASSERT_EQ(client.received.size(), 1u);
    EXPECT_EQ(client.received[0], (Bytes{0x01, 0x11, 0x22}));
    EXPECT_EQ(Stats().incomplete, 1);
    EXPECT_EQ(Stats().answers, 0);
}

TEST_F(PortHubTest, BytesWithoutAnOpenExchangeAreStillHandedOverAndCounted) {
    incoming = {{0x05, 0x06, 0x07}};
    hub.Pump(&client, 0);
    ASSERT_EQ(client.received.size(), 1u);
    EXPECT_EQ(Stats().unexpected, 1);
}

TEST_F(PortHubTest, NewExchangeDropsStaleBytesAndReentryKeepsTheDeliveredAnswer) {
    ASSERT_EQ(hub.WritePort(2, frame, 3, &client), 0);
    client.completeAt = 100;
    incoming = {{0xAA}};
    hub.Pump(&client, 0);  // a stray byte, not complete
    hub.TransferDone(2, &client);
    ASSERT_EQ(hub.WritePort(2, frame, 3, &client), 0);  // the next exchange starts afresh
    client.completeAt = 2;
    // The driver starts another exchange from inside DataReceived.
    client.onReceived = [&] {
        hub.TransferDone(2, &client);
        hub.WritePort(2, frame, 3, &client);
    };
    incoming = {{0x01, 0x02}};
    hub.Pump(&client, 5);
    ASSERT_EQ(client.received.size(), 1u);
    EXPECT_EQ(client.received[0], (Bytes{0x01, 0x02})) << "the stray byte went with the old exchange";
    EXPECT_EQ(hub.CanTransmit(2, &client), 0) << "the exchange started inside the call is open";
}

TEST_F(PortHubTest, FailedAndImpossibleWrites) {
    EXPECT_EQ(hub.WritePort(7, frame, 3, &client), 1) << "a port this host does not have";
    EXPECT_EQ(hub.CanTransmit(7, &client), 1) << "so that the driver's write fails and is logged";
    EXPECT_EQ(hub.WritePort(2, nullptr, 3, &client), 1);
    EXPECT_EQ(hub.WritePort(2, frame, 0, &client), 1);
    writeOk = false;
    EXPECT_EQ(hub.WritePort(2, frame, 3, &client), 1);
    EXPECT_EQ(Stats().writeFailures, 1);
    EXPECT_EQ(hub.CanTransmit(2, &client), 0) << "the driver closes a failed exchange after its wait";
}

namespace {

// A port the hub looks at: bytes are there from the given look on.
class LookedAtLine final : public LinePort {
public:
    explicit LookedAtLine(int bytesAtLook) : bytesAtLook_(bytesAtLook) {}
    bool Write(const uint8_t*, size_t) override { return true; }
    void Read(Bytes&) override {}
    std::optional<int64_t> LookAgainInUs() const override { return 0; }
    bool HasBytes() override { return ++looks >= bytesAtLook_; }
    std::string Describe() const override { return "looked at"; }

    int looks = 0;

private:
    int bytesAtLook_;
};

}  // namespace

TEST(PortHubLooking, WaitLooksOnlyWhileAnExchangeIsOpenAndEndsWhenBytesCame) {
    PortHub hub;
    RecordingClient client;
    auto owned = std::make_unique<LookedAtLine>(3);
    LookedAtLine* line = owned.get();
    hub.Add(0, std::move(owned), 100, "COM1 (test)");

    hub.Wait(5, 0);
    EXPECT_EQ(line->looks, 0) << "no exchange open: nothing to look for";

    const uint8_t frame[2] = {1, 2};
    ASSERT_EQ(hub.WritePort(0, frame, 2, &client), 0);
    // Far shorter than the time-out: the wait ends at the third look.
    hub.Wait(60000, 0);
    EXPECT_EQ(line->looks, 3);
}

TEST_F(PortHubTest, AfterStopSendingAFreedPortStartsNoExchange) {
    ASSERT_EQ(hub.WritePort(2, frame, 3, &client), 0);
    EXPECT_TRUE(hub.AnyBusy());
    hub.StopSending();
    incoming.push_back({1, 2, 3});
    client.onReceived = [this] { hub.TransferDone(2, &client); };
    hub.Pump(&client, 0);
    EXPECT_EQ(client.received.size(), 1u) << "the open exchange still gets its answer";
    EXPECT_FALSE(hub.AnyBusy());
    EXPECT_EQ(client.sendNext, 0);
}
