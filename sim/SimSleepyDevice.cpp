// A sleepy end device: it falls asleep after a quiet time, loses the bytes that arrive while it
// sleeps, and wakes up on a lone LF.
#include "sim/SimulatorImpl.h"

#include <algorithm>

namespace vireo::sim {

void Simulator::Impl::ArmSleep() {
    if (local.nodeType != "4" || sleepTimer != 0)
        return;
    sleepTimer =
        AddTimer(lastActivity + milliseconds(cfg.timing.sleepAfterMs), [this] { SleepCheck(); });
}

void Simulator::Impl::SleepCheck() {
    sleepTimer = 0;
    if (local.nodeType != "4")
        return;
    TimePoint due = lastActivity + milliseconds(cfg.timing.sleepAfterMs);
    if (mode == Mode::Command && !busy && txq.empty() && Clock::now() >= due) {
        mode = Mode::Sleeping;
        line.clear();
        return;
    }
    sleepTimer = AddTimer(std::max(due, Clock::now() + milliseconds(10)), [this] { SleepCheck(); });
}

// A lone LF wakes the device up; bytes that follow it too soon are still lost.
void Simulator::Impl::SleepingByte(char c, TimePoint now) {
    if (c != '\n')
        return;
    mode = Mode::Command;
    lostUntil = now + milliseconds(cfg.timing.wakeUpMs);
    ArmSleep();
}

} // namespace vireo::sim
