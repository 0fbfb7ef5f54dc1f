// The public facade of the simulator: Simulator and ModuleView take the lock and read or
// change the private state that the dialogues share (SimulatorImpl.h); Start brings up the
// line, the modules and the I/O thread, Stop takes them down again.
#include "sim/Simulator.h"

#include <cstdlib>

#include "sim/SimulatorImpl.h"

namespace vireo::sim {

namespace {

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
    txGapUntil = TimePoint{};
    txBlocked = false;
    lastImage.clear();
    completed = 0;
    cancelled = 0;
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

int Simulator::CancelledTransfers() const {
    std::lock_guard lk(impl_->mu);
    return impl_->cancelled;
}

void Simulator::HangUp() {
    std::unique_lock lk(impl_->mu);
    if (!impl_->running || impl_->mode == Mode::HungUp)
        return;
    impl_->hangUpRequested = true;
    impl_->Wake();
    impl_->cv.wait(lk, [&] { return impl_->mode == Mode::HungUp || !impl_->running; });
}

std::string Simulator::ScanReplyText() const {
    std::lock_guard lk(impl_->mu);
    return impl_->ScanReply();
}

bool Simulator::SendUnsolicited(const std::string& bytes) {
    std::lock_guard lk(impl_->mu);
    const std::size_t before = impl_->txBacklog;
    impl_->SendRaw(bytes);
    impl_->Wake();
    return bytes.empty() || impl_->txBacklog != before;
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
