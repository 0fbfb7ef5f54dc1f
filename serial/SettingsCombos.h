// Filling the settings combos from their tables and reading a selection back.
#pragma once

#include "serial/SerialPortList.h"

#include <QString>

class QComboBox;

// Adds the table's texts in order with their values as item data; selects the row whose
// value equals current. In an editable combo, typing a listed text chooses that entry, and
// other text gives way to the chosen entry's text when the typing ends: the box never shows
// a setting that would not be used.
void FillCombo(QComboBox* combo, const SettingTable& table, int current);
// Value of the selected entry's text in the table; 0 when nothing matches or nothing is
// selected. Text typed into the combo is never used.
int GetComboValue(const QComboBox* combo, const SettingTable& table);
// Lists the present ports with the port number as item data and selects the entry of port;
// when port is absent nothing is selected and the field stays empty. Each entry's text is
// "COM<n>", which is what the field shows when the entry is picked; the drop list shows the
// display name beside it ("COM3 (/dev/ttyUSB0)"). The field never completes typed text from
// the list: what is typed is what Open opens.
void FillPortCombo(QComboBox* combo, int port);
// The text the port drop list shows for entry index.
QString PortListText(const QComboBox* combo, int index);
