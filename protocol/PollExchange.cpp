// The exchange side of the poll cycle: the transmit step, reception, and the processing
// of an answer or a silence that finishes the tasks waiting on a request.
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/AnswerJudge.h"
#include "protocol/Crc16.h"
#include "protocol/Framing.h"
#include "protocol/PollEngine.h"
#include "values/ComPortName.h"

namespace tervex {

namespace {

constexpr double kMsPerDay = 86400000.0;
constexpr uint8_t kNoAnswer = 2;
constexpr uint8_t kWriteFailed = 3;
constexpr uint8_t kPasswordReset = 0xFF;

// A device address as answers are judged: outside 0..255 it counts as 0.
uint8_t AnswerDeviceAddress(int64_t address) {
    return address >= 0 && address <= 255 ? static_cast<uint8_t>(address) : 0;
}

// Asks for a request, and the counts kept in front of it, to be brought near before its
// turn: a poll's requests lie far apart in memory by the time they are sent.
void PrefetchRequest(const TRequest& request) {
    const uintptr_t from = reinterpret_cast<uintptr_t>(&request) - 32;
    for (uintptr_t at = from; at <= from + sizeof(TRequest); at += 64) {
        __builtin_prefetch(reinterpret_cast<const void*>(at));
    }
}

// "COM1 Tx: " and the frame's trace text, built in one piece.
std::string FrameLine(uint8_t portNo, const char* marker, const uint8_t* data, size_t count, const Framing& framing) {
    std::string line = ComPortName(portNo);
    line.reserve(line.size() + 5 + 3 * count);
    line += marker;
    framing.AppendTrace(line, data, count);
    return line;
}

}  // namespace

void PollEngine::TimerTick() noexcept {
    try {
        TransmitStep();
        ReceiveGapCheck();
    } catch (...) {
    }
}

// Every port whose unfinished ASCII answer has waited out the receive gap counts as
// silent, once; the others keep gathering.
void PollEngine::ReceiveGapCheck() {
    // By position, without a copy: the host may change the table from within a silence,
    // and a port met twice has its watch stopped already.
    for (size_t i = 0; i < FPorts.Ports().size(); ++i) {
        if (!FPorts.Ports()[i]->Assembler.GapExpired()) {
            continue;
        }
        const PortPtr port = FPorts.Ports()[i];
        port->Assembler.StopGapWatch();
        try {
            const RequestPtr head = port->Queue.Head();
            if (head && head->State == kRequestAwaiting && FramingFor(head->Protocol).GathersPieces()) {
                Receive(port, port->PortNo, nullptr, 0);
            } else {
                port->Assembler.Reset();  // nothing waits for these characters any more
            }
        } catch (...) {
        }
    }
}

void PollEngine::SendNext() noexcept {
    TransmitStep();
}

void PollEngine::DataReceived(uint8_t port, const uint8_t* data, int32_t count) noexcept {
    try {
        Receive(FPorts.Find(port), port, data, count);
    } catch (...) {
    }
}

bool PollEngine::IsFrameComplete(uint8_t port, const uint8_t* data, int32_t count) const noexcept {
    try {
        if (data == nullptr || count <= 0) {
            return false;
        }
        const PortPtr record = FPorts.Find(port);
        const RequestPtr head = record ? record->Queue.Head() : nullptr;
        const Framing& framing = head ? FramingFor(head->Protocol) : RtuFraming();
        const size_t n = static_cast<size_t>(count);
        // A binary answer ends in its CRC, but a shorter run of its bytes may too.
        if (head && !framing.GathersPieces() && n < LeastAnswerBytes(head->Command, data, n)) {
            return false;
        }
        return framing.IsFrameComplete(data, n);
    } catch (...) {
        return false;
    }
}

void PollEngine::TransmitStep() {
    try {
        // A copy: the host may change the table from within the calls below.
        const std::vector<PortPtr> ports = FPorts.Ports();
        SendPhase(ports);
        TimeoutPhase(ports);
    } catch (...) {
    }
}

void PollEngine::SendPhase(const std::vector<PortPtr>& ports) {
    for (const PortPtr& port : ports) {
        try {
            if (port->Detached) {
                continue;
            }
            RequestPtr head = port->Queue.Head();
            // A data frame whose tasks have all ended before it was ever written is not
            // sent: nobody waits for it, and a write must not land after its task failed.
            // A write whose item went away is the client's last word on it: it is sent.
            while (head && head->State == kRequestQueued && head->Tries == 0 && !IsPasswordCommand(head->Command) &&
                   !head->KeptForRemovedItem && !HasWaiters(*head)) {
                port->Queue.Remove(head);
                head = port->Queue.Head();
            }
            if (!head || head->State != kRequestQueued) {
                continue;
            }
            bool free = false;
            try {
                free = FHostPort.CanTransmit(port->PortNo);
            } catch (...) {
            }
            if (!free || port->Detached || port->Queue.Head() != head || head->State != kRequestQueued) {
                continue;
            }
            port->Queue.TakeHead();
            head->State = kRequestAwaiting;
            head->Written = false;
            head->SendTime = 0;
            TDeviceStatus* device = port->Device(head->DeviceIndex);
            if (device == nullptr) {
                continue;  // failed in the time-out phase
            }
            const uint64_t nowMs = FClock.MonotonicMs();
            if (device->LastResult != 0 && device->HasSent) {
                const uint64_t restedMs = nowMs > device->LastSendTick ? nowMs - device->LastSendTick : 0;
                if (static_cast<int64_t>(restedMs) < static_cast<int64_t>(FSettings.TimeNextSend)) {
                    continue;  // resting after a failure: failed unwritten in the time-out phase
                }
            }
            const double now = FClock.LocalNow();
            head->Written = true;
            head->SendTime = now;
            head->SendTick = nowMs;
            ++head->Tries;
            device->LastSendTime = now;
            device->LastSendTick = nowMs;
            device->HasSent = true;
            // While the answer is awaited: the tasks it finishes, and the next request.
            FTasks.Prefetch(head->Waiters);
            if (const TRequest* next = port->Queue.AfterHead()) {
                PrefetchRequest(*next);
            }
            uint8_t written = 1;
            try {
                written = FHostPort.WritePort(port->PortNo, head->Data.data(), head->Size());
            } catch (...) {
                written = 1;
            }
            if (written == 0) {
                device->LastResult = 0;
                Log(FrameLine(port->PortNo, " Tx: ", head->Data.data(), head->Data.size(), FramingFor(head->Protocol)));
            } else {
                device->LastResult = kWriteFailed;
                Log(ComPortName(port->PortNo) + ": Ошибка при записи в порт");
            }
        } catch (...) {
        }
    }
}

void PollEngine::TimeoutPhase(const std::vector<PortPtr>& ports) {
    for (const PortPtr& port : ports) {
        try {
            if (port->Detached) {
                continue;
            }
            const RequestPtr head = port->Queue.Head();
            if (!head || head->State != kRequestAwaiting) {
                continue;
            }
            TDeviceStatus* device = port->Device(head->DeviceIndex);
            if (device == nullptr || !head->Written) {
                Receive(port, port->PortNo, nullptr, 0);
                continue;
            }
            const uint64_t nowMs = FClock.MonotonicMs();
            const uint64_t waitedMs = nowMs > head->SendTick ? nowMs - head->SendTick : 0;
            if (static_cast<int64_t>(waitedMs) >= static_cast<int64_t>(FSettings.WaitTimeout)) {
                device->LastResult = kNoAnswer;
                Receive(port, port->PortNo, nullptr, 0);
            }
        } catch (...) {
        }
    }
}

void PollEngine::Receive(const PortPtr& port, uint8_t portNo, const uint8_t* data, int32_t count) {
    const RequestPtr head = port && !port->Detached ? port->Queue.Head() : nullptr;
    const bool received = data != nullptr && count > 0;
    if (received) {
        const Framing& framing = head ? FramingFor(head->Protocol) : RtuFraming();
        Log(FrameLine(portNo, " Rx: ", data, static_cast<size_t>(count), framing));
    }
    if (!head || head->State != kRequestAwaiting) {
        if (received) {
            Log("Получены не ожидаемые данные");
        }
        return;
    }
    if (FramingFor(head->Protocol).GathersPieces()) {
        const AsciiAssembler::Result piece = port->Assembler.Assemble(received ? data : nullptr, received ? count : 0);
        if (!piece.complete) {
            return;  // the head waits for the rest, or for the receive gap
        }
        if (piece.resetPasswords) {
            port->ClearPasswordsOf(piece.device);
        }
        data = piece.data;
        count = piece.count;
    }
    // A copy: the host may deliver more bytes from within the completions.
    std::vector<uint8_t> answer;
    if (data != nullptr && count > 0) {
        answer.assign(data, data + count);
    }
    head->State = kRequestJudging;
    try {
        FHostPort.TransferDone(portNo);
    } catch (...) {
    }
    bool finished = true;
    try {
        finished = ProcessAnswer(port, head, answer);
    } catch (...) {
        // Out of memory part way: the tasks still waiting on the head must not be left
        // without their frame, so it goes back to be written again.
        finished = false;
    }
    if (finished) {
        port->Queue.Remove(head);
        // The next head's tasks, for the send step that is to come.
        if (const RequestPtr next = port->Queue.Head()) {
            FTasks.Prefetch(next->Waiters);
        }
    } else {
        head->State = kRequestQueued;
    }
}

bool PollEngine::ProcessAnswer(const PortPtr& port, const RequestPtr& request, const std::vector<uint8_t>& answer) {
    TDeviceStatus* device = port->Device(request->DeviceIndex);
    const uint8_t* data = answer.empty() ? nullptr : answer.data();
    const int count = static_cast<int>(answer.size());
    const bool crcError = IsCrcError(data, answer.size());
    const AnswerOutcome exchange = JudgeExchange(*request, device, answer);
    if (device != nullptr && !answer.empty()) {
        FDiagnostics.Answered(port->PortNo, device->Address, exchange, NowMs());
    }

    if (device != nullptr && (answer.empty() || crcError)) {
        if (device->Online && static_cast<int64_t>(request->Tries) < static_cast<int64_t>(FSettings.CountTry)) {
            device->LastResult = 0;
            return false;  // written again by a later transmit step
        }
        device->Online = 0;
    }

    // What the exchange means for the device, once, whoever waits on it.
    const bool accepted = IsAcceptedAnswer(data, count, device != nullptr);
    if (accepted) {
        device->Online = 1;
        device->LastAnswerTime = device->LastSendTime;
        device->LastAnswerTick = device->LastSendTick;
        device->HasAnswered = true;
        if (count >= 2 && answer[1] == kPasswordReset) {
            port->ClearPasswordsOf(answer[0]);
        }
        if (IsPasswordCommand(request->Command)) {
            device->ReadPasswordPending = 0;
            device->WritePasswordPending = 0;
        }
    } else {
        if (request->Written && device != nullptr) {
            Log(ComPortName(port->PortNo) + " Адрес " + std::to_string(AnswerDeviceAddress(device->Address)) +
                ": устройство не доступно");
        }
        if (!crcError && device != nullptr && device->LastResult == kNoAnswer) {
            device->ClearPasswords();  // given again once the device answers
        }
    }
    if (device != nullptr) {
        FDiagnostics.Finished(port->PortNo, device->Address, CodesOf(exchange).result, device->Online != 0,
                              request->Written, !answer.empty());
    }

    // The waiters in the order they were linked: the task that opened the frame, then
    // the later ones in address order. The active list holds a batch the other way
    // round, so this is the order in which a walk of that list from its end meets them.
    // Each is looked up again after every call to the host.
    bool first = true;
    const TaskRefs& waiters = request->Waiters;
    for (size_t k = 0; k < waiters.size(); ++k) {
        const TaskRef ref = waiters[k];
        TaskRecord* task = WaitingTask(ref, *request);
        if (task == nullptr) {
            continue;  // ended (perhaps from within an earlier completion), or moved on
        }
        if (accepted && IsPasswordCommand(request->Command)) {
            const Timestamp now = Timestamp::Now();
            Stamp(task->context, kQualityBad, &now);  // still waits for its data frame
            continue;
        }
        FinishServed(ref.slot, *request, device, answer, accepted, first);
    }
    return true;
}

TaskRecord* PollEngine::WaitingTask(TaskRef ref, const TRequest& request) {
    TaskRecord* task = FTasks.Find(ref);
    return task != nullptr && task->phase == TaskRecord::Phase::Active && task->requests.Holds(request.Id) ? task
                                                                                                          : nullptr;
}

bool PollEngine::HasWaiters(const TRequest& request) {
    for (size_t k = 0; k < request.Waiters.size(); ++k) {
        if (WaitingTask(request.Waiters[k], request) != nullptr) {
            return true;
        }
    }
    return false;
}

void PollEngine::FinishServed(uint32_t slot, const TRequest& request, const TDeviceStatus* device,
                              const std::vector<uint8_t>& answer, bool accepted, bool& first) {
    Deactivate(slot);
    const TaskRecord& task = FTasks[slot];
    const EngineNode& node = FNodes[task.node];

    AnswerFacts facts = ExchangeFacts(request, device, answer);
    facts.isRead = IsReadKind(task.kind);
    facts.area = task.area;
    facts.deviceAddress = node.answerDevice;
    const AnswerOutcome outcome = JudgeAnswer(facts);
    const OutcomeCodes codes = CodesOf(outcome);

    Completion completion;
    completion.kind = task.kind;
    completion.node = &node.params;
    completion.typeCode = task.typeCode;
    completion.bitNumber = task.bitNumber;
    completion.result = codes.result;
    completion.quality = codes.quality;
    completion.timestamp = Timestamp::Now();
    if (!accepted && device != nullptr && device->HasSent) {
        // A failed exchange is stamped with the moment its wait ran out.
        completion.timestamp = Timestamp::Local(device->LastSendTime + FSettings.WaitTimeout / kMsPerDay);
    }
    TValue value;
    if (outcome == AnswerOutcome::Good && facts.isRead) {
        const int offset = ReadAnswerOffset(task.address, request.StartAddress);
        try {
            value = DecodeValue(answer.data() + offset, 9 - offset, task.typeCode, task.bitNumber, node.lsbFirst);
            completion.value = &value;
            completion.valueBytes = answer.data() + offset;
            completion.valueByteCount = 9 - offset;
        } catch (...) {
            // No memory for the value: the task has ended, so it fails rather than vanishes.
            completion.result = kResultFail;
            completion.quality = kQualityBad;
        }
    }
    if (request.Tries > 0) {
        const bool received = !answer.empty();
        completion.reportTransfer = true;
        completion.transfer.answered = received;
        completion.transfer.tries = received ? request.Tries - 1 : request.Tries;
        completion.transfer.first = first;
        first = false;
    }
    // The host may change anything in the call; the task's place stays its own until
    // Forget, as only its own ending releases it.
    Finish(task.context, completion);
    Forget(slot);
}

}  // namespace tervex
