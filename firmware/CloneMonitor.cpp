#include "firmware/CloneMonitor.h"

#include <algorithm>

namespace {
constexpr int kLookIntervalMs = 1000;
} // namespace

CloneOutcome CCloneMonitor::Run() {
    CloneOutcome outcome;
    std::string text = "Cloning.";
    for (;;) {
        m_view.SetProgress(std::min(outcome.seconds, 100));
        m_view.SetStatus(text);
        text += ".";
        m_line.TakeArrived(outcome.reply);
        if (outcome.reply.find("omplete") != std::string::npos) {
            outcome.result = CloneResult::Completed;
            return outcome;
        }
        if (outcome.reply.find("ERROR") != std::string::npos) {
            outcome.result = CloneResult::Failed;
            return outcome;
        }
        if (m_line.LineLost()) {
            outcome.result = CloneResult::LineLost;
            return outcome;
        }
        m_line.Sleep(kLookIntervalMs);
        if (m_line.StopRequested()) {
            outcome.result = CloneResult::Stopped;
            return outcome;
        }
        if (++outcome.seconds >= kLimitSeconds) {
            outcome.result = CloneResult::TimedOut;
            return outcome;
        }
    }
}
