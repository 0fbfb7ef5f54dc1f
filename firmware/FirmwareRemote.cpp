// The remote half of the Firmware Update page: the device list from a network scan, the
// checks of the ticked devices, and the batch that updates them one after another.
#include "app/ManagerCore.h"
#include "firmware/BootloaderEntry.h"
#include "firmware/FirmwarePage.h"
#include "firmware/ProgressListCtrl.h"
#include "firmware/TransferReport.h"
#include "platform/QtText.h"
#include "platform/UiServices.h"
#include "scan/ScanReply.h"

#include <QCheckBox>
#include <QProgressBar>
#include <QTreeWidgetItem>

namespace {
std::string RowAddress(const CProgressListCtrl& list, int row) {
    return vireo::FromQt(list.topLevelItem(row)->text(2));
}
} // namespace

void CFirmwarePage::OnSearch() {
    vireo::CWaitCursor wait;
    m_progress->setValue(0);
    m_deviceList->RemoveAllProgressBars();
    m_deviceList->clear();
    m_manager.WakeSleepyDevice();
    const std::string reply = m_manager.ScanCommand("at+ds\r\n", 15);
    if (reply == "ERROR") {
        vireo::ShowMessage("ERROR: Could not scan the remote device.", kAppCaption);
        return;
    }
    for (const ScanNode& node : ParseScanReply(reply)) {
        m_deviceList->AddRow({vireo::ToQt(node.type), vireo::ToQt(node.address),
                              vireo::ToQt(node.version), vireo::ToQt(node.model),
                              vireo::ToQt(node.name)});
        m_deviceList->InsertProgressBar(m_deviceList->topLevelItemCount() - 1);
    }
}

bool CFirmwarePage::CheckRemoteDevice(const std::string& address, bool clone) {
    if (clone) {
        if (m_manager.QueryRemoteCommand("at+productname\r\n", 5, address) ==
            m_manager.m_strProductName)
            return true;
        vireo::ShowMessage("ERROR: Could not clone the firmware. The remote device(" + address +
                               ") has different model type.",
                           kAppCaption);
        return false;
    }
    if (DetectFirmwareModel() != 1) {
        vireo::ShowMessage("ERROR: The firmware file is invalid.", kAppCaption);
        return false;
    }
    if (m_manager.QueryRemoteCommand("at+productname\r\n", 5, address) == m_manager.m_strImageModel)
        return true;
    vireo::ShowMessage("ERROR: The firmware file is incorrect for the remote device(" + address +
                           ").",
                       kAppCaption);
    return false;
}

void CFirmwarePage::OnUpdateRemote() {
    if (m_manager.m_nBaudRate != 115200) {
        vireo::ShowMessage("ERROR: Please change the baudrate to 115200.", kAppCaption);
        return;
    }
    m_isLocal = 0;
    m_progress->setValue(0);
    if (m_manager.m_bSleepyDevice == 1) {
        vireo::ShowMessage("ERROR: Local device is a sleepy end device.", kAppCaption);
        return;
    }
    m_rowCount = m_deviceList->topLevelItemCount();
    if (m_rowCount == 0) {
        vireo::ShowMessage("ERROR: No device is found in this network.", kAppCaption);
        return;
    }
    vireo::CWaitCursor wait;
    const bool clone = m_cloneCheck->isChecked();
    std::vector<CRemoteBatch::Device> devices;
    for (int row = 0; row < m_rowCount; ++row) {
        if (!m_deviceList->IsRowChecked(row))
            continue;
        const std::string address = RowAddress(*m_deviceList, row);
        if (!CheckRemoteDevice(address, clone))
            return;
        devices.push_back({row, address});
    }
    m_selectedCount = static_cast<int>(devices.size());
    if (m_selectedCount == 0) {
        vireo::ShowMessage("ERROR: No remote device has been selected.", kAppCaption);
        return;
    }
    m_startedCount = 0;
    m_batch.Begin(std::move(devices));
    m_batchActive = true;
    // The batch owns the line until its last device has ended.
    EnableActionButtons(false);
    m_manager.SetTransferRunning(true);
    ArmTimer(CRemoteBatch::kFirstTickMs);
}

void CFirmwarePage::ArmTimer(int intervalMs) {
    if (intervalMs > 0)
        m_timer.start(intervalMs);
}

void CFirmwarePage::OnTimer(int id) {
    if (id != 1001 || !m_batchActive)
        return;
    m_timer.stop();
    const int next = m_batch.Tick(
        m_cloneCheck->isChecked(), [this](const CRemoteBatch::Device& device, bool clone) {
            m_currentRow = device.row;
            const bool started = EnterBootloader(0, clone ? 1 : 0, device.address);
            ++m_startedCount;
            return started;
        });
    ArmTimer(next);
    if (m_batch.Finished())
        EndBatch(m_batch.Summary());
}

bool CFirmwarePage::EnterRemoteBootloader(int clone, const std::string& address) {
    if (clone == 0)
        BuildCrcTable(m_crcTable);
    EnableActionButtons(false);
    ShowStatus("Preparing for firmware update...");
    if (!::EnterRemoteBootloader(m_manager, clone == 1, address)) {
        vireo::ShowMessage("ERROR: The remote device does not respond.", kAppCaption);
        ShowStatus(kRemoteEntryFailedStatus);
        return false;
    }
    if (clone == 1) {
        StartCloneMonitor();
        return m_cloneThread.Running();
    }
    return StartTransfer(TransferVariant::Remote);
}

void CFirmwarePage::StartCloneMonitor() {
    m_cloneThread.Start(m_manager.m_serial, *this, [this](const CloneOutcome& outcome) {
        QMetaObject::invokeMethod(
            this, [this, outcome] { OnCloneEnded(outcome); }, Qt::QueuedConnection);
    });
}

void CFirmwarePage::OnCloneEnded(const CloneOutcome& outcome) {
    const bool ok = outcome.result == CloneResult::Completed;
    m_deviceList->SetRowProgress(m_currentRow, ok ? 100 : 0);
    OnRemoteDeviceEnded(ok, kRemoteEntryFailedStatus);
}

void CFirmwarePage::OnRemoteTransferEnded(const TransferOutcome& outcome) {
    if (outcome.result == TransferResult::Completed) {
        OnRemoteDeviceEnded(true, "");
        return;
    }
    std::string failureStatus;
    ReportTransferFailure(TransferVariant::Remote, outcome.result,
                          [&](const std::string& text) { failureStatus = text; });
    m_deviceList->SetRowProgress(m_currentRow, 0);
    OnRemoteDeviceEnded(false, failureStatus);
}

void CFirmwarePage::OnRemoteDeviceEnded(bool ok, const std::string& failureStatus) {
    if (!m_batchActive) {
        // The batch was given up (line lost): nothing more to start, only this device to end.
        m_manager.SetTransferRunning(false);
        if (!ok)
            ShowStatus(failureStatus);
        return;
    }
    const std::string status = m_batch.DeviceEnded(ok, failureStatus);
    if (m_batch.Finished()) {
        EndBatch(status);
        return;
    }
    ShowStatus(status);
}

void CFirmwarePage::EndBatch(const std::string& status) {
    m_timer.stop();
    m_batchActive = false;
    m_manager.SetTransferRunning(false);
    EnableActionButtons(true);
    ShowStatus(status);
}
