// vireo update as people run it, against an HTTP server on the loopback interface.
#include "ChildProcess.h"
#include "JsonReader.h"
#include "tests/support/HttpTestServer.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace vireo::test {
namespace {

namespace fs = std::filesystem;

class UpdateCommand : public ::testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vireo-update-cli-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }
    ChildResult Vireo(std::vector<std::string> args) {
        args.insert(args.begin(), "update");
        return RunChild(VIREO_EXECUTABLE, args, 120);
    }

    fs::path dir;
    CHttpTestServer server;
    CUpdateHostOverride host{server.HostPort()};
};

TEST_F(UpdateCommand, CheckListsBothIndexesWithTheStateOfEachConstructFile) {
    std::ofstream(dir / "have.vmcon") << "x";
    server.SetFile("Configs", {200, "TOLK\r\nhave.vmcon\r\nnew.vmcon\r\n../up.vmcon\r\n"});
    server.SetFile("Firmware", {200, "TOLK\nKA40:1.2.0:KA40 v1.2.0.ebl\nbroken line\n"});
    const ChildResult text = Vireo({"--check", "--dir", dir.string()});
    EXPECT_EQ(0, text.exitCode) << text.err;
    EXPECT_EQ("config\tpresent\thave.vmcon\nconfig\tmissing\tnew.vmcon\nconfig\trefused\t../"
              "up.vmcon\nfirmware\tKA40\t1.2.0\tKA40 v1.2.0.ebl\n",
              text.out);

    const ChildResult json = Vireo({"--check", "--json", "--dir", dir.string()});
    const auto parsed = ParseJson(json.out);
    ASSERT_TRUE(parsed.has_value()) << json.out;
    EXPECT_EQ(server.BaseAddress(), (*parsed)["server"].text);
    ASSERT_EQ(3u, (*parsed)["configs"].elements.size());
    EXPECT_EQ("refused", (*parsed)["configs"].elements[2]["state"].text);
    EXPECT_EQ("KA40 v1.2.0.ebl", (*parsed)["firmware"].elements.at(0)["file"].text);
}

TEST_F(UpdateCommand, DownloadStoresWhatItCanAndFailsForTheRest) {
    server.SetFile("Configs", {200, "TOLK\nmissing.vmcon\ngood.vmcon\n"});
    server.SetFile("good.vmcon", {200, "[G/N]10;<d>;c=\"AT\";"});
    const ChildResult result = Vireo({"--download", "--dir", dir.string()});
    EXPECT_EQ(1, result.exitCode);
    EXPECT_NE(std::string::npos,
              result.err.find("ERROR: Could not download file:\n'missing.vmcon'."))
        << result.err;
    EXPECT_TRUE(fs::exists(dir / "good.vmcon"));
    EXPECT_FALSE(fs::exists(dir / "missing.vmcon"));
}

TEST_F(UpdateCommand, ServerWithoutIndexExitsSeven) {
    const ChildResult result = Vireo({"--check"});
    EXPECT_EQ(7, result.exitCode);
    EXPECT_EQ("ERROR: Could not connect to update server.\n", result.err);
    EXPECT_EQ("", result.out);
}

} // namespace
} // namespace vireo::test
