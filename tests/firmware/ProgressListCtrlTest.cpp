// The device list keeps one progress bar per row, for valid rows only, and takes progress from
// worker threads without touching widgets there.
#include "firmware/ProgressListCtrl.h"

#include <QPointer>
#include <QProgressBar>
#include <QTest>
#include <gtest/gtest.h>
#include <memory>
#include <thread>

namespace {

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
