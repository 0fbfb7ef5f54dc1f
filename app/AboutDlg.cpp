#include "app/AboutDlg.h"
#include "res/Icons.h"

#include <QLabel>
#include <QPushButton>

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    m_form.Build(this, "about");
    setWindowTitle(QString::fromStdString(m_form.Template().caption));
    setFixedSize(m_form.DialogSize());
    if (auto* icon = m_form.Get<QLabel>(128))
        icon->setPixmap(vireo::AppIcon().pixmap(32));
    if (auto* ok = m_form.Get<QPushButton>(1)) {
        ok->setDefault(true);
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    }
}
