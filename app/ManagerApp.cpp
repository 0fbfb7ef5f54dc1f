#include "app/ManagerApp.h"
#include "app/ManagerDlg.h"

CManagerApp theApp;

bool CManagerApp::InitInstance() {
    CManagerDlg dlg;
    dlg.OnInitDialog();
    dlg.exec();
    return false;
}
