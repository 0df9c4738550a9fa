// The built-in port: simulated controllers answering in this process, on the
// machine's clock, so that a station runs with nothing else attached.
#include "sim/Clock.h"
#include "sim/ConfigFile.h"
#include "sim/Line.h"
#include "sim/Outbox.h"
#include "tools/host/win/LinePort.h"

namespace tervex::host {

namespace {

class SimulatorPort final : public LinePort {
public:
    explicit SimulatorPort(const sim::LineConfig& config) : line_(clock_, config) {
        for (const sim::ControllerConfig& c : config.controllers) addresses_.push_back(c.address);
    }

    bool Write(const uint8_t* data, size_t count) override {
        outbox_.Push(line_.Feed(data, count));
        return true;
    }

    void Read(std::vector<uint8_t>& out) override {
        const std::vector<uint8_t> due = outbox_.TakeDue(clock_.NowMs());
        out.insert(out.end(), due.begin(), due.end());
    }

    std::string Describe() const override {
        if (addresses_.empty()) return "built-in simulator, no controllers";
        std::string text = addresses_.size() == 1 ? "built-in simulator, controller " : "built-in simulator, controllers ";
        for (size_t i = 0; i < addresses_.size(); ++i) text += (i ? ", " : "") + std::to_string(addresses_[i]);
        return text;
    }

private:
    sim::SteadyClock clock_;
    sim::Line line_;
    sim::Outbox outbox_;
    std::vector<unsigned> addresses_;
};

}  // namespace

std::unique_ptr<LinePort> OpenSimulatorPort(const PortConfig& config, const std::string& baseDir, std::string& error) {
    sim::LineConfig line;
    std::vector<sim::ParseError> errors;
    if (!config.simLineFile.empty()) {
        sim::ConfigResult loaded = sim::LoadConfigFile(config.simLineFile);
        line = loaded.config;
        errors = loaded.errors;
    }
    for (size_t i = 0; i < config.simControllers.size(); ++i)
        sim::AddControllerOption(config.simControllers[i], static_cast<int>(i + 1), baseDir, line, errors);
    if (!errors.empty()) {
        error.clear();
        for (const sim::ParseError& e : errors) error += (error.empty() ? "" : "\n") + e.ToString();
        return nullptr;
    }
    return std::make_unique<SimulatorPort>(line);
}

}  // namespace tervex::host
