// Export and import against the simulated module (with a network behind it) on COM1 of a
// private port directory, at 115200 baud, the module answering byte after byte at that rate.
// Every writable parameter of each sample construct file survives a round trip, locally and one
// radio hop away; malformed or hostile files and values that do not fit a file line end in the
// error log (or a message), never in a crash, a cut value or a command the file did not hold;
// the read-back after an import reports only what the module did not keep.
#include "app/ManagerCore.h"
#include "config/ConfigEditor.h"
#include "config/ConfigExport.h"
#include "config/ConfigFile.h"
#include "config/ConfigImport.h"
#include "config/ConstructLoader.h"
#include "config/RemoteDevice.h"
#include "platform/ProfileFile.h"
#include "sim/Simulator.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/ScriptedUi.h"

#include <cstring>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <string>

namespace vireo::test {
namespace {

class ConfigTransfer : public ::testing::Test {
protected:
    ~ConfigTransfer() override {
        core.ShutdownLink();
        if (sim)
            sim->Stop();
    }

    void Connect(sim::SimConfig config) {
        config.baudRate = 115200;
        config.pacing = true;
        config.timing.radioDelayMs = 5;
        config.timing.unknownAddressMs = 200;
        if (config.dataDir.empty())
            config.dataDir = VIREO_DATA_DIR;
        sim = std::make_unique<sim::Simulator>(config);
        ASSERT_TRUE(sim->Start());
        core.m_strPortName = "COM1";
        core.m_nBaudRate = 115200;
        core.OnOpen();
        ASSERT_EQ(1, core.m_bPortOpen);
    }

    // Loads a construct file as the page does (in remote mode without "Security Settings").
    std::unique_ptr<CConstructData> Load(const std::string& name, bool remote = false,
                                         const std::string& directory = VIREO_DATA_DIR) {
        auto data = std::make_unique<CConstructData>();
        ConstructLoadRequest request{name, "", remote, directory + "/", {}};
        EXPECT_EQ(1, ParseConstructFile(*data, request)) << name;
        return data;
    }

    std::string Path(const std::string& name) const { return dir.Path() + "/" + name; }
    static std::string ReadAll(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    CTempPortDir dir;
    CScriptedUi ui;
    CManagerCore core;
    std::unique_ptr<sim::Simulator> sim;
};

struct Sample {
    std::string product, version;
    bool remote;
};

// Gives every writable parameter a value other than the one it has, trying the construct
// file's own values and bounds first, then a few plain texts; returns the values given.
std::map<std::string, std::string> ChangeEveryValue(sim::ModuleView module,
                                                    const CConstructData& data) {
    std::map<std::string, std::string> set;
    for (int i = 0; i < data.m_nParams; ++i) {
        const ConfigParam& p = data.m_params[i];
        if (p.type == PT_GET)
            continue;
        const std::string command = std::string(p.command).substr(0, std::strlen(p.command) - 2);
        const std::string before = module.Get(command).value_or("");
        std::vector<std::string> candidates;
        for (const std::string& listed : SplitList(p.valueList, 100))
            candidates.insert(candidates.begin(), listed);
        candidates.insert(candidates.end(),
                          {"1", p.rangeMax, p.rangeMin, "2", "5", "A5", "Round trip", "0"});
        for (const std::string& value : candidates) {
            if (!value.empty() && value != before && module.Set(command, value)) {
                set[command] = *module.Get(command);
                break;
            }
        }
        EXPECT_TRUE(set.count(command)) << "no other value for " << command;
    }
    return set;
}

class ConfigRoundTrip : public ConfigTransfer, public ::testing::WithParamInterface<Sample> {};

TEST_P(ConfigRoundTrip, ImportGivesBackEveryExportedValue) {
    const Sample& s = GetParam();
    sim::SimConfig config;
    config.remotes = {{s.product, s.version, "00124B000A0B0C0D", "Far node", "1", "1234"}};
    if (!s.remote) {
        config.product = s.product;
        config.version = s.version;
    }
    Connect(config);
    sim::ModuleView module = s.remote ? sim->Remote(0) : sim->Local();
    const std::string constructFile = ConstructFileName(s.product, s.version);
    std::string eui;
    if (s.remote) {
        const RemoteIdentity identity = IdentifyRemoteDevice(core, "00124b000a0b0c0d");
        ASSERT_EQ(constructFile, ConstructFileName(identity.productName, identity.firmwareVersion));
        eui = identity.euiAddress;
    }
    const CConfigTarget target = s.remote ? CConfigTarget(core, eui) : CConfigTarget(core);
    const auto data = Load(constructFile, s.remote);
    const std::map<std::string, std::string> expected = ChangeEveryValue(module, *data);

    const ConfigExportResult exported = ExportConfiguration(target, *data, Path("all.zgb"));
    EXPECT_EQ(0, exported.failed) << exported.log;

    ASSERT_EQ(1, target.Write("AT&F\r\n", 3)); // the module forgets everything
    ASSERT_NE(expected.begin()->second, module.Get(expected.begin()->first).value_or(""));
    CProfileFile file;
    ASSERT_EQ(ConfigFileVerdict::Matches, LoadConfigFile(Path("all.zgb"), constructFile, file));
    const ConfigImportResult imported = ImportConfiguration(target, file);
    EXPECT_EQ(exported.saved, imported.sections);
    EXPECT_EQ(imported.sections, imported.Acknowledged()) << imported.log;
    for (const auto& [command, value] : expected)
        EXPECT_EQ(value, module.Get(command).value_or("<none>")) << command;
    if (s.remote) {
        EXPECT_EQ("Bench unit", sim->Local().NodeName()); // the module in between kept its own
    }
}

INSTANTIATE_TEST_SUITE_P(SampleConstructFiles, ConfigRoundTrip,
                         ::testing::Values(Sample{"KA40", "v1.1.0", false},
                                           Sample{"KD40", "v1.1.0", false},
                                           Sample{"KM40X", "v1.1.0", false},
                                           Sample{"KM40X", "v1.0.2", true}),
                         [](const auto& sample) {
                             const Sample& s = sample.param;
                             return s.product + "_" + s.version.substr(1, 1) +
                                    s.version.substr(3, 1) + (s.remote ? "_remote" : "_local");
                         });

const char* const kInvalid = "ERROR: The configuration file is invalid.";
const char* const kOtherVersion = "The configuration file does not match with the current "
                                  "firmware version. Would you like to continue?";
const std::string kHead = "[Firmware]\r\nVersion=KA40_v1.1.0.vmcon\r\n";

std::string Binary() {
    std::string junk;
    for (int i = 0; i < 65536; ++i)
        junk += static_cast<char>((i * 7919 + 13) & 0xFF);
    return junk + "\n" + kHead + "Num_of_saves=2\n[0]\nName=ctl\nCommand=AT+PANID=12" +
           std::string("\x01\x1b", 2) + "34\n[1]\nName=bad\nCommand=AT+PANID=ZZ\n" + junk;
}

// A module that acknowledges a new channel without keeping it.
class ConfigFileFaults : public ConfigTransfer {
protected:
    void SetUp() override {
        sim::SimConfig config;
        config.faults.ignoredWrites = {"AT+CHANNEL"};
        Connect(config);
    }

    ConfigImportResult Import(const std::string& text, ImportCheck check = ImportCheck::None) {
        std::ofstream(Path("in.zgb"), std::ios::binary) << text;
        sim->ClearReceived();
        return ImportFromFile(CConfigTarget(core), "KA40_v1.1.0.vmcon", Path("in.zgb"), dir.Path(),
                              {}, &logPath, kImportErrorLog, check);
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
    EXPECT_EQ(1, Import(file).Acknowledged());
    EXPECT_EQ("4321", sim->Local().Get("AT+PANID").value_or(""));
}

// A value with "=" stays one command; a value longer than a fixed read buffer of 64 bytes is
// played back whole rather than cut.
TEST_F(ConfigTransfer, ValuesWithEqualsSignsAndLongCommandsComeBackWhole) {
    const std::string dataDir = dir.Path() + "/data";
    std::filesystem::create_directory(dataDir);
    std::ofstream(dataDir + "/LONG_v1.0.0.vmcon")
        << "[Main/Banner]String(120);\ndescription=<Text shown at start.>;\ncommand= AT+BANNER;\n"
           "[Main/Label]String(16);\ndescription=<Label.>;\ncommand= AT+LABEL;\n";
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

TEST(ConfigValue, ReadBackMatchesWrittenTextOrTheSameHexNumber) {
    const struct {
        const char *written, *read;
        bool same;
    } cases[] = {{"Bench unit", "Bench unit", true},
                 {"ff", "00FF", true},
                 {"1234", "1235", false},
                 {"abc", "ABCD", false},
                 {"Unit", "UNIT", false},
                 {"12", "", false},
                 {"", "0", false}};
    for (const auto& c : cases)
        EXPECT_EQ(c.same, SameConfigValue(c.written, c.read)) << c.written << " / " << c.read;
}

// Four sections: one the module keeps, one it acknowledges without keeping, one it refuses and
// one more it keeps. The refused one and the one not kept reach the log, nothing else.
TEST_F(ConfigFileFaults, ReadBackReportsOnlyTheValueTheModuleDidNotKeep) {
    const std::string file = kHead + "Num_of_saves=4\r\n"
                                     "[0]\r\nName=Network/PAN ID\r\nCommand=AT+PANID=abcd\r\n\r\n"
                                     "[1]\r\nName=Network/Channel\r\nCommand=AT+CHANNEL=20\r\n\r\n"
                                     "[2]\r\nName=Network/Refused\r\nCommand=AT+PANID=XYZ\r\n\r\n"
                                     "[3]\r\nName=Node/Name\r\nCommand=AT+NODENAME=Line 4\r\n\r\n";
    const std::string question = "3 parameters were written. Would you like to read them back "
                                 "from the device to check them?";
    ui.Expect(question, MsgAnswer::No);
    EXPECT_FALSE(Import(file, ImportCheck::Ask).checked);
    EXPECT_EQ(std::string::npos, ReadAll(logPath).find("Read-back"));
    EXPECT_EQ(4u, sim->ExecutedCommands().size()); // the four writes, no read

    ui.Expect(question, MsgAnswer::Yes);
    const ConfigImportResult result = Import(file, ImportCheck::Ask);
    EXPECT_EQ(3, result.Acknowledged());
    EXPECT_EQ(1, result.failed);
    ASSERT_TRUE(result.checked);
    ASSERT_EQ(1u, result.differences.size());
    EXPECT_EQ("Network/Channel", result.differences[0].name);
    EXPECT_EQ(sim->Local().Get("AT+CHANNEL").value_or(""), result.differences[0].found);
    // The refused section and the difference share one log, each under its heading.
    const std::string log = ReadAll(logPath);
    EXPECT_NE(std::string::npos, log.find("Network/Refused\r\nAT+PANID=XYZ\r\n"));
    EXPECT_NE(std::string::npos,
              log.find("###Read-back differences###\r\nNetwork/Channel\r\nAT+CHANNEL=20\r\n"
                       "Read back: " +
                       result.differences[0].found + "\r\n"));
}

} // namespace
} // namespace vireo::test
