// The host's command line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tools/host/core/Options.h"

using namespace tervex::host;

namespace {

std::vector<std::string> Parse(std::vector<const char*> args, Options& options) {
    args.insert(args.begin(), "tervex-host");
    return ParseOptions(static_cast<int>(args.size()), args.data(), options);
}

}  // namespace

TEST(Options, DefaultsAndEveryOption) {
    Options defaults;
    EXPECT_TRUE(Parse({}, defaults).empty());
    EXPECT_EQ(defaults.durationMs, 20000);
    EXPECT_EQ(defaults.refreshMs, 5000);
    EXPECT_EQ(defaults.tickMs, 20);
    EXPECT_FALSE(defaults.log);

    Options o;
    const auto errors = Parse({"--dll", "d.dll", "--station", "s.station", "--duration", "2.5", "--refresh", "0",
                               "--tick-ms", "50", "--log", "--sync", "--results", "r.tsv", "--write", "N.A=5",
                               "--write-at", "1.25", "N.B=a=b", "--read-every-ms", "5", "--sleep-ms", "2"},
                              o);
    EXPECT_TRUE(errors.empty()) << errors.front();
    EXPECT_EQ(o.dll, "d.dll");
    EXPECT_EQ(o.station, "s.station");
    EXPECT_EQ(o.durationMs, 2500);
    EXPECT_EQ(o.refreshMs, 0);
    EXPECT_EQ(o.tickMs, 50);
    EXPECT_TRUE(o.log);
    EXPECT_TRUE(o.sync);
    EXPECT_EQ(o.results, "r.tsv");
    EXPECT_EQ(o.readEveryMs, 5);
    EXPECT_EQ(o.sleepMs, 2);
    ASSERT_EQ(o.writes.size(), 2u);
    EXPECT_EQ(o.writes[0].atMs, 0);
    EXPECT_EQ(o.writes[0].item, "N.A");
    EXPECT_EQ(o.writes[0].value, "5");
    EXPECT_EQ(o.writes[1].atMs, 1250);
    EXPECT_EQ(o.writes[1].item, "N.B");
    EXPECT_EQ(o.writes[1].value, "a=b") << "the value is everything after the first =";
}

TEST(Options, EachProblemIsNamed) {
    const std::vector<std::pair<std::vector<const char*>, std::string>> cases = {
        {{"--duration", "0"}, "--duration"},
        {{"--duration", "soon"}, "--duration"},
        {{"--refresh", "-1"}, "--refresh"},
        {{"--tick-ms", "0"}, "--tick-ms"},
        {{"--read-every-ms", "0"}, "--read-every-ms"},
        {{"--sleep-ms", "x"}, "--sleep-ms"},
        {{"--write", "NoDot=5"}, "--write"},
        {{"--write", "N.A"}, "--write"},
        {{"--write-at", "x", "N.A=1"}, "--write-at"},
        {{"--write-at", "1"}, "--write-at"},
        {{"--dll"}, "--dll needs"},
        {{"--colour"}, "unknown option"},
    };
    for (const auto& [args, part] : cases) {
        Options o;
        const auto errors = Parse(args, o);
        ASSERT_EQ(errors.size(), 1u) << part;
        EXPECT_NE(errors[0].find(part), std::string::npos) << errors[0];
    }
}

TEST(Options, TheUsageNamesEveryOptionAndEachIsKnown) {
    const std::string usage = UsageText();
    for (const char* option : {"--configure", "--version", "--help", "--scan", "--wait-timeout", "--tries", "--sim-line"})
        EXPECT_NE(usage.find(option), std::string::npos) << option;
    // Every option the usage shows is one the parser takes.
    for (size_t at = usage.find("--"); at != std::string::npos; at = usage.find("--", at + 2)) {
        const size_t end = usage.find_first_not_of("abcdefghijklmnopqrstuvwxyz-", at + 2);
        const std::string option = usage.substr(at, end - at);
        Options o;
        for (const std::string& e : Parse({option.c_str()}, o))
            EXPECT_EQ(e.find("unknown option"), std::string::npos) << e;
    }
    Options o;
    EXPECT_TRUE(Parse({"--configure", "--station", "s.station", "--version"}, o).empty());
    EXPECT_TRUE(o.configure);
    EXPECT_TRUE(o.version);
}
