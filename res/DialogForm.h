// Builds the controls of a dialog template (res/forms/*.dlg) as children of a widget.
// Positions are converted from dialog units with the widget's font: a horizontal unit is a
// quarter of the font's average character width, a vertical unit an eighth of its height.
// Each control with an id gets that id as its object name; focus follows the template's order.
// Labels show plain text only. A control with text of its own (button, check box, group box,
// label) is spoken by its current text; a control without (edit, combo box, tree, progress
// bar, icon) is named after the label the template gives it.
#pragma once

#include "res/DialogTemplate.h"

#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>
#include <QWidget>
#include <map>

class CDialogForm {
public:
    // Loads the template from the resource ":/forms/<name>.dlg" and creates its controls in
    // parent. A control whose id is in custom is not created: the given widget is reparented
    // and placed instead. Returns false (with the reason in Error()) on a broken template.
    bool Build(QWidget* parent, const QString& name, const std::map<int, QWidget*>& custom = {});

    QWidget* Control(int id) const;
    template <class T> T* Get(int id) const { return qobject_cast<T*>(Control(id)); }

    const DialogTemplate& Template() const { return m_template; }
    // Size of the dialog in pixels.
    QSize DialogSize() const {
        return ToPixels(QRect(0, 0, m_template.width, m_template.height)).size();
    }
    QRect ToPixels(const QRect& dialogUnits) const;
    const QString& Error() const { return m_error; }

    // Text without the "&" mnemonic markers, as a person reads it.
    static QString PlainText(const QString& text);

private:
    QWidget* Create(const DialogControl& c, QWidget* parent);
    static bool ShowsOwnText(const DialogControl& c);
    static void SetAccessibleText(const DialogControl& c, QWidget* w);
    void LinkCaptions(QWidget* parent);

    DialogTemplate m_template;
    std::map<int, QWidget*> m_controls;
    double m_baseX = 6.0;
    double m_baseY = 13.0;
    QString m_error;
};
