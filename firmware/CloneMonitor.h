// Watches a clone of the local firmware to a remote module: the modules copy the firmware
// between themselves, and the local one reports progress lines, then a line holding
// "complete" (success) or "ERROR". The monitor looks once a second for at most 180 seconds,
// shows "Cloning." with one more dot per look, and moves the device's bar by one per second.
// It does no I/O of its own: it reads and sleeps through an ITransferLine, so that its rules
// run on fake time.
//
// Threads: Run blocks its caller (a worker thread of the page, or the command line's main
// thread); the view is called on that thread.
#pragma once

#include "firmware/FirmwareTransfer.h"

#include <string>

enum class CloneResult {
    Completed, // the local module reported the clone complete
    Failed,    // the local module reported "ERROR"
    TimedOut,  // no end within the limit
    LineLost,  // the line went away
    Stopped,   // the owner stopped the monitor
};

struct CloneOutcome {
    CloneResult result = CloneResult::Stopped;
    int seconds = 0;   // looks after the first, one second apart
    std::string reply; // everything the module said while watched
};

class CCloneMonitor {
public:
    static constexpr int kLimitSeconds = 180;

    CCloneMonitor(ITransferLine& line, ITransferView& view) : m_line(line), m_view(view) {}

    // Watches until the end of the clone. Bytes that arrived after the start confirmation
    // count: a short clone may be over before the monitor begins.
    CloneOutcome Run();

private:
    ITransferLine& m_line;
    ITransferView& m_view;
};
