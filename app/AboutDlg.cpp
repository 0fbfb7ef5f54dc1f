#include "app/AboutDlg.h"
#include "res/Icons.h"

#include <QLabel>
#include <QPushButton>
#include <algorithm>

CAboutDlg::CAboutDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint) {
    m_form.Build(this, "about");
    setWindowTitle(QString::fromStdString(m_form.Template().caption));
    setFixedSize(FitTexts(m_form.DialogSize()));
    if (auto* icon = m_form.Get<QLabel>(128))
        icon->setPixmap(vireo::AppIcon().pixmap(32));
    if (auto* ok = m_form.Get<QPushButton>(1)) {
        ok->setDefault(true);
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
    }
}

QSize CAboutDlg::FitTexts(QSize size) {
    // The notice wraps into as many lines as the installed font needs: each text gets the
    // height of its lines, and the box grows to keep the margin below it that the template has.
    const int height = size.height();
    for (QLabel* label : findChildren<QLabel*>()) {
        if (!label->wordWrap())
            continue;
        const int margin = height - (label->geometry().bottom() + 1);
        label->resize(label->width(),
                      std::max(label->height(), label->heightForWidth(label->width())));
        size.setHeight(std::max(size.height(), label->geometry().bottom() + 1 + margin));
    }
    return size;
}
