#include "config/ConfigPage.h"
#include "app/ManagerCore.h"
#include "config/ConfigEditor.h"
#include "config/ConfigExport.h"
#include "config/ConfigFile.h"
#include "config/ConfigImport.h"
#include "config/ConstructLoader.h"
#include "config/RemoteDevice.h"
#include "platform/ProgramDirectory.h"
#include "platform/QtText.h"
#include "platform/UiServices.h"
#include "res/Icons.h"
#include "scan/ScanDlg.h"
#include "webupdate/WebUpdateDlg.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTreeWidget>

namespace {
const char* const kNoResponse = "ERROR: The device does not respond. \r\nPlease make sure that "
                                "the device is conncted correctly and turned on.";

} // namespace

CConfigPage::CConfigPage(CManagerCore& manager, QWidget* parent)
    : CPageDialog(manager, "config", parent), m_data(std::make_unique<CConstructData>()) {}

CConfigPage::~CConfigPage() = default;

void CConfigPage::OnInitDialog() {
    m_tree = m_form.Get<QTreeWidget>(1001);
    m_combo = m_form.Get<QComboBox>(1021);
    m_edit = m_form.Get<QLineEdit>(1011);
    m_save = m_form.Get<QPushButton>(1006);
    m_chkRemote = m_form.Get<QCheckBox>(1027);
    m_pRestoreButton = m_form.Get<QPushButton>(1004);
    m_address = m_form.Get<QLineEdit>(1026);
    m_form.Get<QLabel>(1012)->setWordWrap(true);
    UpdateData();

    m_arrowIcon.addPixmap(vireo::ArrowIcon(vireo::NormalArrowColor()).pixmap(16), QIcon::Normal);
    m_arrowIcon.addPixmap(vireo::ArrowIcon(vireo::SelectedArrowColor()).pixmap(16),
                          QIcon::Selected);
    m_tree->setIconSize(QSize(16, 16));

    connect(m_tree, &QTreeWidget::currentItemChanged, this,
            [this](QTreeWidgetItem* current) { OnSelChangedTree(current); });
    connect(m_save, &QPushButton::clicked, this, &CConfigPage::OnSave);
    connect(m_pRestoreButton, &QPushButton::clicked, this, &CConfigPage::OnRestoreDefault);
    connect(m_form.Get<QPushButton>(1002), &QPushButton::clicked, this, &CConfigPage::OnExport);
    connect(m_form.Get<QPushButton>(1003), &QPushButton::clicked, this, &CConfigPage::OnImport);
    connect(m_chkRemote, &QCheckBox::clicked, this, &CConfigPage::OnRemoteSetting);
    connect(m_form.Get<QPushButton>(1042), &QPushButton::clicked, this,
            &CConfigPage::OnBrowseAddress);
}

void CConfigPage::UpdateData() {
    // A group box title takes "&" for a shortcut marker; a parameter name shows it as is.
    m_form.Get<QGroupBox>(1005)->setTitle(vireo::ToQt(m_strTitle).replace('&', "&&"));
    m_form.Get<QLabel>(1012)->setText(vireo::ToQt(m_strDescription));
    m_form.Get<QLabel>(1013)->setText(vireo::ToQt(m_strRange));
    m_form.Get<QLabel>(1015)->setText(vireo::ToQt(m_strRangeLabel));
    m_form.Get<QLabel>(1028)->setText(vireo::ToQt(m_strRemoteProductName));
    m_form.Get<QLabel>(1029)->setText(vireo::ToQt(m_strRemoteEui));
    m_form.Get<QLabel>(1030)->setText(vireo::ToQt(m_strRemoteVersion));
}

void CConfigPage::EnableDeviceControls(bool enable) {
    for (const int id : {1002, 1003, 1004, 1026, 1027, 1042})
        m_form.Control(id)->setEnabled(enable);
    if (enable)
        return;
    m_strRemoteProductName.clear();
    m_strRemoteEui.clear();
    m_strRemoteVersion.clear();
    m_strRange.clear();
    m_strRangeLabel.clear();
    m_chkRemote->setChecked(false);
    m_pRestoreButton->setText("Restore to Factory Default");
    UpdateData();
}

void CConfigPage::LoadConstructFile(int bLoad, const std::string& name) {
    if (bLoad == 1) {
        ConstructLoadRequest request;
        request.fileName = name;
        request.localProduct = m_manager.m_strProductName;
        request.remoteMode = m_manager.m_bRemoteMode == 1;
        request.directory =
            m_strConstructDir.empty() ? vireo::GetProgramDirectory() : m_strConstructDir;
        request.updateFromWeb = [](const std::string& directory) {
            CWebUpdateDlg update;
            update.UpdateManager(directory);
        };
        if (ParseConstructFile(*m_data, request) == -1)
            m_data->SetReadFailed();
        m_data->BuildGroupTable();
    } else {
        ClearTree();
        UpdateData();
    }
    FillTree();
}

void CConfigPage::ClearTree() {
    m_data->ClearGroupTable();
    m_tree->blockSignals(true);
    m_tree->clear();
    m_tree->blockSignals(false);
    m_hSelItem = nullptr;
    m_strTitle.clear();
    m_strDescription.clear();
    // The editor belonged to a record of the tree just cleared: a Save now would write its
    // text through a stale index into whatever record of the next file has that index.
    m_nSel = -1;
    m_edit->clear();
    FillComboBox(m_combo, {}, {}, 0, 0);
    m_save->setEnabled(false);
    m_edit->setEnabled(false);
    m_combo->setEnabled(false);
}

void CConfigPage::FillTree() {
    m_tree->blockSignals(true);
    for (int g = 0; g < m_data->m_nGroups; ++g) {
        QTreeWidgetItem* top = nullptr;
        for (const char* entry : m_data->GroupRow(g)) {
            auto* item = top ? new QTreeWidgetItem(top) : new QTreeWidgetItem(m_tree);
            item->setText(0, vireo::ToQt(entry));
            item->setIcon(0, m_arrowIcon);
            if (!top)
                top = item;
        }
    }
    m_tree->setCurrentItem(nullptr);
    m_tree->blockSignals(false);
}

void CConfigPage::FillComboBox(QComboBox* box, const std::vector<std::string>& texts,
                               const std::vector<int>& itemData, unsigned short count, int select) {
    box->clear();
    int selected = -1;
    for (unsigned short k = 0; k < count && k < texts.size() && k < itemData.size(); ++k) {
        box->addItem(vireo::ToQt(texts[k]), itemData[k]);
        if (itemData[k] == select)
            selected = k;
    }
    // The box selects its first entry by itself when it is added; a value that matches no
    // entry must leave it without a selection.
    box->setCurrentIndex(selected);
}

CConfigTarget CConfigPage::Target() const {
    if (m_manager.m_bRemoteMode == 1)
        return CConfigTarget(m_manager, m_strRemoteEui);
    return CConfigTarget(m_manager);
}

void CConfigPage::ShowReadFailure(QWidget* input) {
    m_save->setEnabled(false);
    input->setEnabled(false);
    vireo::ShowMessage(kNoResponse, kAppCaption);
}

bool CConfigPage::ShowParameter(int i) {
    const ConfigParam& p = m_data->m_params[i];
    m_nSel = i;
    m_strTitle = p.name;
    m_strDescription = p.description;
    if (p.type == PT_GET)
        m_save->setEnabled(false);
    else if (m_manager.m_bPortOpen != 1)
        return false;
    else
        m_save->setEnabled(true);
    m_strRange = RangeText(p);
    m_strRangeLabel = m_strRange.empty() ? "" : "Range: ";

    if (p.choiceList[0] != '\0') {
        m_combo->setEnabled(true);
        const std::vector<std::string> choices = SplitList(p.choiceList);
        m_manager.WakeSleepyDevice();
        const std::string reply = Target().Read(p.command);
        if (reply == "ERROR") {
            ShowReadFailure(m_combo);
        } else {
            std::vector<int> itemData(choices.size());
            for (size_t k = 0; k < itemData.size(); ++k)
                itemData[k] = static_cast<int>(k);
            FillComboBox(m_combo, choices, itemData, static_cast<unsigned short>(choices.size()),
                         ChoiceIndexForReply(p, reply));
        }
    } else {
        m_edit->setEnabled(true);
        FillComboBox(m_combo, {}, {}, 0, 0);
        m_manager.WakeSleepyDevice();
        const std::string reply = Target().Read(p.command);
        if (reply == "ERROR")
            ShowReadFailure(m_edit);
        else
            m_edit->setText(vireo::ToQt(reply));
    }
    return true;
}

void CConfigPage::OnSelChangedTree(QTreeWidgetItem* item) {
    m_hSelItem = item;
    if (!item)
        return;
    const std::string text = vireo::FromQt(item->text(0));
    m_save->setEnabled(false);
    m_edit->setEnabled(false);
    m_combo->setEnabled(false);
    m_edit->clear();
    for (int i = 0; i < m_data->m_nParams; ++i) {
        const ConfigParam& p = m_data->m_params[i];
        if (text == p.group) {
            m_strTitle = text;
            m_strDescription.clear();
            m_nSel = i;
        } else if (text == p.name) {
            if (!ShowParameter(i))
                return;
        }
    }
    UpdateData();
}

void CConfigPage::OnSave() {
    if (m_nSel < 0 || m_nSel >= m_data->m_nParams)
        return;
    const ConfigParam& p = m_data->m_params[m_nSel];
    const std::string value =
        p.choiceList[0] != '\0' ? ChoiceValueToSave(p, m_combo->currentIndex() < 0
                                                           ? std::string()
                                                           : vireo::FromQt(m_combo->currentText()))
                                : vireo::FromQt(m_edit->text());
    const std::string command = SaveCommand(p, value);
    if (Target().Write(command, 2) != 1)
        vireo::ShowMessage("ERROR: Could not save the configuration paramater.", kAppCaption);
}

void CConfigPage::OnRestoreDefault() {
    if (m_manager.m_bRemoteMode == 1) {
        if (Target().Write("ATZ\r\n", 3) != 1)
            vireo::ShowMessage("ERROR: Could not restart the device.", kAppCaption);
        return;
    }
    m_manager.WakeSleepyDevice();
    if (m_manager.SendCommand("AT&f\r\n", 3) != 1)
        vireo::ShowMessage("ERROR: Could not restore this device to factory default.", kAppCaption);
}

void CConfigPage::OnExport() {
    const std::string path = vireo::UiServices().GetSaveFileName(ExportDialogOptions());
    if (path.empty())
        return;
    ExportToFile(Target(), *m_data, path, m_strLogDir);
}

void CConfigPage::OnImport() {
    const std::string path = vireo::UiServices().GetOpenFileName(ImportDialogOptions());
    if (path.empty())
        return;
    ImportFromFile(Target(), m_data->m_strConstructFile, path, m_strLogDir, {}, nullptr,
                   kImportErrorLog, ImportCheck::Ask);
}

void CConfigPage::OnRemoteSetting() {
    m_pRestoreButton = m_form.Get<QPushButton>(1004);
    if (m_chkRemote->isChecked())
        SwitchToRemote();
    else
        SwitchToLocal();
}

void CConfigPage::SwitchToRemote() {
    m_strRemoteAddress = vireo::FromQt(m_address->text());
    // An address with a comma or a line break would end the wrapper early and send the rest
    // as a command of its own.
    if (!IsUsableRemoteAddress(m_strRemoteAddress)) {
        vireo::ShowMessage("ERROR: Invalid remote address", kAppCaption);
        m_chkRemote->setChecked(false);
        return;
    }
    const RemoteIdentity identity = IdentifyRemoteDevice(m_manager, m_strRemoteAddress);
    if (!identity.responded) {
        vireo::ShowMessage("ERROR: The remote device does not respond.", kAppCaption);
        m_chkRemote->setChecked(false);
        return;
    }
    m_strRemoteProductName = identity.productName;
    m_strRemoteEui = identity.euiAddress;
    m_strRemoteVersion = identity.firmwareVersion;
    m_address->setEnabled(false);
    m_pRestoreButton->setText("Reboot");
    UpdateData();
    m_manager.m_bRemoteMode = 1;
    LoadConstructFile(0, "");
    LoadConstructFile(1, ConstructFileName(m_strRemoteProductName, m_strRemoteVersion));
}

void CConfigPage::SwitchToLocal() {
    m_address->setEnabled(true);
    m_pRestoreButton->setText("Restore to Factory Default");
    m_strRemoteProductName.clear();
    m_strRemoteEui.clear();
    m_strRemoteVersion.clear();
    m_strRangeLabel.clear();
    m_strRange.clear();
    m_manager.m_bRemoteMode = 0;
    LoadConstructFile(0, "");
    LoadConstructFile(
        1, ConstructFileName(m_manager.m_strProductName, m_manager.m_strFirmwareVersion));
    UpdateData();
}

void CConfigPage::OnBrowseAddress() {
    CScanDlg scan(m_manager, this);
    if (scan.exec() == QDialog::Accepted) {
        m_address->setText(vireo::ToQt(scan.m_selectedAddress));
        UpdateData();
    }
}
