#include "firmware/FirmwarePage.h"
#include "app/ManagerCore.h"
#include "firmware/BootloaderEntry.h"
#include "firmware/FirmwareModel.h"
#include "firmware/ProgressListCtrl.h"
#include "firmware/TransferReport.h"
#include "platform/QtText.h"
#include "platform/UiServices.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace {
// The page's action buttons: choose file, download from the web server, local update, search
// and remote update.
constexpr int kActionButtons[] = {1031, 1039, 1033, 1035, 1036};
} // namespace

CFirmwarePage::CFirmwarePage(CManagerCore& manager, QWidget* parent)
    : CPageDialog(manager, "firmware", parent) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] { OnTimer(1001); });
}

CFirmwarePage::~CFirmwarePage() {
    // The workers post to this page: they must be gone before the page is.
    StopTransfer();
}

void CFirmwarePage::StopTransfer() {
    m_timer.stop();
    m_batch.Abandon();
    m_batchActive = false;
    m_transferThread.Stop();
    m_cloneThread.Stop();
}

std::map<int, QWidget*> CFirmwarePage::CustomControls() {
    m_deviceList = new CProgressListCtrl(this);
    return {{1014, m_deviceList}};
}

void CFirmwarePage::OnInitDialog() {
    m_message = m_form.Get<QLabel>(1037);
    m_pathEdit = m_form.Get<QLineEdit>(1032);
    m_progress = m_form.Get<QProgressBar>(1034);
    m_cloneCheck = m_form.Get<QCheckBox>(1038);
    m_deviceList->SetupDeviceColumns();
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    auto onClick = [this](int id, void (CFirmwarePage::*handler)()) {
        connect(m_form.Get<QPushButton>(id), &QPushButton::clicked, this, handler);
    };
    onClick(1031, &CFirmwarePage::OnChooseFile);
    onClick(1039, &CFirmwarePage::OnDownloadFromWeb);
    onClick(1033, &CFirmwarePage::OnUpdateLocal);
    onClick(1035, &CFirmwarePage::OnSearch);
    onClick(1036, &CFirmwarePage::OnUpdateRemote);
    connect(m_cloneCheck, &QCheckBox::clicked, this, &CFirmwarePage::OnCloneClicked);
    // A path typed into the field is the file to update from, as a chosen one is.
    connect(m_pathEdit, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_filePath = text.toStdString(); });
}

void CFirmwarePage::UpdateData() {
    m_pathEdit->setText(QString::fromStdString(m_filePath));
}

std::string CFirmwarePage::StatusText() const {
    return vireo::FromQt(m_message->text());
}

void CFirmwarePage::ShowStatus(const std::string& text) {
    m_message->setText(vireo::ToQt(text));
    // Bootloader entry keeps the GUI thread busy for seconds: show the text now.
    m_message->repaint();
    emit StatusShown(m_message->text());
}

void CFirmwarePage::SetStatus(const std::string& text) {
    QMetaObject::invokeMethod(
        this, [this, text] { ShowStatus(text); }, Qt::QueuedConnection);
}

void CFirmwarePage::SetProgress(int percent) {
    if (m_isLocal != 1) {
        m_deviceList->SetRowProgress(m_currentRow, percent);
        return;
    }
    QMetaObject::invokeMethod(
        this, [this, percent] { m_progress->setValue(percent); }, Qt::QueuedConnection);
}

void CFirmwarePage::EnableActionButtons(bool enable) {
    // A transfer that ends after the line was lost must not bring back the buttons of a
    // disconnected page.
    const bool on = enable && m_manager.m_bPortOpen == 1;
    for (int id : kActionButtons)
        m_form.Control(id)->setEnabled(on &&
                                       !((id == 1031 || id == 1039) && m_cloneCheck->isChecked()));
}

void CFirmwarePage::EnableDeviceControls(bool enable) {
    if (!enable && m_batchActive) {
        // Without a line the batch cannot go on: the devices left are not started. Between
        // two devices nothing else will give the line back to the window.
        m_timer.stop();
        m_batch.Abandon();
        m_batchActive = false;
        if (!TransferRunning())
            m_manager.SetTransferRunning(false);
    }
    EnableActionButtons(enable && !TransferRunning() && !m_batchActive);
}

void CFirmwarePage::OnChooseFile() {
    const std::string path = ChooseFirmwareFile();
    if (path.empty())
        return;
    m_filePath = path;
    UpdateData();
}

int CFirmwarePage::DetectFirmwareModel() {
    std::string model;
    const int usable = ::DetectFirmwareModel(m_filePath, model);
    if (usable == 1)
        m_manager.m_strImageModel = model;
    return usable;
}

void CFirmwarePage::OnCloneClicked() {
    const bool files = !m_cloneCheck->isChecked();
    for (int id : {1031, 1039})
        m_form.Control(id)->setEnabled(files && m_manager.m_bPortOpen == 1 && !TransferRunning() &&
                                       !m_batchActive);
    m_pathEdit->setEnabled(files);
}

void CFirmwarePage::ToggleClone() {
    m_cloneCheck->setChecked(!m_cloneCheck->isChecked());
    OnCloneClicked();
}

bool CFirmwarePage::ConfirmModel() {
    const std::string& image = m_manager.m_strImageModel;
    const std::string& device = m_manager.m_strProductName;
    if (image.empty() || image == device)
        return true;
    const bool known = !device.empty() && device != "ERROR";
    const std::string question = "The firmware file is made for " + image +
                                 (known ? ", but the local device is a " + device + "."
                                        : ", and the local device did not tell its model.") +
                                 "\r\nDo you want to update the local device anyway?";
    return vireo::UiServices().MessageBox(question, kAppCaption, vireo::MsgButtons::YesNo,
                                          vireo::MsgIcon::Warning) == vireo::MsgAnswer::Yes;
}

void CFirmwarePage::OnUpdateLocal() {
    if (m_manager.m_nBaudRate != 115200 || m_manager.m_nFlowControl != 10) {
        vireo::ShowMessage("ERROR: Please change the baudrate to 115200 and flow control to "
                           "'none'.",
                           kAppCaption);
        return;
    }
    if (DetectFirmwareModel() == 0) {
        vireo::ShowMessage("ERROR: The firmware file is invalid.", kAppCaption);
        return;
    }
    if (!ConfirmModel())
        return;
    m_progress->setValue(0);
    m_isLocal = 1;
    EnterBootloader(1, 0, "");
}

bool CFirmwarePage::EnterBootloader(int local, int clone, const std::string& address) {
    vireo::CWaitCursor wait;
    if (!m_cloneCheck->isChecked() && m_filePath.empty()) {
        vireo::ShowMessage("ERROR: The firmware file is invalid.", kAppCaption);
        ShowStatus("Invalid firmware file.");
        return false;
    }
    if (local != 1)
        return EnterRemoteBootloader(clone, address);
    if (clone == 0)
        BuildCrcTable(m_crcTable);
    EnableActionButtons(false);
    ShowStatus("Preparing for firmware update...");
    m_manager.SetTransferRunning(true);
    if (!EnterLocalBootloader(m_manager, clone == 1)) {
        m_manager.SetTransferRunning(false);
        vireo::ShowMessage("ERROR: The device does not respond.", kAppCaption);
        EnableActionButtons(true);
        return false;
    }
    return StartTransfer(TransferVariant::Local);
}

bool CFirmwarePage::StartTransfer(TransferVariant variant) {
    TransferSettings settings;
    settings.remoteBlockWaitMs = m_remoteBlockWaitMs;
    settings.variant = variant;
    settings.filePath = m_filePath;
    settings.crcTable = &m_crcTable;
    settings.reply = m_manager.m_strReply;
    const bool started = m_transferThread.Start(
        m_manager.m_serial, *this, settings, [this, variant](const TransferOutcome& outcome) {
            QMetaObject::invokeMethod(
                this, [this, variant, outcome] { OnTransferEnded(variant, outcome); },
                Qt::QueuedConnection);
        });
    if (!started && variant == TransferVariant::Local) {
        m_manager.SetTransferRunning(false);
        EnableActionButtons(true);
    }
    return started;
}

void CFirmwarePage::OnTransferEnded(TransferVariant variant, const TransferOutcome& outcome) {
    if (variant == TransferVariant::Remote) {
        OnRemoteTransferEnded(outcome);
        return;
    }
    if (outcome.result == TransferResult::Completed) {
        std::string found;
        if (variant == TransferVariant::Local) {
            vireo::CWaitCursor wait;
            m_manager.RefreshAfterFirmwareUpdate();
            // Say what the module reports now: the update is only as good as its answer.
            found = m_manager.m_strFirmwareVersion.empty()
                        ? " The module did not report its firmware version."
                        : " The module reports firmware " + m_manager.m_strFirmwareVersion + ".";
        }
        m_manager.SetTransferRunning(false);
        EnableActionButtons(true);
        ShowStatus("Completed successfully." + found);
        return;
    }
    m_manager.SetTransferRunning(false);
    ReportTransferFailure(variant, outcome.result,
                          [this](const std::string& text) { ShowStatus(text); });
    m_deviceList->SetRowProgress(m_currentRow, 0);
    EnableActionButtons(true);
}
