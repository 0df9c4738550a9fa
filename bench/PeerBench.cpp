// Request/answer exchanges over a pseudo-terminal with no baud-rate limit, side by side:
// a libmodbus RTU client against a libmodbus RTU server (read of 4 holding registers,
// 8 data bytes), and the poll engine against the simulator (8-byte RAM read). Each
// server runs in a thread of this process and the client side in the benchmark thread;
// the CPU time reported is the process's, both ends together.
#include <benchmark/benchmark.h>
#include <modbus.h>

#include <atomic>
#include <csignal>
#include <fcntl.h>
#include <memory>
#include <optional>
#include <thread>
#include <unistd.h>

#include "EngineWorld.h"
#include "ItemPlan.h"
#include "PeerBench.h"
#include "TerminalPort.h"
#include "sim/Clock.h"
#include "sim/Line.h"
#include "sim/app/Port.h"
#include "sim/app/Serve.h"

namespace bench {

namespace {

// A libmodbus RTU server on the terminal side of a pty; the client takes the master.
class ModbusPair {
public:
    static constexpr int kStopRegister = 99;

    bool Start(std::string& error) {
        if (!PtyPair::Open(FPty, error)) return false;
        FServer = modbus_new_rtu(FPty.terminalPath.c_str(), 115200, 'N', 8, 1);
        FClient = modbus_new_rtu(FPty.terminalPath.c_str(), 115200, 'N', 8, 1);
        FMapping = modbus_mapping_new(0, 0, 128, 0);
        if (!FServer || !FClient || !FMapping || modbus_set_slave(FServer, 1) != 0 || modbus_connect(FServer) != 0) {
            error = std::string("libmodbus: ") + modbus_strerror(errno);
            return false;
        }
        for (int i = 0; i < 8; ++i) FMapping->tab_registers[i] = static_cast<uint16_t>(0x1122 * (i + 1));
        modbus_set_socket(FClient, FPty.master.Get());
        modbus_set_slave(FClient, 1);
        modbus_set_response_timeout(FClient, 1, 0);
        FThread = std::thread([this] { Serve(); });
        return true;
    }

    modbus_t* Client() { return FClient; }

    ~ModbusPair() {
        if (FThread.joinable()) {
            FStop = true;
            uint16_t regs[4];
            modbus_read_registers(FClient, 0, 4, regs);  // wakes the server, which sees the flag
            FThread.join();
        }
        if (FServer) {
            modbus_close(FServer);
            modbus_free(FServer);
        }
        if (FClient) modbus_free(FClient);  // its descriptor is the pair's master
        if (FMapping) modbus_mapping_free(FMapping);
    }

private:
    void Serve() {
        uint8_t query[MODBUS_RTU_MAX_ADU_LENGTH];
        while (!FStop) {
            const int rc = modbus_receive(FServer, query);
            if (rc > 0) {
                modbus_reply(FServer, query, rc, FMapping);
            } else if (rc < 0 && errno != EMBBADCRC && errno != ETIMEDOUT) {
                break;
            }
        }
    }

    PtyPair FPty;
    modbus_t* FServer = nullptr;
    modbus_t* FClient = nullptr;
    modbus_mapping_t* FMapping = nullptr;
    std::atomic<bool> FStop{false};
    std::thread FThread;
};

// The simulator program's own loop, on its own pty, in a thread.
class SimulatorThread {
public:
    bool Start(bool ascii, std::string& error) {
        if (!tervex::sim::Port::OpenPty("", FPort, error)) return false;
        tervex::sim::LineConfig config;
        config.frameGapMs = 100;
        tervex::sim::ControllerConfig controller;
        controller.address = 1;
        controller.framing = ascii ? tervex::sim::Framing::Ascii : tervex::sim::Framing::Rtu;
        controller.presets.push_back({tervex::sim::Area::Ram, 0, {0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77, 0x88}});
        config.controllers.push_back(controller);
        FLine = std::make_unique<tervex::sim::Line>(FClock, config);
        FThread = std::thread([this] { tervex::sim::Serve(FPort, FClock, *FLine, std::nullopt, &FStop); });
        return true;
    }
    const std::string& Path() const { return FPort.Path(); }

    ~SimulatorThread() {
        if (FThread.joinable()) {
            FStop = 1;
            // A stray byte wakes its wait at once; the simulator drops it.
            UniqueFd fd(::open(FPort.Path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK));
            if (fd.Valid()) {
                const uint8_t wake = 0;
                [[maybe_unused]] const ssize_t n = ::write(fd.Get(), &wake, 1);
            }
            FThread.join();
        }
    }

private:
    tervex::sim::SteadyClock FClock;
    tervex::sim::Port FPort;
    std::unique_ptr<tervex::sim::Line> FLine;
    volatile std::sig_atomic_t FStop = 0;
    std::thread FThread;
};

// The engine as the host would drive it on one real port.
struct EngineOnTerminal {
    SystemClock clock;
    std::unique_ptr<TerminalPort> port;
    CountingServer server;
    CountingSink sink;
    tervex::DriverSettings settings;
    std::unique_ptr<tervex::PollEngine> engine;

    bool Open(const std::string& path, std::string& error) {
        UniqueFd fd = OpenTimedTerminal(path, 10, error);
        if (!fd.Valid()) return false;
        port = std::make_unique<TerminalPort>(std::move(fd));
        engine = std::make_unique<tervex::PollEngine>(clock, *port, server, sink, settings);
        return true;
    }
    // Pumps until `count` tasks have ended; false on a stall.
    bool WaitFor(int64_t count) {
        while (sink.finished < count) {
            if (!port->Pump(*engine, 0)) return false;
        }
        return true;
    }
};

constexpr int kBatch = 256;

}  // namespace

void ModbusExchange(benchmark::State& state) {
    ModbusPair pair;
    std::string error;
    if (!pair.Start(error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    uint16_t regs[4];
    for (auto _ : state) {
        if (modbus_read_registers(pair.Client(), 0, 4, regs) != 4) {
            state.SkipWithError("libmodbus read failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations());
}

void DriverExchange(benchmark::State& state, bool ascii, bool batch) {
    SimulatorThread simulator;
    EngineOnTerminal driver;
    std::string error;
    if (!simulator.Start(ascii, error) || !driver.Open(simulator.Path(), error)) {
        state.SkipWithError(error.c_str());
        return;
    }
    const tervex::NodeParams node = MakeNode(0, 1, ascii);
    int64_t queued = 0;
    const int perIteration = batch ? kBatch : 1;
    for (auto _ : state) {
        // One RAM read, or a batch of reads of distinct EEPROM blocks (one frame each).
        for (int k = 0; k < perIteration; ++k) {
            driver.engine->QueueTask(batch ? ReadTask(node, 2, 8 * k, 17) : ReadTask(node, 0, 0, 17));
        }
        driver.engine->Poll(0);
        queued += perIteration;
        if (!driver.WaitFor(queued) || driver.sink.good != queued) {
            state.SkipWithError("an exchange with the simulator failed");
            break;
        }
    }
    state.SetItemsProcessed(state.iterations() * perIteration);
}

void RegisterPeerBenchmarks(int rounds) {
    // Rounds that alternate the stacks, so that a change in the machine's load hits both
    // alike; the order flips from round to round, and a first pair warms up uncounted.
    auto modbus = [](const std::string& round) {
        benchmark::RegisterBenchmark(("Peer/libmodbus_RTU" + round).c_str(), ModbusExchange)
            ->UseRealTime()->MeasureProcessCPUTime()->MinTime(0.5);
    };
    auto driver = [](const std::string& round) {
        benchmark::RegisterBenchmark(("Peer/driver_RTU" + round).c_str(), DriverExchange, false, false)
            ->UseRealTime()->MeasureProcessCPUTime()->MinTime(0.5);
    };
    modbus("/warmup");
    driver("/warmup");
    for (int r = 1; r <= rounds; ++r) {
        const std::string round = "/round:" + std::to_string(r);
        if (r % 2) {
            modbus(round);
            driver(round);
        } else {
            driver(round);
            modbus(round);
        }
        benchmark::RegisterBenchmark(("Peer/driver_ASCII" + round).c_str(), DriverExchange, true, false)
            ->UseRealTime()->MeasureProcessCPUTime()->MinTime(0.5);
        benchmark::RegisterBenchmark(("Peer/driver_RTU_batch" + std::to_string(kBatch) + round).c_str(),
                                     DriverExchange, false, true)
            ->UseRealTime()->MeasureProcessCPUTime()->MinTime(0.5);
    }
}

}  // namespace bench
