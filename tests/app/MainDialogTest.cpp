// The main dialog without a module: its tabs, the settings boxes, closing, the traffic
// transcript's menu entry, what a screen reader finds on it, and the plain text of every label
// (label texts come from the module, from files and from the server).
#include "app/ManagerDlg.h"
#include "app/TranscriptSwitch.h"
#include "pages/PageDialog.h"
#include "serial/SettingsCombos.h"
#include "serial/Transcript.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/ScriptedUi.h"

#include <QAbstractButton>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QTest>
#include <fstream>
#include <gtest/gtest.h>

namespace {

class MainDialogTest : public ::testing::Test {
protected:
    MainDialogTest() {
        peer.SetResponder([](const std::string&) { return std::string("\r\nOK\r\n"); });
        dlg->OnInitDialog();
        dlg->show();
        QApplication::processEvents();
    }

    void ClickTab(int index) {
        QTabBar* bar = dlg->m_tabHost.TabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
        QApplication::processEvents();
    }

    vireo::test::CTempPortDir dir;
    vireo::test::CScriptedUi ui;
    vireo::test::CPtyPeer peer{1};
    std::unique_ptr<CManagerDlg> dlg = std::make_unique<CManagerDlg>();
};

TEST_F(MainDialogTest, TabClicksSwitchPagesNotificationsAndEchoAndClosingTurnsEchoOn) {
    for (const auto& [tab, notify] : {std::pair{0, 0}, {2, 1}, {1, 0}, {1, 0}, {0, 1}}) {
        ClickTab(tab); // leaving the Terminal tab switches notifications on, coming back off
        EXPECT_EQ(notify, dlg->m_serial.m_bNotifyTerminal.load()) << tab;
        // Only the chosen page shows; the placeholders behind tabs 3 and 4 stay hidden.
        for (int i = 0; i < CPageTabCtrl::kPages; ++i)
            EXPECT_EQ(i == tab, dlg->m_tabHost.Page(i)->isVisible()) << tab << " " << i;
    }
    dlg->m_tabHost.SetCurSel(1); // a selection changed without a click leaves the flag alone
    QApplication::processEvents();
    EXPECT_EQ(1, dlg->m_serial.m_bNotifyTerminal.load());
    EXPECT_EQ("", peer.Received()); // disconnected: nothing sent
    ASSERT_EQ(1, dlg->m_serial.Open(1, 115200, 0, 8, 0, 10));
    dlg->m_bPortOpen = 1;
    for (const auto& [tab, echo] : {std::pair{2, "ATE1"}, {0, "ATE0"}, {1, "ATE0"}}) {
        peer.ClearReceived();
        ClickTab(tab);
        EXPECT_TRUE(peer.WaitForReceived(std::string("\r\n") + echo + "\r\n")) << tab;
    }
    peer.ClearReceived();
    dlg->close(); // echo on again before the port closes
    EXPECT_EQ("ATE1\r\n", peer.Received());
    EXPECT_FALSE(dlg->m_serial.IsOpen());
}

// What a box shows is what the port opens with: a typed listed rate is chosen, anything else
// gives way to the chosen entry when the typing ends, and nothing joins the list.
TEST_F(MainDialogTest, BaudRateBoxTakesOnlyListedRates) {
    QLineEdit* rate = dlg->m_cbBaudRate->lineEdit();
    EXPECT_EQ("9600", rate->text());
    for (const auto& [typed, shown] :
         {std::pair{"115200", "115200"}, {"12345", "115200"}, {"4800", "4800"}, {"", "4800"}}) {
        rate->selectAll();
        QTest::keyClick(rate, Qt::Key_Backspace);
        QTest::keyClicks(rate, typed);
        QTest::keyClick(rate, Qt::Key_Return);
        EXPECT_EQ(shown, rate->text().toStdString()) << typed;
        EXPECT_EQ(std::stoi(shown), GetComboValue(dlg->m_cbBaudRate, kBaudRateTable)) << typed;
    }
    EXPECT_EQ(12, dlg->m_cbBaudRate->count());
}

TEST_F(MainDialogTest, ControlsAreReachableAndSpokenByWhatTheyShow) {
    auto spoken = [](QWidget* w, QAccessible::Text what = QAccessible::Name) {
        return QAccessible::queryAccessibleInterface(w)->text(what);
    };
    for (const DialogControl& c : dlg->Form().Template().controls) {
        QWidget* w = dlg->Form().Control(c.id);
        if (!qobject_cast<QAbstractButton*>(w) && !qobject_cast<QComboBox*>(w))
            continue;
        EXPECT_NE(Qt::NoFocus, w->focusPolicy()) << c.id;
        if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            // No fixed name: the button's own text speaks, whatever it reads now.
            EXPECT_TRUE(w->accessibleName().isEmpty()) << c.id;
            EXPECT_EQ(CDialogForm::PlainText(button->text()), spoken(w)) << c.id;
        } else {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << c.id;
        }
    }
    EXPECT_NE(Qt::NoFocus, dlg->m_tabHost.TabBar()->focusPolicy());
    // A combo box is named after its caption, which is also its label for screen readers.
    EXPECT_EQ("Serial line", dlg->m_cbPort->accessibleName());
    const auto labels =
        QAccessible::queryAccessibleInterface(dlg->m_cbPort)->relations(QAccessible::Label);
    ASSERT_EQ(1, labels.size());
    EXPECT_EQ("Serial line", labels.front().first->text(QAccessible::Name));
}

TEST_F(MainDialogTest, TheRecordTrafficEntryAsksForAFileRecordsAndStopsWhenUnchecked) {
    QAction& entry = *dlg->m_transcriptSwitch->Action();
    ASSERT_TRUE(dlg->m_systemMenu->actions().contains(&entry));
    ui.QueueSaveFile(""); // Cancel: nothing starts
    entry.trigger();
    EXPECT_FALSE(entry.isChecked());
    EXPECT_EQ(ActiveTranscript(), nullptr);

    const std::string path = dir.Path() + "/bench.log";
    ui.QueueSaveFile(path);
    entry.trigger();
    EXPECT_EQ(ui.LastSaveOptions().defaultExt, "log");
    EXPECT_TRUE(ui.LastSaveOptions().promptOverwrite);
    EXPECT_TRUE(entry.isChecked());
    ASSERT_NE(ActiveTranscript(), nullptr);
    ActiveTranscript()->Note(1, "marker");
    entry.trigger(); // unchecks
    EXPECT_FALSE(entry.isChecked());
    EXPECT_EQ(ActiveTranscript(), nullptr);
    std::ifstream in(path, std::ios::binary);
    const std::string text(std::istreambuf_iterator<char>(in), {});
    EXPECT_NE(text.find(" COM1 == marker\n"), std::string::npos) << text;
}

TEST_F(MainDialogTest, ALogInAMissingFolderIsRefusedWithAMessageAndTheWindowGoesOn) {
    const std::string path = dir.Path() + "/missing/bench.log";
    ui.Expect("The traffic cannot be recorded into\r\n" + path + "\r\nNo such file or directory");
    EXPECT_FALSE(dlg->m_transcriptSwitch->StartRecording(path));
    EXPECT_FALSE(dlg->m_transcriptSwitch->Action()->isChecked());
    EXPECT_EQ(ActiveTranscript(), nullptr);
    EXPECT_EQ(ui.Shown().at(0).icon, vireo::MsgIcon::Error);
}

TEST(UntrustedText, EveryLabelOfEveryTemplateIsPlainText) {
    for (const char* name :
         {"main", "about", "config", "firmware", "terminal", "network", "gpio"}) {
        QWidget host;
        CDialogForm form;
        ASSERT_TRUE(form.Build(&host, name)) << form.Error().toStdString();
        for (QLabel* label : host.findChildren<QLabel*>())
            EXPECT_EQ(Qt::PlainText, label->textFormat())
                << name << ": " << label->text().toStdString();
    }
}

} // namespace
