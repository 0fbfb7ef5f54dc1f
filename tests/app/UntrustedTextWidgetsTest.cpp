// Every label the dialog templates create, and every message box, shows its text as plain
// text: the texts come from the module, construct and configuration files and the server.
#include "platform/QtUiServices.h"
#include "res/DialogForm.h"
#include "tests/support/QtPrinters.h"

#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class UntrustedTextForms : public ::testing::TestWithParam<const char*> {};

TEST_P(UntrustedTextForms, EveryLabelOfTheTemplateIsPlainText) {
    QWidget host;
    CDialogForm form;
    ASSERT_TRUE(form.Build(&host, GetParam())) << form.Error().toStdString();
    for (QLabel* label : host.findChildren<QLabel*>())
        EXPECT_EQ(Qt::PlainText, label->textFormat()) << label->text().toStdString();
}

INSTANTIATE_TEST_SUITE_P(AllTemplates, UntrustedTextForms,
                         ::testing::Values("main", "about", "config", "firmware", "terminal",
                                           "network", "gpio"),
                         [](const auto& form) { return std::string(form.param); });

TEST(UntrustedTextMessageBox, ShowsItsTextAsItIs) {
    vireo::CQtUiServices services;
    const std::string text = "ERROR: <b>KA40</b> <img src=\"/etc/vireo-logo.png\">\r\nnext line";
    QString shown;
    Qt::TextFormat format = Qt::AutoText;
    // The box is modal: look at it, then press its button, from the event loop it runs.
    QTimer look;
    QObject::connect(&look, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box)
            return;
        look.stop();
        shown = box->text();
        format = box->textFormat();
        box->button(QMessageBox::Ok)->click();
    });
    look.start(10);
    EXPECT_EQ(
        vireo::MsgAnswer::Ok,
        services.MessageBox(text, "Vireo Manager", vireo::MsgButtons::Ok, vireo::MsgIcon::Error));
    EXPECT_EQ(Qt::PlainText, format);
    EXPECT_EQ("ERROR: <b>KA40</b> <img src=\"/etc/vireo-logo.png\">\nnext line", shown);
}

} // namespace
