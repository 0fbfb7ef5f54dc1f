// The two checks against a real HTTP server on the loopback interface: what the user is told
// when the index cannot be had, the download list of the Configs index, and the firmware offer
// declined (the accepted offer is the dialog's test).
#include "webupdate/UpdateCheck.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/ScriptedUi.h"

#include <gtest/gtest.h>
#include <optional>

namespace {

using vireo::MsgAnswer;
using vireo::test::CHttpTestServer;
using vireo::test::CScriptedUi;
using vireo::test::HttpReply;

constexpr char kNoUpdateServer[] = "ERROR: Could not connect to update server.";
constexpr char kNoWebServer[] = "Could not connect to web server!";

std::string Notice(const std::string& current, const std::string& offered,
                   const std::string& file) {
    return "New firmware is available.\r\nWould you like to download?\r\n\r\nPRODUCT: "
           "KA40\r\nCURRENT VERSION: " +
           current + "\r\nNEW VERSION: " + offered + "\r\nFILENAME: " + file;
}

// Both indexes: what the user is told when one cannot be had.
TEST(UpdateIndexes, FailuresTellTheUserAndStop) {
    struct Case {
        const char* what;
        std::optional<HttpReply> reply; // none: no index (a 404 page)
        const char* message;
        bool firmware = false;
    };
    const Case cases[] = {
        {"missing index", std::nullopt, kNoUpdateServer},
        {"no marker", HttpReply{200, "KA40.vmcon\n"}, kNoUpdateServer},
        {"empty reply", HttpReply{200, ""}, kNoWebServer},
        {"reply cut short", HttpReply{200, "TOLK\na\n", 100}, kNoWebServer},
        {"firmware: 404 page", HttpReply{404, "<html></html>"}, kNoUpdateServer, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CHttpTestServer server;
        const std::string base = server.BaseAddress();
        if (c.reply)
            server.SetFile(c.firmware ? "Firmware" : "Configs", *c.reply);
        CScriptedUi ui;
        ui.Expect(c.message);
        std::vector<vireo::DownloadEntry> list;
        EXPECT_FALSE(c.firmware ? vireo::PrepareFirmwareDownload(base, "KA40", "1.0", list)
                                : vireo::PrepareConfigsDownload(base, "/tmp/x/", list));
    }
}

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

// No to the question, Cancel in the save dialog, nothing newer listed: nothing to download,
// and only the question was shown.
TEST_F(FirmwareCheck, NoCancelOrNothingNewerEndSilently) {
    server.SetFile("Firmware", {200, "TOLK\nKD40:2.0:d.ebl\nKA40:1.0.2:a.ebl\nKA40:2.0:b.ebl\n"});
    ui.Expect(Notice("0.9", "2.0", "b.ebl"), MsgAnswer::No);
    EXPECT_FALSE(Check("KA40", "0.9"));
    ui.Expect(Notice("0.9", "2.0", "b.ebl"), MsgAnswer::Yes);
    EXPECT_FALSE(Check("KA40", "0.9")); // no path queued: Cancel
    EXPECT_FALSE(Check("KA40", "1.0.2"));
    EXPECT_TRUE(list.empty());
}

} // namespace
