#include "firmware/ProgressListCtrl.h"

#include <QHeaderView>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QThread>
#include <algorithm>
#include <array>

namespace {

constexpr int kAddressColumn = 2;

struct DeviceColumn {
    const char* title;
    int width;
};

constexpr std::array<DeviceColumn, 7> kDeviceColumns{{{"", 22},
                                                      {"Type", 45},
                                                      {"IEEE Address", 140},
                                                      {"Version", 63},
                                                      {"ModelType", 85},
                                                      {"NodeName", 85},
                                                      {"Progress", 152}}};

} // namespace

CProgressListCtrl::CProgressListCtrl(QWidget* parent) : QTreeWidget(parent) {
    setRootIsDecorated(false);
    setHeaderHidden(false);
    setSortingEnabled(false);
    setUniformRowHeights(true);
    setItemsExpandable(false);
    // Columns keep the widths they are given; the last one does not grow with the list.
    header()->setStretchLastSection(false);
    // The check box column is narrower than the header's own minimum.
    header()->setMinimumSectionSize(0);
    // After a column is resized the view moves its index widgets only later, from a timer;
    // place them at once so that a bar never shows over another cell in between.
    connect(header(), &QHeaderView::sectionResized, this,
            &CProgressListCtrl::RepositionProgressBars);
}

void CProgressListCtrl::SetupDeviceColumns() {
    RemoveAllProgressBars(); // clear() alone would leave them until the event loop runs
    clear();
    setColumnCount(static_cast<int>(kDeviceColumns.size()));
    QStringList titles;
    for (const DeviceColumn& column : kDeviceColumns)
        titles << QString::fromLatin1(column.title);
    setHeaderLabels(titles);
    for (int i = 0; i < columnCount(); ++i) {
        headerItem()->setTextAlignment(i, Qt::AlignLeft | Qt::AlignVCenter);
        setColumnWidth(i, kDeviceColumns[static_cast<size_t>(i)].width);
    }
}

void CProgressListCtrl::AddRow(const QStringList& columns) {
    auto* item = new QTreeWidgetItem;
    item->setCheckState(0, Qt::Unchecked);
    for (int i = 0; i < columns.size(); ++i)
        item->setText(i + 1, columns[i]);
    addTopLevelItem(item);
}

bool CProgressListCtrl::IsRowChecked(int row) const {
    const QTreeWidgetItem* item = topLevelItem(row);
    return item && item->checkState(0) == Qt::Checked;
}

void CProgressListCtrl::InsertProgressBar(int row) {
    QTreeWidgetItem* item = topLevelItem(row);
    if (!item)
        return;
    DestroyBar(item);
    auto* bar = new QProgressBar;
    bar->setRange(0, 100);
    bar->setValue(0);
    bar->setTextVisible(false);
    // An index widget shows the cell below it unless it paints its own background.
    bar->setAutoFillBackground(true);
    const QString address = item->text(kAddressColumn);
    bar->setAccessibleName(address.isEmpty() ? tr("Progress") : tr("Progress %1").arg(address));
    setItemWidget(item, kProgressColumn, bar);
}

void CProgressListCtrl::SetRowProgress(int row, int position) {
    if (QThread::currentThread() != thread()) {
        // Bound to this list: if the list is gone before the call arrives, Qt drops it.
        QMetaObject::invokeMethod(
            this, [this, row, position] { SetRowProgress(row, position); }, Qt::QueuedConnection);
        return;
    }
    if (QProgressBar* bar = ProgressBar(row))
        bar->setValue(std::clamp(position, 0, 100));
    header()->viewport()->update();
}

void CProgressListCtrl::RemoveAllProgressBars() {
    for (int row = 0; row < topLevelItemCount(); ++row)
        DestroyBar(topLevelItem(row));
}

void CProgressListCtrl::RepositionProgressBars() {
    updateEditorGeometries();
}

QProgressBar* CProgressListCtrl::ProgressBar(int row) const {
    QTreeWidgetItem* item = topLevelItem(row);
    return item ? qobject_cast<QProgressBar*>(itemWidget(item, kProgressColumn)) : nullptr;
}

void CProgressListCtrl::DestroyBar(QTreeWidgetItem* item) {
    // The view lets go of a replaced widget only later; delete it now so that it is gone when
    // this returns. The guard covers a view that deleted it already.
    QPointer<QWidget> old = itemWidget(item, kProgressColumn);
    if (!old)
        return;
    removeItemWidget(item, kProgressColumn);
    delete old.data();
}

void CProgressListCtrl::drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                                const QModelIndex& index) const {
    QTreeWidget::drawRow(painter, option, index);
    // Grid lines: the bottom edge of the row and the right edge of every shown column.
    const int hint = style()->styleHint(QStyle::SH_Table_GridLineColor, &option, this);
    const QRect row = option.rect;
    const int right = std::min(row.right(), header()->length() - header()->offset() - 1);
    painter->save();
    painter->setPen(QColor::fromRgba(static_cast<QRgb>(hint)));
    painter->drawLine(row.left(), row.bottom(), right, row.bottom());
    for (int section = 0; section < header()->count(); ++section) {
        if (header()->isSectionHidden(section))
            continue;
        const int x =
            header()->sectionViewportPosition(section) + header()->sectionSize(section) - 1;
        painter->drawLine(x, row.top(), x, row.bottom());
    }
    painter->restore();
}
