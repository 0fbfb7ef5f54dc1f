// The Firmware Update page (second tab). Its controls arrive with the firmware update; the
// page exists so that the tab host and the main dialog can place and switch it.
#pragma once

#include "pages/PageDialog.h"

class CFirmwarePage : public CPageDialog {
    Q_OBJECT
public:
    CFirmwarePage(CManagerCore& manager, QWidget* parent)
        : CPageDialog(manager, "firmware", parent) {}
};
