#include "app/ManagerDlg.h"
#include "app/AboutDlg.h"
#include "app/TranscriptSwitch.h"
#include "config/ConfigPage.h"
#include "firmware/FirmwarePage.h"
#include "firmware/FirmwareUploadDlg.h"
#include "platform/ProgramDirectory.h"
#include "platform/QtText.h"
#include "platform/UiServices.h"
#include "res/Icons.h"
#include "serial/SettingsCombos.h"
#include "webupdate/WebUpdateDlg.h"

#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QKeyEvent>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QShortcut>
#include <QTimer>

CManagerDlg::CManagerDlg()
    : QDialog(nullptr, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                           Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint),
      m_tabHost(*new CPageTabCtrl(*this, this)) {
    setWindowIcon(vireo::AppIcon());
    // The reader reports a lost line from its own thread: handle it on the GUI thread.
    m_serial.SetLostHandler([this] {
        QMetaObject::invokeMethod(this, &CManagerDlg::HandlePortLost, Qt::QueuedConnection);
    });
}

void CManagerDlg::HandlePortLost() {
    // Inside a message box or another modal dialog, the action that opened it is still under
    // way (its transactions end early on a lost line and it reports that itself): tearing the
    // connection down or stacking a second box there would pull the ground from under it.
    // Look again once it has returned.
    if (vireo::OpenDialogCount() > 0 || QApplication::activeModalWidget()) {
        QTimer::singleShot(kPortLostRetryMs, this, &CManagerDlg::HandlePortLost);
        return;
    }
    OnPortLost();
}

CManagerDlg::~CManagerDlg() {
    // A transfer thread uses the port, and the reader notifies the pages: both must be gone
    // before the port and the pages are.
    m_tabHost.FirmwarePage()->StopTransfer();
    m_serial.Close();
}

void CManagerDlg::OnInitDialog() {
    if (!m_form.Build(this, "main", {{1000, &m_tabHost}}))
        qFatal("%s", qPrintable(m_form.Error()));
    setWindowTitle(QString::fromStdString(m_form.Template().caption));
    setFixedSize(m_form.DialogSize());
    BuildSystemMenu();

    m_cbPort = m_form.Get<QComboBox>(1010);
    m_cbBaudRate = m_form.Get<QComboBox>(1011);
    m_cbDataBits = m_form.Get<QComboBox>(1012);
    m_cbStopBits = m_form.Get<QComboBox>(1013);
    m_cbParity = m_form.Get<QComboBox>(1014);
    m_cbFlowControl = m_form.Get<QComboBox>(1015);
    m_pOpenButton = m_form.Get<QPushButton>(1009);
    FillPortCombo(m_cbPort, m_nPort);
    FillCombo(m_cbBaudRate, kBaudRateTable, m_nBaudRate);
    FillCombo(m_cbParity, kParityTable, m_nParity);
    FillCombo(m_cbStopBits, kStopBitsTable, m_nStopBits);
    FillCombo(m_cbDataBits, kDataBitsTable, m_nDataBits);
    FillCombo(m_cbFlowControl, kFlowControlTable, m_nFlowControl);

    m_tabHost.InsertItem(0, "  Configuration  ");
    m_tabHost.InsertItem(1, "  Firmware Update  ");
    m_tabHost.InsertItem(2, "  Terminal  ");
    m_tabHost.CreatePages();

    connect(m_pOpenButton, &QPushButton::clicked, this, [this] { OnOpen(); });
    connect(m_form.Get<QPushButton>(1006), &QPushButton::clicked, this, [this] { OnReboot(); });
    connect(m_form.Get<QPushButton>(1007), &QPushButton::clicked, this, [this] { OnReload(); });
    connect(m_tabHost.TabBar(), &QTabBar::currentChanged, this, [this] { OnTabSelChange(); });
    // A click is handled after the selection it causes has changed.
    connect(m_tabHost.TabBar(), &QTabBar::tabBarClicked, this, [this] {
        QMetaObject::invokeMethod(
            this, [this] { OnTabClick(); }, Qt::QueuedConnection);
    });
    m_cbPort->setFocus();
}

void CManagerDlg::BuildSystemMenu() {
    // The window's own menu: opened with Alt+Space or the context menu of the dialog.
    m_systemMenu = new QMenu(this);
    m_systemMenu->setAccessibleName("System menu");
    m_systemMenu->addSeparator();
    m_transcriptSwitch = new CTranscriptSwitch(m_serial, this);
    m_transcriptSwitch->AddTo(m_systemMenu);
    m_systemMenu->addAction("Web update(&U)", this, [this] { OnSysCommand(IDM_WEBUPDATE); });
    m_systemMenu->addSeparator();
    m_systemMenu->addAction("About Vireo Manager(&A)...", this,
                            [this] { OnSysCommand(IDM_ABOUTBOX); });
    auto* shortcut = new QShortcut(QKeySequence(Qt::ALT | Qt::Key_Space), this);
    connect(shortcut, &QShortcut::activated, this,
            [this] { m_systemMenu->popup(mapToGlobal(QPoint(0, 0))); });
}

void CManagerDlg::contextMenuEvent(QContextMenuEvent* event) {
    m_systemMenu->popup(event->globalPos());
}

void CManagerDlg::OnSysCommand(int command) {
    if ((command & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about(this);
        about.exec();
    } else if ((command & 0xFFF0) == IDM_WEBUPDATE) {
        if (vireo::UiServices().MessageBox("Would you like to update this manager from web server?",
                                           "Web update", vireo::MsgButtons::YesNo,
                                           vireo::MsgIcon::Question) != vireo::MsgAnswer::Yes)
            return;
        CWebUpdateDlg update;
        update.UpdateManager(vireo::GetProgramDirectory());
    }
}

void CManagerDlg::OnTabSelChange() {
    const int index = m_tabHost.GetCurSel();
    if (index < 0)
        return;
    for (int page = 0; page < CPageTabCtrl::kPages; ++page)
        m_tabHost.Page(page)->setVisible(page == index && index <= CPageTabCtrl::kTerminal);
    if (m_bPortOpen == 1)
        SendCommand(index == 2 ? "\r\nATE1\r\n" : "\r\nATE0\r\n", 1);
}

void CManagerDlg::OnTabClick() {
    const int previous = m_nCurTab;
    m_nCurTab = m_tabHost.GetCurSel();
    if (m_nCurTab == previous)
        return;
    if (m_nCurTab == 0 || m_nCurTab == 2)
        m_serial.m_bNotifyTerminal = 1;
    else if (m_nCurTab == 1)
        m_serial.m_bNotifyTerminal = 0;
}

void CManagerDlg::ReadSettingsFromControls() {
    m_strPortName = m_cbPort->currentText().toStdString();
    m_nBaudRate = GetComboValue(m_cbBaudRate, kBaudRateTable);
    m_nParity = GetComboValue(m_cbParity, kParityTable);
    m_nStopBits = GetComboValue(m_cbStopBits, kStopBitsTable);
    m_nDataBits = GetComboValue(m_cbDataBits, kDataBitsTable);
    m_nFlowControl = GetComboValue(m_cbFlowControl, kFlowControlTable);
}

void CManagerDlg::UpdateDeviceView() {
    auto show = [this](int id, const std::string& text) {
        m_form.Get<QLabel>(id)->setText(vireo::ToQt(text));
    };
    show(1022, m_strProductName);
    show(1024, m_strEuiAddress);
    show(1023, m_strNodeName);
    show(1025, m_strFirmwareVersion);
    m_pOpenButton->setText(QString::fromStdString(m_strOpenButton));
}

void CManagerDlg::EnableDeviceControls(int enable) {
    const bool on = enable == 1;
    m_form.Control(1006)->setEnabled(on);
    m_form.Control(1007)->setEnabled(on);
    m_tabHost.ConfigPage()->EnableDeviceControls(on);
    m_tabHost.FirmwarePage()->EnableDeviceControls(on);
    CManagerCore::EnableDeviceControls(enable);
}

void CManagerDlg::SetTransferRunning(bool running) {
    // The transfer owns the line: no other page, no Close, Reboot or Reload until it ends.
    const bool connected = m_bPortOpen == 1;
    m_pOpenButton->setEnabled(!running);
    m_form.Control(1006)->setEnabled(!running && connected);
    m_form.Control(1007)->setEnabled(!running && connected);
    for (int tab = 0; tab < m_tabHost.TabBar()->count(); ++tab) {
        if (tab != m_tabHost.GetCurSel())
            m_tabHost.TabBar()->setTabEnabled(tab, !running);
    }
}

bool CManagerDlg::RunFirmwareUploadDialog() {
    // The connect sequence shows the wait cursor; the dialog waits for the user.
    QApplication::setOverrideCursor(Qt::ArrowCursor);
    CFirmwareUploadDlg upload(*this, this);
    upload.exec();
    QApplication::restoreOverrideCursor();
    return true;
}

bool CManagerDlg::IsCloneChecked() const {
    return m_tabHost.FirmwarePage()->m_cloneCheck->isChecked();
}

void CManagerDlg::ToggleClone() {
    m_tabHost.FirmwarePage()->ToggleClone();
}

void CManagerDlg::EnableCloneCheck(bool enable) {
    m_tabHost.FirmwarePage()->m_cloneCheck->setEnabled(enable);
}

void CManagerDlg::LoadConstructFile(int bLoad, const std::string& name) {
    m_tabHost.ConfigPage()->LoadConstructFile(bLoad, name);
}

void CManagerDlg::ReloadConstructFile(const std::string& name) {
    CConfigPage* page = m_tabHost.ConfigPage();
    page->ClearTree();
    page->FillTree();
    page->m_strTitle.clear();
    page->UpdateData();
    page->LoadConstructFile(1, name);
}

void CManagerDlg::keyPressEvent(QKeyEvent* event) {
    switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
    case Qt::Key_Escape:
        event->accept(); // neither closes the dialog
        return;
    default: QDialog::keyPressEvent(event);
    }
}

void CManagerDlg::closeEvent(QCloseEvent* event) {
    // A transfer under way is stopped (the module is told to cancel) before the line closes.
    m_tabHost.FirmwarePage()->StopTransfer();
    SetTransferRunning(false);
    ShutdownLink();
    QDialog::closeEvent(event);
}
