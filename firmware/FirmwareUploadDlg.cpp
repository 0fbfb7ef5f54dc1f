#include "firmware/FirmwareUploadDlg.h"
#include "firmware/BootloaderEntry.h"
#include "firmware/FirmwareModel.h"
#include "firmware/TransferReport.h"
#include "platform/QtText.h"
#include "platform/UiServices.h"
#include "serial/DeviceLink.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

CFirmwareUploadDlg::CFirmwareUploadDlg(CDeviceLink& link, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowCloseButtonHint), m_link(link) {
    if (!m_form.Build(this, "upload"))
        qFatal("%s", qPrintable(m_form.Error()));
    setWindowTitle(QString::fromStdString(m_form.Template().caption));
    setFixedSize(m_form.DialogSize());
    m_message = m_form.Get<QLabel>(1049);
    m_progress = m_form.Get<QProgressBar>(1034);
    m_pathEdit = m_form.Get<QLineEdit>(1048);
    connect(m_form.Get<QPushButton>(1047), &QPushButton::clicked, this,
            &CFirmwareUploadDlg::OnChooseFile);
    connect(m_form.Get<QPushButton>(1046), &QPushButton::clicked, this,
            &CFirmwareUploadDlg::OnUpload);
    connect(m_form.Get<QPushButton>(1050), &QPushButton::clicked, this, &QDialog::accept);
    connect(m_pathEdit, &QLineEdit::textEdited, this,
            [this](const QString& text) { m_filePath = text.toStdString(); });
}

CFirmwareUploadDlg::~CFirmwareUploadDlg() {
    m_transferThread.Stop();
}

void CFirmwareUploadDlg::done(int result) {
    // Close and the close box stay usable during a transfer: stop it first, so that the
    // dialog is never gone under a running transfer.
    m_transferThread.Stop();
    QDialog::done(result);
}

void CFirmwareUploadDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape: event->accept(); return;
    default: QDialog::keyPressEvent(event);
    }
}

std::string CFirmwareUploadDlg::StatusText() const {
    return vireo::FromQt(m_message->text());
}

void CFirmwareUploadDlg::ShowStatus(const std::string& text) {
    m_message->setText(vireo::ToQt(text));
    m_message->repaint(); // the prompt wait keeps the GUI thread busy for seconds
}

void CFirmwareUploadDlg::SetStatus(const std::string& text) {
    QMetaObject::invokeMethod(
        this, [this, text] { ShowStatus(text); }, Qt::QueuedConnection);
}

void CFirmwareUploadDlg::SetProgress(int percent) {
    QMetaObject::invokeMethod(
        this, [this, percent] { m_progress->setValue(percent); }, Qt::QueuedConnection);
}

void CFirmwareUploadDlg::EnableButtons(bool enable) {
    m_form.Control(1046)->setEnabled(enable);
    m_form.Control(1047)->setEnabled(enable);
}

void CFirmwareUploadDlg::OnChooseFile() {
    const std::string path = ChooseFirmwareFile();
    if (path.empty())
        return;
    m_filePath = path;
    m_pathEdit->setText(QString::fromStdString(m_filePath));
}

void CFirmwareUploadDlg::OnUpload() {
    m_progress->setRange(0, 100);
    m_progress->setValue(0);
    vireo::CWaitCursor wait;
    if (m_filePath.empty()) {
        vireo::ShowMessage("ERROR: The firmware file is invalid.", kAppCaption);
        ShowStatus("Invalid firmware file.");
        return;
    }
    BuildCrcTable(m_crcTable);
    EnableButtons(false);
    ShowStatus("Preparing for firmware update...");
    if (!EnterRecoveryUpload(m_link)) {
        vireo::ShowMessage("ERROR: The device does not respond.", kAppCaption);
        EnableButtons(true);
        return;
    }
    TransferSettings settings;
    settings.variant = TransferVariant::Recovery;
    settings.filePath = m_filePath;
    settings.crcTable = &m_crcTable;
    settings.reply = m_link.m_strReply;
    const bool started = m_transferThread.Start(
        m_link.m_serial, *this, settings, [this](const TransferOutcome& outcome) {
            QMetaObject::invokeMethod(
                this, [this, outcome] { OnTransferEnded(outcome); }, Qt::QueuedConnection);
        });
    if (!started)
        EnableButtons(true);
}

void CFirmwareUploadDlg::OnTransferEnded(const TransferOutcome& outcome) {
    if (outcome.result == TransferResult::Completed) {
        vireo::ShowMessage("Firmware update is completed successfully.", kAppCaption);
        EnableButtons(true);
        return;
    }
    ReportTransferFailure(TransferVariant::Recovery, outcome.result,
                          [this](const std::string& text) { ShowStatus(text); });
    EnableButtons(true);
}
