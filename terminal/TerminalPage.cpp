#include "terminal/TerminalPage.h"
#include "serial/SerialNotify.h"

#include <QEvent>

CTerminalPage::CTerminalPage(CManagerCore& manager, QWidget* parent)
    : CPageDialog(manager, "terminal", parent) {}

CTerminalPage::~CTerminalPage() {
    void* self = static_cast<QObject*>(this);
    g_hTerminalWnd.compare_exchange_strong(self, nullptr);
}

void CTerminalPage::OnInitDialog() {
    g_hTerminalWnd = static_cast<QObject*>(this);
}

bool CTerminalPage::event(QEvent* e) {
    if (e->type() == static_cast<QEvent::Type>(WM_SERIAL_DATA)) {
        ++m_nNotifications;
        return true;
    }
    return CPageDialog::event(e);
}
