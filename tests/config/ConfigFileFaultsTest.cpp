// Configuration files that are malformed or hostile, and values that do not fit a file line:
// each ends in the error log (or a message), never in a crash, a cut value or a command the
// file did not hold.
#include "config/ConfigExport.h"
#include "config/ConfigFile.h"
#include "config/ConfigImport.h"
#include "config/RemoteDevice.h"
#include "platform/ProfileFile.h"
#include "tests/config/ConfigTransferFixture.h"

#include <filesystem>
#include <fstream>

namespace vireo::test {
namespace {

const char* const kInvalid = "ERROR: The configuration file is invalid.";
const char* const kOtherVersion = "The configuration file does not match with the current "
                                  "firmware version. Would you like to continue?";
const std::string kHead = "[Firmware]\r\nVersion=KA40_v1.1.0.vmcon\r\n";

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Binary() {
    std::string junk;
    for (int i = 0; i < 65536; ++i)
        junk += static_cast<char>((i * 7919 + 13) & 0xFF);
    return junk + "\n" + kHead + "Num_of_saves=2\n[0]\nName=ctl\nCommand=AT+PANID=12" +
           std::string("\x01\x1b", 2) + "34\n[1]\nName=bad\nCommand=AT+PANID=ZZ\n" + junk;
}

class ConfigFileFaults : public ConfigTransferFixture {
protected:
    void SetUp() override { Connect({}); }

    ConfigImportResult Import(const std::string& text) {
        std::ofstream(Path("in.zgb"), std::ios::binary) << text;
        sim->ClearReceived();
        const CConfigTarget target(core);
        return ImportFromFile(target, "KA40_v1.1.0.vmcon", Path("in.zgb"), dir.Path(), {},
                              &logPath);
    }

    std::string logPath;
};

TEST_F(ConfigFileFaults, MalformedFilesEndInTheErrorLogOrAMessage) {
    using Outcome = ConfigImportResult::Outcome;
    struct Malformed {
        const char* what;
        Outcome outcome;
        std::vector<std::string> executed; // commands the module ran
        int failed;
        std::string logEnd; // how the error log ends; empty: no log
        std::string text;
    };
    const std::string crlf = "\r\n", none;
    // clang-format off
    const std::vector<Malformed> cases = {
        {"no Firmware section", Outcome::Invalid, {}, 0, none,
         "[0]\r\nCommand=AT+PANID=1234\r\n"},
        {"empty version", Outcome::Invalid, {}, 0, none,
         "[Firmware]\r\nVersion=\r\nNum_of_saves=1\r\n[0]\r\nCommand=ATZ\r\n"},
        {"too large", Outcome::Invalid, {}, 0, none, kHead + std::string(9 << 20, 'x')},
        {"missing sections", Outcome::Done, {"AT+PANID=1234"}, 2, crlf + crlf + crlf + crlf + crlf + crlf,
         kHead + "Num_of_saves=3\r\n[1]\r\nName=N/PAN\r\nCommand=AT+PANID=1234\r\n"},
        {"huge count", Outcome::Done, {"AT+PANID=2"}, 1000,
         "Num_of_saves=99999999999999999999999: only the first 1000 sections were read.\r\n",
         kHead + "Num_of_saves=99999999999999999999999\r\n[0]\r\nCommand=AT+PANID=2\r\n"},
        {"binary", Outcome::Done, {"AT+PANID=ZZ"}, 2, "bad\r\nAT+PANID=ZZ\r\n\r\n", Binary()},
        {"line break inside a command", Outcome::Done, {"AT+PANID=1234"}, 0, none,
         kHead + "Num_of_saves=1\r\n[0]\r\nCommand=AT+PANID=1234\rAT&F\r\n"},
    };
    // clang-format on
    for (const Malformed& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.outcome == Outcome::Invalid)
            ui.Expect(kInvalid);
        const ConfigImportResult result = Import(c.text);
        EXPECT_EQ(c.outcome, result.outcome);
        EXPECT_EQ(c.executed, sim->ExecutedCommands());
        EXPECT_EQ(c.failed, result.failed);
        if (c.logEnd.empty()) {
            EXPECT_TRUE(logPath.empty());
        } else {
            ASSERT_FALSE(logPath.empty());
            const std::string log = ReadAll(logPath);
            ASSERT_GE(log.size(), c.logEnd.size());
            EXPECT_EQ(c.logEnd, log.substr(log.size() - c.logEnd.size()));
            EXPECT_EQ(logPath, ui.OpenedWithShell().back());
        }
    }
    // The control characters were not sent; the log shows them.
    EXPECT_NE(std::string::npos,
              ReadAll(Path(kImportErrorLog)).find("ctl\r\nAT+PANID=12<01><1B>34"));
}

TEST_F(ConfigFileFaults, FileForAnotherConstructFileIsPlayedBackOnlyAfterYes) {
    const std::string file = "[Firmware]\r\nVersion=KD40_v1.0.2.vmcon\r\nNum_of_saves=1\r\n"
                             "[0]\r\nName=N/PAN\r\nCommand=AT+PANID=4321\r\n";
    ui.Expect(kOtherVersion, MsgAnswer::No);
    EXPECT_EQ(ConfigImportResult::Outcome::Declined, Import(file).outcome);
    EXPECT_TRUE(sim->ReceivedText().empty());
    ui.Expect(kOtherVersion, MsgAnswer::Yes);
    EXPECT_EQ(1, Import(file).acknowledged);
    EXPECT_EQ("4321", sim->Local().Get("AT+PANID").value_or(""));
    EXPECT_EQ(MsgIcon::Question, ui.Shown().back().icon);
    EXPECT_EQ(MsgButtons::YesNo, ui.Shown().back().buttons);
}

// A value with "=" stays one command; a value longer than a fixed read buffer of 64 bytes is
// played back whole rather than cut.
TEST_F(ConfigFileFaults, ValuesWithEqualsSignsAndLongCommandsComeBackWhole) {
    const std::string dataDir = dir.Path() + "/data";
    std::filesystem::create_directory(dataDir);
    std::ofstream(dataDir + "/LONG_v1.0.0.vmcon")
        << "[Main/Banner]String(120);\ndescription=<Text shown at start.>;\ncommand= AT+BANNER;\n"
           "[Main/Label]String(16);\ndescription=<Label.>;\ncommand= AT+LABEL;\n";
    core.ShutdownLink();
    sim->Stop();
    sim::SimConfig config;
    config.product = "LONG";
    config.version = "v1.0.0";
    config.dataDir = dataDir;
    Connect(config);
    const std::string banner(100, 'B');
    ASSERT_TRUE(sim->Local().Set("AT+BANNER", banner));
    ASSERT_TRUE(sim->Local().Set("AT+LABEL", "k=v=w"));
    const auto data = Load("LONG_v1.0.0.vmcon", false, dataDir);
    const CConfigTarget target(core);
    ASSERT_EQ(2, ExportConfiguration(target, *data, Path("long.zgb")).saved);
    ASSERT_EQ(1, target.Write("AT&F\r\n", 3));
    ASSERT_EQ(0, ImportFromFile(target, "LONG_v1.0.0.vmcon", Path("long.zgb"), dir.Path()).failed);
    EXPECT_EQ(banner, sim->Local().Get("AT+BANNER").value_or(""));
    EXPECT_EQ("k=v=w", sim->Local().Get("AT+LABEL").value_or(""));
}

// Sections count exported parameters only: read-only ones are skipped and one that cannot be
// read (or whose value holds a line break) leaves no gap, only a line in the log.
TEST_F(ConfigFileFaults, ExportLeavesNoGapsAndLogsWhatCouldNotBeRead) {
    std::ofstream(Path("GAP_v1.0.0.vmcon"))
        << "[A/One]16(4);\ndescription=<x>;\ncommand= AT+PANID;\n"
           "[A/Ro]Get;\ndescription=<x>;\ncommand= AT+VERSION;\n"
           "[A/Two]10;\ndescription=<x>;\ncommand= AT+NOPE;\n"
           "[A/Name]String(16);\ndescription=<x>;\ncommand= AT+NODENAME;\n"
           "[B/Three]10;\ndescription=<x>;\ncommand= AT+CHANNEL;\n";
    ASSERT_TRUE(sim->Local().Set("AT+NODENAME", "a\nCommand=ATZ", false));
    const auto data = Load("GAP_v1.0.0.vmcon", false, dir.Path());
    std::string log;
    const ConfigExportResult result =
        ExportToFile(CConfigTarget(core), *data, Path("gap.zgb"), dir.Path(), {}, &log);
    EXPECT_EQ(2, result.saved);
    EXPECT_EQ("[Firmware]\r\nVersion=GAP_v1.0.0.vmcon\r\nNum_of_saves=2\r\n"
              "[0]\r\nName=A/One\r\nCommand=AT+PANID=1A2B\r\n\r\n"
              "[1]\r\nName=B/Three\r\nCommand=AT+CHANNEL=15\r\n\r\n",
              ReadAll(Path("gap.zgb")));
    EXPECT_EQ("###Export save error###\r\nA/Two\r\nA/Name\r\n", ReadAll(log));
    EXPECT_EQ(std::vector<std::string>{log}, ui.OpenedWithShell());
}

TEST_F(ConfigFileFaults, UnwritableFilesAreReportedNotPassedOver) {
    const auto data = Load("KA40_v1.1.0.vmcon", false);
    sim->ClearReceived();
    const std::string nowhere = Path("no/such/dir/out.zgb");
    ui.Expect("ERROR: Could not write the configuration file.\r\n" + nowhere);
    EXPECT_FALSE(ExportToFile(CConfigTarget(core), *data, nowhere, dir.Path()).written);
    EXPECT_TRUE(sim->ReceivedText().empty()); // nothing read for a file that cannot be

    // An error log that cannot go where it should goes to the temporary directory.
    const std::string written = WriteErrorLog(Path("no/such/dir"), "VireoTestLog.TXT", "x\r\n");
    EXPECT_EQ((std::filesystem::temp_directory_path() / "VireoTestLog.TXT").string(), written);
    EXPECT_EQ("x\r\n", ReadAll(written));
    std::filesystem::remove(written);
}

TEST(RemoteAddress, OnlyAnAddressThatCannotEndTheWrapperEarlyIsUsed) {
    const std::vector<std::pair<std::string, bool>> cases = {{"1234", true},
                                                             {"", false},
                                                             {"1234,AT&F", false},
                                                             {"12\r\nATZ", false},
                                                             {std::string("12\0", 3), false},
                                                             {"12\t34", false},
                                                             {"00124b000a0b0c0d", true}};
    for (const auto& [address, usable] : cases)
        EXPECT_EQ(usable, IsUsableRemoteAddress(address)) << VisibleText(address);
}

} // namespace
} // namespace vireo::test
