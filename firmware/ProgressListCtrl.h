// The device list of the Firmware Update page: a report-style list with a check box per row in
// the first column and a progress bar in the Progress column of each row that has one. The bars
// are index widgets of the view, so the view keeps them on their cells while the list scrolls
// and its columns are resized or moved, and clips them to its viewport.
#pragma once

#include <QStringList>
#include <QTreeWidget>

class QProgressBar;

class CProgressListCtrl : public QTreeWidget {
    Q_OBJECT
public:
    static constexpr int kProgressColumn = 6;

    explicit CProgressListCtrl(QWidget* parent = nullptr);

    // Creates the bar of a row; does nothing when row is not below the item count. A row that
    // already has a bar gets a fresh one (the old one is destroyed).
    void InsertProgressBar(int row);
    // Sets the position (clamped to 0..100) of the row's bar, if the row has one; then repaints
    // the header. May be called from any thread: from a worker it is queued to the GUI thread.
    void SetRowProgress(int row, int position);
    // Destroys every bar.
    void RemoveAllProgressBars();
    // Moves every bar onto its cell (after scrolling, column resizing).
    void RepositionProgressBars();
    // The row's bar, or nullptr.
    QProgressBar* ProgressBar(int row) const;

    // Appends a row: an unchecked check box with no text in column 0, then columns[0..] in
    // columns 1 and on.
    void AddRow(const QStringList& columns);
    bool IsRowChecked(int row) const;
    // Clears the list and sets the device columns with their titles and widths.
    void SetupDeviceColumns();

protected:
    void drawRow(QPainter* painter, const QStyleOptionViewItem& option,
                 const QModelIndex& index) const override;

private:
    void DestroyBar(QTreeWidgetItem* item);
};
