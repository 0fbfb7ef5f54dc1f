// The simulator's I/O thread: the pty and its port registration, the loop that runs what is
// due (timers, the receiver's deadlines, input held back by pacing, output) and then waits on
// the line and the wake-up pipe, hang-up, and closing everything.
#include "sim/SimulatorImpl.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "platform/PortMap.h"
#include "sim/LineRate.h"

namespace vireo::sim {

namespace {

// The ppoll time-out until next: nullptr (no time-out) when nothing is due.
timespec* PollTimeout(TimePoint next, timespec* ts) {
    if (next == TimePoint::max())
        return nullptr;
    auto d = std::max(next - Clock::now(), Clock::duration::zero());
    auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
    ts->tv_sec = static_cast<time_t>(ns / 1'000'000'000);
    ts->tv_nsec = static_cast<long>(ns % 1'000'000'000);
    return ts;
}

} // namespace

void Simulator::Impl::Wake() {
    if (wake[1] >= 0) {
        char c = 1;
        [[maybe_unused]] auto r = write(wake[1], &c, 1);
    }
}

std::uint64_t Simulator::Impl::AddTimer(TimePoint at, std::function<void()> fn) {
    std::uint64_t id = nextTimerId++;
    timers.emplace(at, Timer{id, std::move(fn)});
    return id;
}

std::uint64_t Simulator::Impl::After(int ms, std::function<void()> fn) {
    return AddTimer(Clock::now() + milliseconds(std::max(0, ms)), std::move(fn));
}

void Simulator::Impl::CancelTimer(std::uint64_t& id) {
    if (id == 0)
        return;
    for (auto it = timers.begin(); it != timers.end(); ++it)
        if (it->second.id == id) {
            timers.erase(it);
            break;
        }
    id = 0;
}

void Simulator::Impl::RunTimers(TimePoint now) {
    while (!timers.empty() && timers.begin()->first <= now && !stopping) {
        auto fn = std::move(timers.begin()->second.fn);
        timers.erase(timers.begin());
        fn();
    }
}

// Opens the pty master and our own descriptor of its slave, and the wake-up pipe.
bool Simulator::Impl::OpenLine(std::string* why) {
    master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return Refuse(why, std::string("cannot open a pseudo-terminal: ") + std::strerror(errno));
    char name[256];
    if (ptsname_r(master, name, sizeof name) != 0)
        return Refuse(why, "cannot name the pseudo-terminal slave");
    slavePath = name;
    // Our own slave descriptor: the master never sees a hang-up while the tool has the port
    // closed, and the tool's line settings can be read through it.
    slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (slave < 0)
        return Refuse(why, "cannot open " + slavePath + ": " + std::strerror(errno));
    if (!SetRawLineRate(slave, cfg.damaged ? kBootloaderRate : cfg.baudRate))
        return Refuse(why, "cannot set the line settings of " + slavePath);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);
    if (pipe2(wake, O_NONBLOCK | O_CLOEXEC) != 0)
        return Refuse(why, "cannot create the wake-up pipe");
    return true;
}

bool Simulator::Impl::RegisterLine(std::string* why) {
    if (!cfg.registerPort)
        return true;
    std::string dir = cfg.portDir.empty() ? vireo::PortDirectory() : cfg.portDir;
    if (!RegisterPort(dir, cfg.comNumber, slavePath, &reg, why))
        return false;
    if (!reg.notice.empty())
        std::fprintf(stderr, "vireo-sim: %s", reg.notice.c_str());
    return true;
}

void Simulator::Impl::DoHangUp() {
    hangUpRequested = false;
    if (master >= 0)
        close(master);
    if (slave >= 0)
        close(slave);
    master = slave = -1;
    rx.reset();
    txq.clear();
    txBacklog = 0;
    rxHeld.clear();
    mode = Mode::HungUp;
    cv.notify_all();
}

void Simulator::Impl::Loop() {
    std::unique_lock lk(mu);
    while (!stopping) {
        TimePoint now = Clock::now();
        RunDue(now);
        cv.notify_all();
        WaitForLine(lk, now);
    }
}

// Everything that is due now: a requested hang-up, timers, the receiver's deadlines, input
// held back by pacing, and output.
void Simulator::Impl::RunDue(TimePoint now) {
    if (hangUpRequested)
        DoHangUp();
    RunTimers(now);
    TickReceiver(now);
    if (!rxHeld.empty() && now >= rxDue) {
        std::string held;
        held.swap(rxHeld);
        ProcessInput(held, now);
    }
    Flush(now);
}

// When the loop has to run again even if the line stays quiet.
TimePoint Simulator::Impl::NextDue() const {
    TimePoint next = TimePoint::max();
    if (!timers.empty())
        next = std::min(next, timers.begin()->first);
    if (rx)
        if (auto d = rx->NextDeadline())
            next = std::min(next, *d);
    if (!rxHeld.empty())
        next = std::min(next, rxDue);
    if (txNextDue != TimePoint{})
        next = std::min(next, txNextDue);
    return next;
}

// Waits without the lock until the line can be read or written, the wake-up pipe signals or
// the next due time comes; then reads what the tool sent.
void Simulator::Impl::WaitForLine(std::unique_lock<std::mutex>& lk, TimePoint now) {
    TimePoint next = NextDue();
    bool readable = master >= 0 && rxHeld.empty();
    if (readable && now < rxPauseUntil) {
        readable = false;
        next = std::min(next, rxPauseUntil);
    }
    pollfd fds[2] = {{wake[0], POLLIN, 0}, {master, 0, 0}};
    if (readable)
        fds[1].events |= POLLIN;
    if (master >= 0 && txBlocked && !txq.empty())
        fds[1].events |= POLLOUT;
    nfds_t nfds = fds[1].events ? 2 : 1;
    timespec ts{};
    lk.unlock();
    int r = ppoll(fds, nfds, PollTimeout(next, &ts), nullptr);
    lk.lock();
    if (r <= 0)
        return;
    if (fds[0].revents) {
        char drain[64];
        while (read(wake[0], drain, sizeof drain) > 0) {
        }
    }
    if (nfds == 2 && master >= 0) {
        if (fds[1].revents & (POLLOUT | POLLERR | POLLHUP))
            txBlocked = false;
        if ((fds[1].events & POLLIN) && (fds[1].revents & (POLLIN | POLLHUP | POLLERR)))
            ReadMaster(Clock::now());
    }
}

void Simulator::Impl::CloseAll() {
    if (master >= 0)
        close(master);
    if (slave >= 0)
        close(slave);
    for (int& fd : wake)
        if (fd >= 0)
            close(fd);
    master = slave = wake[0] = wake[1] = -1;
    UnregisterPort(&reg);
    if (logFile)
        std::fclose(logFile);
    logFile = nullptr;
}

} // namespace vireo::sim
