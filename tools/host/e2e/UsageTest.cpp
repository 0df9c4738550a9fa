// The host's command line and messages as an integrator meets them: arguments
// in Cyrillic on a Windows whose language is not Russian, the versions, and
// errors that say what went wrong.
#include <gtest/gtest.h>

#include "Plant.h"

namespace tervex::host::e2e {
namespace {

std::string DemoLine() { return Environment().stations + "/demo-com1.conf"; }

TEST(Usage, CyrillicArgumentsArriveIntactUnderAnEnglishLocale) {
    ASSERT_TRUE(Environment().missing.empty()) << "not set: " << Environment().missing;
    // Wine takes the Windows code page from the locale: 1252 for C or English,
    // where a program reading its arguments as ANSI gets "???" for "ОЗУ". C.UTF-8
    // keeps the Unix side UTF-8, so that Wine widens the arguments right.
    const std::vector<std::string> english = {"LC_ALL=C.UTF-8", "LANG=en_US.UTF-8"};
    const HostOutcome codePage =
        RunWine({"reg", "query", "HKLM\\System\\CurrentControlSet\\Control\\Nls\\CodePage", "/v", "ACP"}, 60000, english);
    ASSERT_NE(codePage.output.find("1252"), std::string::npos) << "not an English code page: " << codePage.output;
    for (const char* area : {"ОЗУ", "RAM"}) {
        SCOPED_TRACE(area);
        const HostOutcome read = RunHost({"--read-once", "COM1", "--sim-line", DemoLine(), "--area", area, "--at", "0"},
                                         60000, english);
        EXPECT_EQ(read.exitCode, 0) << Shown(read);
        EXPECT_NE(read.output.find("Reading ОЗУ 0000 hex Byte of address 1"), std::string::npos) << Shown(read);
    }
    // A read password in Cyrillic goes out as its Windows-1251 bytes.
    const HostOutcome password = RunHost({"--read-once", "COM1", "--sim-line", DemoLine(), "--read-password", "ключ"},
                                         60000, english);
    EXPECT_NE(password.output.find("COM1 Tx: 01 F0 EA EB FE F7 00 00 "), std::string::npos) << Shown(password);
    // And a station whose file name is Cyrillic opens.
    TempDir dir;
    const std::string station = dir.Write("котельная.station", "[node Boiler]\nport = COM1\nitem Status ОЗУ 0 Byte\n");
    const HostOutcome served = RunHost({"--station", station, "--duration", "0.5", "--refresh", "0"}, 60000, english);
    EXPECT_EQ(served.exitCode, 0) << Shown(served);
    EXPECT_NE(served.output.find("котельная.station: 1 port(s), 1 node(s), 1 item(s)"), std::string::npos) << Shown(served);
}

TEST(Usage, VersionsComeFromTheVersionResources) {
    ASSERT_TRUE(Environment().missing.empty()) << "not set: " << Environment().missing;
    const HostOutcome version = RunHost({"--version"}, 60000);
    EXPECT_EQ(version.exitCode, 0) << Shown(version);
    EXPECT_NE(version.output.find(std::string("tervex-host ") + TERVEX_VERSION), std::string::npos) << Shown(version);
    EXPECT_NE(version.output.find(std::string(" ") + TERVEX_VERSION + " ("), std::string::npos) << Shown(version);
    // The banner of a run names the version of the library it loaded.
    const HostOutcome read = RunHost({"--read-once", "COM1", "--sim-line", DemoLine()}, 60000);
    EXPECT_NE(read.output.find(std::string("with Tervex ") + TERVEX_VERSION + " ("), std::string::npos) << Shown(read);
}

TEST(Usage, ErrorsSayWhatWentWrongAndWhereToLook) {
    ASSERT_TRUE(Environment().missing.empty()) << "not set: " << Environment().missing;
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        std::vector<std::string> parts;
    };
    const std::vector<Case> cases = {
        // The system's own text after the number, and the ports there are.
        {{"--read-once", "COM77"}, 1, {"opening COM77 failed (Windows error 2: ", "; th"}},
        {{"--dll", "missing.dll"}, 1, {"cannot load missing.dll (Windows error 126: "}},
        {{"--station", "missing.station"}, 2, {"missing.station: cannot be read: No such file or directory"}},
        {{"--scan", "COM1", "--colour"}, 2, {"unknown option \"--colour\"", "tervex-host --help lists every option"}},
        {{"--read-once", "COM1", "--area", "ПЗУ"}, 2, {"--area: ", "tervex-host --help lists every option"}},
        {{"--configure"}, 2, {"--configure needs --station FILE", "tervex-host --help lists every option"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back());
        const HostOutcome outcome = RunHost(c.args, 60000);
        EXPECT_EQ(outcome.exitCode, c.exitCode) << Shown(outcome);
        for (const std::string& part : c.parts) EXPECT_NE(outcome.output.find(part), std::string::npos) << part << "\n" << Shown(outcome);
    }
    const HostOutcome help = RunHost({"--help"}, 60000);
    EXPECT_EQ(help.exitCode, 0);
    for (const char* option : {"--configure", "--version", "--scan", "--wait-timeout", "exit codes"})
        EXPECT_NE(help.output.find(option), std::string::npos) << option;
}

}  // namespace
}  // namespace tervex::host::e2e
