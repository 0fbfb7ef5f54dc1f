// The window's "Record traffic..." entry and its --log start.
#include "app/TranscriptSwitch.h"
#include "app/ManagerDlg.h"
#include "serial/Transcript.h"
#include "tests/support/ScriptedUi.h"

#include <QAction>
#include <QMenu>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

using vireo::test::CScriptedUi;

namespace {

class TranscriptSwitchTest : public ::testing::Test {
protected:
    TranscriptSwitchTest() {
        dlg.OnInitDialog();
        char name[] = "/tmp/vireo-switch-XXXXXX";
        dir = mkdtemp(name);
    }
    ~TranscriptSwitchTest() override { std::filesystem::remove_all(dir); }

    QAction& Entry() { return *dlg.m_transcriptSwitch->Action(); }

    CScriptedUi ui;
    CManagerDlg dlg;
    std::string dir;
};

TEST_F(TranscriptSwitchTest, TheMenuEntryAsksForAFileRecordsAndStopsWhenUnchecked) {
    ASSERT_TRUE(dlg.m_systemMenu->actions().contains(&Entry()));
    ASSERT_TRUE(Entry().isCheckable());

    ui.QueueSaveFile(""); // Cancel: nothing starts
    Entry().trigger();
    EXPECT_FALSE(Entry().isChecked());
    EXPECT_EQ(ActiveTranscript(), nullptr);

    const std::string path = dir + "/bench.log";
    ui.QueueSaveFile(path);
    Entry().trigger();
    EXPECT_EQ(ui.LastSaveOptions().defaultExt, "log");
    EXPECT_TRUE(ui.LastSaveOptions().promptOverwrite);
    EXPECT_TRUE(Entry().isChecked());
    ASSERT_NE(ActiveTranscript(), nullptr);
    ActiveTranscript()->Note(1, "marker");

    Entry().trigger(); // unchecks
    EXPECT_FALSE(Entry().isChecked());
    EXPECT_EQ(ActiveTranscript(), nullptr);
    std::ifstream in(path, std::ios::binary);
    const std::string text(std::istreambuf_iterator<char>(in), {});
    EXPECT_NE(text.find(" COM1 == marker\n"), std::string::npos) << text;
}

TEST_F(TranscriptSwitchTest, ALogInAMissingFolderIsRefusedWithAMessageAndTheWindowGoesOn) {
    const std::string path = dir + "/missing/bench.log";
    ui.Expect("The traffic cannot be recorded into\r\n" + path + "\r\nNo such file or directory");
    EXPECT_FALSE(dlg.m_transcriptSwitch->StartRecording(path));
    EXPECT_FALSE(Entry().isChecked());
    EXPECT_EQ(ActiveTranscript(), nullptr);
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_EQ(ui.Shown().at(0).icon, vireo::MsgIcon::Error);
}

} // namespace
