#include "scan/ScanDlg.h"
#include "app/ManagerCore.h"
#include "platform/QtText.h"
#include "platform/UiServices.h"
#include "scan/ScanReply.h"

#include <QHeaderView>
#include <QPushButton>
#include <QTreeWidget>

CScanDlg::CScanDlg(CManagerCore& manager, QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                          Qt::WindowCloseButtonHint),
      m_manager(manager) {
    if (!m_form.Build(this, "scan"))
        qFatal("%s", qPrintable(m_form.Error()));
    setWindowTitle(QString::fromStdString(m_form.Template().caption));
    setFixedSize(m_form.DialogSize());
    m_list = m_form.Get<QTreeWidget>(1045);
    m_list->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSortingEnabled(false);
    m_list->setHeaderLabels({"Inx", "Type", "IEEE Address", "Version", "ModelType", "NodeName"});
    const int widths[] = {35, 45, 170, 70, 70, 203};
    for (int column = 0; column < 6; ++column)
        m_list->header()->resizeSection(column, widths[column]);
    m_list->header()->setStretchLastSection(false);
    m_list->clear();
    auto* apply = m_form.Get<QPushButton>(1044);
    apply->setDefault(true); // Enter applies, Escape cancels
    connect(m_form.Get<QPushButton>(1042), &QPushButton::clicked, this, &CScanDlg::OnSearch);
    connect(apply, &QPushButton::clicked, this, &QDialog::accept);
    connect(m_list, &QTreeWidget::currentItemChanged, this, &CScanDlg::OnItemChanged);
}

void CScanDlg::OnItemChanged() {
    if (QTreeWidgetItem* item = m_list->currentItem())
        m_selectedAddress = vireo::FromQt(item->text(2));
}

void CScanDlg::OnSearch() {
    vireo::CWaitCursor wait;
    m_list->blockSignals(true); // emptying the list chooses nothing
    m_list->clear();
    m_list->blockSignals(false);
    m_manager.WakeSleepyDevice();
    const std::string reply = m_manager.ScanCommand("at+ds\r\n", 15);
    if (reply == "ERROR") {
        vireo::ShowMessage("ERROR: Could not scan the remote device.", kAppCaption);
        return;
    }
    ShowReply(reply);
}

void CScanDlg::ShowReply(const std::string& reply) {
    for (const ScanNode& node : ParseScanReply(reply)) {
        auto* item = new QTreeWidgetItem(m_list);
        item->setText(0, QString::number(node.index));
        item->setText(1, vireo::ToQt(node.type));
        item->setText(2, vireo::ToQt(node.address));
        item->setText(3, vireo::ToQt(node.version));
        item->setText(4, vireo::ToQt(node.model));
        item->setText(5, vireo::ToQt(node.name));
    }
}
