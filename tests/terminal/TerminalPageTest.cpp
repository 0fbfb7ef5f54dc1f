// The Terminal page driven as a person would: keys into the screen, clicks on its buttons,
// bytes from a module on a pseudo-terminal reaching the screen through the reader's posts.
// How each view draws bytes is the render tests' part.
#include "terminal/TerminalPage.h"
#include "platform/QtUiServices.h"
#include "serial/SerialNotify.h"
#include "tests/app/SimFixture.h"
#include "tests/support/QtPrinters.h"

#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>
#include <QTest>
#include <functional>

namespace {

bool WaitUntil(const std::function<bool()>& done, int timeoutMs = 20000) {
    for (int waited = 0; !done() && waited < timeoutMs; waited += 5)
        QTest::qWait(5);
    return done();
}

class TerminalPageTest : public vireo::test::SimFixture {
protected:
    TerminalPageTest() { vireo::InstallQtMessagePoster(); }
    ~TerminalPageTest() override { SetPostMessageFunction(nullptr); }

    void Click(int id) { qobject_cast<QAbstractButton*>(page->Form().Control(id))->click(); }
    QString Screen() const { return page->m_screen->toPlainText(); }

    CTerminalPage* page = nullptr;
};

TEST_F(TerminalPageTest, ModuleAnswersTypedCommandsAndAFloodLeavesTheScreenBounded) {
    vireo::sim::SimConfig config;
    config.baudRate = 921600;
    Start(config);
    SelectRate(921600);
    dlg->m_pOpenButton->click();
    ASSERT_EQ(1, dlg->m_bPortOpen);
    QTabBar* bar = dlg->m_tabHost.TabBar(); // the module's echo goes on with the tab
    QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(2).center());
    QApplication::processEvents();
    page = dlg->m_tabHost.TerminalPage();
    ASSERT_TRUE(page->isVisible());
    page->m_screen->setFocus();
    QTest::keyClicks(page->m_screen, "AT+VERSION");
    QTest::keyClick(page->m_screen, Qt::Key_Return);
    const QString version = QString::fromStdString(sim->Local().Version());
    ASSERT_TRUE(WaitUntil([&] { return Screen().endsWith(version + "\n\nOK\n"); }))
        << Screen().toStdString();
    EXPECT_EQ(1, Screen().count("AT+VERSION")); // shown once, by the module's echo
    // With local echo as well, a typed letter shows twice: once typed, once echoed.
    Click(1016);
    Click(1041);
    page->m_screen->setFocus();
    QTest::keyClick(page->m_screen, Qt::Key_Z);
    EXPECT_TRUE(WaitUntil([&] { return Screen() == "zz"; })) << Screen().toStdString();

    // 320 KB without a line end, binary and zero bytes among them: more than the screen holds.
    Click(1041);
    std::string flood;
    for (int i = 0; flood.size() < 320 * 1024; ++i)
        flood += (i % 97 == 0) ? std::string("\0\x7f\x1b", 3) : std::string(1, char('a' + i % 26));
    ASSERT_TRUE(sim->SendUnsolicited(flood));
    // A full receive ring is emptied, as the reader does on overflow; so the end mark is sent
    // again until it shows, however slow this machine draws.
    int largest = 0, polls = 0;
    ASSERT_TRUE(WaitUntil(
        [&] {
            largest = std::max(largest, page->m_screen->document()->characterCount());
            if (++polls % 400 == 0)
                sim->SendUnsolicited("END");
            return Screen().endsWith("END");
        },
        120000));
    EXPECT_LE(largest, CTerminalPage::kScreenLimit + 1);
    EXPECT_FALSE(Screen().contains(QChar(0)));
}

// A line that answers nothing by itself: the test sends what the screen must draw.
TEST_F(TerminalPageTest, KeysGoOutAsSingleBytesAndTheScreenIsExported) {
    MakeDialog();
    vireo::test::CPtyPeer peer(1);
    ASSERT_EQ(1, dlg->m_serial.Open(1, 115200, 0, 8, 0, 10));
    dlg->m_serial.m_bNotifyTerminal = 1;
    page = dlg->m_tabHost.TerminalPage();
    page->m_screen->setFocus();
    peer.Send("one\r\ntwo");
    ASSERT_TRUE(WaitUntil([&] { return Screen() == "one\ntwo"; })) << Screen().toStdString();
    page->Form().Get<QRadioButton>(1019)->click(); // HEXA starts on a line of its own
    peer.Send("0");
    ASSERT_TRUE(WaitUntil([&] { return Screen() == "one\ntwo\n30 "; })) << Screen().toStdString();
    page->Form().Get<QRadioButton>(1018)->click();
    const QString shown = Screen();

    for (Qt::Key key : {Qt::Key_Left, Qt::Key_Up, Qt::Key_Escape})
        QTest::keyClick(page->m_screen, key);
    QTest::keyClicks(page->m_screen, "a+");
    QTest::keyClick(page->m_screen, Qt::Key_Return);
    QTest::keyClick(page->m_screen, Qt::Key_Backspace);
    EXPECT_TRUE(peer.WaitForReceived("a+\r\x08"));
    EXPECT_EQ("a+\r\x08", peer.Received()); // Enter is one byte, nothing is added
    EXPECT_EQ(shown, Screen());             // local echo off: typing draws nothing
    EXPECT_TRUE(page->m_screen->textCursor().atEnd());
    EXPECT_TRUE(dlg->isVisible()); // Escape did not close the window
    auto* clear = page->Form().Get<QPushButton>(1041);
    clear->setFocus(); // Enter on a focused button of the page presses nothing
    QTest::keyClick(clear, Qt::Key_Return);
    QTest::keyClick(clear, Qt::Key_Enter);
    EXPECT_EQ(shown, Screen());

    QTemporaryDir folder;
    ui.QueueSaveFile((folder.path() + "/Log.TXT").toStdString());
    Click(1053);
    QFile file(folder.path() + "/log.txt");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString(shown).replace("\n", "\r\n").toUtf8(), file.readAll());
    Click(1053); // cancelled: nothing written, nothing said
    EXPECT_TRUE(ui.Shown().empty());
}

TEST_F(TerminalPageTest, ScrollLinesAboveTenThousandAreCutBack) {
    MakeDialog();
    page = dlg->m_tabHost.TerminalPage();
    auto* lines = page->Form().Get<QLineEdit>(1017);
    for (const char* text : {"20000", "10000", "42"}) {
        lines->setText(text);
        const std::string expected = std::string(text) == "20000" ? "10000" : text;
        EXPECT_EQ(expected, page->m_scrollLines);
        EXPECT_EQ(QString::fromStdString(expected), lines->text());
    }
}

} // namespace
