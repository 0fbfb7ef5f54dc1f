// The connect sequence against a simulated module that answers at the line rate, loading and
// showing 1000 parameters, the polls a parameter selection takes, and the peak memory of the
// idle main window.
#include "app/ManagerDlg.h"
#include "config/ConfigPage.h"
#include "sim/Simulator.h"
#include "tests/support/PtyPeer.h"
#include "tests/support/ScriptedUi.h"

#include <QApplication>
#include <QComboBox>
#include <QTreeWidget>
#include <benchmark/benchmark.h>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

// Fixed waits of the connect sequence: 100 ms after the first line end, 200 ms before and
// after the second.
constexpr double kConnectWaitsMs = 100 + 200 + 200;

struct Bench {
    vireo::test::CTempPortDir dir;
    std::unique_ptr<vireo::sim::Simulator> sim;
    std::unique_ptr<CManagerDlg> dlg;

    explicit Bench(int baud) {
        vireo::sim::SimConfig config;
        config.baudRate = baud;
        config.remoteCount = 0;
        config.pacing = true;
        sim = std::make_unique<vireo::sim::Simulator>(config);
        sim->Start();
        dlg = std::make_unique<CManagerDlg>();
        dlg->OnInitDialog();
        dlg->m_cbBaudRate->setCurrentIndex(dlg->m_cbBaudRate->findText(QString::number(baud)));
    }

    // Time on the line of every byte sent both ways since the last ClearReceived.
    double LineTimeMs(int baud) const {
        const double bytes =
            static_cast<double>(sim->ReceivedText().size() + sim->SentText().size());
        return bytes * 10 * 1000 / baud;
    }
};

// Connects and disconnects again and again. The floor of one connect is its fixed waits plus
// the line time of every byte of the dialogue; a connect that does not end with the module's
// identity on screen counts as a failure.
void BM_Connect(benchmark::State& state) {
    const int baud = static_cast<int>(state.range(0));
    Bench b(baud);
    double floorMs = 0;
    int failures = 0;
    for (auto _ : state) {
        b.sim->ClearReceived();
        b.dlg->OnOpen(); // connect
        state.PauseTiming();
        floorMs += kConnectWaitsMs + b.LineTimeMs(baud);
        if (b.dlg->m_bPortOpen != 1 || b.dlg->m_strProductName != "KA40" ||
            b.dlg->m_strEuiAddress != "000D6F0000A1B2C3" || b.dlg->m_strFirmwareVersion != "v1.1.0")
            ++failures;
        if (b.dlg->m_bPortOpen == 1)
            b.dlg->OnOpen(); // disconnect
        state.ResumeTiming();
    }
    const double n = static_cast<double>(state.iterations());
    state.counters["floor_ms"] = floorMs / n;
    state.counters["failures"] = failures;
    if (failures > 0)
        state.SkipWithError("a connect failed");
}
BENCHMARK(BM_Connect)
    ->Arg(9600)
    ->Arg(115200)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->Iterations(100);

std::string ThousandParameters() {
    std::ostringstream text;
    // Short entries, so that all of them fit into the 64 KiB that are read of a file.
    for (int i = 0; i < 1000; ++i)
        text << "[G" << i / 40 << "/P" << i << "]10;R= 0;M= 99;d=<Number " << i << ".>;c= S" << i
             << ";\n";
    return text.str();
}

void BM_LoadAndFillTree1000(benchmark::State& state) {
    vireo::test::CScriptedUi ui;
    CManagerDlg dlg;
    dlg.OnInitDialog();
    CConfigPage* page = dlg.m_tabHost.ConfigPage();
    vireo::test::CTempPortDir dir;
    page->m_strConstructDir = dir.Path() + "/";
    std::ofstream(dir.Path() + "/BIG_v1.0.vmcon") << ThousandParameters();
    for (auto _ : state) {
        page->LoadConstructFile(0, "");
        page->LoadConstructFile(1, "BIG_v1.0.vmcon");
    }
    state.counters["items"] = page->Tree()->topLevelItemCount();
}
BENCHMARK(BM_LoadAndFillTree1000)->Unit(benchmark::kMillisecond)->Iterations(20);

void BM_SelectParameterPolls(benchmark::State& state) {
    Bench b(9600);
    b.dlg->OnOpen();
    int polls = 0;
    b.dlg->m_sleep = [&polls](int ms) {
        ++polls;
        std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    };
    QTreeWidget* tree = b.dlg->m_tabHost.ConfigPage()->Tree();
    const auto pan = tree->findItems("PAN ID", Qt::MatchExactly | Qt::MatchRecursive);
    const auto channel = tree->findItems("Channel", Qt::MatchExactly | Qt::MatchRecursive);
    int selections = 0;
    for (auto _ : state) {
        tree->setCurrentItem((selections++ % 2 ? pan : channel).value(0));
    }
    state.counters["polls_per_selection"] = static_cast<double>(polls) / selections;
}
BENCHMARK(BM_SelectParameterPolls)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(20);

long PeakRssKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0)
            return std::stol(line.substr(6));
    return 0;
}

void BM_IdleMainWindowPeakMemory(benchmark::State& state) {
    for (auto _ : state) {
        CManagerDlg dlg;
        dlg.OnInitDialog();
        dlg.show();
        for (int i = 0; i < 50; ++i)
            QApplication::processEvents();
    }
    state.counters["peak_rss_MiB"] = PeakRssKiB() / 1024.0;
}
BENCHMARK(BM_IdleMainWindowPeakMemory)->Iterations(1);

} // namespace
