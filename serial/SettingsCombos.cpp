#include "serial/SettingsCombos.h"
#include "platform/PortMap.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>

void FillCombo(QComboBox* combo, const SettingTable& table, int current) {
    for (unsigned short i = 0; i < table.count; ++i) {
        combo->addItem(QString::fromLatin1(table.rows[i].text), table.rows[i].value);
        if (table.rows[i].value == current)
            combo->setCurrentIndex(i);
    }
}

int GetComboValue(const QComboBox* combo, const SettingTable& table) {
    const int index = combo->currentIndex();
    if (index < 0)
        return 0;
    return SettingValue(table, combo->itemText(index).toStdString());
}

void FillPortCombo(QComboBox* combo, int port) {
    CSerialPortList list;
    list.Enumerate();
    combo->setCurrentIndex(-1);
    for (int i = 0; i < list.GetCount(); ++i) {
        const std::string display = list.GetEntry(i).second;
        const int number = vireo::ParsePortNumber(display);
        combo->addItem(QString::fromStdString(display), number);
        if (number == port)
            combo->setCurrentIndex(i);
    }
    if (combo->currentIndex() < 0)
        combo->setEditText(QString());
    if (combo->lineEdit())
        combo->lineEdit()->setCursorPosition(0); // show "COMn", not the end of the path
    // The list may be wider than the field: device paths follow the COM names.
    combo->view()->setMinimumWidth(combo->view()->sizeHintForColumn(0) + 24);
}
