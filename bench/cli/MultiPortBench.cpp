// Figure of the command line on many modules.
//
//  - FlashEightAgainstOne: `vireo flash` of a 256 KiB image (2048 blocks) at 115200 baud into
//    one paced simulated module (vireo-sim, a process each, as on a bench), then into eight
//    at once (--port COM1,...,COM8). Reported: both wall times from start to exit and their
//    ratio (parallel_ratio, goal at most 1.1 on 2 cores), and the CPU seconds that vireo and
//    the eight simulators used meanwhile (vireo_cpu_s, sims_cpu_s: what competes for the
//    cores).
//
//   build/bin/multiport_bench
#include "sim/FirmwareImage.h"

#include <benchmark/benchmark.h>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;

constexpr int kModules = 8;

std::string ProgramDir() {
    return std::filesystem::canonical("/proc/self/exe").parent_path().string() + "/";
}

double CpuSeconds(const rusage& u) {
    return u.ru_utime.tv_sec + u.ru_stime.tv_sec + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

pid_t Spawn(const std::vector<std::string>& args) {
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        dup2(null, 2);
        std::vector<char*> argv;
        for (const std::string& arg : args)
            argv.push_back(const_cast<char*>(arg.c_str()));
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    return pid;
}

struct Run {
    double wall = -1; // seconds; -1 when the command failed
    double cpu = 0;
};

Run RunVireo(const std::string& ports, const std::string& image) {
    const auto start = std::chrono::steady_clock::now();
    const pid_t pid = Spawn({ProgramDir() + "vireo", "flash", "--port", ports, image});
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Run run;
    run.cpu = CpuSeconds(usage);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        run.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return run;
}

std::string WriteImage(const std::string& dir) {
    const std::string file = dir + "/image.ebl";
    std::string payload(256 * 1024 - vireo::sim::kImageHeaderSize, '\0');
    for (size_t i = 0; i < payload.size(); ++i)
        payload[i] = static_cast<char>((i * 2654435761u) >> 13);
    std::ofstream(file, std::ios::binary) << vireo::sim::BuildImage("KA40", "v1.2.0", payload);
    return file;
}

std::vector<pid_t> StartModules(const std::string& portDir) {
    std::vector<pid_t> sims;
    for (int n = 1; n <= kModules; ++n) {
        sims.push_back(Spawn({ProgramDir() + "vireo-sim", "--com", std::to_string(n), "--baud",
                              "115200", "--pacing", "--remotes", "0", "--port-dir", portDir,
                              "--data-dir", ProgramDir()}));
    }
    for (int n = 1; n <= kModules; ++n) {
        const std::string entry = portDir + "/COM" + std::to_string(n);
        for (int i = 0; i < 500 && !std::filesystem::exists(entry); ++i)
            std::this_thread::sleep_for(10ms);
    }
    return sims;
}

// Ends the simulators; the CPU seconds they used.
double StopModules(const std::vector<pid_t>& sims) {
    double cpu = 0;
    for (pid_t pid : sims) {
        kill(pid, SIGTERM);
        int status = 0;
        rusage usage{};
        wait4(pid, &status, 0, &usage);
        cpu += CpuSeconds(usage);
    }
    return cpu;
}

void FlashEightAgainstOne(benchmark::State& state) {
    char tmpl[] = "/tmp/vireo-multiport-bench-XXXXXX";
    const std::string dir = mkdtemp(tmpl) ? tmpl : "/tmp";
    setenv("VIREO_PORT_DIR", dir.c_str(), 1);
    setenv("VIREO_REGISTERED_PORTS_ONLY", "1", 1);
    const std::string image = WriteImage(dir);
    std::string all = "COM1";
    for (int n = 2; n <= kModules; ++n)
        all += ",COM" + std::to_string(n);
    for (auto _ : state) {
        const std::vector<pid_t> sims = StartModules(dir);
        const Run one = RunVireo("COM1", image);
        const Run eight = RunVireo(all, image);
        const double simsCpu = StopModules(sims);
        if (one.wall <= 0 || eight.wall <= 0) {
            state.SkipWithError("a flash failed");
            return;
        }
        state.SetIterationTime(eight.wall);
        state.counters["one_s"] = one.wall;
        state.counters["eight_s"] = eight.wall;
        state.counters["parallel_ratio"] = eight.wall / one.wall;
        state.counters["vireo_cpu_one_s"] = one.cpu;
        state.counters["vireo_cpu_eight_s"] = eight.cpu;
        state.counters["sims_cpu_s"] = simsCpu;
    }
    std::filesystem::remove_all(dir);
}
BENCHMARK(FlashEightAgainstOne)->Iterations(1)->UseManualTime()->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
