// The Firmware Update page's "Download from web server": the firmware check on the update
// server for the local device and for each remote device of the list.
#include "app/ManagerCore.h"
#include "firmware/FirmwarePage.h"
#include "firmware/ProgressListCtrl.h"
#include "platform/UiServices.h"
#include "webupdate/WebUpdateDlg.h"

namespace {
constexpr char kNoDevice[] = "ERROR: The device does not respond. \r\nPlease make sure that the "
                             "device is conncted correctly and turned on.";
} // namespace

bool CFirmwarePage::CheckFirmwareOnWeb(const std::string& product, const std::string& version) {
    CWebUpdateDlg update;
    const std::string path = update.CheckFirmware(product, version);
    // A download that failed or was closed has said so; there was new firmware all the same.
    if (path.empty())
        return update.FirmwareDownloadTried();
    m_filePath = path;
    UpdateData();
    return true;
}

void CFirmwarePage::OnDownloadFromWeb() {
    m_manager.WakeSleepyDevice();
    std::string product;
    std::string version;
    if (m_manager.m_bRemoteMode != 1) {
        product = m_manager.QueryCommand("AT+PRODUCTNAME\n", 2);
        version = m_manager.QueryCommand("AT+VERSION\n", 2);
    }
    bool found = false;
    if (product == "ERROR" || version == "ERROR")
        vireo::ShowMessage(kNoDevice, kAppCaption);
    else
        found = CheckFirmwareOnWeb(product, version);
    for (int row = 0; row < m_deviceList->topLevelItemCount(); ++row) {
        const std::string address = m_deviceList->topLevelItem(row)->text(2).toStdString();
        const std::string remoteProduct =
            m_manager.QueryRemoteCommand("at+productname\n", 5, address);
        const std::string remoteVersion = m_manager.QueryRemoteCommand("at+version\n", 5, address);
        if (remoteProduct == product)
            continue;
        if (remoteProduct == "ERROR" || remoteVersion == "ERROR")
            vireo::ShowMessage(kNoDevice, kAppCaption);
        else
            found = CheckFirmwareOnWeb(remoteProduct, remoteVersion) || found;
    }
    if (!found)
        vireo::ShowMessage("ERROR: No new firmware is available.", kAppCaption);
}
