// Enumerates the present COM ports (1..255) through the port map.
#pragma once

#include <string>
#include <utility>
#include <vector>

class CSerialPortList {
public:
    // Empties the list and probes ports 1 to 255; always 1.
    int Enumerate();
    int GetCount() const { return m_nCount; }
    // A copy of entry i: name "COM<n>" and display name (the name, plus the device path
    // where the platform has one: "COM3 (/dev/ttyUSB0)").
    std::pair<std::string, std::string> GetEntry(int i) const { return m_entries.at(i); }
    unsigned GetPortNumber(int i) const { return m_numbers.at(i); }

private:
    std::vector<unsigned> m_numbers;
    int m_nCount = 0;
    std::vector<std::pair<std::string, std::string>> m_entries;
};

// The fixed tables of the five settings combos, in the order their entries appear.
struct SettingRow {
    const char* text;
    int value;
};
struct SettingTable {
    const SettingRow* rows;
    unsigned short count;
};
extern const SettingTable kBaudRateTable;
extern const SettingTable kParityTable;
extern const SettingTable kStopBitsTable;
extern const SettingTable kDataBitsTable;
extern const SettingTable kFlowControlTable;

// Value of the row whose text equals text exactly; 0 when none does.
int SettingValue(const SettingTable& table, const std::string& text);
