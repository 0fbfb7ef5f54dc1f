// Filling the settings combos from their tables and reading a selection back.
#pragma once

#include "serial/SerialPortList.h"

class QComboBox;

// Adds the table's texts in order with their values as item data; selects the row whose
// value equals current.
void FillCombo(QComboBox* combo, const SettingTable& table, int current);
// Value of the selected entry's text in the table; 0 when nothing matches or nothing is
// selected. Text typed into the combo is never used.
int GetComboValue(const QComboBox* combo, const SettingTable& table);
// Lists the present ports by their display names with the port number as item data, and
// selects the entry of port. The edit field shows the chosen port as "COM<n>".
void FillPortCombo(QComboBox* combo, int port);
