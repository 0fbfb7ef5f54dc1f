// The line as the module sees it: it listens and answers only at its own rate (bytes at
// another rate are noise, answers meanwhile are lost), paces bytes at the line rate in both
// directions when asked to, and mixes the requested faults into its answers (silence after a
// number of bytes, zero bytes, garbage). Input is handed to the dialogue of the current mode.
#include "sim/SimulatorImpl.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

#include "sim/LineRate.h"

namespace vireo::sim {

namespace {

constexpr std::size_t kMaxTxBacklog = 1u << 20;

std::chrono::nanoseconds ByteTime(int rate) {
    if (rate <= 0)
        rate = 9600;
    return std::chrono::nanoseconds(10'000'000'000LL / rate);
}

std::size_t PaceChunk(int rate) {
    return std::max<std::size_t>(1, static_cast<std::size_t>(rate) / 10000);
}

} // namespace

int Simulator::Impl::ModuleRate() const {
    switch (mode) {
    case Mode::Bootloader:
    case Mode::XmodemReceive: return kBootloaderRate;
    default: return cfg.baudRate;
    }
}

int Simulator::Impl::ToolRate() const {
    return slave >= 0 ? ReadLineRate(slave) : 0;
}

void Simulator::Impl::SendRaw(std::string bytes) {
    if (bytes.empty() || master < 0)
        return;
    if (txBacklog + bytes.size() > kMaxTxBacklog)
        return; // nobody reads: the line drops it
    txBacklog += bytes.size();
    int rate = ModuleRate();
    if (!txq.empty() && txq.back().rate == rate && txq.size() > 1)
        txq.back().bytes += bytes;
    else
        txq.push_back({rate, std::move(bytes)});
    lastActivity = Clock::now();
}

// Text answers get the requested zero bytes and garbage mixed in.
void Simulator::Impl::SendText(const std::string& text) {
    if (!faults.zeroBytesInAnswers && !faults.garbageInAnswers) {
        SendRaw(text);
        return;
    }
    std::string out;
    if (faults.garbageInAnswers) {
        for (int i = 0; i < 3; ++i) {
            noise = noise * 1103515245u + 12345u;
            out += static_cast<char>(0x80 + (noise >> 16) % 0x7F);
        }
    }
    for (char c : text) {
        if (faults.zeroBytesInAnswers && c == '\n')
            out += '\0';
        out += c;
    }
    if (faults.zeroBytesInAnswers)
        out += '\0';
    SendRaw(out);
}

void Simulator::Impl::Flush(TimePoint now) {
    txNextDue = TimePoint{};
    while (!txq.empty()) {
        if (master < 0) {
            txq.clear();
            txBacklog = 0;
            break;
        }
        Chunk& c = txq.front();
        if (c.rate != ToolRate() || silenceLeft == 0) {
            // Sent at a rate the tool does not listen at, or muted: lost on the line.
            txBacklog -= c.bytes.size();
            txq.pop_front();
            txPieceLen = 0;
            continue;
        }
        std::size_t len = PieceDue(c, now);
        if (len == 0 || !WritePiece(c, len, now))
            break;
    }
}

// How many bytes of the chunk may go to the line now: all of them, or with pacing the piece
// whose line time has passed, or with a byte gap one byte once the gap after the previous one
// has passed; 0 while nothing is due yet (txNextDue says when).
std::size_t Simulator::Impl::PieceDue(const Chunk& c, TimePoint now) {
    bool gap = cfg.timing.byteGapMs > 0;
    if (gap && now < txGapUntil) {
        txNextDue = txGapUntil;
        return 0;
    }
    std::size_t len = gap ? 1 : c.bytes.size();
    if (cfg.pacing) {
        if (txPieceLen == 0) {
            txPieceLen = std::min(len, PaceChunk(c.rate));
            // A piece that follows the previous one without a pause starts when that one
            // ended, not when this thread woke up: late wake-ups must not stretch the line.
            const auto pieceTime = ByteTime(c.rate) * txPieceLen;
            const TimePoint begin = now - txFree < pieceTime ? txFree : now;
            txPieceDue = begin + pieceTime;
        }
        if (now < txPieceDue) {
            txNextDue = txPieceDue;
            return 0;
        }
        len = txPieceLen;
    }
    if (silenceLeft > 0)
        len = std::min<std::size_t>(len, static_cast<std::size_t>(silenceLeft));
    return len;
}

// Writes len bytes of the chunk at the head of the queue; false when the line takes no more
// for now.
bool Simulator::Impl::WritePiece(Chunk& c, std::size_t len, TimePoint now) {
    ssize_t n = write(master, c.bytes.data(), len);
    if (n < 0) {
        if (errno == EAGAIN || errno == EWOULDBLOCK)
            txBlocked = true;
        else {
            txq.clear();
            txBacklog = 0;
            txPieceLen = 0;
        }
        return false;
    }
    auto w = static_cast<std::size_t>(n);
    if (w > 0 && cfg.timing.byteGapMs > 0)
        txGapUntil = Clock::now() + milliseconds(cfg.timing.byteGapMs);
    Record(std::string_view(c.bytes).substr(0, w), false, now);
    if (silenceLeft > 0)
        silenceLeft -= static_cast<long>(w);
    txBacklog -= w;
    c.bytes.erase(0, w);
    if (cfg.pacing) {
        txPieceLen -= std::min(txPieceLen, w);
        if (txPieceLen == 0)
            txFree = txPieceDue;
    }
    if (c.bytes.empty())
        txq.pop_front();
    if (w < len) {
        txBlocked = true;
        return false;
    }
    return true;
}

void Simulator::Impl::ProcessInput(std::string_view bytes, TimePoint now) {
    if (master < 0 || bytes.empty())
        return;
    if (ToolRate() != ModuleRate())
        return; // noise at a foreign rate
    lastActivity = now;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        char c = bytes[i];
        switch (mode) {
        case Mode::Command: CommandByte(c, now); break;
        case Mode::Data: EscapeByte(c, now); break;
        case Mode::Sleeping: SleepingByte(c, now); break;
        case Mode::Bootloader: BootloaderByte(c, now); break;
        case Mode::XmodemReceive:
        case Mode::RemoteUpload:
            FeedReceiver(bytes.substr(i), now);
            i = bytes.size();
            break;
        case Mode::Restarting:
        case Mode::HungUp:
        case Mode::Stopped: break;
        }
        if (mode == Mode::Command && now < lostUntil)
            break; // still waking up
        lastRx = now;
    }
    FlushEcho();
    if (mode == Mode::Command)
        ArmSleep();
}

void Simulator::Impl::ReadMaster(TimePoint now) {
    char buf[65536];
    std::size_t want = cfg.pacing ? PaceChunk(ToolRate()) : sizeof buf;
    ssize_t n = read(master, buf, want);
    if (n <= 0) {
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            return;
        rxPauseUntil = now + milliseconds(20); // no reader on the slave side
        return;
    }
    std::string_view bytes(buf, static_cast<std::size_t>(n));
    Record(bytes, true, now);
    if (!cfg.pacing) {
        ProcessInput(bytes, now);
        return;
    }
    // The bytes come in one after another at the line rate. When the previous read left
    // bytes waiting, these follow them on the line without a gap, however late this
    // thread got to them (a UART keeps receiving while its owner is busy). The first
    // bytes of a new burst began a little before we saw them (the wake-up of this
    // thread): credit that much.
    bool continuous = rxMore && now - rxFree < milliseconds(20);
    TimePoint begin = continuous ? rxFree : std::max(rxFree, now - std::chrono::microseconds(200));
    rxMore = static_cast<std::size_t>(n) == want;
    rxFree = begin + ByteTime(ToolRate()) * bytes.size();
    rxHeld.assign(bytes);
    rxDue = rxFree;
}

} // namespace vireo::sim
