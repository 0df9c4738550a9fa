// Read and write passwords: frames on the wire, answers after the passwords,
// and the outcome of a wrong or missing password.
#include <gtest/gtest.h>

#include "Plant.h"

namespace tervex::host::e2e {
namespace {

const char* const kLine = R"([controller 4]
framing = RTU
read_password = 1234
write_password = admin
mem = ОЗУ 0x00 11 22 33 44 00 00 00 00

[controller 5]
framing = ASCII
read_password = ключ
write_password = замок
mem = EEPROM 0x0010 "Пароль" 00 00

[controller 6]
read_password = 1234
mem = ОЗУ 0x00 01 02

[controller 7]
write_password = secret
mem = ОЗУ 0x00 0A 0B
)";

bool Logged(const Results& results, const std::string& part) {
    for (const std::string& line : results.log)
        if (line.find(part) != std::string::npos) return true;
    return false;
}

TEST(Passwords, GivenPasswordsOpenTheControllersAndWrongOnesAreReported) {
    ASSERT_TRUE(Environment().missing.empty()) << "not set: " << Environment().missing;
    constexpr int kCom = 35;
    SimLine line(kCom, kLine);
    ASSERT_TRUE(line.Ok()) << line.Error();

    NodeSpec rtu = Node("Rtu", kCom, 4, "RTU", Order::Msb, "1234", "admin");
    rtu.items = {Item("A", "ОЗУ", 0, "Word"), Item("B", "ОЗУ", 4, "Integer", 0, "99999")};
    NodeSpec ascii = Node("Ascii", kCom, 5, "ASCII", Order::Lsb, "ключ", "замок");
    ascii.items = {Item("T", "EEPROM", 0x10, "String"), Item("W", "EEPROM", 0x20, "Small Integer", 0, "-5")};
    NodeSpec wrong = Node("WrongRead", kCom, 6, "RTU", Order::Msb, "9999", "");
    wrong.items = {Item("X", "ОЗУ", 0, "Byte")};
    NodeSpec noWrite = Node("NoWrite", kCom, 7);
    noWrite.items = {Item("Y", "ОЗУ", 0, "Byte"), Item("Z", "ОЗУ", 1, "Byte", 0, "5")};
    const std::vector<NodeSpec> nodes = {rtu, ascii, wrong, noWrite};

    TempDir dir;
    const std::string station =
        dir.Write("locks.station", StationText("WaitTimeout = 500\nCountTry = 2\nTimeNextSend = 2000\n", nodes));
    const std::string resultsPath = dir.Path() + "/results.tsv";
    std::vector<std::string> args = {"--station", station, "--duration", "3", "--refresh", "0", "--results", resultsPath};
    const std::vector<std::string> writes = WriteArgs(nodes, "0.5");
    args.insert(args.end(), writes.begin(), writes.end());

    const int64_t start = UnixNowMs();
    const HostOutcome outcome = RunHost(args, 60000);
    const int64_t end = UnixNowMs();
    ASSERT_EQ(outcome.exitCode, 0) << Shown(outcome);
    const Results results = ReadResults(resultsPath);
    ASSERT_TRUE(results.loaded) << Shown(outcome);

    // Password frames are binary whatever the framing: D, F0/F1, six characters
    // in Windows-1251 padded with zeros, CRC.
    EXPECT_TRUE(Logged(results, "Tx: 04 F0 31 32 33 34 00 00 ")) << "read password of the RTU node";
    EXPECT_TRUE(Logged(results, "Tx: 04 F1 61 64 6D 69 6E 00 ")) << "write password of the RTU node";
    EXPECT_TRUE(Logged(results, "Tx: 05 F0 EA EB FE F7 00 00 ")) << "read password of the ASCII node";
    EXPECT_TRUE(Logged(results, "Tx: 05 F1 E7 E0 EC EE EA 00 ")) << "write password of the ASCII node";

    // With the right passwords everything reads and writes as without them.
    ExpectNodeMatchesMemory(results, line, kLine, rtu, start, end);
    ExpectNodeMatchesMemory(results, line, kLine, ascii, start, end);

    // A wrong read password: the controller answers with its password-reset form.
    const auto& x = results.Item("WrongRead.X");
    EXPECT_EQ(x.at("result"), "0xCFFF0005");
    EXPECT_EQ(x.at("quality"), "0x0618");
    EXPECT_EQ(results.Number(x, "reads_ok"), 0);
    EXPECT_GT(results.Number(x, "reads_bad"), 1);

    // No write password given where one is wanted: reads work, the write is refused.
    const auto& y = results.Item("NoWrite.Y");
    EXPECT_EQ(y.at("quality"), "0x00C0");
    EXPECT_EQ(y.at("value"), "i:10");
    const auto& z = results.writes.at("NoWrite.Z");
    EXPECT_EQ(z.at("done"), "1");
    EXPECT_EQ(z.at("result"), "0xCFFF0005");
    EXPECT_EQ(z.at("quality"), "0x0618");
    EXPECT_EQ(line.Memory(7, "ОЗУ", 1, 1), std::vector<uint8_t>{0x0B}) << "the refused write changed nothing";
    EXPECT_EQ(results.Item("NoWrite.Z").at("value"), "i:11");
}

}  // namespace
}  // namespace tervex::host::e2e
