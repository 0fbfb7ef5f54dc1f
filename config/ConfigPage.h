// The Configuration page (first tab): the parameters of the connected device as a tree of
// groups; selecting a parameter reads its value from the device into the editor, Save writes
// it back, and the management box restores the factory defaults.
#pragma once

#include "config/ConfigTarget.h"
#include "config/ConstructFile.h"
#include "pages/PageDialog.h"

#include <QIcon>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

class CConfigPage : public CPageDialog {
    Q_OBJECT
public:
    CConfigPage(CManagerCore& manager, QWidget* parent);
    ~CConfigPage() override;

    // 1: load the named construct file and show it in the tree; otherwise clear the tree.
    void LoadConstructFile(int bLoad, const std::string& name);
    void ClearTree();
    void FillTree();
    // Pushes the page's member strings to their controls.
    void UpdateData();
    // Enables or disables the controls that need a connected device.
    void EnableDeviceControls(bool enable);

    static void FillComboBox(QComboBox* box, const std::vector<std::string>& texts,
                             const std::vector<int>& itemData, unsigned short count, int select);

    const CConstructData& Data() const { return *m_data; }
    QTreeWidget* Tree() const { return m_tree; }

    // Members shown in the controls (pushed by UpdateData).
    std::string m_strTitle;
    std::string m_strDescription;
    std::string m_strRange;
    std::string m_strRangeLabel;
    std::string m_strRemoteProductName;
    std::string m_strRemoteEui;
    std::string m_strRemoteVersion;
    std::string m_strRemoteAddress;
    int m_nSel = -1;
    // Where construct files are looked for; empty means the program directory.
    std::string m_strConstructDir;
    // Where the export and import error logs are written; empty means the current directory.
    std::string m_strLogDir;

public slots:
    void OnSelChangedTree(QTreeWidgetItem* item);
    void OnSave();
    void OnRestoreDefault();
    void OnExport();
    void OnImport();
    void OnRemoteSetting();
    void OnBrowseAddress();

protected:
    void OnInitDialog() override;

private:
    // The device the page's transactions go to: the remote one by its EUI address in remote
    // mode, else the local one.
    CConfigTarget Target() const;
    // Remote mode on with the address of 1026, or back to the local device.
    void SwitchToRemote();
    void SwitchToLocal();
    // Handles one record whose name matches the selection; false ends the handling early.
    bool ShowParameter(int index);
    void ShowReadFailure(QWidget* input);

    std::unique_ptr<CConstructData> m_data;
    QTreeWidget* m_tree = nullptr;
    QIcon m_arrowIcon; // blue arrow, green while selected
    QTreeWidgetItem* m_hSelItem = nullptr;
    QComboBox* m_combo = nullptr;
    QLineEdit* m_edit = nullptr;
    QPushButton* m_save = nullptr;
    QCheckBox* m_chkRemote = nullptr;
    QPushButton* m_pRestoreButton = nullptr;
    QLineEdit* m_address = nullptr;
};
