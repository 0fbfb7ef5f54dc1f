#include "app/AboutDlg.h"
#include "app/ManagerDlg.h"
#include "config/ConfigPage.h"
#include "platform/QtUiServices.h"
#include "serial/SerialNotify.h"
#include "serial/SettingsCombos.h"
#include "terminal/TerminalPage.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/QtPrinters.h"
#include "tests/support/ScriptedUi.h"

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QTabWidget>
#include <QTest>
#include <gtest/gtest.h>

using vireo::test::CPtyPeer;
using vireo::test::CScriptedUi;
using vireo::test::CTempPortDir;

namespace {

QApplication& App() {
    return *static_cast<QApplication*>(QApplication::instance());
}

QStringList Items(const QComboBox* combo) {
    QStringList items;
    for (int i = 0; i < combo->count(); ++i)
        items << combo->itemText(i);
    return items;
}

class MainDialogTest : public ::testing::Test {
protected:
    MainDialogTest() {
        App();
        dlg = std::make_unique<CManagerDlg>();
        dlg->OnInitDialog();
        dlg->show();
        QApplication::processEvents();
    }

    // A device on COM1 that answers every command with OK.
    void ConnectToAnsweringPeer() {
        peer = std::make_unique<CPtyPeer>(1);
        peer->SetResponder([](const std::string&) { return std::string("\r\nOK\r\n"); });
        ASSERT_EQ(1, dlg->m_serial.Open(1, 115200, 0, 8, 0, 10));
        dlg->m_bPortOpen = 1;
    }

    void ClickTab(int index) {
        QTabBar* bar = dlg->m_tabHost.TabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(index).center());
        QApplication::processEvents();
    }

    CTempPortDir dir;
    CScriptedUi ui;
    std::unique_ptr<CPtyPeer> peer;
    std::unique_ptr<CManagerDlg> dlg;
};

TEST_F(MainDialogTest, StartsDisconnectedOnTheConfigurationTab) {
    EXPECT_EQ("Vireo Manager", dlg->windowTitle());
    QTabBar* bar = dlg->m_tabHost.TabBar();
    ASSERT_EQ(3, bar->count());
    EXPECT_EQ("  Configuration  ", bar->tabText(0));
    EXPECT_EQ("  Firmware Update  ", bar->tabText(1));
    EXPECT_EQ("  Terminal  ", bar->tabText(2));
    EXPECT_EQ(0, bar->currentIndex());
    EXPECT_EQ("Open", dlg->m_pOpenButton->text());
    EXPECT_FALSE(dlg->Form().Control(1006)->isEnabled());
    EXPECT_FALSE(dlg->Form().Control(1007)->isEnabled());
    EXPECT_EQ(0, dlg->m_serial.m_bNotifyTerminal.load());
}

TEST_F(MainDialogTest, PagesFillTheSameAreaAndOnlyConfigurationShows) {
    const QRect area = dlg->m_tabHost.Page(0)->geometry();
    EXPECT_TRUE(dlg->m_tabHost.Page(0)->isVisible());
    for (int i = 1; i < CPageTabCtrl::kPages; ++i) {
        EXPECT_FALSE(dlg->m_tabHost.Page(i)->isVisible()) << i;
        EXPECT_EQ(area, dlg->m_tabHost.Page(i)->geometry()) << i;
    }
    EXPECT_GT(area.top(), dlg->m_tabHost.TabBar()->geometry().bottom());
    // The placeholders stay hidden whatever tab is chosen.
    for (int tab : {1, 2, 0}) {
        ClickTab(tab);
        EXPECT_TRUE(dlg->m_tabHost.Page(tab)->isVisible());
        EXPECT_FALSE(dlg->m_tabHost.Page(3)->isVisible());
        EXPECT_FALSE(dlg->m_tabHost.Page(4)->isVisible());
    }
}

TEST_F(MainDialogTest, PagesFillThePageAreaOfTheTabHostExactly) {
    // A tab widget of the host's size and font with the same tabs puts its tab bar and pages
    // where the host must put them.
    CPageTabCtrl& host = dlg->m_tabHost;
    QTabWidget reference;
    reference.setFont(host.font());
    reference.resize(host.size());
    for (int i = 0; i < host.TabBar()->count(); ++i)
        reference.addTab(new QWidget, host.TabBar()->tabText(i));
    reference.show();
    QApplication::processEvents();
    auto* area = reference.findChild<QStackedWidget*>();
    ASSERT_NE(nullptr, area);
    EXPECT_EQ(reference.tabBar()->geometry(), host.TabBar()->geometry());
    for (int i = 0; i < CPageTabCtrl::kPages; ++i)
        EXPECT_EQ(area->geometry(), host.Page(i)->geometry()) << i;
}

TEST_F(MainDialogTest, AboutBoxTextsAreNotCutOff) {
    CAboutDlg about(dlg.get());
    about.show();
    QApplication::processEvents();
    for (QLabel* label : about.findChildren<QLabel*>()) {
        if (label->text().isEmpty())
            continue;
        const int flags = label->wordWrap() ? Qt::TextWordWrap : 0;
        const QRect needed =
            label->fontMetrics().boundingRect(QRect(0, 0, label->width(), 10000),
                                              flags | Qt::AlignLeft | Qt::AlignTop, label->text());
        const std::string text = label->text().toStdString();
        EXPECT_LE(needed.width(), label->width()) << text;
        EXPECT_LE(needed.height(), label->height()) << text;
        EXPECT_TRUE(about.rect().contains(label->geometry())) << text;
    }
}

TEST_F(MainDialogTest, SettingsCombosListTheirTablesWithTheDefaultsSelected) {
    EXPECT_EQ(QStringList({"1200", "2400", "4800", "9600", "19200", "28800", "38400", "57600",
                           "115200", "230400", "460800", "921600"}),
              Items(dlg->m_cbBaudRate));
    EXPECT_EQ(QStringList({"None", "Even", "Odd"}), Items(dlg->m_cbParity));
    EXPECT_EQ(QStringList({"1", "2"}), Items(dlg->m_cbStopBits));
    EXPECT_EQ(QStringList({"7", "8"}), Items(dlg->m_cbDataBits));
    EXPECT_EQ(QStringList({"None", "Software", "Hardware"}), Items(dlg->m_cbFlowControl));
    EXPECT_EQ("9600", dlg->m_cbBaudRate->currentText());
    EXPECT_EQ("None", dlg->m_cbParity->currentText());
    EXPECT_EQ("1", dlg->m_cbStopBits->currentText());
    EXPECT_EQ("8", dlg->m_cbDataBits->currentText());
    EXPECT_EQ("None", dlg->m_cbFlowControl->currentText());
    // What a box shows is what the port opens with: a typed listed rate is chosen, anything
    // else gives way to the chosen entry when the typing ends, and nothing joins the list.
    QLineEdit* rate = dlg->m_cbBaudRate->lineEdit();
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

TEST(MainDialogPorts, RegisteredPortsAreListedAndComOneSelected) {
    App();
    CTempPortDir dir;
    CPtyPeer com1(1), com7(7);
    CManagerDlg dlg;
    dlg.OnInitDialog();
    ASSERT_EQ(QStringList({"COM1", "COM7"}), Items(dlg.m_cbPort));
    EXPECT_EQ("COM1 (" + QString::fromStdString(com1.SlavePath()) + ")",
              PortListText(dlg.m_cbPort, 0));
    EXPECT_EQ("COM7 (" + QString::fromStdString(com7.SlavePath()) + ")",
              PortListText(dlg.m_cbPort, 1));
    EXPECT_EQ("COM1", dlg.m_cbPort->currentText());
    EXPECT_EQ(1, dlg.m_cbPort->currentData().toInt());
    dlg.m_cbPort->setCurrentIndex(1);
    EXPECT_EQ("COM7", dlg.m_cbPort->currentText());
    EXPECT_EQ(7, dlg.m_cbPort->currentData().toInt());
}

TEST_F(MainDialogTest, EnterAndEscapeDoNothing) {
    for (QWidget* target : {static_cast<QWidget*>(dlg.get()), static_cast<QWidget*>(dlg->m_cbPort),
                            static_cast<QWidget*>(dlg->m_tabHost.Page(0))}) {
        QTest::keyClick(target, Qt::Key_Escape);
        QTest::keyClick(target, Qt::Key_Return);
        QTest::keyClick(target, Qt::Key_Enter);
        QApplication::processEvents();
        EXPECT_TRUE(dlg->isVisible());
        EXPECT_EQ("Open", dlg->m_pOpenButton->text()); // Enter did not press Open
    }
}

TEST_F(MainDialogTest, TabClicksSwitchTerminalNotifications) {
    ClickTab(0); // the selected tab: nothing changes
    EXPECT_EQ(0, dlg->m_serial.m_bNotifyTerminal.load());
    ClickTab(2);
    EXPECT_EQ(1, dlg->m_serial.m_bNotifyTerminal.load());
    ClickTab(1);
    EXPECT_EQ(0, dlg->m_serial.m_bNotifyTerminal.load());
    ClickTab(1);
    EXPECT_EQ(0, dlg->m_serial.m_bNotifyTerminal.load());
    ClickTab(0);
    EXPECT_EQ(1, dlg->m_serial.m_bNotifyTerminal.load());
    // A selection changed without a click leaves the flag alone.
    dlg->m_tabHost.SetCurSel(1);
    QApplication::processEvents();
    EXPECT_EQ(1, dlg->m_serial.m_bNotifyTerminal.load());
}

TEST_F(MainDialogTest, TabSwitchesSendEchoCommandsOnlyWhileConnected) {
    peer = std::make_unique<CPtyPeer>(1);
    ClickTab(2);
    ClickTab(0);
    EXPECT_EQ(0, ui.Shown().size()); // disconnected: nothing sent, nothing shown
    peer.reset();
    ConnectToAnsweringPeer();
    ClickTab(2);
    EXPECT_TRUE(peer->WaitForReceived("\r\nATE1\r\n"));
    peer->ClearReceived();
    ClickTab(0);
    EXPECT_TRUE(peer->WaitForReceived("\r\nATE0\r\n"));
    peer->ClearReceived();
    ClickTab(1);
    EXPECT_TRUE(peer->WaitForReceived("\r\nATE0\r\n"));
}

TEST_F(MainDialogTest, ClosingWhileConnectedTurnsEchoOnBeforeThePortCloses) {
    ConnectToAnsweringPeer();
    dlg->close();
    EXPECT_EQ("ATE1\r\n", peer->Received());
    EXPECT_FALSE(dlg->m_serial.IsOpen());
    EXPECT_FALSE(dlg->isVisible());
}

TEST_F(MainDialogTest, ReaderNotificationsArriveOnTheGuiThreadByPosting) {
    vireo::InstallQtMessagePoster();
    auto* terminal = dlg->m_tabHost.TerminalPage();
    EXPECT_EQ(static_cast<QObject*>(terminal), g_hTerminalWnd.load());
    ConnectToAnsweringPeer();
    dlg->m_serial.m_bNotifyTerminal = 1;
    peer->Send("data");
    for (int i = 0; i < 500 && terminal->NotificationCount() == 0; ++i) {
        QTest::qWait(10);
    }
    EXPECT_GE(terminal->NotificationCount(), 1);
    SetPostMessageFunction(nullptr);
}

TEST_F(MainDialogTest, ControlsAreReachableAndSpokenByWhatTheyShow) {
    auto spoken = [](QWidget* w, QAccessible::Text what = QAccessible::Name) {
        return QAccessible::queryAccessibleInterface(w)->text(what);
    };
    for (const DialogControl& c : dlg->Form().Template().controls) {
        QWidget* w = dlg->Form().Control(c.id);
        const bool interactive = qobject_cast<QAbstractButton*>(w) || qobject_cast<QComboBox*>(w);
        if (!interactive)
            continue;
        const std::string id = std::to_string(c.id);
        EXPECT_NE(Qt::NoFocus, w->focusPolicy()) << id;
        if (auto* button = qobject_cast<QAbstractButton*>(w)) {
            // No fixed name: the button's own text speaks, whatever it reads now.
            EXPECT_TRUE(w->accessibleName().isEmpty()) << id;
            EXPECT_EQ(CDialogForm::PlainText(button->text()), spoken(w)) << id;
        } else {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << id;
        }
    }
    EXPECT_NE(Qt::NoFocus, dlg->m_tabHost.TabBar()->focusPolicy());
    // A combo box is named after its caption, which is also its label for screen readers.
    EXPECT_EQ("Serial line", dlg->m_cbPort->accessibleName());
    auto* port = QAccessible::queryAccessibleInterface(dlg->m_cbPort);
    const auto labels = port->relations(QAccessible::Label);
    ASSERT_EQ(1, labels.size());
    EXPECT_EQ("Serial line", labels.front().first->text(QAccessible::Name));
    // A value static reads its value and is described by its caption.
    QWidget* version = dlg->Form().Control(1025);
    EXPECT_TRUE(version->accessibleName().isEmpty());
    EXPECT_EQ("F/W Rev. :", spoken(version, QAccessible::Description));
    dlg->Form().Get<QLabel>(1025)->setText("v1.2.0");
    EXPECT_EQ("v1.2.0", spoken(version));
}

TEST_F(MainDialogTest, AboutBoxShowsNameVersionAndClosesWithItsButton) {
    CAboutDlg about(dlg.get());
    QStringList texts;
    for (QLabel* label : about.findChildren<QLabel*>())
        texts << label->text();
    EXPECT_TRUE(texts.contains("Vireo Manager ver 1.0.9"));
    EXPECT_EQ("About Vireo Manager", about.windowTitle());
    auto* ok = about.findChild<QPushButton*>("1");
    ASSERT_NE(nullptr, ok);
    EXPECT_EQ(QString::fromUtf8("확인"), ok->text());
    QMetaObject::invokeMethod(ok, "click", Qt::QueuedConnection);
    EXPECT_EQ(QDialog::Accepted, about.exec());
}

} // namespace
