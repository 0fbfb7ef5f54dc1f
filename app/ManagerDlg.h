// The main dialog: serial settings and the Open/Close button, the device information, and
// the tab control with the pages. It owns the serial link through CManagerCore and is the
// object through which every page reaches the device.
#pragma once

#include "app/ManagerCore.h"
#include "pages/PageTabCtrl.h"
#include "res/DialogForm.h"

#include <QDialog>

class CTranscriptSwitch;
class QComboBox;
class QMenu;
class QPushButton;

constexpr int IDM_ABOUTBOX = 16;
constexpr int IDM_WEBUPDATE = 32;

class CManagerDlg : public QDialog, public CManagerCore {
    Q_OBJECT
public:
    CManagerDlg();
    ~CManagerDlg() override;

    void OnInitDialog();
    void OnTabSelChange() override;
    void OnTabClick();
    void OnSysCommand(int command);
    void EnableDeviceControls(int enable) override;
    void SetTransferRunning(bool running) override;

    CPageTabCtrl& m_tabHost;
    int m_nCurTab = 0;
    QComboBox* m_cbPort = nullptr;
    QComboBox* m_cbBaudRate = nullptr;
    QComboBox* m_cbParity = nullptr;
    QComboBox* m_cbStopBits = nullptr;
    QComboBox* m_cbDataBits = nullptr;
    QComboBox* m_cbFlowControl = nullptr;
    QPushButton* m_pOpenButton = nullptr;
    QMenu* m_systemMenu = nullptr;
    CTranscriptSwitch* m_transcriptSwitch = nullptr; // "Record traffic..." of the system menu
    const CDialogForm& Form() const { return m_form; }

protected:
    void ReadSettingsFromControls() override;
    void UpdateDeviceView() override;
    void LoadConstructFile(int bLoad, const std::string& name) override;
    void ReloadConstructFile(const std::string& name) override;
    bool RunFirmwareUploadDialog() override;
    bool IsCloneChecked() const override;
    void ToggleClone() override;
    void EnableCloneCheck(bool enable) override;

    void keyPressEvent(QKeyEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void BuildSystemMenu();
    // Runs OnPortLost once no action is under way.
    void HandlePortLost();
    static constexpr int kPortLostRetryMs = 50;

    CDialogForm m_form;
};
