// vireo update as people run it, against an HTTP server on the loopback interface.
#include "VireoFixture.h"
#include "tests/support/HttpTestServer.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

namespace vireo::test {
namespace {

namespace fs = std::filesystem;

class UpdateCommand : public VireoCommand {
protected:
    static ChildResult Update(std::vector<std::string> args) {
        args.insert(args.begin(), "update");
        return Vireo(args);
    }

    const fs::path scratch = dir.Path();
    CHttpTestServer server;
    CUpdateHostOverride host{server.HostPort()};
};

// Without an index the server is not reachable for the tool (also said as JSON); then --check
// lists both indexes with the state of each construct file; --download stores what it can and
// fails for the rest.
TEST_F(UpdateCommand, CheckListsBothIndexesAndDownloadStoresWhatItCan) {
    const ChildResult none = Update({"--check"});
    EXPECT_EQ(7, none.exitCode);
    EXPECT_EQ("ERROR: Could not connect to update server.\n", none.err);
    EXPECT_EQ("", none.out);
    // With --json a failure still gives a result, with its code.
    const auto failed = ParseJson(Update({"--check", "--json"}).out);
    ASSERT_TRUE(failed.has_value());
    EXPECT_EQ("7", Text((*failed)["exit_code"]));
    EXPECT_EQ("the update server cannot be reached", Text((*failed)["message"]));

    std::ofstream(scratch / "have.vmcon") << "x";
    server.SetFile("Configs", {200, "TOLK\r\nhave.vmcon\r\nnew.vmcon\r\n../up.vmcon\r\n"});
    server.SetFile("Firmware", {200, "TOLK\nKA40:1.2.0:KA40 v1.2.0.ebl\nbroken line\n"});
    const ChildResult text = Update({"--check", "--dir", scratch.string()});
    EXPECT_EQ(0, text.exitCode) << text.err;
    EXPECT_EQ("config\tpresent\thave.vmcon\nconfig\tmissing\tnew.vmcon\nconfig\trefused\t../"
              "up.vmcon\nfirmware\tKA40\t1.2.0\tKA40 v1.2.0.ebl\n",
              text.out);

    server.SetFile("new.vmcon", {200, "[G/N]10;<d>;c=\"AT\";"});
    const ChildResult download = Update({"--download", "--dir", scratch.string()});
    EXPECT_EQ(1, download.exitCode);
    EXPECT_NE(std::string::npos,
              download.err.find("ERROR: Could not download file:\n'have.vmcon'."))
        << download.err;
    EXPECT_TRUE(fs::exists(scratch / "new.vmcon"));
}

} // namespace
} // namespace vireo::test
