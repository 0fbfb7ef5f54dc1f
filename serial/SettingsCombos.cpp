#include "serial/SettingsCombos.h"
#include "platform/PortMap.h"

#include <QAbstractItemView>
#include <QComboBox>

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
    // The list names each port with its device; the field shows just "COM<n>", which fits.
    auto showName = [combo](int index) {
        combo->setEditText(
            index < 0 ? QString()
                      : QString::fromStdString(vireo::PortName(combo->itemData(index).toInt())));
    };
    showName(combo->currentIndex());
    QObject::connect(combo, &QComboBox::currentIndexChanged, combo, showName);
    combo->view()->setMinimumWidth(combo->view()->sizeHintForColumn(0) + 24);
}
