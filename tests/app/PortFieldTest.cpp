// The port field as a person uses it: typing into it, picking from its drop list, and
// pressing Open, against scripted modules registered in a private port directory.
#include "serial/SettingsCombos.h"
#include "tests/app/SimFixture.h"

#include <QAbstractItemView>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

namespace {

using vireo::test::CPtyPeer;

class PortFieldTest : public vireo::test::SimFixture {
protected:
    std::unique_ptr<CPtyPeer> Module(int com) {
        auto peer = std::make_unique<CPtyPeer>(com);
        peer->SetResponder(vireo::test::IdentityAnswer);
        return peer;
    }

    QLineEdit* Field() const { return dlg->m_cbPort->lineEdit(); }

    // Clicks into the field, selects what it holds and types text key by key.
    void Type(const QString& text) {
        QTest::mouseClick(Field(), Qt::LeftButton);
        QTest::keyClick(Field(), Qt::Key_A, Qt::ControlModifier);
        QTest::keyClicks(Field(), text);
    }

    // Opens the drop list with the mouse or the keyboard and takes the row the same way.
    void Pick(int row, bool mouse) {
        QComboBox* combo = dlg->m_cbPort;
        QAbstractItemView* view = combo->view();
        if (mouse) {
            QTest::mouseClick(combo, Qt::LeftButton, {}, {combo->width() - 6, combo->height() / 2});
            // The list ignores a release that comes within a double-click time of the click
            // that opened it; a person's second click comes later.
            QTest::qWait(QApplication::doubleClickInterval() + 200);
            const QPoint where = view->visualRect(view->model()->index(row, 0)).center();
            QTest::mouseMove(view->viewport(), where);
            QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, where);
        } else {
            combo->setFocus();
            QTest::keyClick(Field(), Qt::Key_Down, Qt::AltModifier);
            view->setCurrentIndex(view->model()->index(0, 0));
            for (int i = 0; i < row; ++i)
                QTest::keyClick(view, Qt::Key_Down);
            QTest::keyClick(view, Qt::Key_Return);
        }
        QApplication::processEvents();
        EXPECT_FALSE(view->isVisible());
    }

    void ClickOpen(int expectedOpen) {
        QTest::mouseClick(dlg->m_pOpenButton, Qt::LeftButton);
        ASSERT_EQ(expectedOpen, dlg->m_bPortOpen);
    }
};

TEST_F(PortFieldTest, TypedTextIsOpenedAsTypedAndAnAbsentDefaultLeavesTheFieldEmpty) {
    const auto com3 = Module(3), com17 = Module(17);
    MakeDialog();
    EXPECT_EQ(2, dlg->m_cbPort->count());
    EXPECT_EQ("", Field()->text()); // COM1 is absent
    ui.Expect("ERROR: Could not open serial port.\r\n"
              "No such port: give the port as COM<n>, for example COM1.");
    ClickOpen(0);
    Type("/dev/ttyUSB0"); // no COM name
    ui.Expect("ERROR: Could not open serial port.\r\n"
              "No such port: give the port as COM<n>, for example COM1.");
    ClickOpen(0);
    EXPECT_EQ(0, dlg->m_nPort);

    const auto com1 = Module(1); // registered after the list was filled, as when plugged in late
    Type("COM1");
    EXPECT_EQ("COM1", Field()->text()); // not completed to COM17
    // No construct file at all: the tree says so with its single item.
    page->m_strConstructDir = dir.Path() + "/";
    ui.Expect("WARNING: Could not recognize the firmware version.\r\nMaybe this manager is out of "
              "date. Would you like to update this manager?",
              vireo::MsgAnswer::No);
    ui.Expect("ERROR: Could not recognize the firmware version.\r\nPlease uninstall this manager "
              "and intall the latest manager.");
    ClickOpen(1);
    EXPECT_EQ(1, dlg->m_nPort);
    EXPECT_EQ("KA40", Info(1022));
    ASSERT_EQ(1, page->Tree()->topLevelItemCount());
    EXPECT_EQ("CONSTRUCT FILE READ FAIL", page->Tree()->topLevelItem(0)->text(0));
    EXPECT_EQ("", com17->Received());
    EXPECT_EQ("", com3->Received());
}

class PortPickTest : public PortFieldTest, public ::testing::WithParamInterface<bool> {};

TEST_P(PortPickTest, PickedPortShowsItsNumberInTheFieldAndIsOpened) {
    const auto com1 = Module(1), com17 = Module(17);
    MakeDialog();
    QComboBox* combo = dlg->m_cbPort;
    ASSERT_EQ(2, combo->count());
    EXPECT_EQ("COM1", Field()->text());
    // The list names each port with its device.
    EXPECT_EQ("COM1 (" + QString::fromStdString(com1->SlavePath()) + ")", PortListText(combo, 0));
    EXPECT_EQ("COM17 (" + QString::fromStdString(com17->SlavePath()) + ")", PortListText(combo, 1));
    // Something typed first, then a pick: the picked port replaces it, also when the picked
    // entry is the one already selected.
    for (int row : {1, 1, 0}) {
        Type("CO");
        Pick(row, GetParam());
        EXPECT_EQ(row, combo->currentIndex());
        EXPECT_EQ(row == 0 ? "COM1" : "COM17", Field()->text());
    }
    ClickOpen(1);
    EXPECT_EQ("KA40", Info(1022));
    EXPECT_EQ("", com17->Received());
}

INSTANTIATE_TEST_SUITE_P(ByMouseAndKeyboard, PortPickTest, ::testing::Bool(),
                         [](const auto& mouse) { return mouse.param ? "Mouse" : "Keyboard"; });

} // namespace
