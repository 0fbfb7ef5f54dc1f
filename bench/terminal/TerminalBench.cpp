// Figures of the Terminal page, measured through the real widget.
//
//  - BM_Render/ascii, BM_Render/hexa: module text fed to the page in 4 KiB batches (what the
//    reader hands over in one notification), drawn and painted; bytes per second against the
//    921600-baud line's 92160 bytes per second (line_ratio, goal at least 10).
//  - BM_FloodLatency: the simulated module at 921600 baud sends text without pause for 5 s
//    while the page is shown; the longest delay of a 5 ms timer meanwhile
//    (max_event_delay_ms, goal under 50), with the bytes sent and the notifications drawn.
//
//   build/bin/terminal_bench
#include "app/ManagerDlg.h"
#include "platform/QtUiServices.h"
#include "serial/SerialNotify.h"
#include "sim/Simulator.h"
#include "terminal/TerminalPage.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/ScriptedUi.h"

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTimer>
#include <benchmark/benchmark.h>

namespace {

constexpr double kLineBytesPerSecond = 921600.0 / 10.0;

// Lines of a chatty module: readable text with CR LF ends.
std::string ModuleText(size_t size) {
    std::string text;
    for (int n = 0; text.size() < size; ++n)
        text += "+RX:" + std::to_string(n) + ",000D6F0000A1B2C3,-61,temperature=21.5C\r\n";
    text.resize(size);
    return text;
}

void BM_Render(benchmark::State& state) {
    vireo::test::CTempPortDir dir;
    vireo::test::CScriptedUi ui;
    CManagerDlg dlg;
    dlg.OnInitDialog();
    dlg.show();
    dlg.m_tabHost.SetCurSel(2);
    CTerminalPage* page = dlg.m_tabHost.TerminalPage();
    qobject_cast<QAbstractButton*>(page->Form().Control(state.range(0) ? 1019 : 1018))->click();
    const std::string batch = ModuleText(4096);
    const auto* bytes = reinterpret_cast<const uint8_t*>(batch.data());
    for (auto _ : state) {
        dlg.m_serial.m_rxRing.PutBurst(bytes, batch.size());
        page->OnDataArrived();
        QApplication::processEvents(); // layout and painting belong to the cost
    }
    const double total = static_cast<double>(state.iterations() * batch.size());
    state.SetBytesProcessed(static_cast<int64_t>(total));
    state.counters["line_ratio"] =
        benchmark::Counter(total / kLineBytesPerSecond, benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Render)->ArgName("hexa")->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Connects to the module at 921600 baud and shows the Terminal tab, as a person would.
void OpenOnTerminal(CManagerDlg& dlg) {
    dlg.OnInitDialog();
    dlg.show();
    dlg.m_cbBaudRate->setCurrentIndex(dlg.m_cbBaudRate->findText("921600"));
    dlg.m_pOpenButton->click();
    dlg.m_tabHost.SetCurSel(2);
    dlg.OnTabClick();
    QApplication::processEvents();
}

void BM_FloodLatency(benchmark::State& state) {
    vireo::test::CTempPortDir dir;
    vireo::test::CScriptedUi ui;
    vireo::InstallQtMessagePoster();
    vireo::sim::SimConfig config;
    config.baudRate = 921600;
    config.pacing = true;
    config.remoteCount = 0;
    vireo::sim::Simulator sim(config);
    sim.Start();
    CManagerDlg dlg;
    OpenOnTerminal(dlg);
    CTerminalPage* page = dlg.m_tabHost.TerminalPage();
    const std::string chunk = ModuleText(9216); // 100 ms of the line
    for (auto _ : state) {
        qint64 worstMs = 0, sent = 0;
        QElapsedTimer clock, tick;
        clock.start();
        tick.start();
        QTimer timer;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            const qint64 d = tick.restart() - 5;
            worstMs = std::max(worstMs, d);
            // Keep about 200 ms of text queued at the module.
            while (sent < (clock.elapsed() + 200) * 92 && sim.SendUnsolicited(chunk))
                sent += static_cast<qint64>(chunk.size());
        });
        timer.start(5);
        const int before = page->NotificationCount();
        while (clock.elapsed() < 5000)
            QApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        timer.stop();
        state.counters["max_event_delay_ms"] = static_cast<double>(worstMs);
        state.counters["notifications"] = page->NotificationCount() - before;
        state.counters["sent_kB"] = static_cast<double>(sent) / 1000.0;
    }
    SetPostMessageFunction(nullptr);
}
BENCHMARK(BM_FloodLatency)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
