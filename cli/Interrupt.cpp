#include "cli/Interrupt.h"
#include "firmware/PortTransferLine.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>

namespace vireo::cli {

namespace {

std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the signal handler needs a lock-free flag");

// How often waits and the watcher look at the flag.
constexpr int kCheckMs = 20;

extern "C" void OnInterruptSignal(int) {
    g_interrupted.store(true);
#ifdef _WIN32
    std::signal(SIGINT, SIG_DFL); // the next Ctrl-C ends the program
#endif
}

} // namespace

void InstallInterruptHandler() {
#ifdef _WIN32
    std::signal(SIGINT, OnInterruptSignal);
#else
    struct sigaction action {};
    action.sa_handler = OnInterruptSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESETHAND; // the next Ctrl-C ends the program
    sigaction(SIGINT, &action, nullptr);
#endif
}

bool Interrupted() {
    return g_interrupted.load();
}

void RequestInterrupt() {
    g_interrupted.store(true);
}

void InterruptibleSleep(int ms) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (!Interrupted()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0)
            return;
        std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(kCheckMs)));
    }
}

CStopOnInterrupt::CStopOnInterrupt(CPortTransferLine& line)
    : m_thread([this, &line] { Watch(line); }) {}

CStopOnInterrupt::~CStopOnInterrupt() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_quit = true;
    }
    m_quitSignal.notify_all();
    m_thread.join();
}

void CStopOnInterrupt::Watch(CPortTransferLine& line) {
    std::unique_lock<std::mutex> guard(m_lock);
    while (!m_quit) {
        if (Interrupted()) {
            line.RequestStop();
            return;
        }
        m_quitSignal.wait_for(guard, std::chrono::milliseconds(kCheckMs));
    }
}

} // namespace vireo::cli
