// The recovery upload dialog: reloads the firmware of a local module whose firmware is
// damaged and that therefore sits in its bootloader. It sends no AT command: a line feed
// brings up the bootloader's prompt, "1" starts its receiver, and the image follows at the
// line settings the port was opened with.
//
// The transfer runs on a worker thread that reaches the dialog only through queued calls.
// Closing the dialog during a transfer stops the transfer and waits for its thread.
#pragma once

#include "firmware/FirmwareTransfer.h"
#include "firmware/TransferWorker.h"
#include "res/DialogForm.h"

#include <QDialog>
#include <string>

class CDeviceLink;
class QLabel;
class QLineEdit;
class QProgressBar;

class CFirmwareUploadDlg : public QDialog, private ITransferView {
    Q_OBJECT
public:
    CFirmwareUploadDlg(CDeviceLink& link, QWidget* parent);
    ~CFirmwareUploadDlg() override;

    void OnChooseFile();
    void OnUpload();
    std::string StatusText() const;
    bool TransferRunning() const { return m_transferThread.Running(); }
    const CDialogForm& Form() const { return m_form; }

    std::string m_filePath;
    QLabel* m_message = nullptr;
    QProgressBar* m_progress = nullptr;
    CrcTable m_crcTable{};
    CTransferWorker m_transferThread;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void done(int result) override;

private:
    void SetStatus(const std::string& text) override;
    void SetProgress(int percent) override;
    void ShowStatus(const std::string& text);
    void EnableButtons(bool enable);
    void OnTransferEnded(const TransferOutcome& outcome);

    CDeviceLink& m_link;
    CDialogForm m_form;
    QLineEdit* m_pathEdit = nullptr;
};
