// A misbehaving host, through the DLL: structured exceptions raised from every host
// call the driver makes, a port that refuses writes, one that stays busy, one that
// never answers, and bytes nobody asked for. Each time the driver must go on, finish
// the task and release it.
#include <gtest/gtest.h>

#include <string>

#include "dll/HostRig.h"

using namespace testing_host;

namespace {

class HostFaults : public ::testing::Test {
protected:
    RaisingServer server;
    RaisingPort port;
    DriverUnderHost host{&server, &port};
    IOrnDriver2* driver = host.driver;

    void SetUp() override { ASSERT_NE(driver, nullptr); }

    // A plain read afterwards still goes through: the driver is in working order.
    void ExpectStillWorking() {
        server.raiseOnLog = server.raiseOnIdle = false;
        port.raiseOnCanTransmit = port.raiseOnWrite = port.raiseOnTransferDone = false;
        port.canTransmit = true;
        port.writeResult = 0;
        HostTask probe;
        driver->QueueTask(probe.Def(tervex::tkAsyncRead, 99));
        driver->Poll(0);
        ASSERT_FALSE(port.writes.empty());
        EXPECT_EQ(port.writes.back().bytes, kReadAt5);
        host.Deliver(0, kAnswerAt5);
        ASSERT_EQ(probe.item.completions.size(), 1u);
        EXPECT_EQ(probe.item.completions[0].result, S_OK);
        EXPECT_EQ(probe.item.refs, 0);
    }
};

struct CallbackCase {
    const char* name;
    uint8_t kind;
    bool raiseOnRead, raiseOnWrite, raiseOnTransfer, raiseOnRelease;
    DWORD code;
    bool throwOnRead = false;
};

const CallbackCase kCallbackCases[] = {
    {"ReadComplete", tervex::tkAsyncRead, true, false, false, false, kDelphiException},
    {"ReadCompleteMsvc", tervex::tkAsyncRead, true, false, false, false, kMsvcException},
    {"WriteComplete", tervex::tkAsyncWrite, false, true, false, false, kDelphiException},
    {"ReportTransfer", tervex::tkAsyncRead, false, false, true, false, kDelphiException},
    {"ReportTransferOfAWrite", tervex::tkSyncWrite, false, false, true, false, kMsvcException},
    {"Release", tervex::tkAsyncRead, false, false, false, true, kDelphiException},
    {"AllOfThem", tervex::tkAsyncRead, true, true, true, true, EXCEPTION_ACCESS_VIOLATION},
#if defined(__x86_64__)
    // A C++ exception of this program's own runtime. Only where exceptions are
    // dispatched through the system's unwind tables can it pass the driver's frames.
    // On i386, MinGW unwinds C++ with DWARF tables that each module registers with its
    // own statically linked unwinder: this program's unwinder cannot see the driver's
    // frames and calls std::terminate before any handler in the driver runs. No code in
    // the driver can catch that, and no real host raises it: hosts built with other
    // compilers raise structured exceptions, which the cases above cover on both.
    {"ReadCompleteThrowingCpp", tervex::tkAsyncRead, false, false, false, false, 0, true},
#endif
};

// One case a test, so that a single one can be chosen by name.
class HostCallbackFaults : public HostFaults, public ::testing::WithParamInterface<CallbackCase> {};

TEST_P(HostCallbackFaults, AreSwallowed) {
    const CallbackCase& c = GetParam();
    // Two items of one frame: the second, quiet one is finished although the first raised.
    HostTask first, second;
    first.item.raiseOnRead = c.raiseOnRead;
    first.item.raiseOnWrite = c.raiseOnWrite;
    first.item.raiseOnTransfer = c.raiseOnTransfer;
    first.item.raiseOnRelease = c.raiseOnRelease;
    first.item.throwOnRead = c.throwOnRead;
    first.item.code = c.code;
    for (HostTask* t : {&first, &second}) {
        V_VT(&t->state.value) = VT_I4;
        V_I4(&t->state.value) = 7;
        driver->QueueTask(t->Def(c.kind, 5));
    }
    const bool write = c.kind == tervex::tkAsyncWrite || c.kind == tervex::tkSyncWrite;
    const Bytes answer = write ? Bytes{0x01, 0xE0, 0x01, 0xA8} : kAnswerAt5;
    // A synchronous task is answered from inside the poll's wait, as a host does.
    server.onIdle = [&] {
        if (!port.writes.empty() && first.item.refs > 0) host.Deliver(0, answer);
    };
    driver->Poll(0);
    ASSERT_EQ(port.writes.size(), 1u) << "one frame serves both";
    if (first.item.refs > 0) host.Deliver(0, answer);
    server.onIdle = nullptr;
    for (HostTask* t : {&first, &second}) {
        EXPECT_EQ(t->state.quality, 0xC0);
        EXPECT_EQ(t->item.transfers.size(), 1u);
        if (c.kind == tervex::tkSyncWrite) {
            EXPECT_EQ(t->result, S_OK);
        } else {
            ASSERT_EQ(t->item.completions.size(), 1u);
            EXPECT_EQ(t->item.completions[0].result, S_OK);
        }
        EXPECT_EQ(t->item.refs, 0) << "the task was released";
    }
    if (!write) {
        EXPECT_EQ(V_I4(&first.state.value), 0x11);
    }
    ExpectStillWorking();
}

INSTANTIATE_TEST_SUITE_P(ItemCalls, HostCallbackFaults, ::testing::ValuesIn(kCallbackCases),
                         [](const ::testing::TestParamInfo<CallbackCase>& info) { return std::string(info.param.name); });

TEST_F(HostFaults, StructuredExceptionsFromWriteLogAndIdleAreSwallowed) {
    server.raiseOnLog = true;
    server.raiseOnIdle = true;
    HostTask task;
    server.onIdle = [&] {
        if (!port.writes.empty() && task.item.refs > 0) host.Deliver(0, kAnswerAt5);
    };
    driver->QueueTask(task.Def(tervex::tkSyncRead));
    driver->Poll(0);
    EXPECT_EQ(task.result, S_OK) << "the answer given from inside the raising Idle counts";
    EXPECT_EQ(V_I4(&task.state.value), 0x11);
    EXPECT_EQ(server.idleCalls, 1);
    ASSERT_EQ(server.log.size(), 2u) << "each raising WriteLog was still made once";
    EXPECT_EQ(server.log[0], "COM1 Tx: 01 D0 05 BD C3 ");
    EXPECT_EQ(task.item.refs, 0);

    // A silent device: the raising log lines do not cut the retries short.
    server.onIdle = nullptr;
    ASSERT_TRUE(host.Apply("WaitTimeout", "20"));
    HostTask silent;
    driver->QueueTask(silent.Def(tervex::tkSyncRead));
    driver->Poll(0);
    EXPECT_EQ(silent.result, kNoAnswer);
    EXPECT_EQ(CountLines(server, "COM1 Адрес 1: устройство не доступно"), 1);
    EXPECT_EQ(silent.item.refs, 0);
    ASSERT_TRUE(host.Apply("TimeNextSend", "0"));
    ExpectStillWorking();
}

TEST_F(HostFaults, StructuredExceptionsFromThePortAreSwallowed) {
    ASSERT_TRUE(host.Apply("WaitTimeout", "20"));
    ASSERT_TRUE(host.Apply("TimeNextSend", "0"));

    // CanTransmit raising counts as a busy port: nothing is written meanwhile.
    port.raiseOnCanTransmit = true;
    HostTask busy;
    driver->QueueTask(busy.Def(tervex::tkAsyncRead));
    driver->Poll(0);
    for (int i = 0; i < 20; ++i) driver->TimerTick();
    EXPECT_TRUE(port.writes.empty());
    EXPECT_GE(port.canTransmitCalls, 21);
    port.raiseOnCanTransmit = false;
    driver->TimerTick();
    ASSERT_EQ(port.writes.size(), 1u);
    host.Deliver(0, kAnswerAt5);
    ASSERT_EQ(busy.item.completions.size(), 1u);
    EXPECT_EQ(busy.item.completions[0].result, S_OK);

    // TransferDone raising: the answer is processed all the same.
    port.raiseOnTransferDone = true;
    HostTask done;
    driver->QueueTask(done.Def(tervex::tkAsyncRead));
    driver->Poll(0);
    host.Deliver(0, kAnswerAt5);
    ASSERT_EQ(done.item.completions.size(), 1u);
    EXPECT_EQ(done.item.completions[0].result, S_OK);
    EXPECT_EQ(done.item.refs, 0);
    port.raiseOnTransferDone = false;

    // WritePort raising counts as a refused write: retried, then given up.
    port.raiseOnWrite = true;
    port.writes.clear();
    const size_t linesBefore = server.log.size();
    HostTask refused;
    driver->QueueTask(refused.Def(tervex::tkSyncRead));
    driver->Poll(0);
    EXPECT_EQ(refused.result, kNoAnswer);
    EXPECT_EQ(refused.state.quality, 0x0218);
    EXPECT_EQ(port.writes.size(), 3u);
    EXPECT_EQ(CountLines(server, "COM1: Ошибка при записи в порт"), 3);
    EXPECT_EQ(server.log.size() - linesBefore, 4u) << "three refusals and the device given up";
    EXPECT_EQ(refused.item.refs, 0);
    ExpectStillWorking();
}

TEST_F(HostFaults, WritePortFailingEndsInNoAnswer) {
    ASSERT_TRUE(host.Apply("WaitTimeout", "20"));
    ASSERT_TRUE(host.Apply("CountTry", "2"));
    port.writeResult = 1;
    HostTask task;
    driver->QueueTask(task.Def(tervex::tkSyncRead));
    driver->Poll(0);
    EXPECT_EQ(port.writes.size(), 2u);
    EXPECT_EQ(CountLines(server, "COM1: Ошибка при записи в порт"), 2);
    EXPECT_EQ(CountLines(server, "COM1 Адрес 1: устройство не доступно"), 1);
    EXPECT_EQ(CountLines(server, "COM1 Tx: 01 D0 05 BD C3 "), 0) << "a refused write is not traced as sent";
    EXPECT_EQ(task.result, kNoAnswer);
    EXPECT_EQ(task.state.quality, 0x0218);
    ASSERT_EQ(task.item.transfers.size(), 1u);
    EXPECT_EQ(task.item.transfers[0].answered, 0);
    EXPECT_EQ(task.item.transfers[0].tries, 2);
    EXPECT_EQ(task.item.refs, 0);
    ASSERT_TRUE(host.Apply("TimeNextSend", "0"));
    ExpectStillWorking();
}

TEST_F(HostFaults, BusyPortForLongDoesNotTimeOut) {
    // The driver's own wait (10 ms steps) runs far past WaitTimeout while the port is
    // busy; the request was never handed over, so it does not time out.
    ASSERT_TRUE(host.Apply("WaitTimeout", "20"));
    port.canTransmit = false;
    HostTask task;
    server.onIdle = [&] {
        if (server.idleCalls == 30) port.canTransmit = true;  // about 300 ms later
        if (!port.writes.empty() && task.item.refs > 0) host.Deliver(0, kAnswerAt5);
    };
    driver->QueueTask(task.Def(tervex::tkSyncRead));
    driver->Poll(0);
    EXPECT_GE(server.idleCalls, 30);
    EXPECT_GE(port.canTransmitCalls, 30);
    ASSERT_EQ(port.writes.size(), 1u) << "written once, when the port came free";
    EXPECT_EQ(task.result, S_OK);
    ASSERT_EQ(task.item.transfers.size(), 1u);
    EXPECT_EQ(task.item.transfers[0].tries, 0) << "answered at the first write";
    EXPECT_EQ(task.item.refs, 0);

    // Still busy when the host clears: the task is dropped and released.
    port.canTransmit = false;
    server.onIdle = nullptr;
    HostTask dropped;
    driver->QueueTask(dropped.Def(tervex::tkAsyncRead));
    driver->Poll(0);
    for (int i = 0; i < 50; ++i) driver->TimerTick();
    EXPECT_EQ(dropped.item.refs, 1);
    driver->ClearAll();
    EXPECT_EQ(dropped.item.refs, 0);
    EXPECT_TRUE(dropped.item.completions.empty());
    ExpectStillWorking();
}

TEST_F(HostFaults, PortThatNeverAnswers) {
    ASSERT_TRUE(host.Apply("WaitTimeout", "20"));
    ASSERT_TRUE(host.Apply("CountTry", "2"));
    HostTask first;
    driver->QueueTask(first.Def(tervex::tkSyncRead));
    driver->Poll(0);
    EXPECT_EQ(first.result, kNoAnswer);
    EXPECT_EQ(port.writes.size(), 2u);

    // Within the rest the device's next task fails at once, unwritten and unlogged.
    const size_t lines = server.log.size();
    HostTask resting;
    driver->QueueTask(resting.Def(tervex::tkAsyncRead, 8));
    driver->Poll(0);
    ASSERT_EQ(resting.item.completions.size(), 1u);
    EXPECT_EQ(resting.item.completions[0].result, kNoAnswer);
    EXPECT_EQ(resting.state.quality, 0x0218);
    EXPECT_EQ(port.writes.size(), 2u);
    EXPECT_EQ(server.log.size(), lines);
    EXPECT_TRUE(resting.item.transfers.empty()) << "nothing was transmitted for it";
    EXPECT_EQ(resting.item.refs, 0);

    // Another device on the same port is not held up by it.
    HostTask other(true, 2);
    driver->QueueTask(other.Def(tervex::tkAsyncRead));
    driver->Poll(0);
    ASSERT_EQ(port.writes.size(), 3u);
    EXPECT_EQ(port.writes[2].bytes, WithCrc({0x02, 0xD0, 0x05}));
    host.Deliver(0, WithCrc({0x02, 1, 2, 3, 4, 5, 6, 7, 8}));
    ASSERT_EQ(other.item.completions.size(), 1u);
    EXPECT_EQ(other.item.completions[0].result, S_OK);
    EXPECT_EQ(V_I4(&other.state.value), 1);
}

TEST_F(HostFaults, BytesThatNoRequestAwaits) {
    // A port the driver never used, a port whose request is still queued, and the
    // empty deliveries a port makes when it stays silent.
    host.Deliver(7, kAnswerAt5);
    ASSERT_EQ(server.log.size(), 2u);
    EXPECT_EQ(server.log[0], "COM8 Rx: 01 11 22 33 44 55 66 77 88 E6 2B ");
    EXPECT_EQ(server.log[1], "Получены не ожидаемые данные");
    EXPECT_TRUE(port.transfersDone.empty());
    EXPECT_EQ(host.client->IsFrameComplete(7, kAnswerAt5.data(), 11), 1) << "judged as RTU without a request";
    EXPECT_EQ(host.client->IsFrameComplete(7, kAnswerAt5.data(), 10), 0);
    EXPECT_EQ(host.client->IsFrameComplete(7, nullptr, 11), 0);
    EXPECT_EQ(host.client->IsFrameComplete(7, kAnswerAt5.data(), -1), 0);

    port.canTransmit = false;
    HostTask task;
    driver->QueueTask(task.Def(tervex::tkAsyncRead));
    driver->Poll(0);
    host.Deliver(0, kAnswerAt5);
    EXPECT_EQ(CountLines(server, "Получены не ожидаемые данные"), 2);
    EXPECT_TRUE(task.item.completions.empty()) << "the queued request is not answered by them";
    host.client->DataReceived(0, nullptr, 0);
    host.client->DataReceived(0, nullptr, 5);
    host.client->DataReceived(0, kAnswerAt5.data(), 0);
    host.client->DataReceived(0, kAnswerAt5.data(), -3);
    EXPECT_EQ(CountLines(server, "Получены не ожидаемые данные"), 2) << "no bytes, nothing unexpected";
    EXPECT_TRUE(port.transfersDone.empty());

    port.canTransmit = true;
    driver->TimerTick();
    ASSERT_EQ(port.writes.size(), 1u);
    host.Deliver(0, kAnswerAt5);
    ASSERT_EQ(task.item.completions.size(), 1u);
    EXPECT_EQ(task.item.completions[0].result, S_OK);
    host.Deliver(0, kAnswerAt5);
    EXPECT_EQ(CountLines(server, "Получены не ожидаемые данные"), 3) << "a second answer to the same request";
    EXPECT_EQ(task.item.completions.size(), 1u);
}

}  // namespace
