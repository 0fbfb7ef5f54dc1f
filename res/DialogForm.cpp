#include "res/DialogForm.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QFontMetricsF>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTabWidget>
#include <QTreeWidget>
#include <algorithm>
#include <cmath>
#include <iterator>

QString CDialogForm::PlainText(const QString& text) {
    QString plain;
    for (int i = 0; i < text.size(); ++i) {
        if (text[i] == '&' && i + 1 < text.size())
            ++i;
        plain += text[i];
    }
    return plain.trimmed();
}

QRect CDialogForm::ToPixels(const QRect& du) const {
    auto px = [](int units, double base, int div) {
        return static_cast<int>(std::lround(units * base / div));
    };
    return QRect(px(du.x(), m_baseX, 4), px(du.y(), m_baseY, 8), px(du.width(), m_baseX, 4),
                 px(du.height(), m_baseY, 8));
}

QWidget* CDialogForm::Control(int id) const {
    auto it = m_controls.find(id);
    return it == m_controls.end() ? nullptr : it->second;
}

QWidget* CDialogForm::Create(const DialogControl& c, QWidget* parent) {
    const QString text = QString::fromUtf8(c.text);
    const QString k = QString::fromLatin1(c.kind);
    if (k == "GROUPBOX")
        return new QGroupBox(text, parent);
    if (k == "LTEXT" || k == "CTEXT" || k == "ICON") {
        // Labels show texts from the module, construct and configuration files and the update
        // server: never let Qt take them for rich text.
        auto* label = new QLabel(parent);
        label->setTextFormat(Qt::PlainText);
        label->setText(text);
        label->setAlignment((k == "CTEXT" ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
        label->setWordWrap(c.height > 12);
        label->setTextInteractionFlags(Qt::NoTextInteraction);
        return label;
    }
    if (k == "PUSHBUTTON") {
        auto* button = new QPushButton(text, parent);
        button->setAutoDefault(false);
        return button;
    }
    if (k == "CHECKBOX")
        return new QCheckBox(text, parent);
    if (k == "RADIOBUTTON")
        return new QRadioButton(text, parent);
    if (k == "EDITTEXT") {
        if (c.Has("MULTILINE")) {
            auto* edit = new QPlainTextEdit(parent);
            edit->setReadOnly(c.Has("READONLY"));
            return edit;
        }
        auto* edit = new QLineEdit(parent);
        edit->setReadOnly(c.Has("READONLY"));
        return edit;
    }
    if (k == "COMBOBOX") {
        auto* combo = new QComboBox(parent);
        combo->setEditable(c.Has("DROPDOWN"));
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setMaxVisibleItems(12);
        return combo;
    }
    if (k == "TREEVIEW" || k == "LISTVIEW") {
        auto* tree = new QTreeWidget(parent);
        tree->setHeaderHidden(k == "TREEVIEW");
        tree->setRootIsDecorated(k == "TREEVIEW");
        return tree;
    }
    if (k == "PROGRESS") {
        auto* bar = new QProgressBar(parent);
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
        return bar;
    }
    if (k == "TABCONTROL")
        return new QTabWidget(parent);
    return nullptr;
}

static void InitFormResources() {
    Q_INIT_RESOURCE(res);
}

bool CDialogForm::Build(QWidget* parent, const QString& name,
                        const std::map<int, QWidget*>& custom) {
    static const bool initialised = (InitFormResources(), true);
    (void)initialised;
    QFile file(":/forms/" + name + ".dlg");
    if (!file.open(QIODevice::ReadOnly)) {
        m_error = "missing dialog template " + name;
        return false;
    }
    std::string error;
    if (!ParseDialogTemplate(file.readAll().toStdString(), m_template, &error)) {
        m_error = QString::fromStdString(name.toStdString() + ": " + error);
        return false;
    }
    const QFontMetricsF metrics(parent->font());
    m_baseX =
        metrics.horizontalAdvance("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") / 52.0;
    m_baseY = metrics.height();

    for (const DialogControl& c : m_template.controls) {
        auto it = custom.find(c.id);
        QWidget* w = it != custom.end() ? it->second : Create(c, parent);
        if (!w) {
            m_error = QString::fromStdString("unknown control kind " + c.kind);
            return false;
        }
        w->setParent(parent);
        // Controls stack in template order, later ones on top, whenever they were created: a
        // custom control made before the form (the device list) must not end up under the
        // group box drawn around it, which would take its clicks.
        w->raise();
        QRect r = ToPixels(QRect(c.x, c.y, c.width, c.height));
        // A combo's template height includes its drop list; the field keeps its own height.
        if (qobject_cast<QComboBox*>(w))
            r.setHeight(w->sizeHint().height());
        else if (qobject_cast<QLineEdit*>(w))
            r.setHeight(std::max(r.height(), w->sizeHint().height()));
        w->setGeometry(r);
        if (c.id >= 0) {
            w->setObjectName(QString::number(c.id));
            m_controls[c.id] = w;
        }
        SetAccessibleText(c, w);
        w->setEnabled(!c.Has("DISABLED"));
        w->setVisible(!c.Has("HIDDEN"));
    }
    LinkCaptions(parent);
    return true;
}

bool CDialogForm::ShowsOwnText(const DialogControl& c) {
    static const char* const kinds[] = {"GROUPBOX",   "LTEXT",    "CTEXT",
                                        "PUSHBUTTON", "CHECKBOX", "RADIOBUTTON"};
    return std::find(std::begin(kinds), std::end(kinds), c.kind) != std::end(kinds);
}

void CDialogForm::SetAccessibleText(const DialogControl& c, QWidget* w) {
    // A control with text of its own is spoken by that text, also after the program changes
    // it ("Open" becomes "Close", a value static shows the module's reply): a fixed name would
    // keep saying the old words. The label beside it only describes it.
    const QString label = PlainText(QString::fromUtf8(c.label));
    if (label.isEmpty())
        return;
    if (ShowsOwnText(c))
        w->setAccessibleDescription(label);
    else
        w->setAccessibleName(label);
}

// "Product Name : " and "Product Name :" name the same thing.
static QString CaptionKey(const QString& text) {
    QString key = CDialogForm::PlainText(text);
    while (key.endsWith(':') || key.endsWith(' '))
        key.chop(1);
    return key;
}

void CDialogForm::LinkCaptions(QWidget* parent) {
    // A caption (a text without an id) whose words are the label= of a control becomes that
    // control's buddy: screen readers take the caption as the control's label from there.
    for (const DialogControl& c : m_template.controls) {
        QWidget* target = Control(c.id);
        if (c.label.empty() || !target)
            continue;
        const QString key = CaptionKey(QString::fromUtf8(c.label));
        for (QLabel* caption : parent->findChildren<QLabel*>(Qt::FindDirectChildrenOnly)) {
            if (caption != target && caption->objectName().isEmpty() && !caption->buddy() &&
                CaptionKey(caption->text()) == key) {
                caption->setBuddy(target);
                break;
            }
        }
    }
}
