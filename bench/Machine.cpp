#include "Machine.h"

#include <benchmark/benchmark.h>
#include <modbus.h>
#include <sys/utsname.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>

namespace bench {

namespace {

// The value of the first "key<sep>value" line of a file, trimmed.
std::string FieldOf(const std::string& path, const std::string& key, char separator) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line)) {
        if (line.compare(0, key.size(), key) != 0) continue;
        const size_t at = line.find(separator, key.size());
        if (at == std::string::npos) continue;
        std::string value = line.substr(at + 1);
        const size_t first = value.find_first_not_of(" \t\"");
        const size_t last = value.find_last_not_of(" \t\"");
        return first == std::string::npos ? std::string() : value.substr(first, last - first + 1);
    }
    return {};
}

bool HasCpuFlag(const std::string& flag) {
    const std::string flags = " " + FieldOf("/proc/cpuinfo", "flags", ':') + " ";
    return flags.find(" " + flag + " ") != std::string::npos;
}

std::string Caches() {
    std::string text;
    for (const auto& cache : benchmark::CPUInfo::Get().caches) {
        if (!text.empty()) text += ", ";
        text += "L" + std::to_string(cache.level) + " " + cache.type + " " + std::to_string(cache.size / 1024) +
                " KiB";
        if (cache.num_sharing > 1) text += " (shared by " + std::to_string(cache.num_sharing) + ")";
    }
    return text;
}

}  // namespace

std::vector<MachineLine> DescribeMachine() {
    std::vector<MachineLine> lines;
    const auto& cpu = benchmark::CPUInfo::Get();
    std::string model = FieldOf("/proc/cpuinfo", "model name", ':');
    if (HasCpuFlag("hypervisor")) model += " (virtual machine)";
    lines.push_back({"CPU", model});
    lines.push_back({"Logical CPUs", std::to_string(cpu.num_cpus) + " at " +
                                         std::to_string(static_cast<int>(cpu.cycles_per_second / 1e6)) + " MHz"});
    lines.push_back({"Caches", Caches()});
    const std::string memKb = FieldOf("/proc/meminfo", "MemTotal", ':');
    lines.push_back({"Memory", memKb.empty() ? "unknown" : std::to_string(std::atoll(memKb.c_str()) / 1024) + " MiB"});
    utsname uts{};
    uname(&uts);
    lines.push_back({"System", FieldOf("/etc/os-release", "PRETTY_NAME", '=') + ", kernel " + uts.release + " " +
                                   uts.machine});
    lines.push_back({"Compiler", std::string("g++ ") + __VERSION__ + ", build type " + TERVEX_BUILD_TYPE});
    lines.push_back({"Libraries", std::string("Google Benchmark (Debian libbenchmark-dev), libmodbus ") +
                                      LIBMODBUS_VERSION_STRING});
    return lines;
}

std::string LoadAverage() {
    double load[3] = {0, 0, 0};
    if (getloadavg(load, 3) != 3) return "unknown";
    char text[64];
    std::snprintf(text, sizeof text, "%.2f, %.2f, %.2f", load[0], load[1], load[2]);
    return text;
}

std::string NowUtc() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M UTC", &utc);
    return text;
}

}  // namespace bench
