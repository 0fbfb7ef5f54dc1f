#include "firmware/PortTransferLine.h"
#include "serial/SerialPort.h"

#include <algorithm>
#include <chrono>
#ifdef __linux__
#include <sys/prctl.h>
#endif

using Clock = std::chrono::steady_clock;

namespace {
// A wait on the ring checks for a stop request at least this often.
constexpr auto kStopCheck = std::chrono::milliseconds(20);
} // namespace

int CPortTransferLine::ReadRxByte(int timeoutMs) {
    if (timeoutMs < 1)
        return -1;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    for (;;) {
        uint8_t byte = 0;
        if (m_port.m_rxRing.Get(byte))
            return byte;
        const auto now = Clock::now();
        // A lost line brings nothing more: no need to wait out the time-out.
        if (now >= deadline || m_stop.load() || m_port.IsLost())
            return -1;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now);
        m_port.m_rxRing.WaitForData(std::min<std::chrono::milliseconds>(
            std::max(left, std::chrono::milliseconds(1)), kStopCheck));
    }
}

bool CPortTransferLine::LineLost() {
    return m_port.IsLost();
}

void CPortTransferLine::Write(const uint8_t* bytes, int length) {
    m_port.Write(bytes, length);
}

void CPortTransferLine::TakeArrived(std::string& text) {
    m_port.m_rxRing.TakeAll(text);
}

void CPortTransferLine::Sleep(int ms) {
#ifdef __linux__
    // The 1 ms pause after each acknowledged block would otherwise overrun by the default
    // 50 us timer slack, some 2% of a block's time at 115200 baud.
    static thread_local const bool precise = prctl(PR_SET_TIMERSLACK, 1UL) == 0;
    (void)precise;
#endif
    std::unique_lock<std::mutex> guard(m_lock);
    m_wake.wait_for(guard, std::chrono::milliseconds(ms), [this] { return m_stop.load(); });
}

int64_t CPortTransferLine::NowMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch())
        .count();
}

void CPortTransferLine::RequestStop() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stop.store(true);
    }
    m_wake.notify_all();
}
