// The hub of the program without its widgets: the line settings, the identity of the local
// device and the connect sequence (command mode, "+++" escape, bootloader probe,
// identification, flow-control check). The main dialog derives from it and supplies the
// view through the hooks at the end; tests drive it directly against a simulated module.
//
// Everything here runs on the GUI thread and blocks it, with the wait cursor shown.
#pragma once

#include "serial/DeviceLink.h"

#include <string>

// How the last connect attempt ended (the message box already told the user).
enum class ConnectResult {
    Connected,
    PortNotOpened,     // the port could not be opened, first or after the upload dialog
    NoAnswer,          // neither the application nor the bootloader answered
    StaysInBootloader, // damaged firmware, and no reload (or no upload dialog to run)
    NoFinalAnswer,     // the final "ATE0" went unanswered: probably the wrong baud rate
    LineLost,          // the line went away while the module was being identified
};

class CManagerCore : public CDeviceLink {
public:
    CManagerCore();

    // Open/Close button: connects when disconnected, disconnects otherwise.
    void OnOpen();
    // 1 when the device runs its application, 0 when it stays in its bootloader, -1 when
    // nothing answered.
    int ProbeBootloader();
    void IdentifyDevice();
    // 1 enables the controls that need a device; anything else disables them and empties
    // the device information.
    virtual void EnableDeviceControls(int enable);
    void OnReboot();
    // Before a command to a sleepy end device: write "\n" and wait 200 ms; otherwise nothing.
    void WakeSleepyDevice();
    void OnReload();
    // Echo on and port closed, when connected; called when the main window closes.
    void ShutdownLink();
    // The reader saw the line go away (adapter pulled out, hang-up): when still connected,
    // says so once and returns to the disconnected state, as Close would, without talking to
    // the gone device. Runs on the GUI thread, posted there by the view.
    void OnPortLost();
    // After a local firmware update: the identity read afresh, the device information shown
    // again and the construct file of the new firmware version loaded.
    void RefreshAfterFirmwareUpdate();

    // Expected AT+UF value of a flow-control code; -1 for codes that never match.
    static int ExpectedFlowValue(int flowControl);

    int m_nPort = 1;
    int m_nBaudRate = 9600;
    int m_nParity = 0;
    int m_nStopBits = 0;
    int m_nDataBits = 8;
    int m_nFlowControl = 10;
    uint8_t m_byParity = 0;
    uint8_t m_byDataBits = 8;
    uint8_t m_byStopBits = 0;
    std::string m_strPortName;
    std::string m_strProductName;
    std::string m_strEuiAddress;
    std::string m_strNodeName;
    std::string m_strFirmwareVersion;
    std::string m_strImageModel;
    int m_bRemoteMode = 0;
    int m_bSleepyDevice = 0;
    ConnectResult m_connectResult = ConnectResult::PortNotOpened;

    // While a page's image transfer runs, nothing else may talk on the line: the transfer
    // reads the receive ring itself. The window locks the controls that would.
    virtual void SetTransferRunning(bool /*running*/) {}

protected:
    // View hooks. The defaults do nothing, which is what a windowless caller needs.
    // Reads m_strPortName and the five settings from the selectors.
    virtual void ReadSettingsFromControls() {}
    // Pushes the identity strings and the button text to the controls.
    virtual void UpdateDeviceView() {}
    virtual void LoadConstructFile(int /*bLoad*/, const std::string& /*name*/) {}
    // Empties the configuration view, then loads the named construct file into it.
    virtual void ReloadConstructFile(const std::string& name) { LoadConstructFile(1, name); }
    virtual void OnTabSelChange() {}
    // Runs the recovery upload dialog; false when there is none to run.
    virtual bool RunFirmwareUploadDialog() { return false; }
    // The Firmware Update page's "Clone local firmware" box.
    virtual bool IsCloneChecked() const { return false; }
    virtual void ToggleClone() {}
    virtual void EnableCloneCheck(bool /*enable*/) {}

public:
    // Text of the Open/Close button, kept here so that tests can read it without widgets.
    std::string m_strOpenButton = "Open";

private:
    void Connect();
    void Disconnect();
    // The disconnected state: port closed, remote mode off, tree and device controls cleared.
    void DropConnection();
    // DropConnection, then one message that names the lost port.
    void ReportLostLine();
    bool Reopen(int baudRate);
    // Steps after the device answers: identification, enabling, construct file, echo mode,
    // flow-control check.
    void FinishConnect();
    void Abandon();
};
