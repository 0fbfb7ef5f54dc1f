#include "webupdate/WebUpdateDlg.h"
#include "platform/QtText.h"
#include "platform/UiServices.h"
#include "webupdate/UpdateCheck.h"
#include "webupdate/UpdateServer.h"

#include <QLabel>
#include <QProgressBar>
#include <algorithm>

CWebUpdateDlg::CWebUpdateDlg(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint) {
    if (!m_form.Build(this, "webupdate"))
        qFatal("%s", qPrintable(m_form.Error()));
    setWindowTitle(QString::fromStdString(m_form.Template().caption));
    setFixedSize(m_form.DialogSize());
    m_progress = m_form.Get<QProgressBar>(1052);
    m_fileNameLabel = m_form.Get<QLabel>(1050);
    m_messageLabel = m_form.Get<QLabel>(1051);
    m_progress->setTextVisible(false);
}

CWebUpdateDlg::~CWebUpdateDlg() {
    // The worker calls into this object: it must be gone before any member is.
    m_hWorker.Stop();
}

void CWebUpdateDlg::UpdateManager(const std::string& programDir) {
    m_localDir = programDir;
    if (!vireo::PrepareConfigsDownload(vireo::UpdateBaseAddress(), m_localDir, m_list, m_limits))
        return;
    RunDownloads();
}

std::string CWebUpdateDlg::CheckFirmware(const std::string& product,
                                         const std::string& currentVersion) {
    m_firmwareTried = false;
    if (!vireo::PrepareFirmwareDownload(vireo::UpdateBaseAddress(), product, currentVersion, m_list,
                                        m_limits))
        return {};
    m_firmwareTried = true;
    const std::string path = m_list.front().name;
    RunDownloads();
    // A path whose download failed holds no new firmware (at best the former file).
    return m_summary.stored == 1 ? path : std::string();
}

void CWebUpdateDlg::RunDownloads() {
    m_fileCount = static_cast<int>(m_list.size());
    m_summary = {};
    m_closing = false;
    OnInitDialog();
    exec();
    m_list.clear();
    m_fileCount = 0;
}

void CWebUpdateDlg::OnInitDialog() {
    m_hWorker.Stop();
    m_progress->setRange(0, 1);
    m_progress->setValue(0);
    m_hWorker.Start(
        vireo::UpdateBaseAddress(), m_list, *this,
        [this](const vireo::DownloadSummary& summary) {
            m_summary = summary;
            // Ends the modal run as a cancel, as the close box does.
            QMetaObject::invokeMethod(
                this, [this] { reject(); }, Qt::QueuedConnection);
        },
        m_limits);
}

void CWebUpdateDlg::done(int result) {
    m_closing = true;
    m_hWorker.Stop();
    QDialog::done(result);
}

std::string CWebUpdateDlg::FileNameText() const {
    return vireo::FromQt(m_fileNameLabel->text());
}

std::string CWebUpdateDlg::MessageText() const {
    return vireo::FromQt(m_messageLabel->text());
}

void CWebUpdateDlg::UpdateData() {
    m_fileNameLabel->setText(vireo::ToQt(m_fileName));
    m_messageLabel->setText(vireo::ToQt(m_message));
}

void CWebUpdateDlg::ShowFile(const std::string& fileName, const std::string& message) {
    QMetaObject::invokeMethod(
        this,
        [this, fileName, message] {
            m_fileName = fileName;
            m_message = message;
            UpdateData();
        },
        Qt::QueuedConnection);
}

void CWebUpdateDlg::ShowMessage(const std::string& message) {
    QMetaObject::invokeMethod(
        this,
        [this, message] {
            m_message = message;
            UpdateData();
        },
        Qt::QueuedConnection);
}

void CWebUpdateDlg::SetProgressRange(int upper) {
    m_progressUpper = upper;
    m_shownPos = 0;
    const uint32_t range = ++m_rangeCount;
    m_pendingPos.store(uint64_t{range} << 32);
    QMetaObject::invokeMethod(
        this,
        [this, upper, range] {
            m_shownRange = range;
            m_progress->setRange(0, upper);
            ShowPendingPos();
        },
        Qt::QueuedConnection);
}

void CWebUpdateDlg::SetProgressPos(int pos) {
    // The bar moves when it has a visible way to go (a 500th of its range) or reaches its
    // end, one update waits in the queue at a time and it shows the newest position: a fast
    // download does not flood the GUI thread with one call per 1024 bytes.
    if (pos != m_progressUpper && pos - m_shownPos < std::max(1, m_progressUpper / 500))
        return;
    m_shownPos = pos;
    m_pendingPos.store(uint64_t{m_rangeCount} << 32 | static_cast<uint32_t>(pos));
    if (m_posPosted.exchange(true))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_posPosted.store(false);
            ShowPendingPos();
        },
        Qt::QueuedConnection);
}

void CWebUpdateDlg::ShowPendingPos() {
    const uint64_t pending = m_pendingPos.load();
    // A position of a range not shown yet waits for its range, which shows it.
    if (static_cast<uint32_t>(pending >> 32) == m_shownRange)
        m_progress->setValue(static_cast<int>(pending & 0xFFFFFFFFu));
}

void CWebUpdateDlg::Report(const std::string& text) {
    m_hWorker.PrepareAcknowledge();
    QMetaObject::invokeMethod(
        this,
        [this, text] {
            if (!m_closing)
                vireo::ShowMessage(text, "Vireo Manager");
            m_hWorker.Acknowledge();
        },
        Qt::QueuedConnection);
    m_hWorker.WaitForAcknowledge();
}
