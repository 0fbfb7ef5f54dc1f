#include "serial/SerialPortList.h"
#include "platform/PortMap.h"

int CSerialPortList::Enumerate() {
    m_numbers.clear();
    m_entries.clear();
    m_nCount = 0;
    for (const vireo::PortEntry& port : vireo::ListPorts()) {
        ++m_nCount;
        m_entries.emplace_back(vireo::PortName(port.number), vireo::PortDisplayName(port));
        m_numbers.push_back(static_cast<unsigned>(port.number));
    }
    return 1;
}

namespace {
const SettingRow kBaudRows[] = {{"1200", 1200},     {"2400", 2400},     {"4800", 4800},
                                {"9600", 9600},     {"19200", 19200},   {"28800", 28800},
                                {"38400", 38400},   {"57600", 57600},   {"115200", 115200},
                                {"230400", 230400}, {"460800", 460800}, {"921600", 921600}};
const SettingRow kParityRows[] = {{"None", 0}, {"Even", 2}, {"Odd", 1}};
const SettingRow kStopBitsRows[] = {{"1", 0}, {"2", 2}};
const SettingRow kDataBitsRows[] = {{"7", 7}, {"8", 8}};
const SettingRow kFlowRows[] = {{"None", 10}, {"Software", 11}, {"Hardware", 12}};

template <size_t N> constexpr SettingTable Table(const SettingRow (&rows)[N]) {
    return {rows, static_cast<unsigned short>(N)};
}
} // namespace

const SettingTable kBaudRateTable = Table(kBaudRows);
const SettingTable kParityTable = Table(kParityRows);
const SettingTable kStopBitsTable = Table(kStopBitsRows);
const SettingTable kDataBitsTable = Table(kDataBitsRows);
const SettingTable kFlowControlTable = Table(kFlowRows);

int SettingValue(const SettingTable& table, const std::string& text) {
    for (unsigned short i = 0; i < table.count; ++i)
        if (text == table.rows[i].text)
            return table.rows[i].value;
    return 0;
}
