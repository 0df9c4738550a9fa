#include "tools/host/win/HostRun.h"

#include <algorithm>
#include <cstdio>

#include "tools/host/core/ExitCodes.h"
#include "tools/host/win/StopFlag.h"

namespace tervex::host {

namespace {

// Bounds each wait, so that Ctrl+C is noticed soon.
constexpr int64_t kLongestWaitMs = 100;
// How long the exchanges still on the wire at the end may take to finish.
constexpr int64_t kFinishMs = 2000;

bool IsTraceLine(const std::string& line) {
    return line.find(" Tx: ") != std::string::npos || line.find(" Rx: ") != std::string::npos;
}

}  // namespace

HostRun::HostRun(const Options& options, Station station)
    : options_(options), poller_(std::move(station), options.sync, options.tickMs) {
    poller_.onEvent = [this](const std::string& text) { Event(text); };
}

HostRun::~HostRun() = default;

bool HostRun::LoadDriver() {
    std::string error;
    if (!module_.Load(options_.dll, error)) {
        Print("tervex-host: " + error + "\n");
        return false;
    }
    driver_ = module_.Driver();
    ShortString name{}, description{}, third{};
    driver_->Initialize(&server_, &poller_.Hub(), &name, &description, &third, &client_);
    if (!client_) {
        Print("tervex-host: the driver gave no port client\n");
        return false;
    }
    poller_.Attach(driver_, client_);
    server_.onLog = [this](const std::string& line) { OnLog(line); };
    server_.onIdle = [this] { poller_.Pump(); };
    PrintBanner(ShortStringToUtf8(name), ShortStringToUtf8(description));
    return true;
}

void HostRun::ApplySettings() {
    for (const auto& [name, value] : poller_.Model().settings)
        if (!ApplySetting(driver_, name, value)) Event("the driver refused the setting " + name + " = " + value);
}

bool HostRun::OpenPorts() {
    bool ok = true;
    for (const PortOpening& port : poller_.OpenPorts()) {
        if (!port.opened) {
            Print("tervex-host: " + port.name + ": " + port.text + "\n");
            ok = false;
            continue;
        }
        Print("  " + port.name + (port.name.size() < 5 ? "      " : "     ") + port.text + "\n");
    }
    return ok;
}

bool HostRun::PrepareWrites() {
    bool ok = true;
    for (const WriteOption& option : options_.writes) {
        std::string error;
        if (poller_.AddWrite(option, error)) continue;
        Print("tervex-host: --write " + option.item + ": " + error + "\n");
        ok = false;
    }
    return ok;
}

void HostRun::OnLog(const std::string& line) {
    char stamp[16];
    std::snprintf(stamp, sizeof(stamp), "%7.3f", static_cast<double>(NowMs()) / 1000.0);
    ++logLines_;
    if (line.find(" Tx: ") != std::string::npos) ++logFramesSent_;
    if (results_.is_open()) results_ << "log\t" << stamp << "\t" << line << "\n";
    if (options_.log) Print(std::string("  ") + stamp + "  " + line + "\n");
    else if (!IsTraceLine(line)) Event(line);
}

void HostRun::Loop() {
    int64_t nextTableMs = options_.refreshMs;
    while (!StopRequested()) {
        const int64_t now = NowMs();
        if (now >= options_.durationMs) break;
        poller_.Step(now);
        if (options_.refreshMs > 0 && now >= nextTableMs && nextTableMs < options_.durationMs) {
            PrintTable(now);
            nextTableMs += options_.refreshMs;
        }
        if (options_.sleepMs > 0) {
            Sleep(static_cast<DWORD>(options_.sleepMs));
            continue;
        }
        // Until a port has bytes or the next thing is due; answers are then
        // handed over, and the next frame written, the moment they arrive.
        int64_t until = std::min(options_.durationMs, NowMs() + kLongestWaitMs);
        if (options_.refreshMs > 0 && nextTableMs < options_.durationMs) until = std::min(until, nextTableMs);
        poller_.Wait(until);
    }
    poller_.Finish(NowMs() + kFinishMs);
}

void HostRun::Shutdown() {
    poller_.Shutdown();
    if (poller_.HeldAfterClear() != 0)
        Event("the driver still holds " + std::to_string(poller_.HeldAfterClear()) + " item reference(s) after ClearAll");
    unexpectedCalls_ = server_.UnexpectedCalls() + poller_.UnexpectedCalls();
    if (unexpectedCalls_ != 0) Event("the driver called " + std::to_string(unexpectedCalls_) + " slot(s) it should not");
    if (client_) {
        client_->Release();
        client_ = nullptr;
    }
}

int HostRun::Run() {
    poller_.RestartClock();
    if (!LoadDriver()) return kExitUnavailable;
    ApplySettings();
    if (!OpenPorts()) return kExitUnavailable;
    poller_.BuildElements(options_.readEveryMs);
    if (!PrepareWrites()) return kExitBadInput;
    if (!OpenResults()) return kExitUnavailable;
    Print("\n");
    poller_.RestartClock();
    Loop();
    const bool stopped = StopRequested();
    PrintTable(NowMs());
    PrintSummary();
    Shutdown();
    const bool written = WriteResults();
    if (stopped) Print("stopped early\n");
    // A run stopped with Ctrl+C still ends well: its summary is what was asked for.
    return written ? kExitDone : kExitUnavailable;
}

}  // namespace tervex::host
