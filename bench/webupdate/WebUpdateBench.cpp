// Figures of the web update, against an HTTP server on the loopback interface that runs in a
// child process (so that its CPU does not count as ours):
//
//  - CoreDownload: the download run (libcurl, 1024-byte chunks, temporary file and rename)
//    of a 64 MiB file, in bytes per second.
//  - CurlTool: the curl program fetching the same file from the same server into a file
//    (`curl -s -o`), the yardstick: CoreDownload should reach at least 0.9 of it.
//  - Dialog: the "Web update" dialog (offscreen) downloading the same file through its
//    worker, from the Configs index to its self-close; cpu_share is the process's CPU time
//    (GUI thread and worker) over the wall time, gui_cpu_share the GUI thread's alone.
//
//   build/bin/webupdate_bench --benchmark_repetitions=5 --benchmark_report_aggregates_only=true
#include "tests/support/HttpTestServer.h"
#include "webupdate/DownloadRun.h"
#include "webupdate/UpdateServer.h"
#include "webupdate/WebUpdateDlg.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <random>
#include <sys/resource.h>
#include <unistd.h>

namespace {

constexpr size_t kFileSize = 64u << 20;
int g_port = 0;
std::string g_dir;

std::string Base() {
    return "http://127.0.0.1:" + std::to_string(g_port) + vireo::kUpdateBasePath;
}

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

double ThreadCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

class CSilentView final : public vireo::IDownloadView {
public:
    void ShowFile(const std::string&, const std::string&) override {}
    void ShowMessage(const std::string&) override {}
    void SetProgressRange(int) override {}
    void SetProgressPos(int) override {}
    void Report(const std::string& text) override { std::fprintf(stderr, "%s\n", text.c_str()); }
};

void BM_CoreDownload(benchmark::State& state) {
    CSilentView view;
    const std::atomic<bool> stop{false};
    for (auto _ : state) {
        const auto summary =
            vireo::RunDownloads(Base(), {{"big.ebl", g_dir + "/core.ebl"}}, view, stop);
        if (summary.stored != 1)
            state.SkipWithError("download failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}
BENCHMARK(BM_CoreDownload)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

void BM_CurlTool(benchmark::State& state) {
    const std::string command = "curl -s -f -o '" + g_dir + "/curl.ebl' '" + Base() + "big.ebl'";
    for (auto _ : state) {
        if (std::system(command.c_str()) != 0)
            state.SkipWithError("curl failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
}
BENCHMARK(BM_CurlTool)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(10);

void BM_Dialog(benchmark::State& state) {
    double cpu = 0, gui = 0, wall = 0;
    for (auto _ : state) {
        const double cpu0 = ProcessCpuSeconds(), gui0 = ThreadCpuSeconds();
        const auto t0 = std::chrono::steady_clock::now();
        CWebUpdateDlg dlg;
        dlg.UpdateManager(g_dir + "/");
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
        cpu += ProcessCpuSeconds() - cpu0;
        gui += ThreadCpuSeconds() - gui0;
        if (dlg.m_summary.stored != 1)
            state.SkipWithError("download failed");
    }
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * kFileSize));
    state.counters["cpu_share"] = cpu / wall;
    state.counters["gui_cpu_share"] = gui / wall;
}
BENCHMARK(BM_Dialog)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

// The server process: serves the index and the file until it is killed; says its port on fd.
[[noreturn]] void Serve(int fd) {
    vireo::test::CHttpTestServer server;
    std::string body(kFileSize, '\0');
    std::mt19937 random(1);
    for (char& c : body)
        c = static_cast<char>(random());
    server.SetFile("big.ebl", {200, std::move(body)});
    server.SetFile("Configs", {200, "TOLK\nbig.ebl\n"});
    const int port = server.Port();
    (void)!write(fd, &port, sizeof(port));
    for (;;)
        pause();
}

} // namespace

int main(int argc, char** argv) {
    int fds[2];
    if (pipe(fds) != 0)
        return 1;
    const pid_t child = fork();
    if (child == 0)
        Serve(fds[1]);
    if (read(fds[0], &g_port, sizeof(g_port)) != sizeof(g_port))
        return 1;
    char pattern[] = "/tmp/vireo-webupdate-bench-XXXXXX";
    g_dir = mkdtemp(pattern);
    setenv("VIREO_UPDATE_HOST", ("127.0.0.1:" + std::to_string(g_port)).c_str(), 1);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int status = 0;
    {
        QApplication app(argc, argv);
        benchmark::Initialize(&argc, argv);
        benchmark::RunSpecifiedBenchmarks();
        benchmark::Shutdown();
    }
    kill(child, SIGTERM);
    std::filesystem::remove_all(g_dir);
    return status;
}
