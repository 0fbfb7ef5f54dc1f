// The port field as a person uses it: typing into it, picking from its drop list, and
// pressing Open, against ports registered in a private port directory.
#include "serial/SettingsCombos.h"
#include "tests/app/SimFixture.h"
#include "tests/support/QtPrinters.h"

#include <QAbstractItemView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

using vireo::test::CPtyPeer;

class PortFieldTest : public vireo::test::SimFixture {
protected:
    // The simulated module on COM1, started when the test says so.
    void StartModule() {
        vireo::sim::SimConfig config;
        config.comNumber = 1;
        config.remoteCount = 2;
        sim = std::make_unique<vireo::sim::Simulator>(config);
        std::string error;
        ASSERT_TRUE(sim->Start(&error)) << error;
        ASSERT_EQ(1, sim->ComNumber());
    }

    QLineEdit* Field() const { return dlg->m_cbPort->lineEdit(); }

    // Clicks into the field, selects what it holds and types text key by key.
    void Type(const QString& text) {
        QTest::mouseClick(Field(), Qt::LeftButton);
        QTest::keyClick(Field(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(Field(), text);
        QApplication::processEvents();
    }

    // Opens the drop list with a click on the combo's arrow and clicks the row.
    void PickWithMouse(int row) {
        QComboBox* combo = dlg->m_cbPort;
        QTest::mouseClick(combo, Qt::LeftButton, {},
                          QPoint(combo->width() - 6, combo->height() / 2));
        QAbstractItemView* view = combo->view();
        ASSERT_TRUE(view->isVisible());
        // The list ignores a release that comes within a double-click time of the click that
        // opened it; a person's second click comes later.
        QTest::qWait(QApplication::doubleClickInterval() + 200);
        const QPoint where = view->visualRect(view->model()->index(row, 0)).center();
        QTest::mouseMove(view->viewport(), where);
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, where);
        QApplication::processEvents();
        EXPECT_FALSE(view->isVisible());
    }

    // Opens the drop list from the keyboard, walks to the row and takes it with Enter.
    void PickWithKeyboard(int row) {
        QComboBox* combo = dlg->m_cbPort;
        combo->setFocus();
        QTest::keyClick(Field(), Qt::Key_Down, Qt::AltModifier);
        QAbstractItemView* view = combo->view();
        ASSERT_TRUE(view->isVisible());
        view->setCurrentIndex(view->model()->index(0, 0));
        for (int i = 0; i < row; ++i)
            QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Return);
        QApplication::processEvents();
        EXPECT_FALSE(view->isVisible());
    }

    void ClickOpen() {
        QTest::mouseClick(dlg->m_pOpenButton, Qt::LeftButton);
        QApplication::processEvents();
    }

    QString Info(int id) const { return dlg->Form().Get<QLabel>(id)->text(); }
};

TEST_F(PortFieldTest, TypedPortIsOpenedAsTypedNotCompletedFromTheList) {
    CPtyPeer com17(17);
    MakeDialog();
    StartModule(); // registered after the list was filled, as when it is plugged in late
    Type("COM1");
    EXPECT_EQ("COM1", Field()->text());
    ClickOpen();
    ASSERT_EQ(1, dlg->m_bPortOpen);
    EXPECT_EQ(1, dlg->m_nPort);
    EXPECT_EQ("KA40", Info(1022));
    EXPECT_EQ("", com17.Received());
}

TEST_F(PortFieldTest, AbsentDefaultPortLeavesTheFieldEmptyAndOpenFails) {
    CPtyPeer com3(3), com17(17);
    MakeDialog();
    EXPECT_EQ(2, dlg->m_cbPort->count());
    EXPECT_EQ(-1, dlg->m_cbPort->currentIndex());
    EXPECT_EQ("", Field()->text());
    ui.Expect("ERROR: Could not open serial port.\r\n"
              "No such port: give the port as COM<n>, for example COM1.");
    ClickOpen();
    EXPECT_EQ(0, dlg->m_bPortOpen);
    EXPECT_EQ("", com3.Received());
    EXPECT_EQ("", com17.Received());
}

class PortPickTest : public PortFieldTest, public ::testing::WithParamInterface<bool> {};

TEST_P(PortPickTest, PickedPortShowsItsNumberInTheFieldAndIsOpened) {
    StartModule();
    CPtyPeer com17(17);
    MakeDialog();
    QComboBox* combo = dlg->m_cbPort;
    ASSERT_EQ(2, combo->count());
    // The list names each port with its device.
    EXPECT_EQ("COM1 (" + QString::fromStdString(sim->SlavePath()) + ")", PortListText(combo, 0));
    EXPECT_EQ("COM17 (" + QString::fromStdString(com17.SlavePath()) + ")", PortListText(combo, 1));
    // Something typed first, then a pick: the picked port replaces it, also when the picked
    // entry is the one already selected.
    const bool mouse = GetParam();
    for (int row : {1, 1, 0}) {
        Type("CO");
        mouse ? PickWithMouse(row) : PickWithKeyboard(row);
        EXPECT_EQ(row, combo->currentIndex());
        EXPECT_EQ(row == 0 ? "COM1" : "COM17", Field()->text());
    }
    ClickOpen();
    ASSERT_EQ(1, dlg->m_bPortOpen);
    EXPECT_EQ("KA40", Info(1022));
    EXPECT_EQ("", com17.Received());
}

std::string PickName(const ::testing::TestParamInfo<bool>& pick) {
    return pick.param ? "Mouse" : "Keyboard";
}

INSTANTIATE_TEST_SUITE_P(ByMouseAndKeyboard, PortPickTest, ::testing::Values(true, false),
                         PickName);

} // namespace
