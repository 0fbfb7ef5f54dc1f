// What a screen reader says about the main dialog is what a person sees on it, also after the
// program has changed a text.
#include "tests/app/SimFixture.h"
#include "tests/support/QtPrinters.h"

#include <QAccessible>
#include <QLabel>
#include <QPushButton>

namespace {

QString Spoken(QWidget* w, QAccessible::Text what = QAccessible::Name) {
    return QAccessible::queryAccessibleInterface(w)->text(what);
}

class AccessibleTextTest : public vireo::test::SimFixture {
protected:
    // Each device information static with the caption beside it.
    const std::vector<std::pair<int, QString>> kStatics = {{1025, "F/W Rev. :"},
                                                           {1024, "EUI address :"},
                                                           {1022, "Product Name :"},
                                                           {1023, "Node Name :"}};
};

TEST_F(AccessibleTextTest, OpenButtonAndDeviceInformationSayWhatTheyShow) {
    Start();
    QPushButton* open = dlg->m_pOpenButton;
    EXPECT_EQ("Open", Spoken(open));
    open->click();
    ASSERT_EQ(1, dlg->m_bPortOpen);
    EXPECT_EQ("Close", Spoken(open));
    for (const auto& [id, caption] : kStatics) {
        QWidget* value = dlg->Form().Control(id);
        EXPECT_EQ(qobject_cast<QLabel*>(value)->text(), Spoken(value)) << id;
        EXPECT_FALSE(Spoken(value).isEmpty()) << id;
        EXPECT_EQ(caption, Spoken(value, QAccessible::Description)) << id;
    }
    EXPECT_EQ("Bench unit", Spoken(dlg->Form().Control(1023)));
    open->click();
    ASSERT_EQ(0, dlg->m_bPortOpen);
    EXPECT_EQ("Open", Spoken(open));
    // Empty, the static is spoken by its caption alone, not by the name it showed.
    EXPECT_EQ("Node Name :", Spoken(dlg->Form().Control(1023)));
}

} // namespace
