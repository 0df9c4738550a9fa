#include "tools/host/win/PortHub.h"

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <optional>

#include "tools/host/win/ShortSleep.h"

namespace tervex::host {

namespace {

// More than any answer can hold: what piles up beyond it is noise.
constexpr size_t kMaxAnswerBytes = 512;
// How often a port the host looks at is looked at while its answer may be
// arriving: a small share of a character even at 115,200 baud.
constexpr int64_t kLookStepUs = 20;

}  // namespace

void PortHub::Add(uint8_t index, std::unique_ptr<LinePort> port, int rxGapMs, std::string name) {
    Port& p = ports_[index];
    p.line = std::move(port);
    p.rxGapMs = rxGapMs;
    p.stats.name = std::move(name);
}

uint8_t __stdcall PortHub::WritePort(uint8_t port, const uint8_t* data, int32_t count, IOrnPortClient*) {
    const auto found = ports_.find(port);
    if (found == ports_.end() || !data || count <= 0) return 1;
    Port& p = found->second;
    ++p.stats.exchanges;
    p.stats.txBytes += count;
    // A new exchange: whatever was left of an earlier answer is stale.
    p.rx.clear();
    p.busy = true;
    if (!p.line->Write(data, static_cast<size_t>(count))) {
        ++p.stats.writeFailures;
        return 1;
    }
    return 0;
}

uint8_t __stdcall PortHub::CanTransmit(uint8_t port, IOrnPortClient*) {
    const auto found = ports_.find(port);
    // A port this host does not have is "free": the write then fails and the driver says so.
    return found == ports_.end() || !found->second.busy ? 1 : 0;
}

void __stdcall PortHub::TransferDone(uint8_t port, IOrnPortClient*) {
    const auto found = ports_.find(port);
    if (found == ports_.end()) return;
    Port& p = found->second;
    if (p.busy && !p.delivering) ++p.stats.timeouts;
    p.busy = false;
    sendNext_ = true;
}

void PortHub::Deliver(uint8_t index, Port& port, IOrnPortClient* client, bool complete) {
    if (!port.busy) ++port.stats.unexpected;
    else if (complete) ++port.stats.answers;
    else ++port.stats.incomplete;
    // The driver may start the next exchange from inside the call, which clears rx.
    const std::vector<uint8_t> bytes = std::move(port.rx);
    port.rx.clear();
    port.delivering = true;
    client->DataReceived(index, bytes.data(), static_cast<int32_t>(bytes.size()));
    port.delivering = false;
}

void PortHub::Pump(IOrnPortClient* client, int64_t nowMs) {
    if (pumping_ || !client) return;
    pumping_ = true;
    nowMs_ = nowMs;
    for (auto& [index, port] : ports_) {
        const size_t before = port.rx.size();
        port.line->Read(port.rx);
        if (port.rx.size() > before) {
            port.stats.rxBytes += static_cast<int64_t>(port.rx.size() - before);
            port.lastRxMs = nowMs;
        } else if (port.rx.empty()) {
            continue;
        } else if (nowMs - port.lastRxMs < port.rxGapMs) {
            continue;  // nothing new and not yet quiet long enough
        }
        const bool complete = client->IsFrameComplete(index, port.rx.data(), static_cast<int32_t>(port.rx.size())) != 0;
        if (complete) Deliver(index, port, client, true);
        else if (nowMs - port.lastRxMs >= port.rxGapMs || port.rx.size() > kMaxAnswerBytes) Deliver(index, port, client, false);
    }
    if (sendNext_ && sending_) {
        sendNext_ = false;
        client->SendNext(0);
    }
    pumping_ = false;
}

void PortHub::Wait(int64_t timeoutMs, int64_t nowMs) {
    std::vector<HANDLE> events;
    std::optional<int64_t> lookUs;
    for (auto& [index, port] : ports_) {
        port.line->PrepareWait();
        if (void* event = port.line->WaitHandle()) {
            events.push_back(event);
        } else if (port.busy) {
            if (const auto us = port.line->LookAgainInUs()) lookUs = std::min(lookUs.value_or(*us), *us);
            else timeoutMs = std::min<int64_t>(timeoutMs, 1);
        }
        if (!port.rx.empty()) timeoutMs = std::min(timeoutMs, port.lastRxMs + port.rxGapMs - nowMs);
    }
    if (lookUs && *lookUs < timeoutMs * 1000) {
        LookUntilBytes(*lookUs, timeoutMs * 1000);
        return;
    }
    const auto ms = static_cast<DWORD>(std::max<int64_t>(timeoutMs, 0));
    if (events.size() > MAXIMUM_WAIT_OBJECTS) Sleep(std::min<DWORD>(ms, 1));  // too many to wait on: look often
    else if (events.empty()) Sleep(ms);
    else WaitForMultipleObjects(static_cast<DWORD>(events.size()), events.data(), FALSE, ms);
}

void PortHub::LookUntilBytes(int64_t firstUs, int64_t timeoutUs) {
    // Only the ports are looked at here, which costs a fraction of a host step.
    const auto start = std::chrono::steady_clock::now();
    int64_t waitUs = firstUs;
    for (;;) {
        SleepMicroseconds(std::max(waitUs, kLookStepUs));
        std::optional<int64_t> next;
        for (auto& [index, port] : ports_) {
            if (!port.busy) continue;
            const auto us = port.line->LookAgainInUs();
            if (!us) continue;
            if (*us == 0 && port.line->HasBytes()) return;
            next = std::min(next.value_or(*us), *us);
        }
        const auto elapsed = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - start);
        if (!next || elapsed.count() + *next >= timeoutUs) return;
        waitUs = *next;
    }
}

bool PortHub::AnyBusy() const {
    return std::any_of(ports_.begin(), ports_.end(), [](const auto& entry) { return entry.second.busy; });
}

std::vector<PortStats> PortHub::Stats() const {
    std::vector<PortStats> stats;
    for (const auto& [index, port] : ports_) stats.push_back(port.stats);
    return stats;
}

}  // namespace tervex::host
