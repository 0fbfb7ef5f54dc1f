#include "app/ManagerApp.h"
#include "app/ManagerDlg.h"
#include "app/TranscriptSwitch.h"

CManagerApp theApp;

bool CManagerApp::InitInstance() {
    CManagerDlg dlg;
    dlg.OnInitDialog();
    if (!m_strLogFile.empty())
        dlg.m_transcriptSwitch->StartRecording(m_strLogFile);
    dlg.exec();
    return false;
}
