#include "pages/PageDialog.h"

#include <QKeyEvent>

CPageDialog::CPageDialog(CManagerCore& manager, QString form, QWidget* parent)
    : QWidget(parent), m_manager(manager), m_formName(std::move(form)) {}

bool CPageDialog::Create() {
    if (!m_form.Build(this, m_formName, CustomControls())) {
        qWarning("%s", qPrintable(m_form.Error()));
        return false;
    }
    OnInitDialog();
    return true;
}

void CPageDialog::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape: event->accept(); return;
    default: QWidget::keyPressEvent(event);
    }
}
