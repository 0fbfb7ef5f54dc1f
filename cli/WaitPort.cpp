#include "cli/WaitPort.h"
#include "app/ManagerCore.h"
#include "cli/Connection.h"
#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "cli/PortOpenReport.h"
#include "platform/PortMap.h"
#include "platform/UiServices.h"
#include "serial/SerialPort.h"

#include <chrono>
#include <cstdio>
#include <tuple>
#include <vector>

namespace vireo::cli {

namespace {

using Clock = std::chrono::steady_clock;

enum class WaitState { None, Absent, Refused, Silent };

// Says on standard error what the wait is for, once per change rather than once per poll.
class CWaitNotice {
public:
    explicit CWaitNotice(std::string port) : m_port(std::move(port)) {}

    void Show(WaitState state, const PortOpenFailure& failure = {}) {
        if (state == m_state && failure.cause == m_cause)
            return;
        m_state = state;
        m_cause = failure.cause;
        if (state == WaitState::Absent)
            PrintError("Waiting for " + m_port + " to appear...");
        else if (state == WaitState::Refused)
            PrintError("Waiting for " + m_port + " to open (" + PortOpenDetail(failure) + ")...");
        else if (state == WaitState::Silent)
            PrintError("Waiting for the module on " + m_port + " to answer...");
    }
    bool Waited() const { return m_state != WaitState::None; }

private:
    std::string m_port;
    WaitState m_state = WaitState::None;
    PortOpenCause m_cause = PortOpenCause::None;
};

// Stands in for the console while an attempt may still be tried again: keeps its message
// boxes for later, passes questions (which end the wait) and everything else on.
class CHeldMessagesUi final : public IUiServices {
public:
    // Installed for the calling thread only: other ports' threads keep their consoles.
    CHeldMessagesUi() : m_previous(ThreadUiServices()), m_next(InstalledUiServices()) {
        InstallThreadUiServices(this);
    }
    ~CHeldMessagesUi() override { InstallThreadUiServices(m_previous); }
    CHeldMessagesUi(const CHeldMessagesUi&) = delete;
    CHeldMessagesUi& operator=(const CHeldMessagesUi&) = delete;

    MsgAnswer MessageBox(const std::string& text, const std::string& caption, MsgButtons buttons,
                         MsgIcon icon) override {
        if (buttons == MsgButtons::YesNo)
            return m_next->MessageBox(text, caption, buttons, icon);
        m_held.emplace_back(text, caption, icon);
        return MsgAnswer::Ok;
    }
    std::string GetOpenFileName(const FileDialogOptions& o) override {
        return m_next->GetOpenFileName(o);
    }
    std::string GetSaveFileName(const FileDialogOptions& o) override {
        return m_next->GetSaveFileName(o);
    }
    void BeginWaitCursor() override { m_next->BeginWaitCursor(); }
    void EndWaitCursor() override { m_next->EndWaitCursor(); }
    void ShellOpen(const std::string& pathOrUrl) override { m_next->ShellOpen(pathOrUrl); }

    // Shows the held messages on the console after all.
    void Release() {
        for (const auto& [text, caption, icon] : m_held)
            m_next->MessageBox(text, caption, MsgButtons::Ok, icon);
        m_held.clear();
    }

private:
    IUiServices* m_previous;
    IUiServices* m_next;
    std::vector<std::tuple<std::string, std::string, MsgIcon>> m_held;
};

void SayTimeUp(const CliOptions& options) {
    PrintError("Stopped waiting for " + PortName(options.port) + " after " +
               std::to_string(options.waitPortSeconds) + " s.");
}

// One connect attempt with its messages held; true when it is final (connected, the module
// answered from its bootloader, Ctrl-C, or the time is up), and then they have been shown.
bool TryConnect(CManagerCore& manager, const CliOptions& options, int defaultBaudRate,
                Clock::time_point deadline, CWaitNotice& notice) {
    CHeldMessagesUi held;
    StartConnect(manager, options, defaultBaudRate);
    const bool lastChance = Clock::now() >= deadline;
    const ConnectResult result = manager.m_connectResult;
    const bool final =
        manager.m_bPortOpen == 1 || result == ConnectResult::StaysInBootloader || Interrupted();
    if (!final && !lastChance) {
        if (result == ConnectResult::PortNotOpened)
            notice.Show(WaitState::Refused, manager.m_serial.OpenFailure());
        else
            notice.Show(WaitState::Silent);
        return false;
    }
    if (!final)
        SayTimeUp(options);
    held.Release();
    return true;
}

} // namespace

std::string ParseWaitPortSeconds(const std::string& value, int& seconds) {
    const std::string limits = "--wait-port takes whole seconds from 0 to " +
                               std::to_string(kMaxWaitPortSeconds) + ", not '" + value + "'";
    if (value.empty() || value.size() > 9)
        return limits;
    long long n = 0;
    for (char c : value) {
        if (c < '0' || c > '9')
            return limits;
        n = n * 10 + (c - '0');
    }
    if (n > kMaxWaitPortSeconds)
        return limits;
    seconds = static_cast<int>(n);
    return "";
}

int ConnectWhenReady(CManagerCore& manager, const CliOptions& options, int defaultBaudRate) {
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(options.waitPortSeconds);
    CWaitNotice notice(PortName(options.port));
    while (!Interrupted()) {
        if (!PortDevicePath(options.port).empty()) {
            if (TryConnect(manager, options, defaultBaudRate, deadline, notice))
                break;
        } else if (Clock::now() < deadline) {
            notice.Show(WaitState::Absent);
        } else {
            // Tried once more without holding anything back: the failure says why.
            SayTimeUp(options);
            StartConnect(manager, options, defaultBaudRate);
            break;
        }
        InterruptibleSleep(kWaitPollMs);
    }
    return ConnectOutcome(manager, options);
}

int OpenVerbPort(CSerialPort& port, const CliOptions& options, int baudRate, int flowControl) {
    const Clock::time_point deadline = Clock::now() + std::chrono::seconds(options.waitPortSeconds);
    CWaitNotice notice(PortName(options.port));
    for (;;) {
        if (port.Open(options.port, baudRate, 0, 8, 0, flowControl) == 1)
            return kExitOk;
        if (Interrupted()) {
            PrintError("Interrupted.");
            return kExitInterrupted;
        }
        if (Clock::now() >= deadline) {
            if (notice.Waited())
                SayTimeUp(options);
            return ReportPortOpenFailure(port, options);
        }
        const PortOpenFailure failure = port.OpenFailure();
        if (failure.cause == PortOpenCause::NoSuchDevice)
            notice.Show(WaitState::Absent);
        else
            notice.Show(WaitState::Refused, failure);
        InterruptibleSleep(kWaitPollMs);
    }
}

} // namespace vireo::cli
