// The "Web update" dialog end to end against an HTTP server on the loopback interface: the
// construct-file update from the Configs index, the close box in the middle of a download,
// and the firmware page's download.
#include "webupdate/WebUpdateDlg.h"
#include "app/ManagerDlg.h"
#include "firmware/FirmwarePage.h"
#include "tests/support/HttpTestServer.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/ScriptedUi.h"

#include <QProgressBar>
#include <QTimer>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;
using vireo::MsgAnswer;
using vireo::test::CHttpTestServer;
using vireo::test::CScriptedUi;
using vireo::test::CUpdateHostOverride;

const std::string kNotice = "New firmware is available.\r\nWould you like to download?\r\n\r\n"
                            "PRODUCT: KA40\r\nCURRENT VERSION: 1.0.2\r\nNEW VERSION: "
                            "1.2.0\r\nFILENAME: KA40_v1.2.0.ebl";

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class WebUpdateDlgTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vireo-webupdate-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }
    std::string Dir() const { return dir.string() + "/"; }

    fs::path dir;
    CHttpTestServer server;
    CUpdateHostOverride host{server.HostPort()};
    CScriptedUi ui;
};

// A failed file is reported and the next ones still come, a name with a folder lands in that
// folder below the program directory, and the dialog closes itself; an index that lists
// nothing closes the dialog at once without a word.
TEST_F(WebUpdateDlgTest, ConstructFilesArriveAFailedOneIsReportedAndTheDialogClosesItself) {
    const std::string sample = ReadFile(fs::path(VIREO_SAMPLE_DIR) / "KA40_v1.0.2.vmcon");
    fs::create_directory(dir / "KA40");
    // The failed file between the two others: its report drains the first file's last
    // progress update before the next file sets the bar's range.
    server.SetFile("Configs",
                   {200, "TOLK\r\nKA40/v1.vmcon\r\ngone.vmcon\r\nKA40_v1.0.2.vmcon\r\n"});
    server.SetFile("KA40/v1.vmcon", {200, "[construct]"});
    server.SetFile("KA40_v1.0.2.vmcon", {200, sample});
    ui.Expect("ERROR: Could not download file:\r\n'gone.vmcon'.");
    CWebUpdateDlg dlg;
    dlg.UpdateManager(Dir());
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_FALSE(dlg.m_hWorker.Running());
    EXPECT_EQ(sample, ReadFile(dir / "KA40_v1.0.2.vmcon"));
    EXPECT_EQ("[construct]", ReadFile(dir / "KA40" / "v1.vmcon"));
    EXPECT_FALSE(fs::exists(dir / "gone.vmcon"));
    EXPECT_EQ(static_cast<int>(sample.size() / 1024 + 1), dlg.m_progress->maximum());
    EXPECT_EQ(dlg.m_progress->maximum(), dlg.m_progress->value());

    server.SetFile("Configs", {200, "TOLK\n\n"});
    CWebUpdateDlg empty;
    empty.UpdateManager(Dir());
    EXPECT_FALSE(empty.isVisible());
    EXPECT_EQ(1u, ui.Shown().size()); // the failed file's report alone
}

TEST_F(WebUpdateDlgTest, TheCloseBoxStopsADownloadUnderWayAndKeepsTheFormerFile) {
    std::ofstream(dir / "slow.vmcon") << "former";
    server.SetFile("Configs", {200, "TOLK\nslow.vmcon\nnext.vmcon\n"});
    server.SetFile("slow.vmcon", {200, std::string(9000, 's'), -2, 4000}); // then silence
    CWebUpdateDlg dlg;
    dlg.m_limits.stallTimeSec = 3600; // only the close box can end it
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
        if (dlg.isVisible() && dlg.m_progress->maximum() > 1)
            dlg.close();
    });
    watch.start(10);
    dlg.UpdateManager(Dir());
    EXPECT_FALSE(dlg.m_hWorker.Running());
    EXPECT_EQ("former", ReadFile(dir / "slow.vmcon"));
    EXPECT_EQ(1, std::distance(fs::directory_iterator(dir), {}));
    EXPECT_EQ(1u, server.Requests().size() - 1); // the index and slow.vmcon only
    EXPECT_TRUE(ui.Shown().empty());
}

// The page's "Download from web server" for a module that names itself KA40 1.0.2: the path
// of a stored file becomes the page's image; a failed download says so once, is not followed
// by a claim that there was no new firmware, and leaves the image as it was.
TEST_F(WebUpdateDlgTest, PageTakesTheFirmwareOnlyWhenTheFileWasStored) {
    vireo::test::CTempPortDir ports;
    vireo::test::CPtyPeer module(1);
    module.SetResponder([](const std::string& line) {
        const std::string value = line == "AT+PRODUCTNAME" ? "KA40" : "1.0.2";
        return "\r\n" + value + "\r\n\r\nOK\r\n";
    });
    CManagerDlg manager;
    manager.OnInitDialog();
    ASSERT_EQ(1, manager.m_serial.Open(1, 115200, 0, 8, 0, 10));
    manager.m_bPortOpen = 1;
    CFirmwarePage* page = manager.m_tabHost.FirmwarePage();
    server.SetFile("Firmware", {200, "TOLK\nKA40:1.2.0:KA40_v1.2.0.ebl\n"});
    server.SetFile("KA40_v1.2.0.ebl", {200, std::string(3000, '\x01')});
    const std::string path = Dir() + "chosen.ebl";
    ui.Expect(kNotice, MsgAnswer::Yes);
    ui.QueueSaveFile(path);
    page->OnDownloadFromWeb();
    EXPECT_TRUE(ui.LastSaveOptions().promptOverwrite);
    EXPECT_EQ(path, page->m_filePath);
    EXPECT_EQ(3000u, fs::file_size(path));

    page->m_filePath.clear();
    server.SetFile("KA40_v1.2.0.ebl", {404, "<html>gone</html>"});
    ui.Expect(kNotice, MsgAnswer::Yes);
    ui.QueueSaveFile(path);
    ui.Expect("ERROR: Could not download file:\r\n'KA40_v1.2.0.ebl'.");
    page->OnDownloadFromWeb();
    EXPECT_TRUE(page->m_filePath.empty());
    EXPECT_EQ(3000u, fs::file_size(path));
}

} // namespace
