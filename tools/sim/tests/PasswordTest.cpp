// Read and write passwords: what they permit, how they are refused and when they expire.
#include <gtest/gtest.h>

#include "sim/Hex.h"
#include "sim/Line.h"
#include "TestUtil.h"

namespace tervex::sim::test {
namespace {

const char* const kRead = "01 D0 05 BD C3";
const char* const kReadData = "01 11 22 33 44 55 66 77 88 E6 2B";
const char* const kWrite = "01 E0 05 34 12 A8 CC";
const char* const kWriteAck = "01 E0 01 A8";
const char* const kReadPasswordAbc = "01 F0 61 62 63 00 00 00 9E 35";
const char* const kReadPasswordAbd = "01 F0 61 62 64 00 00 00 9F 41";
const char* const kReadPasswordAbcx = "01 F0 61 62 63 78 00 00 1E 2C";
const char* const kWritePasswordSecret = "01 F1 73 65 63 72 65 74 B3 2B";
const char* const kWritePasswordSecrep = "01 F1 73 65 63 72 65 70 B2 E8";
const char* const kReadPasswordAck = "01 F0 00 64";
const char* const kWritePasswordAck = "01 F1 C1 A4";
const char* const kReset = "01 FF 40 60";

class Passwords : public ::testing::Test {
protected:
    void Build(const std::string& readPassword, const std::string& writePassword,
               Framing framing = Framing::Rtu)
    {
        LineConfig config = OneController(framing);
        ControllerConfig& c = config.controllers[0];
        c.readPassword = readPassword;
        c.writePassword = writePassword;
        c.passwordIdleMs = 120000;
        c.presets = {{Area::Ram, 5, Bytes("11 22 33 44 55 66 77 88")}};
        line = std::make_unique<Line>(clock, config);
    }
    std::string Ask(const char* hex) { return HexDump(Joined(line->Feed(Bytes(hex)))); }
    std::vector<uint8_t> AskText(const std::string& text) { return Joined(line->Feed(Text(text))); }
    uint8_t Ram5() { return line->Find(1)->Mem().Get(Area::Ram, 5); }

    ManualClock clock{0};
    std::unique_ptr<Line> line;
};

TEST_F(Passwords, ReadNeedsTheReadPassword)
{
    Build("abc", "");
    EXPECT_EQ(Ask(kRead), kReset);
    EXPECT_EQ(Ask(kReadPasswordAbc), kReadPasswordAck);
    EXPECT_EQ(Ask(kRead), kReadData);
    // Writes are not protected by a read password.
    EXPECT_EQ(Ask(kWrite), kWriteAck);
}

TEST_F(Passwords, WrongPasswordIsRefusedAndRevokesTheGrant)
{
    Build("abc", "");
    EXPECT_EQ(Ask(kReadPasswordAbc), kReadPasswordAck);
    EXPECT_EQ(Ask(kReadPasswordAbd), kReset);
    EXPECT_EQ(Ask(kRead), kReset);
    // Six bytes are compared: "abc" is "abc" and three zero bytes, not "abcx".
    EXPECT_EQ(Ask(kReadPasswordAbcx), kReset);
    EXPECT_EQ(Ask(kReadPasswordAbc), kReadPasswordAck);
    EXPECT_EQ(Ask(kRead), kReadData);
}

TEST_F(Passwords, WritePasswordAlsoPermitsReads)
{
    Build("abc", "secret");
    EXPECT_EQ(Ask(kWrite), kReset);
    EXPECT_EQ(Ram5(), 0x11);
    EXPECT_EQ(Ask(kWritePasswordSecrep), kReset);
    EXPECT_EQ(Ask(kWritePasswordSecret), kWritePasswordAck);
    EXPECT_EQ(Ask(kWrite), kWriteAck);
    EXPECT_EQ(Ram5(), 0x34);
    EXPECT_EQ(Ask(kRead), "01 34 12 33 44 55 66 77 88 14 0F");
}

TEST_F(Passwords, ReadPasswordDoesNotPermitWrites)
{
    Build("abc", "secret");
    EXPECT_EQ(Ask(kReadPasswordAbc), kReadPasswordAck);
    EXPECT_EQ(Ask(kRead), kReadData);
    EXPECT_EQ(Ask(kWrite), kReset);
    EXPECT_EQ(Ask("01 B0 05 08 02 A9"), kReset);
    EXPECT_EQ(Ram5(), 0x11);
}

TEST_F(Passwords, OnlyAWritePasswordLeavesReadsFree)
{
    Build("", "secret");
    EXPECT_EQ(Ask(kRead), kReadData);
    // A read password frame is taken by a controller without one, and grants nothing.
    EXPECT_EQ(Ask(kReadPasswordAbc), kReadPasswordAck);
    EXPECT_EQ(Ask(kWrite), kReset);
}

TEST_F(Passwords, LongerPasswordsCountWithTheirFirstSixBytes)
{
    Build("", "secret-and-more");
    EXPECT_EQ(Ask(kWritePasswordSecret), kWritePasswordAck);
    EXPECT_EQ(Ask(kWrite), kWriteAck);
}

TEST_F(Passwords, ForgottenAfterTheIdleTime)
{
    Build("abc", "");
    clock.SetMs(1000);
    EXPECT_EQ(Ask(kReadPasswordAbc), kReadPasswordAck);
    // Exactly the idle time later the grant still holds, and the read renews it.
    clock.SetMs(1000 + 120000);
    EXPECT_EQ(Ask(kRead), kReadData);
    clock.AdvanceMs(120000);
    EXPECT_EQ(Ask(kRead), kReadData);
    // One millisecond more than the idle time: forgotten.
    clock.AdvanceMs(120001);
    EXPECT_EQ(Ask(kRead), kReset);
    EXPECT_FALSE(line->Find(1)->Passwords().ReadGranted());
}

TEST_F(Passwords, FramesForOtherControllersDoNotKeepAGrantAlive)
{
    Build("abc", "");
    EXPECT_EQ(Ask(kReadPasswordAbc), kReadPasswordAck);
    for (int i = 0; i < 5; ++i) {
        clock.AdvanceMs(60000);
        EXPECT_EQ(Ask("02 D0 05 4D C3"), "");
    }
    EXPECT_EQ(Ask(kRead), kReset);
}

TEST_F(Passwords, TextControllerTakesPasswordsInBinaryOnly)
{
    Build("abc", "", Framing::Ascii);
    EXPECT_EQ(AskText("$01D005\r"), Text("?01FF\r"));
    // The password frame in text form is not one the controller takes.
    EXPECT_TRUE(AskText("$01F0616263000000\r").empty());
    EXPECT_EQ(Ask(kReadPasswordAbc), kReadPasswordAck);
    EXPECT_EQ(AskText("$01D005\r"), Text("!011122334455667788\r"));
    // A refused binary password is answered in binary too.
    EXPECT_EQ(Ask(kReadPasswordAbd), kReset);
    EXPECT_EQ(AskText("$01E0053412\r"), Text("!01\r"));  // no write password: writes are free
    EXPECT_EQ(AskText("$01D005\r"), Text("?01FF\r"));
}

}  // namespace
}  // namespace tervex::sim::test
