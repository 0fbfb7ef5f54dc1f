// Ctrl-C for the command line. The signal handler only sets a flag; everything else reads
// it: the dialogue's waits end early, messages shown after the interruption are not printed
// (they only describe its consequences), and a running firmware transfer is asked to stop by
// a small watcher thread (the transfer's stop request takes a lock, which a signal handler
// must not do). A second Ctrl-C ends the program at once.
#pragma once

#include <condition_variable>
#include <mutex>
#include <thread>

class CPortTransferLine;

namespace vireo::cli {

// Installs the SIGINT handler (once per process).
void InstallInterruptHandler();
// True once Ctrl-C was pressed (or RequestInterrupt was called). Any thread.
bool Interrupted();
void RequestInterrupt();
// Sleeps ms milliseconds, less when an interruption comes meanwhile.
void InterruptibleSleep(int ms);

// While it lives, an interruption makes line.RequestStop() be called from a thread of its own.
class CStopOnInterrupt {
public:
    explicit CStopOnInterrupt(CPortTransferLine& line);
    ~CStopOnInterrupt();
    CStopOnInterrupt(const CStopOnInterrupt&) = delete;
    CStopOnInterrupt& operator=(const CStopOnInterrupt&) = delete;

private:
    void Watch(CPortTransferLine& line);

    std::mutex m_lock;
    std::condition_variable m_quitSignal;
    bool m_quit = false;
    std::thread m_thread;
};

} // namespace vireo::cli
