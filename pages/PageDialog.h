// Base of the tab pages: a child window built from its dialog template when the tab host
// creates it. Enter and Escape pressed on a page are swallowed, so that neither closes the
// main dialog nor presses a button.
#pragma once

#include "res/DialogForm.h"

#include <QWidget>

class CManagerCore;

class CPageDialog : public QWidget {
    Q_OBJECT
public:
    CPageDialog(CManagerCore& manager, QString form, QWidget* parent);

    // Builds the page's controls from its template, then runs OnInitDialog.
    bool Create();
    // The page's size as its template gives it.
    QSize TemplateSize() const { return m_form.DialogSize(); }
    const CDialogForm& Form() const { return m_form; }

protected:
    virtual void OnInitDialog() {}
    // Controls of the template that the page supplies itself, by id (see CDialogForm::Build).
    virtual std::map<int, QWidget*> CustomControls() { return {}; }
    void keyPressEvent(QKeyEvent* event) override;

    CManagerCore& m_manager;
    CDialogForm m_form;

private:
    QString m_formName;
};
