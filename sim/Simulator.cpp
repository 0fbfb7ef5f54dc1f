#include "sim/Simulator.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include "platform/PortMap.h"
#include "platform/ProgramDirectory.h"
#include "sim/FirmwareImage.h"
#include "sim/LineRate.h"
#include "sim/SimulatorImpl.h"

namespace vireo::sim {

namespace {

constexpr char kEot = 0x04;

const char* const kMenu = "\r\nVireo bootloader 2.1\r\n"
                          "1. upload image\r\n"
                          "2. run application\r\n"
                          "BL > ";

std::string Pad(std::string s, std::size_t width) {
    if (s.size() < width)
        s.append(width - s.size(), ' ');
    return s;
}

std::string NodeTypeText(const std::string& type) {
    if (type == "0")
        return "COO";
    if (type == "1")
        return "FFD";
    if (type == "2")
        return "RFD";
    if (type == "3")
        return "MED";
    if (type == "4")
        return "SED";
    return "UNK";
}

bool IsEndDevice(const std::string& type) {
    return type == "2" || type == "3" || type == "4";
}

bool CheckConfig(const SimConfig& c, std::string* why) {
    if (!IsHex16(c.eui))
        return Refuse(why, "the EUI address must be 16 hexadecimal digits: " + c.eui);
    if (c.baudRate <= 0)
        return Refuse(why, "invalid baud rate " + std::to_string(c.baudRate));
    if (c.product.empty())
        return Refuse(why, "empty product name");
    return true;
}

} // namespace

const char* ModeName(Mode mode) {
    switch (mode) {
    case Mode::Stopped: return "stopped";
    case Mode::Command: return "command";
    case Mode::Data: return "data";
    case Mode::Sleeping: return "sleeping";
    case Mode::Restarting: return "restarting";
    case Mode::Bootloader: return "bootloader";
    case Mode::XmodemReceive: return "xmodem-receive";
    case Mode::RemoteUpload: return "remote-upload";
    case Mode::HungUp: return "hung-up";
    }
    return "?";
}

// ---- output ---------------------------------------------------------------------

// ---- modules --------------------------------------------------------------------

std::string Simulator::Impl::ScanReply() const {
    std::string r = "\r\nNetwork nodes, " + std::to_string(remotes.size() + 1) + " found\r\n";
    auto node = [](const std::string& type, const Module& m, const std::string& shortAddr) {
        return Pad(type, 5) + "|" + Pad(m.eui, 17) + "|" + Pad(shortAddr, 5) + "|" +
               Pad(m.version, 8) + "|" + Pad(m.product, 6) + "|" + m.nodeName + "\r\n";
    };
    r += node("*" + NodeTypeText(local.nodeType), local, "0000");
    for (const auto& m : remotes)
        if (IsEndDevice(m.nodeType))
            r += Pad(m.nodeType == "4" ? "CLD" : "CHD", 5) + "|" + Pad(m.eui, 17) + "|" +
                 m.shortAddress + "\r\n";
    for (const auto& m : remotes)
        r += node(NodeTypeText(m.nodeType), m, m.shortAddress);
    r += "\r\nOK\r\n";
    return r;
}

// ---- the local interpreter ------------------------------------------------------

void Simulator::Impl::EnterBootloaderMenu() {
    mode = Mode::Bootloader;
    line.clear();
    queued.clear();
    busy = false;
}

// "AT+RC=<address>,<command>"
void Simulator::Impl::RemoteCommand(const std::string& args) {
    auto comma = args.find(',');
    if (comma == std::string::npos)
        return SendText(kError);
    int idx = FindRemote(args.substr(0, comma));
    std::string cmd = args.substr(comma + 1);
    busy = true;
    if (idx < 0) {
        After(cfg.timing.unknownAddressMs, [this] {
            SendText(kError);
            Done();
        });
        return;
    }
    After(2 * cfg.timing.radioDelayMs, [this, idx, cmd] {
        SendText(ExecuteRemote(remotes[static_cast<std::size_t>(idx)], cmd));
        Done();
    });
}

// "AT+BOOTLOAD=1,<address>" (relayed upload) and "AT+BOOTLOAD=2,<address>" (clone).
void Simulator::Impl::RemoteBootload(const std::string& args) {
    auto comma = args.find(',');
    std::string kind = Trim(args.substr(0, comma));
    if (comma == std::string::npos || (kind != "1" && kind != "2"))
        return SendText(kError);
    int idx = FindRemote(args.substr(comma + 1));
    busy = true;
    if (idx < 0) {
        After(cfg.timing.unknownAddressMs, [this] {
            SendText(kError);
            Done();
        });
        return;
    }
    After(cfg.timing.radioDelayMs, [this, idx, kind] {
        Module& r = remotes[static_cast<std::size_t>(idx)];
        if (kind == "1") {
            SendText("\r\nStart remote upload to " + r.eui + "\r\n");
            StartReceiver(idx);
            return;
        }
        // Cloning needs a remote of the same product, and a local product that can
        // clone at all (the KM40X cannot).
        if (r.product != local.product || local.product == "KM40X") {
            SendText(kError);
            Done();
            return;
        }
        SendText("\r\nStart cloning to " + r.eui + "\r\n");
        CloneStep(idx, 1);
    });
}

void Simulator::Impl::CloneStep(int idx, int step) {
    After(cfg.timing.cloneStepMs, [this, idx, step] {
        int steps = std::max(1, cfg.timing.cloneSteps);
        if (step < steps) {
            SendText("\r\nCloning " + std::to_string(step * 100 / steps) + "%\r\n");
            CloneStep(idx, step + 1);
            return;
        }
        Module& r = remotes[static_cast<std::size_t>(idx)];
        ChangeVersion(r, local.version);
        r.damaged = false;
        r.lastImage = local.lastImage;
        ++completed;
        if (!faults.noCompletionText)
            SendText("\r\nClone complete\r\n");
        Done();
    });
}

// After an upload relayed to a remote module: the remote takes a valid image for its
// product, and the local module is back in command mode.
void Simulator::Impl::EndRelayedTransfer(int target, bool complete, const std::string& image,
                                         TimePoint at) {
    mode = Mode::Command;
    Module& r = remotes[static_cast<std::size_t>(target)];
    std::string text;
    if (complete) {
        r.lastImage = image;
        std::string version;
        if (IsValidImageFor(image, r.product, &version)) {
            ++completed;
            ChangeVersion(r, version);
            r.damaged = false;
            if (!faults.noCompletionText)
                text = "\r\nRemote update complete\r\n";
        } else {
            text = "\r\nERROR: image rejected by " + r.eui + "\r\n";
        }
    } else {
        text = kError;
    }
    AddTimer(at, [this, text] {
        SendText(text);
        Done();
    });
}

// ---- bootloader and XMODEM ------------------------------------------------------

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

void Simulator::Impl::EndTransfer(TimePoint now) {
    bool complete = rx->GetState() == XmodemReceiver::State::Completed;
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

// ---- input ----------------------------------------------------------------------

// Fresh state of every dialogue and of the records, also after an earlier Start and Stop.
void Simulator::Impl::ResetForStart() {
    const SimConfig& c = cfg;
    line.clear();
    lineBad = lineLong = false;
    busy = false;
    queued.clear();
    echoOut.clear();
    plusCount = 0;
    escapeTimer = sleepTimer = 0;
    hangUpRequested = false;
    rx.reset();
    relayTarget = -1;
    rxHeld.clear();
    txq.clear();
    txBacklog = 0;
    txPieceLen = 0;
    txBlocked = false;
    lastImage.clear();
    completed = 0;
    faults = c.faults;
    silenceLeft = c.faults.silenceAfterBytes;
    mode = c.damaged ? Mode::Bootloader : c.startInDataMode ? Mode::Data : Mode::Command;
    echo = true;
    start = Clock::now();
    lastActivity = start;
    received.clear();
    sent.clear();
    commands.clear();
    log.clear();
    logBytes = 0;
    stopping = false;
    running = true;
    if (mode == Mode::Command)
        ArmSleep();
}

// ---------------------------------------------------------------------------------------

Simulator::Simulator(SimConfig config)
    : config_(std::move(config)), impl_(std::make_unique<Impl>(config_)) {}

Simulator::~Simulator() {
    Stop();
}

bool Simulator::Start(std::string* error) {
    std::lock_guard lk(impl_->mu);
    Impl& s = *impl_;
    if (s.running)
        return true;
    std::string why;
    if (!CheckConfig(config_, &why) || !s.OpenLine(&why) || !s.BuildModules(&why) ||
        !s.RegisterLine(&why) || !s.OpenLog(&why)) {
        s.CloseAll();
        if (error)
            *error = why;
        return false;
    }
    s.ResetForStart();
    s.thread = std::thread([&s] { s.Loop(); });
    return true;
}

void Simulator::Stop() {
    {
        std::lock_guard lk(impl_->mu);
        if (!impl_->running)
            return;
        impl_->stopping = true;
        impl_->Wake();
    }
    impl_->thread.join();
    std::lock_guard lk(impl_->mu);
    impl_->CloseAll();
    impl_->timers.clear();
    impl_->rx.reset();
    impl_->txq.clear();
    impl_->txBacklog = 0;
    impl_->running = false;
    impl_->mode = Mode::Stopped;
    impl_->cv.notify_all();
}

bool Simulator::Running() const {
    std::lock_guard lk(impl_->mu);
    return impl_->running;
}

std::string Simulator::SlavePath() const {
    std::lock_guard lk(impl_->mu);
    return impl_->running ? impl_->slavePath : std::string{};
}

int Simulator::ComNumber() const {
    std::lock_guard lk(impl_->mu);
    return impl_->reg.number;
}

std::string Simulator::PortLink() const {
    std::lock_guard lk(impl_->mu);
    return impl_->reg.linkPath;
}

std::string Simulator::ReceivedText() const {
    std::lock_guard lk(impl_->mu);
    return impl_->received;
}

std::vector<std::string> Simulator::ReceivedLines() const {
    std::string text = ReceivedText();
    std::vector<std::string> lines;
    std::string cur;
    for (char c : text) {
        if (c == '\r' || c == '\n') {
            if (!cur.empty())
                lines.push_back(std::move(cur));
            cur.clear();
        } else {
            cur += c;
        }
    }
    if (!cur.empty())
        lines.push_back(std::move(cur));
    return lines;
}

std::vector<std::string> Simulator::ExecutedCommands() const {
    std::lock_guard lk(impl_->mu);
    return impl_->commands;
}

std::string Simulator::SentText() const {
    std::lock_guard lk(impl_->mu);
    return impl_->sent;
}

void Simulator::ClearReceived() {
    std::lock_guard lk(impl_->mu);
    impl_->received.clear();
    impl_->sent.clear();
    impl_->commands.clear();
}

bool Simulator::WaitForReceived(std::string_view text, std::chrono::milliseconds timeout) const {
    std::unique_lock lk(impl_->mu);
    return impl_->cv.wait_for(lk, timeout,
                              [&] { return impl_->received.find(text) != std::string::npos; });
}

bool Simulator::WaitForSent(std::string_view text, std::chrono::milliseconds timeout) const {
    std::unique_lock lk(impl_->mu);
    return impl_->cv.wait_for(lk, timeout,
                              [&] { return impl_->sent.find(text) != std::string::npos; });
}

bool Simulator::WaitForMode(Mode mode, std::chrono::milliseconds timeout) const {
    std::unique_lock lk(impl_->mu);
    return impl_->cv.wait_for(lk, timeout, [&] { return impl_->mode == mode; });
}

std::vector<LogEntry> Simulator::ByteLog() const {
    std::lock_guard lk(impl_->mu);
    return impl_->log;
}

Mode Simulator::CurrentMode() const {
    std::lock_guard lk(impl_->mu);
    return impl_->mode;
}

int Simulator::ToolBaudRate() const {
    std::lock_guard lk(impl_->mu);
    return impl_->ToolRate();
}

int Simulator::ModuleBaudRate() const {
    std::lock_guard lk(impl_->mu);
    return impl_->ModuleRate();
}

ModuleView Simulator::Local() {
    return ModuleView(this, -1);
}

ModuleView Simulator::Remote(std::size_t index) {
    return ModuleView(this, static_cast<int>(index));
}

std::size_t Simulator::RemoteCount() const {
    std::lock_guard lk(impl_->mu);
    return impl_->remotes.size();
}

std::optional<ModuleView> Simulator::RemoteByEui(std::string_view eui) {
    std::lock_guard lk(impl_->mu);
    int i = impl_->FindRemote(eui);
    if (i < 0)
        return std::nullopt;
    return ModuleView(this, i);
}

std::string Simulator::LastImage() const {
    std::lock_guard lk(impl_->mu);
    return impl_->lastImage;
}

int Simulator::CompletedTransfers() const {
    std::lock_guard lk(impl_->mu);
    return impl_->completed;
}

void Simulator::HangUp() {
    std::unique_lock lk(impl_->mu);
    if (!impl_->running || impl_->mode == Mode::HungUp)
        return;
    impl_->hangUpRequested = true;
    impl_->Wake();
    impl_->cv.wait(lk, [&] { return impl_->mode == Mode::HungUp || !impl_->running; });
}

void Simulator::InjectFaults(const FaultConfig& faults) {
    std::lock_guard lk(impl_->mu);
    impl_->faults = faults;
    impl_->silenceLeft = faults.silenceAfterBytes;
    impl_->Wake();
}

// ---------------------------------------------------------------------------------------

std::optional<std::string> ModuleView::Get(std::string_view command) const {
    if (command.find('=') != std::string_view::npos)
        return std::nullopt;
    std::lock_guard lk(sim_->impl_->mu);
    Module* m = sim_->impl_->Find(index_);
    if (!m)
        return std::nullopt;
    auto reply = sim_->impl_->ModuleCommand(*m, std::string(command));
    if (!reply || reply->size() < 10 || *reply == kError)
        return std::nullopt;
    // Cut the value out of "\r\n<value>\r\n\r\nOK\r\n".
    return reply->substr(2, reply->size() - 10);
}

bool ModuleView::Set(std::string_view command, std::string_view value, bool validate) {
    std::lock_guard lk(sim_->impl_->mu);
    Module* m = sim_->impl_->Find(index_);
    if (!m)
        return false;
    std::string name = ToUpper(Trim(command));
    if (!validate) {
        if (name == "AT+NODENAME")
            m->nodeName = value;
        else if (name == "AT+PRODUCTNAME")
            m->product = value;
        else if (name == "AT+LONGADDR")
            m->eui = value;
        else if (name == "AT+VERSION")
            m->version = value;
        else if (name == "AT+NODETYPE")
            m->nodeType = value;
        else if (name == "AT+UF")
            m->flowControl = std::atoi(std::string(value).c_str());
        else
            return m->store.Write(name, value, false) == ParamStore::WriteResult::Ok;
        m->store.Write(name, value, false);
        return true;
    }
    auto reply = sim_->impl_->ModuleCommand(*m, name + "=" + std::string(value));
    return reply && *reply == kOk;
}

std::vector<std::string> ModuleView::Commands() const {
    std::lock_guard lk(sim_->impl_->mu);
    Module* m = sim_->impl_->Find(index_);
    return m ? m->store.Commands() : std::vector<std::string>{};
}

#define VIREO_SIM_FIELD(getter, field)                                                             \
    std::string ModuleView::getter() const {                                                       \
        std::lock_guard lk(sim_->impl_->mu);                                                       \
        Module* m = sim_->impl_->Find(index_);                                                     \
        return m ? m->field : std::string{};                                                       \
    }
VIREO_SIM_FIELD(Product, product)
VIREO_SIM_FIELD(Version, version)
VIREO_SIM_FIELD(Eui, eui)
VIREO_SIM_FIELD(NodeName, nodeName)
VIREO_SIM_FIELD(LastImage, lastImage)
#undef VIREO_SIM_FIELD

bool ModuleView::Damaged() const {
    std::lock_guard lk(sim_->impl_->mu);
    Module* m = sim_->impl_->Find(index_);
    return m && m->damaged;
}

} // namespace vireo::sim
