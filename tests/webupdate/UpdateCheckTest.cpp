// The two checks against a real HTTP server on the loopback interface: what the user is told
// when the index cannot be had, the download list of the Configs index, and the firmware offer
// with its question and save dialog.
#include "webupdate/UpdateCheck.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/ScriptedUi.h"

#include <gtest/gtest.h>

namespace {

using vireo::MsgAnswer;
using vireo::test::CHttpTestServer;
using vireo::test::CScriptedUi;
using vireo::test::HttpReply;

constexpr char kNoUpdateServer[] = "ERROR: Could not connect to update server.";

struct ConfigsFailure {
    const char* what;
    bool serve;
    HttpReply reply;
    const char* message;
};

class ConfigsIndexFailure : public testing::TestWithParam<ConfigsFailure> {};

TEST_P(ConfigsIndexFailure, TellsTheUserAndStops) {
    CHttpTestServer server;
    if (GetParam().serve)
        server.SetFile("Configs", GetParam().reply);
    CScriptedUi ui;
    ui.Expect(GetParam().message);
    std::vector<vireo::DownloadEntry> list;
    EXPECT_FALSE(vireo::PrepareConfigsDownload(server.BaseAddress(), "/tmp/x/", list));
    EXPECT_EQ("Vireo Manager", ui.Shown().at(0).caption);
}

INSTANTIATE_TEST_SUITE_P(
    Check, ConfigsIndexFailure,
    testing::Values(
        ConfigsFailure{"missing index (404 page)", false, {}, kNoUpdateServer},
        ConfigsFailure{"no marker", true, {200, "KA40.vmcon\n"}, kNoUpdateServer},
        ConfigsFailure{"marker in lower case", true, {200, "tolk\na\n"}, kNoUpdateServer},
        ConfigsFailure{"500 with a marker", true, {500, "TOLK\na\n"}, kNoUpdateServer},
        ConfigsFailure{"empty reply", true, {200, ""}, "Could not connect to web server!"},
        ConfigsFailure{
            "reply cut short", true, {200, "TOLK\na\n", 100}, "Could not connect to web server!"}),
    [](const auto& param) { return "Case" + std::to_string(param.index); });

TEST(ConfigsIndex, ListsEachNameForTheServerAndTheProgramDirectoryInOrder) {
    CHttpTestServer server;
    server.SetFile("Configs", {200, "TOLK\r\nKA40_v1.0.2.vmcon\r\n\r\nKD40 v1.vmcon\r\n../x"});
    CScriptedUi ui;
    std::vector<vireo::DownloadEntry> list;
    ASSERT_TRUE(vireo::PrepareConfigsDownload(server.BaseAddress(), "/opt/vireo/", list));
    ASSERT_EQ(3u, list.size());
    EXPECT_EQ("KA40_v1.0.2.vmcon", list[0].url);
    EXPECT_EQ("/opt/vireo/KA40_v1.0.2.vmcon", list[0].name);
    EXPECT_EQ("/opt/vireo/KD40 v1.vmcon", list[1].name);
    EXPECT_FALSE(list[1].refused);
    EXPECT_TRUE(list[2].refused);
    EXPECT_GT(ui.WaitCursorUses(), 0);
    EXPECT_EQ(0, ui.WaitCursorDepth());
}

TEST(ConfigsIndex, DeadServerIsNoServer) {
    std::string base;
    {
        CHttpTestServer gone;
        base = gone.BaseAddress();
    }
    CScriptedUi ui;
    ui.Expect("Could not connect to web server!");
    std::vector<vireo::DownloadEntry> list;
    EXPECT_FALSE(vireo::PrepareConfigsDownload(base, "/tmp/", list));
}

class FirmwareCheck : public testing::Test {
protected:
    bool Check(const std::string& product, const std::string& version) {
        return vireo::PrepareFirmwareDownload(server.BaseAddress(), product, version, list);
    }
    CHttpTestServer server;
    CScriptedUi ui;
    std::vector<vireo::DownloadEntry> list;
};

TEST_F(FirmwareCheck, OffersTheNewFileAndStoresItWhereTheUserChooses) {
    server.SetFile("Firmware",
                   {200, "TOLK\nKA40:1.1.0:KA40_v1.1.0.ebl\nKA40:1.2.0:KA40_v1.2.0.ebl"});
    ui.Expect("New firmware is available.\r\nWould you like to download?\r\n\r\nPRODUCT: "
              "KA40\r\nCURRENT VERSION: 1.0.2\r\nNEW VERSION: 1.2.0\r\nFILENAME: "
              "KA40_v1.2.0.ebl",
              MsgAnswer::Yes);
    ui.QueueSaveFile("/home/u/new.ebl");
    ASSERT_TRUE(Check("KA40", "1.0.2"));
    EXPECT_EQ("NOTICE", ui.Shown().at(0).caption);
    EXPECT_EQ(vireo::MsgIcon::None, ui.Shown().at(0).icon);
    EXPECT_EQ("KA40_v1.2.0.ebl", ui.LastSaveOptions().initialName);
    EXPECT_EQ("ebl Files(*.ebl)|*.ebl|All Files(*.*)|*.*|", ui.LastSaveOptions().filter);
    EXPECT_TRUE(ui.LastSaveOptions().promptOverwrite);
    ASSERT_EQ(1u, list.size());
    EXPECT_EQ("KA40_v1.2.0.ebl", list[0].url);
    EXPECT_EQ("/home/u/new.ebl", list[0].name);
}

TEST_F(FirmwareCheck, NoAndCancelEndSilently) {
    server.SetFile("Firmware", {200, "TOLK\nKA40:2.0:a.ebl\n"});
    ui.Expect("New firmware is available.\r\nWould you like to download?\r\n\r\nPRODUCT: "
              "KA40\r\nCURRENT VERSION: 1.0\r\nNEW VERSION: 2.0\r\nFILENAME: a.ebl",
              MsgAnswer::No);
    EXPECT_FALSE(Check("KA40", "1.0"));
    ui.Expect("New firmware is available.\r\nWould you like to download?\r\n\r\nPRODUCT: "
              "KA40\r\nCURRENT VERSION: 1.0\r\nNEW VERSION: 2.0\r\nFILENAME: a.ebl",
              MsgAnswer::Yes);
    EXPECT_FALSE(Check("KA40", "1.0")); // no path queued: Cancel
    EXPECT_TRUE(list.empty());
}

TEST_F(FirmwareCheck, NothingCountingOrTheOwnVersionListedSaysNothing) {
    server.SetFile("Firmware", {200, "TOLK\nKD40:2.0:d.ebl\nKA40:1.0.2:a.ebl\nKA40:2.0:b.ebl\n"});
    EXPECT_FALSE(Check("KM40X", "1.0.2"));
    EXPECT_FALSE(Check("KA40", "1.0.2"));
    EXPECT_TRUE(ui.Shown().empty());
}

TEST_F(FirmwareCheck, IndexFailuresHaveTheirOwnTexts) {
    ui.Expect(kNoUpdateServer); // no Firmware index: a 404 page
    EXPECT_FALSE(Check("KA40", "1.0"));
    server.SetFile("Firmware", {200, ""});
    ui.Expect("ERROR: Could not connect to web server!");
    EXPECT_FALSE(Check("KA40", "1.0"));
}

} // namespace
