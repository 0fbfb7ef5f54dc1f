// The Terminal page (third tab). It publishes itself in g_hTerminalWnd when its window is
// created, so that the serial reader's WM_SERIAL_DATA notifications reach it as events on
// the GUI thread. The screen that renders the bytes arrives with the terminal itself.
#pragma once

#include "pages/PageDialog.h"

class CTerminalPage : public CPageDialog {
    Q_OBJECT
public:
    CTerminalPage(CManagerCore& manager, QWidget* parent);
    ~CTerminalPage() override;

    // Number of WM_SERIAL_DATA notifications received so far.
    int NotificationCount() const { return m_nNotifications; }

protected:
    void OnInitDialog() override;
    bool event(QEvent* event) override;

private:
    int m_nNotifications = 0;
};
