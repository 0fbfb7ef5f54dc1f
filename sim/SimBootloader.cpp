// The bootloader of the local module: the menu at 115200 ("1" upload, "2" run application),
// the XMODEM-CRC receiver for local and relayed uploads with the faults asked for per block,
// and the end of a local upload (new firmware, or a damaged module that stays here).
#include "sim/SimulatorImpl.h"

#include <algorithm>

#include "sim/FirmwareImage.h"

namespace vireo::sim {

namespace {

constexpr char kEot = 0x04;

const char* const kMenu = "\r\nVireo bootloader 2.1\r\n"
                          "1. upload image\r\n"
                          "2. run application\r\n"
                          "BL > ";

} // namespace

void Simulator::Impl::EnterBootloaderMenu() {
    mode = Mode::Bootloader;
    line.clear();
    queued.clear();
    busy = false;
}

XmodemReceiver::Verdict Simulator::Impl::BlockVerdict(int ordinal) {
    auto take = [ordinal](std::map<int, int>& m) {
        auto it = m.find(ordinal);
        if (it == m.end() || it->second <= 0)
            return false;
        --it->second;
        return true;
    };
    if (faults.hangUpAtBlock == ordinal) {
        faults.hangUpAtBlock = 0;
        return XmodemReceiver::Verdict::HangUp;
    }
    if (take(faults.nakBlocks))
        return XmodemReceiver::Verdict::Nak;
    if (take(faults.canBlocks))
        return XmodemReceiver::Verdict::Can;
    if (take(faults.lostAckBlocks))
        return XmodemReceiver::Verdict::LostAck;
    return XmodemReceiver::Verdict::Ack;
}

void Simulator::Impl::StartReceiver(int target) {
    XmodemReceiver::Options o;
    o.sendStartSignal = !faults.noStartSignal;
    o.startInterval = milliseconds(cfg.timing.startSignalIntervalMs);
    o.startLimit = cfg.timing.startSignalLimit;
    o.byteTimeout = milliseconds(cfg.timing.blockByteTimeoutMs);
    o.idleLimit = milliseconds(cfg.timing.transferIdleLimitMs);
    o.ackDelay = target >= 0 ? milliseconds(cfg.timing.radioBlockMs) : milliseconds(0);
    o.verdict = [this](int ordinal) { return BlockVerdict(ordinal); };
    relayTarget = target;
    mode = target >= 0 ? Mode::RemoteUpload : Mode::XmodemReceive;
    TimePoint now = Clock::now();
    rxLastDue = now;
    if (target < 0)
        SendText("\r\nbegin upload\r\n");
    rx = std::make_unique<XmodemReceiver>(std::move(o), now);
    PumpReceiver(now);
}

void Simulator::Impl::PumpReceiver(TimePoint now) {
    if (!rx)
        return;
    for (auto& out : rx->TakeOutput()) {
        rxLastDue = std::max(rxLastDue, out.due);
        if (out.due <= now)
            SendRaw(out.bytes);
        else
            AddTimer(out.due, [this, b = out.bytes] { SendRaw(b); });
    }
    if (rx->HangUpRequested()) {
        DoHangUp();
        return;
    }
    if (rx->Finished())
        EndTransfer(now);
}

void Simulator::Impl::FeedReceiver(std::string_view bytes, TimePoint now) {
    if (!rx)
        return;
    rx->Feed(bytes, now);
    PumpReceiver(now);
}

void Simulator::Impl::TickReceiver(TimePoint now) {
    if (!rx)
        return;
    auto d = rx->NextDeadline();
    if (d && *d <= now) {
        rx->Tick(now);
        PumpReceiver(now);
    }
}

void Simulator::Impl::EndTransfer(TimePoint now) {
    bool complete = rx->GetState() == XmodemReceiver::State::Completed;
    if (rx->GetState() == XmodemReceiver::State::Cancelled && relayTarget < 0)
        ++cancelled;
    std::string image = rx->Image();
    int blocks = rx->BlocksAccepted();
    rx.reset();
    int target = relayTarget;
    relayTarget = -1;
    if (complete || blocks > 0)
        lastImage = image;
    // The completion text follows the last answer of the receiver.
    TimePoint at = std::max(now, rxLastDue) + milliseconds(1);
    if (target < 0)
        EndLocalTransfer(complete, image, blocks, now, at);
    else
        EndRelayedTransfer(target, complete, image, at);
}

// After an upload to the local bootloader: the new firmware, or a damaged module, and the
// menu again.
void Simulator::Impl::EndLocalTransfer(bool complete, const std::string& image, int blocks,
                                       TimePoint now, TimePoint at) {
    swallowUntil = now + milliseconds(300);
    mode = Mode::Bootloader;
    std::string text;
    if (complete) {
        ++completed;
        local.lastImage = image;
        std::string version;
        if (IsValidImageFor(image, local.product, &version)) {
            ChangeVersion(local, version);
            local.damaged = false;
        } else {
            local.damaged = true;
        }
        if (!faults.noCompletionText)
            text += "\r\nSerial upload complete\r\n";
        if (local.damaged)
            text += "\r\nimage not valid for this module\r\n";
    } else {
        if (blocks > 0)
            local.damaged = true; // the old firmware is partly overwritten
        text += "\r\nupload aborted\r\n";
    }
    text += kMenu;
    AddTimer(at, [this, text] {
        if (mode == Mode::Bootloader)
            SendText(text);
    });
}

void Simulator::Impl::RunApplication() {
    if (local.damaged) {
        SendText(kMenu);
        return;
    }
    Restart();
}

// The menu: LF shows it, "1" starts the receiver, "2" runs the application. Right after a
// transfer, the sender's closing EOT and line ends are swallowed.
void Simulator::Impl::BootloaderByte(char c, TimePoint now) {
    if (now < swallowUntil && (c == kEot || c == '\r' || c == '\n'))
        return;
    if (c == '\n')
        SendText(kMenu);
    else if (c == '1')
        StartReceiver(-1);
    else if (c == '2')
        RunApplication();
}

} // namespace vireo::sim
