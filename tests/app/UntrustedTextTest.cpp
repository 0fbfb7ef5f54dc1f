// Texts that come from the module are shown as they are: never formatted, never able to load
// a file or to stall the window with a costly layout.
#include "tests/app/SimFixture.h"
#include "tests/support/QtPrinters.h"

#include <QAccessible>
#include <QLabel>
#include <QPushButton>

namespace {

std::string NestedTables() {
    std::string html;
    for (int i = 0; i < 40; ++i)
        html += "<table><tr><td>";
    return html; // 600 bytes that take a rich-text layout minutes at full load
}

class UntrustedTextTest : public vireo::test::SimFixture,
                          public ::testing::WithParamInterface<std::string> {};

TEST_P(UntrustedTextTest, NodeNameIsShownLiterallyAndTheWindowKeepsAnswering) {
    vireo::sim::SimConfig config;
    config.nodeName = GetParam();
    config.pacing = true;
    config.baudRate = 115200;
    Start(config);
    Select(dlg->m_cbBaudRate, "115200");
    dlg->m_pOpenButton->click();
    ASSERT_EQ(1, dlg->m_bPortOpen);
    ASSERT_EQ(GetParam(), dlg->m_strNodeName); // the whole name came through

    auto* label = dlg->Form().Get<QLabel>(1023);
    const QString name = QString::fromStdString(GetParam());
    EXPECT_EQ(Qt::PlainText, label->textFormat());
    EXPECT_EQ(name, label->text());
    EXPECT_EQ(name, QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name));
    // The window still draws: a full repaint of it completes.
    QApplication::processEvents();
    EXPECT_FALSE(dlg->grab().isNull());
    dlg->m_pOpenButton->click();
    EXPECT_EQ(0, dlg->m_bPortOpen);
    EXPECT_TRUE(ui.Shown().empty());
}

std::string CaseName(const ::testing::TestParamInfo<std::string>& name) {
    return name.index == 0 ? "NestedTables" : name.index == 1 ? "LocalImage" : "Markup";
}

INSTANTIATE_TEST_SUITE_P(HtmlNames, UntrustedTextTest,
                         ::testing::Values(NestedTables(), "<img src=\"/etc/vireo-logo.png\">",
                                           "<b>Bench</b> <i>unit</i> &amp; more"),
                         CaseName);

} // namespace
