// Pages that the tab host creates but never shows: there is no tab for them.
#pragma once

#include "pages/PageDialog.h"

class CNetworkPage : public CPageDialog {
    Q_OBJECT
public:
    CNetworkPage(CManagerCore& manager, QWidget* parent)
        : CPageDialog(manager, "network", parent) {}
};

class CGpioPage : public CPageDialog {
    Q_OBJECT
public:
    CGpioPage(CManagerCore& manager, QWidget* parent) : CPageDialog(manager, "gpio", parent) {}
};
