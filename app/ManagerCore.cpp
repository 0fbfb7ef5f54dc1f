#include "app/ManagerCore.h"
#include "config/ConstructFile.h"
#include "platform/PortMap.h"
#include "platform/UiServices.h"
#include "serial/PortOpenFailure.h"

#include <cstdlib>

using vireo::ShowMessage;

CManagerCore::CManagerCore() {
    m_serial.m_bNotifyTerminal = 0;
}

int CManagerCore::ExpectedFlowValue(int flowControl) {
    switch (flowControl) {
    case 10: return 0;
    case 11: return 1;
    case 12: return 2;
    default: return -1;
    }
}

void CManagerCore::OnOpen() {
    vireo::CWaitCursor wait;
    if (m_bPortOpen == 0)
        Connect();
    else
        Disconnect();
}

bool CManagerCore::Reopen(int baudRate) {
    return m_serial.Open(m_nPort, baudRate, m_byParity, m_byDataBits, m_byStopBits,
                         m_nFlowControl) == 1;
}

void CManagerCore::Abandon() {
    m_serial.Close();
    m_bPortOpen = 0;
}

void CManagerCore::Connect() {
    ReadSettingsFromControls();
    m_nPort = vireo::ParsePortNumber(m_strPortName);
    m_byParity = static_cast<uint8_t>(m_nParity);
    m_byDataBits = static_cast<uint8_t>(m_nDataBits);
    m_byStopBits = static_cast<uint8_t>(m_nStopBits);
    m_connectResult = ConnectResult::PortNotOpened;
    if (!Reopen(m_nBaudRate)) {
        ShowMessage(vireo::PortOpenMessage(m_serial.OpenFailure()), kAppCaption);
        return;
    }
    m_bPortOpen = 1;
    m_serial.Write("\r\n");
    Sleep(100);
    SendCommand("ATE0\r\n", 1);
    if (SendCommand("ATR1\r\n", 3) != 1) {
        // Data mode: escape to command mode and try once more.
        SendCommand("+++", 2);
        SendCommand("ATE0\r\n", 1);
        if (SendCommand("ATR1\r\n", 1) == 1) {
            Sleep(1);
        } else {
            const int r = ProbeBootloader();
            if (r == -1) {
                m_connectResult = ConnectResult::NoAnswer;
                ShowMessage("ERROR: The device does not respond.", kAppCaption);
                Abandon();
                return;
            }
            if (r == 0) {
                const vireo::MsgAnswer answer = vireo::UiServices().MessageBox(
                    "The local device's firmware was demaged. Do you want to reload?", kAppCaption,
                    vireo::MsgButtons::YesNo, vireo::MsgIcon::Question);
                if (answer != vireo::MsgAnswer::Yes || !RunFirmwareUploadDialog()) {
                    m_connectResult = ConnectResult::StaysInBootloader;
                    Abandon();
                    return;
                }
                m_serial.Close();
                Sleep(100);
                if (!Reopen(m_nBaudRate)) {
                    ShowMessage(vireo::PortOpenMessage(m_serial.OpenFailure()), kAppCaption);
                    m_bPortOpen = 0;
                    return;
                }
            }
        }
    }
    FinishConnect();
}

void CManagerCore::FinishConnect() {
    Sleep(200);
    m_serial.Write("\r\n");
    Sleep(200);
    if (SendCommand("ATE0\r\n", 2) != 1) {
        m_connectResult = ConnectResult::NoFinalAnswer;
        ShowMessage("ERROR: The local device does not respond. Please check baud rate.",
                    kAppCaption);
        Abandon();
        return;
    }
    m_bSleepyDevice = QueryCommand("AT+NODETYPE\r\n", 1) == "4" ? 1 : 0;
    IdentifyDevice();
    if (m_serial.IsLost()) {
        // The line went away while the device was being identified: what was read is no
        // identity, and there is no device to load a description for.
        m_connectResult = ConnectResult::LineLost;
        ReportLostLine();
        return;
    }
    m_connectResult = ConnectResult::Connected;
    EnableDeviceControls(1);
    m_strOpenButton = "Close";
    UpdateDeviceView();
    LoadConstructFile(1, ConstructFileName(m_strProductName, m_strFirmwareVersion));
    OnTabSelChange();
    const std::string uf = QueryCommand("AT+UF\r\n", 1);
    if (uf != "ERROR" && std::atoi(uf.c_str()) != ExpectedFlowValue(m_nFlowControl))
        ShowMessage("WARNING: Flow control setting differs from local device configuration.",
                    kAppCaption);
}

void CManagerCore::Disconnect() {
    SendCommand("ATE1\r\n", 1);
    DropConnection();
}

void CManagerCore::OnPortLost() {
    if (m_bPortOpen != 1 || !m_serial.IsOpen() || !m_serial.IsLost())
        return; // already handled, or a loss of a port the connect sequence has left
    ReportLostLine();
}

void CManagerCore::ReportLostLine() {
    const std::string device = m_serial.m_strDevice;
    DropConnection();
    ShowMessage("ERROR: The serial port was lost.\r\n" + vireo::PortName(m_nPort) + " (" + device +
                    ") went away. Check the cable or adapter, then press Open again.",
                kAppCaption);
}

void CManagerCore::DropConnection() {
    m_serial.Close();
    m_bPortOpen = 0;
    m_strOpenButton = "Open";
    m_bRemoteMode = 0;
    LoadConstructFile(0, "");
    EnableDeviceControls(0);
}

int CManagerCore::ProbeBootloader() {
    m_strReply.clear();
    m_serial.m_rxRing.Clear();
    if (m_nBaudRate != 115200) {
        m_serial.Close();
        Sleep(100);
        Reopen(115200);
        Sleep(100);
    }
    m_serial.Write("\x03");
    Sleep(200);
    m_serial.Write("\n");
    for (int attempt = 0; attempt < 30; ++attempt) {
        TakeArrived();
        if (m_strReply.find("BL") == std::string::npos) {
            Sleep(100);
            continue;
        }
        // The bootloader answered: ask it to run the application.
        m_strReply.clear();
        m_serial.m_rxRing.Clear();
        Sleep(100);
        m_serial.Write("2");
        Sleep(3000);
        m_serial.Write("\n");
        for (int inner = 0; inner < 30; ++inner) {
            TakeArrived();
            if (FindWordLine(m_strReply, "OK") != std::string::npos)
                return 1;
            if (m_strReply.find("BL") != std::string::npos)
                return 0;
            if (inner == 29) {
                m_serial.Close();
                Sleep(100);
                Reopen(m_nBaudRate);
                Sleep(100);
                return 1;
            }
            Sleep(100);
        }
    }
    return -1;
}

void CManagerCore::IdentifyDevice() {
    m_strProductName = QueryCommand("AT+PRODUCTNAME\r\n", 1);
    m_strEuiAddress = QueryCommand("AT+LONGADDR\r\n", 1);
    m_strNodeName = QueryCommand("AT+NODENAME\r\n", 1);
    m_strFirmwareVersion = QueryCommand("AT+VERSION\r\n", 1);
    if (m_strProductName == "KM40X") {
        if (IsCloneChecked())
            ToggleClone();
        EnableCloneCheck(false);
    } else {
        EnableCloneCheck(true);
    }
}

void CManagerCore::RefreshAfterFirmwareUpdate() {
    IdentifyDevice();
    if (m_serial.IsLost())
        return; // what was read is no identity; the loss is reported on its own
    UpdateDeviceView();
    ReloadConstructFile(ConstructFileName(m_strProductName, m_strFirmwareVersion));
}

void CManagerCore::EnableDeviceControls(int enable) {
    if (enable == 1)
        return;
    m_strProductName.clear();
    m_strEuiAddress.clear();
    m_strNodeName.clear();
    m_strFirmwareVersion.clear();
    UpdateDeviceView();
}

void CManagerCore::WakeSleepyDevice() {
    if (m_bSleepyDevice == 1) {
        m_serial.Write("\n");
        Sleep(200);
    }
}

void CManagerCore::OnReboot() {
    WakeSleepyDevice();
    SendCommand("ATZ\r\n", 3);
}

void CManagerCore::OnReload() {
    OnOpen();
    OnOpen();
}

void CManagerCore::ShutdownLink() {
    if (m_bPortOpen != 1)
        return;
    SendCommand("ATE1\r\n", 1);
    m_serial.Close();
    m_bPortOpen = 0;
}
