// The device list keeps one progress bar on the Progress cell of each row, whatever the user
// does with the list, and takes progress from worker threads without touching widgets there.
#include "firmware/ProgressListCtrl.h"
#include "tests/support/QtPrinters.h"

#include <QHeaderView>
#include <QPointer>
#include <QProgressBar>
#include <QScrollBar>
#include <QTest>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

constexpr int kBar = CProgressListCtrl::kProgressColumn;

void Fill(CProgressListCtrl& list, int rows) {
    list.SetupDeviceColumns();
    for (int row = 0; row < rows; ++row) {
        list.AddRow({"ZR", QString("00124B%1").arg(row), "1.0.9", "RM-2", "Node"});
        list.InsertProgressBar(row);
    }
}

qsizetype Bars(const CProgressListCtrl& list) {
    return list.findChildren<QProgressBar*>().size();
}

// Checked at once after each step, before the view's own deferred updates: a bar sits on its
// cell, inside the rows' area, or is hidden.
TEST(ProgressList, BarsStayOnTheirCellsInASmallList) {
    CProgressListCtrl list;
    Fill(list, 40);
    list.resize(320, 200);
    list.show();
    for (const std::function<void()>& step :
         std::vector<std::function<void()>>{[&] { list.verticalScrollBar()->setValue(20); },
                                            [&] { list.header()->moveSection(kBar, 0); },
                                            [&] { list.horizontalScrollBar()->setValue(100); }}) {
        step();
        for (int row = 0; row < 40; ++row) {
            const QProgressBar* bar = list.ProgressBar(row);
            ASSERT_EQ(list.viewport(), bar->parentWidget()) << row;
            if (!bar->isHidden()) {
                EXPECT_EQ(list.visualRect(list.model()->index(row, kBar)),
                          QRect(bar->mapTo(list.viewport(), QPoint()), bar->size()))
                    << row;
            }
        }
    }
}

TEST(ProgressList, BarsComeAndGoWithTheirRowsAtOnce) {
    CProgressListCtrl list;
    Fill(list, 3);
    for (int row : {3, 100, -1})
        list.InsertProgressBar(row);
    QPointer<QProgressBar> old = list.ProgressBar(1);
    list.InsertProgressBar(1);
    EXPECT_TRUE(old.isNull());
    EXPECT_EQ(3, Bars(list));
    list.RemoveAllProgressBars();
    list.SetRowProgress(0, 50); // no bar any more: nothing happens
    EXPECT_EQ(0, Bars(list));
}

TEST(ProgressList, ProgressFromAWorkerArrivesThroughTheEventLoop) {
    CProgressListCtrl list;
    Fill(list, 2);
    std::thread([&list] { list.SetRowProgress(1, 77); }).join();
    EXPECT_EQ(0, list.ProgressBar(1)->value()); // the worker did not touch the bar
    for (int waited = 0; list.ProgressBar(1)->value() != 77 && waited < 10000; waited += 10)
        QTest::qWait(10);
    EXPECT_EQ(77, list.ProgressBar(1)->value());

    auto gone = std::make_unique<CProgressListCtrl>();
    Fill(*gone, 2);
    std::thread([list = gone.get()] { list->SetRowProgress(1, 30); }).join();
    gone.reset();
    QTest::qWait(50); // the call queued for the destroyed list is dropped
}

} // namespace
