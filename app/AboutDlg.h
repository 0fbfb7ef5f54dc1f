// The About box: the program's icon, name and version, and a short notice.
#pragma once

#include "res/DialogForm.h"

#include <QDialog>

class CAboutDlg : public QDialog {
    Q_OBJECT
public:
    explicit CAboutDlg(QWidget* parent = nullptr);

private:
    // Gives every wrapped text the height its lines take; returns size, grown to hold them.
    QSize FitTexts(QSize size);

    CDialogForm m_form;
};
