#include "E2eSupport.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "sim/ConfigFile.h"
#include "sim/app/Serve.h"

namespace tervex::host::e2e {

namespace {

std::string Var(const char* name, std::string& missing) {
    const char* value = std::getenv(name);
    if (!value || !*value) {
        missing += std::string(missing.empty() ? "" : ", ") + name;
        return std::string();
    }
    return value;
}

int64_t SteadyMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

int64_t UnixNowMs() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

const Env& Environment() {
    static const Env env = [] {
        Env e;
        e.hostExe = Var("TERVEX_HOST_EXE", e.missing);
        e.dll = Var("TERVEX_DLL", e.missing);
        e.wineRun = Var("TERVEX_WINE_RUN", e.missing);
        e.prefix = Var("WINEPREFIX", e.missing);
        e.stations = Var("TERVEX_STATIONS", e.missing);
        return e;
    }();
    return env;
}

TempDir::TempDir() {
    char pattern[] = "/tmp/tervex-host-e2e-XXXXXX";
    if (!::mkdtemp(pattern)) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Write(const std::string& name, const std::string& text) const {
    const std::string path = path_ + "/" + name;
    std::ofstream(path, std::ios::binary) << text;
    return path;
}

SimLine::SimLine(int comNumber, const std::string& configText) {
    const sim::ConfigResult config = sim::ParseConfigText(configText, "line", "/");
    if (!config.errors.empty()) {
        error_ = config.errors.front().ToString();
        return;
    }
    line_ = std::make_unique<sim::Line>(clock_, config.config);
    line_->SetLog([this](const std::string& text) { log_.push_back(text); });
    std::filesystem::create_directories(Environment().prefix + "/dosdevices");
    const std::string link = Environment().prefix + "/dosdevices/com" + std::to_string(comNumber);
    if (!sim::Port::OpenPty(link, port_, error_)) {
        if (error_.empty()) error_ = "cannot open a pseudo-terminal";
        return;
    }
    thread_ = std::thread([this] { sim::Serve(port_, clock_, *line_, std::nullopt, &stop_); });
}

SimLine::~SimLine() { Stop(); }

void SimLine::Stop() {
    stop_ = 1;
    if (thread_.joinable()) thread_.join();
}

std::vector<uint8_t> SimLine::Memory(uint8_t controller, const std::string& area, uint32_t address, size_t count) {
    Stop();
    const auto which = sim::AreaFromName(area == "RAM" ? "ОЗУ" : area);
    sim::Controller* c = line_ ? line_->Find(controller) : nullptr;
    if (!which || !c) return {};
    return c->Mem().Read(*which, address, count);
}

HostOutcome RunHost(const std::vector<std::string>& args, int timeoutMs, const std::vector<std::string>& environment) {
    const Env& env = Environment();
    std::vector<std::string> command = {env.hostExe, "--dll", env.dll};
    command.insert(command.end(), args.begin(), args.end());
    return RunWine(command, timeoutMs, environment);
}

HostOutcome RunWine(const std::vector<std::string>& command, int timeoutMs, const std::vector<std::string>& environment) {
    HostOutcome outcome;
    char outPath[] = "/tmp/tervex-host-out-XXXXXX";
    const int outFd = ::mkstemp(outPath);
    if (outFd < 0) return outcome;

    std::vector<std::string> argv = {Environment().wineRun};
    argv.insert(argv.end(), command.begin(), command.end());
    std::vector<char*> raw;
    for (std::string& a : argv) raw.push_back(a.data());
    raw.push_back(nullptr);
    // Built before the fork: the child only execs.
    std::vector<std::string> envText = environment;
    for (char** e = environ; *e; ++e) {
        const std::string entry = *e;
        const std::string name = entry.substr(0, entry.find('=') + 1);
        bool replaced = false;
        for (const std::string& given : environment) replaced = replaced || given.compare(0, name.size(), name) == 0;
        if (!replaced) envText.push_back(entry);
    }
    std::vector<char*> envp;
    for (std::string& e : envText) envp.push_back(e.data());
    envp.push_back(nullptr);

    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        ::dup2(outFd, 1);
        ::dup2(outFd, 2);
        const int devNull = ::open("/dev/null", O_RDONLY);
        if (devNull >= 0) ::dup2(devNull, 0);
        ::execve(raw[0], raw.data(), envp.data());
        ::_exit(127);
    }
    ::close(outFd);
    if (pid < 0) {
        ::unlink(outPath);
        return outcome;
    }
    const int64_t deadline = SteadyMs() + timeoutMs;
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) break;
        if (SteadyMs() >= deadline) {
            outcome.timedOut = true;
            ::kill(-pid, SIGKILL);
            ::kill(pid, SIGKILL);
            ::waitpid(pid, &status, 0);
            break;
        }
        ::usleep(20000);
    }
    if (!outcome.timedOut && WIFEXITED(status)) outcome.exitCode = WEXITSTATUS(status);
    outcome.output = ReadFile(outPath);
    ::unlink(outPath);
    return outcome;
}

const std::map<std::string, std::string>& Results::Item(const std::string& name) const {
    static const std::map<std::string, std::string> none;
    const auto found = items.find(name);
    return found == items.end() ? none : found->second;
}

int64_t Results::Number(const std::map<std::string, std::string>& fields, const std::string& key) const {
    const auto found = fields.find(key);
    if (found == fields.end()) return -1;
    if (found->second.compare(0, 2, "0x") == 0) return std::stoll(found->second, nullptr, 16);
    return std::stoll(found->second);
}

Results ReadResults(const std::string& path) {
    Results results;
    std::ifstream in(path, std::ios::binary);
    if (!in) return results;
    results.loaded = true;
    std::string line;
    while (std::getline(in, line)) {
        std::vector<std::string> fields;
        std::stringstream split(line);
        std::string field;
        while (std::getline(split, field, '\t')) fields.push_back(field);
        if (fields.size() < 2) continue;
        if (fields[0] == "log") {
            results.log.push_back(line.substr(4));
            continue;
        }
        std::map<std::string, std::string> values;
        for (size_t i = 1; i < fields.size(); ++i) {
            const size_t eq = fields[i].find('=');
            if (eq != std::string::npos) values[fields[i].substr(0, eq)] = fields[i].substr(eq + 1);
        }
        if (fields[0] == "item") results.items[fields[1]] = values;
        else if (fields[0] == "write") results.writes[fields[1]] = values;
        else if (fields[0] == "node") results.nodes[fields[1]] = values;
        else if (fields[0] == "port") results.ports[fields[1]] = values;
        else if (fields[0] == "host") results.host = values;
        else results.other[fields[0]][fields[1]] = values;
    }
    return results;
}

}  // namespace tervex::host::e2e
