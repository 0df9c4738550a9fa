// The program itself on a pseudo-terminal: start it, open the path it prints,
// exchange frames. Every wait has a deadline, so a broken program fails the
// test instead of hanging it.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "sim/Hex.h"
#include "ChildProcess.h"
#include "TestUtil.h"

namespace tervex::sim::test {
namespace {

TEST(PtyEndToEnd, ServesBothFramingsOnOneLine)
{
    SimProcess sim({"--controller", "1:mem=RAM 5 11 22 33 44 55 66 77 88", "--controller",
                    "2:framing=ASCII:mem=RAM 5 AA", "--duration", "30"});
    ASSERT_TRUE(sim.Started());
    const std::string path = sim.ReadLine();
    ASSERT_EQ(path.rfind("/dev/", 0), 0u) << "printed: '" << path << "'";

    Terminal terminal(path);
    ASSERT_TRUE(terminal.Open()) << path;
    EXPECT_EQ(HexDump(terminal.Exchange(Bytes("01 D0 05 BD C3"), 11)), "01 11 22 33 44 55 66 77 88 E6 2B");
    EXPECT_EQ(terminal.Exchange(Text("$02D005\r"), 20), Text("!02AA00000000000000\r"));
    EXPECT_EQ(HexDump(terminal.Exchange(Bytes("01 E0 05 34 12 A8 CC"), 4)), "01 E0 01 A8");
    EXPECT_EQ(HexDump(terminal.Exchange(Bytes("01 D0 05 BD C3"), 11)), "01 34 12 33 44 55 66 77 88 14 0F");
    EXPECT_EQ(sim.Stop(), 0);
}

TEST(PtyEndToEnd, LinkPointsAtTheTerminalWhileServing)
{
    char folder[] = "/tmp/tervex-sim-test-XXXXXX";
    ASSERT_NE(::mkdtemp(folder), nullptr);
    const std::string link = std::string(folder) + "/com1";
    {
        SimProcess sim({"--controller", "7", "--link", link, "--duration", "30"});
        ASSERT_TRUE(sim.Started());
        const std::string path = sim.ReadLine();
        char target[256] = {};
        ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
        EXPECT_EQ(path, target);
        Terminal terminal(link);
        ASSERT_TRUE(terminal.Open());
        EXPECT_EQ(HexDump(terminal.Exchange(Bytes("07 D0 05 5D C2"), 11)), "07 00 00 00 00 00 00 00 00 2C C0");
        EXPECT_EQ(sim.Stop(), 0);
    }
    struct stat st {};
    EXPECT_NE(::lstat(link.c_str(), &st), 0) << "the link outlived the program";
    ::rmdir(folder);
}

TEST(PtyEndToEnd, ServesADevicePathWithLineSettings)
{
    // A terminal made here stands in for a serial device.
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    const std::string device = ::ptsname(master);
    {
        SimProcess sim({"--device", device, "--baud", "19200", "--line", "8E1", "--controller",
                        "1:mem=RAM 5 11 22 33 44 55 66 77 88", "--duration", "30"});
        ASSERT_TRUE(sim.Started());
        EXPECT_EQ(sim.ReadLine(), device);
        const auto request = Bytes("01 D0 05 BD C3");
        ASSERT_EQ(::write(master, request.data(), request.size()), static_cast<ssize_t>(request.size()));
        EXPECT_EQ(HexDump(ReadFor(master, 11, kDeadlineMs)), "01 11 22 33 44 55 66 77 88 E6 2B");
        EXPECT_EQ(sim.Stop(), 0);
    }
    ::close(master);
}

TEST(PtyEndToEnd, BadConfigurationEndsWithCodeTwo)
{
    SimProcess sim({"--controller", "1:fault=explode every 2"});
    ASSERT_TRUE(sim.Started());
    EXPECT_EQ(sim.Wait(), 2);
}

}  // namespace
}  // namespace tervex::sim::test
