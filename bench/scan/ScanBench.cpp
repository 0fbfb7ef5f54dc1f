// Figures of the network scan, against the simulated module with 300 remote modules.
//
//  - BM_Scan/<baud>: "Search" in the Scan dialog, from the click until the list is filled,
//    against the module's own reply time (its 1 s of collecting answers plus the reply's bytes
//    at the line rate): reply_ratio; rows is the number of rows shown (300 when the scan
//    succeeded).
//  - BM_FillList: filling the list from a 300-node reply already received (goal under 100 ms).
//
//   build/bin/scan_bench
#include "app/ManagerDlg.h"
#include "scan/ScanDlg.h"
#include "sim/Simulator.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/ScriptedUi.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTreeWidget>
#include <benchmark/benchmark.h>

namespace {

constexpr int kRemotes = 300;

vireo::sim::SimConfig NetworkOf300(int baud) {
    vireo::sim::SimConfig config;
    config.baudRate = baud;
    config.pacing = true;
    config.remoteCount = kRemotes;
    return config;
}

void BM_Scan(benchmark::State& state) {
    const int baud = static_cast<int>(state.range(0));
    vireo::test::CTempPortDir dir;
    vireo::test::CScriptedUi ui;
    vireo::sim::Simulator sim(NetworkOf300(baud));
    sim.Start();
    CManagerDlg dlg;
    dlg.OnInitDialog();
    dlg.m_cbBaudRate->setCurrentIndex(dlg.m_cbBaudRate->findText(QString::number(baud)));
    dlg.m_pOpenButton->click();
    CScanDlg scan(dlg, &dlg);
    scan.show();
    const double replyBytes = static_cast<double>(sim.ScanReplyText().size());
    const double replySeconds =
        NetworkOf300(baud).timing.scanDelayMs / 1000.0 + replyBytes * 10.0 / baud;
    double seconds = 0;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        scan.Form().Get<QPushButton>(1042)->click();
        seconds = clock.nsecsElapsed() / 1e9;
    }
    state.counters["rows"] = scan.m_list->topLevelItemCount();
    state.counters["reply_s"] = replySeconds;
    state.counters["reply_ratio"] = seconds / replySeconds;
    state.counters["messages"] = static_cast<double>(ui.Shown().size());
}
BENCHMARK(BM_Scan)->ArgName("baud")->Arg(9600)->Arg(115200)->Iterations(1)->UseRealTime()->Unit(
    benchmark::kMillisecond);

void BM_FillList(benchmark::State& state) {
    vireo::test::CTempPortDir dir;
    vireo::sim::Simulator sim(NetworkOf300(115200));
    sim.Start(); // the network is made when the module starts
    CManagerDlg dlg;
    CScanDlg scan(dlg, nullptr);
    scan.show();
    const std::string reply = sim.ScanReplyText();
    for (auto _ : state) {
        scan.m_list->clear();
        scan.ShowReply(reply);
        QApplication::processEvents(); // the list is drawn too
    }
    state.counters["rows"] = scan.m_list->topLevelItemCount();
}
BENCHMARK(BM_FillList)->Unit(benchmark::kMillisecond);

} // namespace
