// Round trip of one AT transaction over a pty against a peer that answers at once, the time a
// byte written at the pty master takes to reach the receive ring, and the cost of judging a
// reply that a flooding module never ends.
#include "serial/DeviceLink.h"
#include "tests/support/PtyPeer.h"

#include <benchmark/benchmark.h>

#include <chrono>

namespace {

void BM_TransactionRoundTrip(benchmark::State& state) {
    vireo::test::CTempPortDir dir;
    vireo::test::CPtyPeer peer(1);
    peer.SetResponder([](const std::string&) { return std::string("\r\nOK\r\n"); });
    CDeviceLink link;
    if (link.m_serial.Open(1, 115200, 0, 8, 0, 10) != 1) {
        state.SkipWithError("cannot open the pty");
        return;
    }
    link.m_bPortOpen = 1;
    for (auto _ : state)
        benchmark::DoNotOptimize(link.SendCommand("AT\r\n", 1));
    state.counters["floor_ms"] = 10;
}
BENCHMARK(BM_TransactionRoundTrip)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(50);

void BM_ReaderLatency(benchmark::State& state) {
    vireo::test::CTempPortDir dir;
    vireo::test::CPtyPeer peer(1);
    CSerialPort port;
    if (port.Open(1, 115200, 0, 8, 0, 10) != 1) {
        state.SkipWithError("cannot open the pty");
        return;
    }
    for (auto _ : state) {
        port.m_rxRing.Clear();
        const auto start = std::chrono::steady_clock::now();
        peer.Send("x");
        while (!port.m_rxRing.WaitForData(std::chrono::milliseconds(100))) {
        }
        state.SetIterationTime(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
}
BENCHMARK(BM_ReaderLatency)->Unit(benchmark::kMicrosecond)->UseManualTime()->Iterations(1000);

// A module floods 4096 letters "O" into every poll of a transaction of N seconds and never
// answers; the polls themselves do not sleep, so what is measured is the work of taking and
// judging the reply. It should grow with the reply, not with its square.
void BM_FloodedTransaction(benchmark::State& state) {
    CDeviceLink link;
    link.m_bPortOpen = 1;
    const std::string flood(4096, 'O');
    link.m_sleep = [&link, &flood](int) {
        link.m_serial.m_rxRing.PutBurst(reinterpret_cast<const uint8_t*>(flood.data()),
                                        flood.size());
    };
    for (auto _ : state)
        benchmark::DoNotOptimize(link.SendCommand("AT\r\n", static_cast<int>(state.range(0))));
    state.counters["reply_bytes"] = static_cast<double>(link.m_strReply.size());
}
BENCHMARK(BM_FloodedTransaction)
    ->Arg(1)
    ->Arg(5)
    ->Arg(15)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

} // namespace

BENCHMARK_MAIN();
