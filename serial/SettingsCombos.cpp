#include "serial/SettingsCombos.h"
#include "platform/PortMap.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QStyledItemDelegate>

namespace {

// Item role holding the display name of a port entry.
constexpr int kPortDisplayRole = Qt::UserRole + 1;

// Draws a port entry of the drop list with its display name; the entry's own text, which the
// field takes when the entry is picked, stays the short "COM<n>".
class CPortListDelegate final : public QStyledItemDelegate {
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override {
        QStyledItemDelegate::initStyleOption(option, index);
        const QString display = index.data(kPortDisplayRole).toString();
        if (!display.isEmpty())
            option->text = display;
    }
};

// Only listed entries are used when the port opens, so the box must not show anything else:
// typed text that names an entry chooses it, and anything else gives way to the chosen
// entry's text when the typing ends. Nothing typed is added to the list.
void KeepToListedEntries(QComboBox* combo, QLineEdit* edit) {
    combo->setInsertPolicy(QComboBox::NoInsert);
    QObject::connect(edit, &QLineEdit::textEdited, combo, [combo](const QString& text) {
        const int index = combo->findText(text, Qt::MatchFixedString | Qt::MatchCaseSensitive);
        if (index >= 0)
            combo->setCurrentIndex(index);
    });
    QObject::connect(edit, &QLineEdit::editingFinished, combo, [combo, edit] {
        const QString chosen = combo->itemText(combo->currentIndex()); // empty when none
        if (edit->text() != chosen)
            edit->setText(chosen);
    });
}

} // namespace

void FillCombo(QComboBox* combo, const SettingTable& table, int current) {
    for (unsigned short i = 0; i < table.count; ++i) {
        combo->addItem(QString::fromLatin1(table.rows[i].text), table.rows[i].value);
        if (table.rows[i].value == current)
            combo->setCurrentIndex(i);
    }
    if (QLineEdit* edit = combo->lineEdit())
        KeepToListedEntries(combo, edit);
}

int GetComboValue(const QComboBox* combo, const SettingTable& table) {
    const int index = combo->currentIndex();
    if (index < 0)
        return 0;
    return SettingValue(table, combo->itemText(index).toStdString());
}

QString PortListText(const QComboBox* combo, int index) {
    const QString display = combo->itemData(index, kPortDisplayRole).toString();
    return display.isEmpty() ? combo->itemText(index) : display;
}

void FillPortCombo(QComboBox* combo, int port) {
    CSerialPortList list;
    list.Enumerate();
    // Inline completion would turn a typed "COM1" into a listed "COM17".
    combo->setCompleter(nullptr);
    combo->setItemDelegate(new CPortListDelegate(combo));
    int selected = -1;
    for (int i = 0; i < list.GetCount(); ++i) {
        const auto [name, display] = list.GetEntry(i);
        const int number = vireo::ParsePortNumber(display);
        combo->addItem(QString::fromStdString(name), number);
        combo->setItemData(i, QString::fromStdString(display), kPortDisplayRole);
        combo->setItemData(i, QString::fromStdString(display), Qt::AccessibleTextRole);
        if (number == port)
            selected = i;
    }
    // Adding the first entry selects it; an absent port must leave the field empty instead.
    combo->setCurrentIndex(selected);
    combo->view()->setMinimumWidth(combo->view()->sizeHintForColumn(0) + 24);
}
