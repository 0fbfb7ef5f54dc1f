// The connect sequence against a responsive simulated module at 115200, loading and showing
// 1000 parameters, the polls a parameter selection takes, and the peak memory of the idle
// main window.
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

QApplication* g_app = nullptr;

// Fixed waits of the connect sequence (100 + 200 + 200 ms) and one 10 ms poll for each of
// its ten transactions.
constexpr double kConnectFloorMs = 500 + 10 * 10;

struct Bench {
    vireo::test::CTempPortDir dir;
    std::unique_ptr<vireo::sim::Simulator> sim;
    std::unique_ptr<CManagerDlg> dlg;

    explicit Bench(int baud) {
        vireo::sim::SimConfig config;
        config.baudRate = baud;
        config.remoteCount = 0;
        sim = std::make_unique<vireo::sim::Simulator>(config);
        sim->Start();
        dlg = std::make_unique<CManagerDlg>();
        dlg->OnInitDialog();
        dlg->m_cbBaudRate->setCurrentIndex(dlg->m_cbBaudRate->findText(QString::number(baud)));
    }
};

void BM_Connect(benchmark::State& state) {
    Bench b(115200);
    for (auto _ : state) {
        b.dlg->OnOpen(); // connect
        state.PauseTiming();
        if (b.dlg->m_bPortOpen != 1)
            state.SkipWithError("not connected");
        b.dlg->OnOpen(); // disconnect
        state.ResumeTiming();
    }
    state.counters["floor_ms"] = kConnectFloorMs;
}
BENCHMARK(BM_Connect)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

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

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    g_app = &app;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
