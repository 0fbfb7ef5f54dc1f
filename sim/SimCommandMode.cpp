// Command and data mode of the local module: command lines with echo, lines queued while a
// command is still running, the "+++" escape with guard times in data mode and at the start
// of a command line, and restarts that end in the start banner.
#include "sim/SimulatorImpl.h"

namespace vireo::sim {

namespace {

constexpr std::size_t kMaxLine = 200;       // longer command lines are answered with ERROR
constexpr std::size_t kMaxQueuedLines = 16; // lines received while a command is still running

} // namespace

void Simulator::Impl::FlushEcho() {
    if (!echoOut.empty()) {
        SendRaw(echoOut);
        echoOut.clear();
    }
}

std::string Simulator::Impl::Banner() const {
    return "\r\nVireo " + local.product + " " + local.version + " ready\r\nOK\r\n";
}

void Simulator::Impl::Done() {
    busy = false;
    while (!busy && !queued.empty() && mode == Mode::Command) {
        std::string next = std::move(queued.front());
        queued.pop_front();
        Execute(next, false);
    }
}

void Simulator::Impl::Restart() {
    mode = Mode::Restarting;
    After(cfg.timing.restartMs, [this] {
        if (mode != Mode::Restarting)
            return;
        // The power-up settings of the parameter store decide echo and data mode.
        echo = local.store.Read("ATS16").value_or("1") != "0";
        mode = Mode::Command;
        line.clear();
        SendText(Banner());
        if (local.store.Read("ATS50").value_or("0") == "1")
            mode = Mode::Data;
        ArmSleep();
    });
}

// "+++" with silence before and after, in data mode and at the start of a command line.
void Simulator::Impl::EscapeByte(char c, TimePoint now) {
    if (c == '+' && (mode == Mode::Data || line.size() == static_cast<std::size_t>(plusCount))) {
        if (plusCount == 0)
            plusGuardOk = now - lastRx >= milliseconds(cfg.timing.guardTimeMs);
        ++plusCount;
        CancelTimer(escapeTimer);
        if (plusGuardOk && plusCount == 3) {
            escapeTimer = After(cfg.timing.guardTimeMs, [this] {
                escapeTimer = 0;
                plusCount = 0;
                if (mode != Mode::Data && mode != Mode::Command)
                    return;
                FlushEcho();
                mode = Mode::Command;
                line.clear();
                commands.push_back("+++");
                SendText(kOk);
                ArmSleep();
            });
        }
    } else {
        plusCount = 0;
        CancelTimer(escapeTimer);
    }
}

void Simulator::Impl::CommandByte(char c, TimePoint now) {
    EscapeByte(c, now);
    if (echo && c != '\0')
        echoOut += c;
    auto u = static_cast<unsigned char>(c);
    if (c == '\r' || c == '\n') {
        if (line.empty() && !lineBad && !lineLong)
            return;
        std::string text = std::move(line);
        bool bad = lineBad || lineLong;
        line.clear();
        lineBad = lineLong = false;
        FlushEcho();
        if (busy) {
            if (queued.size() < kMaxQueuedLines)
                queued.push_back(text);
            return;
        }
        Execute(text, bad);
    } else if (c == 0x08 || c == 0x7F) {
        if (!line.empty())
            line.pop_back();
    } else if (u < 0x20) {
        // other control bytes are noise
    } else if (u >= 0x80) {
        lineBad = true;
    } else if (line.size() >= kMaxLine) {
        lineLong = true;
    } else {
        line += c;
    }
}

} // namespace vireo::sim
