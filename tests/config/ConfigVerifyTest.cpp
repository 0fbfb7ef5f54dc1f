// The read-back check after an import: against a module that acknowledges a write it does not
// keep, only that parameter is reported, in the error log and in the result.
#include "config/ConfigFile.h"
#include "config/ConfigImport.h"
#include "tests/config/ConfigTransferFixture.h"

#include <fstream>
#include <sstream>

namespace vireo::test {
namespace {

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

class ConfigVerify : public ConfigTransferFixture {
protected:
    ConfigImportResult Import(MsgAnswer readBack) {
        ui.Expect("3 parameters were written. Would you like to read them back from the device "
                  "to check them?",
                  readBack);
        sim::SimConfig config;
        config.faults.ignoredWrites = {"AT+CHANNEL"};
        Connect(config);
        sim->ClearReceived();
        std::ofstream(Path("in.zgb"))
            << "[Firmware]\r\nVersion=KA40_v1.1.0.vmcon\r\nNum_of_saves=4\r\n"
               "[0]\r\nName=Network/PAN ID\r\nCommand=AT+PANID=abcd\r\n\r\n"
               "[1]\r\nName=Network/Channel\r\nCommand=AT+CHANNEL=20\r\n\r\n"
               "[2]\r\nName=Network/Refused\r\nCommand=AT+PANID=XYZ\r\n\r\n"
               "[3]\r\nName=Node/Name\r\nCommand=AT+NODENAME=Line 4\r\n\r\n";
        return ImportFromFile(CConfigTarget(core), "KA40_v1.1.0.vmcon", Path("in.zgb"), dir.Path(),
                              {}, &logPath, kImportErrorLog, ImportCheck::Ask);
    }
    std::string Log() const {
        std::stringstream text;
        text << std::ifstream(logPath).rdbuf();
        return text.str();
    }
    std::string logPath;
};

TEST_F(ConfigVerify, OnlyTheValueTheModuleDidNotKeepIsReported) {
    const ConfigImportResult result = Import(MsgAnswer::Yes);
    EXPECT_EQ(3, result.acknowledged);
    EXPECT_EQ(1, result.failed);
    ASSERT_TRUE(result.checked);
    ASSERT_EQ(1u, result.differences.size());
    EXPECT_EQ("Network/Channel", result.differences[0].name);
    EXPECT_EQ(sim->Local().Get("AT+CHANNEL").value_or(""), result.differences[0].found);
    // The refused section and the difference share one log, each under its heading.
    EXPECT_NE(std::string::npos, Log().find("Network/Refused\r\nAT+PANID=XYZ\r\n"));
    EXPECT_NE(std::string::npos,
              Log().find("###Read-back differences###\r\nNetwork/Channel\r\nAT+CHANNEL=20\r\n"
                         "Read back: " +
                         result.differences[0].found + "\r\n"));
    EXPECT_EQ(logPath, ui.OpenedWithShell().back());
}

TEST_F(ConfigVerify, DecliningTheQuestionReadsNothingBack) {
    const ConfigImportResult result = Import(MsgAnswer::No);
    EXPECT_FALSE(result.checked);
    EXPECT_EQ(std::string::npos, Log().find("Read-back"));
    EXPECT_EQ(4u, sim->ExecutedCommands().size()); // the four writes, no read
}

} // namespace
} // namespace vireo::test
