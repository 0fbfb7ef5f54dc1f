// The "Web update" dialog: it runs one check against the update server (the construct-file
// update or the firmware check), then shows itself modally while its worker downloads the
// list, and closes itself when the worker is done.
//
// The worker reaches the dialog only through queued calls; a failure it reports is shown on
// the GUI thread while the worker waits. Closing the dialog (close box, Escape) stops the
// worker cooperatively and waits for its thread, so no download outlives the dialog.
#pragma once

#include "res/DialogForm.h"
#include "webupdate/DownloadWorker.h"

#include <QDialog>
#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class QLabel;
class QProgressBar;

class CWebUpdateDlg : public QDialog, private vireo::IDownloadView {
    Q_OBJECT
public:
    explicit CWebUpdateDlg(QWidget* parent = nullptr);
    ~CWebUpdateDlg() override;

    // Downloads every file of the Configs index into programDir (ending in a separator).
    void UpdateManager(const std::string& programDir);
    // Offers the newest firmware for the device and downloads it where the user chooses: the
    // path of the stored file, or empty when nothing new was stored.
    std::string CheckFirmware(const std::string& product, const std::string& currentVersion);
    // True when the last CheckFirmware found new firmware and the user chose to download it,
    // whether or not the download then succeeded (a failure has been reported already).
    bool FirmwareDownloadTried() const { return m_firmwareTried; }

    const CDialogForm& Form() const { return m_form; }
    std::string FileNameText() const;
    std::string MessageText() const;

    vireo::CDownloadWorker m_hWorker;
    std::string m_localDir;
    int m_fileCount = 0;
    // The download list: remote name (url) and local path (name) of each file.
    std::vector<vireo::DownloadEntry> m_list;
    QProgressBar* m_progress = nullptr;
    std::string m_fileName;
    std::string m_message;
    vireo::HttpLimits m_limits;
    vireo::DownloadSummary m_summary;
    bool m_firmwareTried = false;

protected:
    void done(int result) override;

private:
    // Starts the worker and runs the dialog until the worker or the user closes it.
    void RunDownloads();
    void OnInitDialog();
    void UpdateData();

    // IDownloadView, called on the worker thread.
    void ShowFile(const std::string& fileName, const std::string& message) override;
    void ShowMessage(const std::string& message) override;
    void SetProgressRange(int upper) override;
    void SetProgressPos(int pos) override;
    // GUI thread: the newest position, when it belongs to the range the bar shows.
    void ShowPendingPos();
    void Report(const std::string& text) override;

    CDialogForm m_form;
    QLabel* m_fileNameLabel = nullptr;
    QLabel* m_messageLabel = nullptr;
    bool m_closing = false;
    // Worker thread only: the range and the position last handed to the GUI thread, and the
    // number of ranges set so far.
    int m_progressUpper = 0;
    int m_shownPos = 0;
    uint32_t m_rangeCount = 0;
    // The newest position with the range it belongs to (range count << 32 | position): a
    // position queued for one file is never applied to the next file's range.
    std::atomic<uint64_t> m_pendingPos{0};
    std::atomic<bool> m_posPosted{false};
    uint32_t m_shownRange = 0; // GUI thread: the range the bar shows
};
