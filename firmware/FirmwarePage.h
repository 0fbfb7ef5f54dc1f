// The Firmware Update page (second tab): the image file, the update of the local module
// through its bootloader, and the list of remote modules with a progress bar per row.
//
// Bootloader entry runs on the GUI thread with the wait cursor, as every exchange with the
// module does; the image transfer runs on a worker thread that reaches the page's controls
// only through queued calls. Destroying the page stops a running transfer and waits for it.
#pragma once

#include "firmware/FirmwareTransfer.h"
#include "firmware/TransferWorker.h"
#include "pages/PageDialog.h"

#include <string>
#include <vector>

class CProgressListCtrl;
class QCheckBox;
class QLabel;
class QLineEdit;
class QProgressBar;

class CFirmwarePage : public CPageDialog, private ITransferView {
    Q_OBJECT
public:
    CFirmwarePage(CManagerCore& manager, QWidget* parent);
    ~CFirmwarePage() override;

    void OnChooseFile();
    // Looks for newer firmware of the local device and of the listed remote devices on the
    // update server; a downloaded file becomes the file to update from.
    void OnDownloadFromWeb();
    // 1 when m_filePath can be read; m_strImageModel of the main dialog then names the model
    // found in its head (empty when none).
    int DetectFirmwareModel();
    void OnUpdateLocal();
    void OnCloneClicked();
    // Inverts the clone box, then does what a click on it does.
    void ToggleClone();
    void EnterBootloader(int local, int clone, const std::string& address);
    // The buttons that need a device: enabled on connect, disabled on disconnect.
    void EnableDeviceControls(bool enable);
    // Stops a running transfer and waits until its thread has ended.
    void StopTransfer() { m_transferThread.Stop(); }
    bool TransferRunning() const { return m_transferThread.Running(); }
    std::string StatusText() const;

    std::string m_filePath;
    QLabel* m_message = nullptr;
    CrcTable m_crcTable{};
    CTransferWorker m_transferThread;
    QCheckBox* m_cloneCheck = nullptr;
    CProgressListCtrl* m_deviceList = nullptr;
    QProgressBar* m_progress = nullptr;
    int m_isLocal = 1;
    int m_currentRow = 0;
    int m_rowCount = 0;
    int m_selectedCount = 0;
    int m_startedCount = 0;

protected:
    void OnInitDialog() override;
    std::map<int, QWidget*> CustomControls() override;

private:
    // ITransferView, called on the worker thread.
    void SetStatus(const std::string& text) override;
    void SetProgress(int percent) override;

    // GUI thread.
    void ShowStatus(const std::string& text);
    void StartTransfer(TransferVariant variant);
    void OnTransferEnded(TransferVariant variant, const TransferOutcome& outcome);
    // Choose file, download, local update, search, remote update.
    void EnableActionButtons(bool enable);
    // A local update of an image made for another model needs the user's yes.
    bool ConfirmModel();
    void UpdateData();
    // Runs the firmware check for one device; true when new firmware was offered and its
    // download tried (the check has reported a failed one itself).
    bool CheckFirmwareOnWeb(const std::string& product, const std::string& version);

    QLineEdit* m_pathEdit = nullptr;
};
