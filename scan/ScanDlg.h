// The Scan dialog: asks the local module for the nodes of its radio network and lets the user
// choose one; after OK, m_selectedAddress holds the chosen node's IEEE address.
#pragma once

#include "res/DialogForm.h"

#include <QDialog>
#include <string>

class CManagerCore;
class QTreeWidget;

class CScanDlg : public QDialog {
    Q_OBJECT
public:
    CScanDlg(CManagerCore& manager, QWidget* parent);

    void OnSearch();
    // Fills the list with the nodes of a scan reply.
    void ShowReply(const std::string& reply);
    const CDialogForm& Form() const { return m_form; }

    QTreeWidget* m_list = nullptr;
    std::string m_selectedAddress;

private:
    void OnItemChanged();

    CManagerCore& m_manager;
    CDialogForm m_form;
};
