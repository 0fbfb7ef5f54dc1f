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
#include <QTemporaryDir>
#include <QTest>

namespace {

class TerminalPageTest : public vireo::test::SimFixture {
protected:
    TerminalPageTest() {
        vireo::InstallQtMessagePoster();
        MakeDialog();
        page = dlg->m_tabHost.TerminalPage();
    }
    ~TerminalPageTest() override { SetPostMessageFunction(nullptr); }

    void Click(int id) { qobject_cast<QAbstractButton*>(page->Form().Control(id))->click(); }
    QString Screen() const { return page->m_screen->toPlainText(); }
    bool ScreenShows(const QString& text) {
        return QTest::qWaitFor([&] { return Screen() == text; }, 20000);
    }

    CTerminalPage* page = nullptr;
};

// A line that answers nothing by itself: the test sends what the screen must draw.
TEST_F(TerminalPageTest, KeysGoOutAsSingleBytesAndTheScreenIsExported) {
    vireo::test::CPtyPeer peer(1);
    ASSERT_EQ(1, dlg->m_serial.Open(1, 115200, 0, 8, 0, 10));
    dlg->m_serial.m_bNotifyTerminal = 1;
    page->m_screen->setFocus();
    peer.Send("one\r\ntwo");
    ASSERT_TRUE(ScreenShows("one\ntwo")) << Screen().toStdString();

    for (Qt::Key key : {Qt::Key_Left, Qt::Key_Up, Qt::Key_Escape})
        QTest::keyClick(page->m_screen, key);
    QTest::keyClicks(page->m_screen, "a+");
    QTest::keyClick(page->m_screen, Qt::Key_Return);
    QTest::keyClick(page->m_screen, Qt::Key_Backspace);
    EXPECT_TRUE(peer.WaitForReceived("a+\r\x08"));
    EXPECT_EQ("a+\r\x08", peer.Received()); // Enter is one byte, nothing is added
    EXPECT_EQ("one\ntwo", Screen());        // local echo off: typing draws nothing
    EXPECT_TRUE(page->m_screen->textCursor().atEnd());
    EXPECT_TRUE(dlg->isVisible()); // Escape did not close the window
    auto* clear = page->Form().Get<QPushButton>(1041);
    clear->setFocus(); // Enter on a focused button of the page presses nothing
    QTest::keyClick(clear, Qt::Key_Return);
    QTest::keyClick(clear, Qt::Key_Enter);
    EXPECT_EQ("one\ntwo", Screen());

    QTemporaryDir folder;
    ui.QueueSaveFile((folder.path() + "/Log.TXT").toStdString());
    Click(1053);
    QFile file(folder.path() + "/log.txt");
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ("one\r\ntwo", file.readAll());
    Click(1053); // cancelled: nothing written, nothing said
    EXPECT_TRUE(ui.Shown().empty());

    Click(1016); // local echo on: a typed letter is drawn and sent
    Click(1041); // Clear Screen
    page->m_screen->setFocus();
    QTest::keyClick(page->m_screen, Qt::Key_Z);
    EXPECT_EQ("z", Screen());
    EXPECT_TRUE(peer.WaitForReceived("a+\r\x08z"));

    // A flood without line ends, batch after batch as the reader stores them: the screen never
    // holds more than its limit.
    const std::string batch(8000, 'x');
    int largest = 0;
    for (int i = 0; i < 40; ++i) {
        dlg->m_serial.m_rxRing.PutBurst(reinterpret_cast<const uint8_t*>(batch.data()),
                                        batch.size());
        page->OnDataArrived();
        largest = std::max(largest, page->m_screen->document()->characterCount());
    }
    EXPECT_LE(largest, CTerminalPage::kScreenLimit + 1);
    EXPECT_TRUE(Screen().endsWith(QString(100, 'x')));
}

TEST_F(TerminalPageTest, ScrollLinesAboveTenThousandAreCutBack) {
    auto* lines = page->Form().Get<QLineEdit>(1017);
    for (const auto& [typed, kept] :
         {std::pair{"20000", "10000"}, {"10000", "10000"}, {"42", "42"}}) {
        lines->setText(typed);
        EXPECT_EQ(kept, page->m_scrollLines);
        EXPECT_EQ(kept, lines->text().toStdString());
    }
}

} // namespace
