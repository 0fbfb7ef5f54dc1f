// The Firmware Update page (second tab): the image file, the update of the local module
// through its bootloader, and the list of remote modules with a progress bar per row.
//
// Bootloader entry runs on the GUI thread with the wait cursor, as every exchange with the
// module does; the image transfer and the clone monitor run on worker threads that reach the
// page's controls only through queued calls. A batch of remote updates is driven by a
// single-shot timer (id 1001) on the GUI thread. Destroying the page stops the batch and a
// running worker and waits for it.
#pragma once

#include "firmware/CloneWorker.h"
#include "firmware/FirmwareTransfer.h"
#include "firmware/RemoteBatch.h"
#include "firmware/TransferWorker.h"
#include "pages/PageDialog.h"

#include <QTimer>
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
    // Brings the local device (local 1) or the remote device at address into its bootloader
    // and starts the transfer or, for a clone, the clone monitor. False when nothing started.
    bool EnterBootloader(int local, int clone, const std::string& address);
    // Fills the device list from a network scan.
    void OnSearch();
    // Checks the ticked devices and starts a batch that updates them one after another.
    void OnUpdateRemote();
    // The batch timer's tick (id 1001).
    void OnTimer(int id);
    // The buttons that need a device: enabled on connect, disabled on disconnect.
    void EnableDeviceControls(bool enable);
    // Ends a remote batch, stops a running transfer or clone monitor and waits until its
    // thread has ended.
    void StopTransfer();
    bool TransferRunning() const { return m_transferThread.Running() || m_cloneThread.Running(); }
    // A remote batch has begun and not finished.
    bool BatchRunning() const { return m_batchActive; }
    std::string StatusText() const;

    std::string m_filePath;
    QLabel* m_message = nullptr;
    CrcTable m_crcTable{};
    CTransferWorker m_transferThread;
    CCloneWorker m_cloneThread;
    QCheckBox* m_cloneCheck = nullptr;
    CProgressListCtrl* m_deviceList = nullptr;
    QProgressBar* m_progress = nullptr;
    int m_isLocal = 1;
    int m_currentRow = 0;
    int m_rowCount = 0;
    int m_selectedCount = 0;
    int m_startedCount = 0;
    // The remote batch; its flags cover every row of the list, however many there are.
    CRemoteBatch m_batch;
    // How long a block of a remote transfer may wait for its answer (tests shorten it).
    int m_remoteBlockWaitMs = 20000;

signals:
    // Every text the status line shows, in order (also repeated ones).
    void StatusShown(const QString& text);

protected:
    void OnInitDialog() override;
    std::map<int, QWidget*> CustomControls() override;

private:
    // ITransferView, called on the worker thread.
    void SetStatus(const std::string& text) override;
    void SetProgress(int percent) override;

    // GUI thread.
    void ShowStatus(const std::string& text);
    bool StartTransfer(TransferVariant variant);
    void OnTransferEnded(TransferVariant variant, const TransferOutcome& outcome);
    // Remote batch: checks of OnUpdateRemote, the start of one device, its ending.
    bool CheckRemoteDevice(const std::string& address, bool clone);
    bool EnterRemoteBootloader(int clone, const std::string& address);
    void OnRemoteTransferEnded(const TransferOutcome& outcome);
    void StartCloneMonitor();
    void OnCloneEnded(const CloneOutcome& outcome);
    void OnRemoteDeviceEnded(bool ok, const std::string& failureStatus);
    void ArmTimer(int intervalMs);
    void EndBatch(const std::string& status);
    // Choose file, download, local update, search, remote update.
    void EnableActionButtons(bool enable);
    // A local update of an image made for another model needs the user's yes.
    bool ConfirmModel();
    void UpdateData();
    // Runs the firmware check for one device; true when new firmware was offered and its
    // download tried (the check has reported a failed one itself).
    bool CheckFirmwareOnWeb(const std::string& product, const std::string& version);

    QLineEdit* m_pathEdit = nullptr;
    QTimer m_timer;
    bool m_batchActive = false;
};
