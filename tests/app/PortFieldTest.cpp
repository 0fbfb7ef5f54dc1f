// The port field as a person uses it: typing into it, picking from its drop list with the
// keyboard (a mouse pick ends in the same slot), and pressing Open, against scripted modules
// registered in a private port directory.
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

    // Opens the drop list with the keyboard and takes the row the same way.
    void Pick(int row) {
        QAbstractItemView* view = dlg->m_cbPort->view();
        dlg->m_cbPort->setFocus();
        QTest::keyClick(Field(), Qt::Key_Down, Qt::AltModifier);
        view->setCurrentIndex(view->model()->index(0, 0));
        for (int i = 0; i < row; ++i)
            QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Return);
        QApplication::processEvents();
        EXPECT_FALSE(view->isVisible());
    }

    void ClickOpen(int expectedOpen) {
        QTest::mouseClick(dlg->m_pOpenButton, Qt::LeftButton);
        ASSERT_EQ(expectedOpen, dlg->m_bPortOpen);
    }
};

// COM1, the default, is absent at first and plugged in late.
TEST_F(PortFieldTest, PickedOrTypedPortIsOpenedAsShownAndAnAbsentDefaultLeavesTheFieldEmpty) {
    const auto com3 = Module(3), com17 = Module(17);
    MakeDialog();
    QComboBox* combo = dlg->m_cbPort;
    ASSERT_EQ(2, combo->count());
    EXPECT_EQ("", Field()->text());
    for (const char* typed : {"", "/dev/ttyUSB0"}) { // nothing, or no COM name
        Type(typed);
        ui.Expect("ERROR: Could not open serial port.\r\n"
                  "No such port: give the port as COM<n>, for example COM1.");
        ClickOpen(0);
    }
    EXPECT_EQ(0, dlg->m_nPort);
    // The list names each port with its device.
    EXPECT_EQ("COM3 (" + QString::fromStdString(com3->SlavePath()) + ")", PortListText(combo, 0));
    EXPECT_EQ("COM17 (" + QString::fromStdString(com17->SlavePath()) + ")", PortListText(combo, 1));
    // Something typed first, then a pick: the picked port replaces it, also when the picked
    // entry is the one already selected.
    for (int row : {1, 1, 0}) {
        Type("CO");
        Pick(row);
        EXPECT_EQ(row, combo->currentIndex());
        EXPECT_EQ(row == 0 ? "COM3" : "COM17", Field()->text());
    }

    const auto com1 = Module(1);
    Type("COM1");
    EXPECT_EQ("COM1", Field()->text()); // not completed to COM17
    ClickOpen(1);
    EXPECT_EQ(1, dlg->m_nPort);
    EXPECT_EQ("KA40", Info(1022));
    EXPECT_EQ("", com17->Received());
    EXPECT_EQ("", com3->Received());
}

} // namespace
