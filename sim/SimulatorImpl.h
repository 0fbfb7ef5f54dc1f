// The private state of a Simulator, shared by the files that play its dialogues.
//
// Everything here is guarded by Impl::mu: the I/O thread holds it while it runs the
// dialogues, and every public member function of Simulator and ModuleView takes it.
// Each group of member functions below is defined in the file its heading names.
#pragma once

#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "sim/ParamStore.h"
#include "sim/PortRegistry.h"
#include "sim/Simulator.h"
#include "sim/XmodemReceiver.h"

namespace vireo::sim {

using Clock = std::chrono::steady_clock;
using TimePoint = Clock::time_point;
using std::chrono::milliseconds;

constexpr int kBootloaderRate = 115200;

// Answers in the module's shape.
inline std::string Reply(const std::string& value) {
    return "\r\n" + value + "\r\n\r\nOK\r\n";
}
inline const std::string kOk = "\r\nOK\r\n";
inline const std::string kError = "\r\nERROR\r\n";

inline std::string Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t'))
        s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t'))
        s.remove_suffix(1);
    return std::string(s);
}

// Sets the reason why something failed; false, for "return Refuse(why, ...)".
inline bool Refuse(std::string* why, std::string reason) {
    *why = std::move(reason);
    return false;
}

inline bool IsHex16(std::string_view s) {
    if (s.size() != 16)
        return false;
    for (char c : s)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

// One module of the network, local or remote.
struct Module {
    std::string product, version, eui, nodeName, nodeType, shortAddress;
    int flowControl = 0;
    bool damaged = false;
    ParamStore store;
    std::string lastImage;
    // Power-up values of the writable identity settings (restored by "AT&f").
    std::string defaultNodeName;
    int defaultFlowControl = 0;
};

struct Simulator::Impl {
    explicit Impl(const SimConfig& c) : cfg(c) {}

    const SimConfig& cfg;
    mutable std::mutex mu;
    mutable std::condition_variable cv;

    // Line.
    int master = -1, slave = -1;
    int wake[2] = {-1, -1};
    std::string slavePath;
    PortRegistration reg;
    std::thread thread;
    bool stopping = false, running = false, hangUpRequested = false;
    TimePoint start{};
    std::string dataDir;

    // Modules.
    Module local;
    std::vector<Module> remotes;
    std::map<std::string, std::shared_ptr<const std::vector<ParamDef>>> defsCache;

    // Interpreter of the local module.
    Mode mode = Mode::Stopped;
    bool echo = true;
    std::string line;
    bool lineBad = false, lineLong = false;
    bool busy = false;
    std::deque<std::string> queued;
    std::string echoOut;
    TimePoint lastRx{};
    int plusCount = 0;
    bool plusGuardOk = false;
    std::uint64_t escapeTimer = 0;
    TimePoint lastActivity{};
    std::uint64_t sleepTimer = 0;
    TimePoint lostUntil{};
    TimePoint swallowUntil{};

    // Timers.
    struct Timer {
        std::uint64_t id;
        std::function<void()> fn;
    };
    std::multimap<TimePoint, Timer> timers;
    std::uint64_t nextTimerId = 1;

    // XMODEM receiver (local bootloader or relay to a remote module).
    std::unique_ptr<XmodemReceiver> rx;
    int relayTarget = -1;
    TimePoint rxLastDue{};

    // Output.
    struct Chunk {
        int rate;
        std::string bytes;
    };
    std::deque<Chunk> txq;
    std::size_t txBacklog = 0;
    TimePoint txFree{};
    TimePoint txPieceDue{};
    std::size_t txPieceLen = 0;
    TimePoint txNextDue{};
    TimePoint txGapUntil{}; // with a byte gap: no byte goes to the line before this
    bool txBlocked = false;

    // Paced input.
    std::string rxHeld;
    TimePoint rxDue{}, rxFree{}, rxPauseUntil{};
    bool rxMore = false; // the last paced read filled its chunk: more bytes were waiting

    // Records.
    std::string received, sent;
    std::vector<std::string> commands;
    std::vector<LogEntry> log;
    std::size_t logBytes = 0;
    std::FILE* logFile = nullptr;
    std::string lastImage;
    int completed = 0;
    int cancelled = 0; // local uploads the sender cancelled

    // Faults.
    FaultConfig faults;
    long silenceLeft = -1;
    std::uint32_t noise = 0x2545F491u;

    // ---- SimIoThread.cpp: the I/O thread, its timers, the pty ---------------------------
    void Wake();
    std::uint64_t AddTimer(TimePoint at, std::function<void()> fn);
    std::uint64_t After(int ms, std::function<void()> fn);
    void CancelTimer(std::uint64_t& id);
    void RunTimers(TimePoint now);
    bool OpenLine(std::string* why);
    bool RegisterLine(std::string* why);
    void DoHangUp();
    void Loop();
    void RunDue(TimePoint now);
    TimePoint NextDue() const;
    void WaitForLine(std::unique_lock<std::mutex>& lk, TimePoint now);
    void CloseAll();

    // ---- SimLine.cpp: rate matching, pacing, faults in answers --------------------------
    int ModuleRate() const;
    int ToolRate() const;
    void SendRaw(std::string bytes);
    void SendText(const std::string& text);
    void Flush(TimePoint now);
    std::size_t PieceDue(const Chunk& c, TimePoint now);
    bool WritePiece(Chunk& c, std::size_t len, TimePoint now);
    void ProcessInput(std::string_view bytes, TimePoint now);
    void ReadMaster(TimePoint now);

    // ---- SimRecords.cpp: what went over the line ----------------------------------------
    void TrimRecord(std::string& s);
    void Record(std::string_view bytes, bool toModule, TimePoint now);
    bool OpenLog(std::string* why);

    // ---- SimModules.cpp: the modules and their parameter stores -------------------------
    std::shared_ptr<const std::vector<ParamDef>> Defs(const std::string& product,
                                                      const std::string& version);
    void LoadStore(Module& m);
    void ChangeVersion(Module& m, const std::string& version);
    Module* Find(int index);
    int FindRemote(std::string_view eui) const;
    bool BuildModules(std::string* why);

    // ---- SimAtCommands.cpp: the AT command set and identification -----------------------
    std::optional<std::string> ModuleCommand(Module& m, const std::string& text);
    void RestoreDefaults(Module& m);
    std::string ExecuteRemote(Module& m, const std::string& cmd);
    void Execute(const std::string& text, bool bad);

    // ---- SimCommandMode.cpp: command and data mode, echo, "+++", restarts ---------------
    void FlushEcho();
    std::string Banner() const;
    void Done();
    void Restart();
    void EscapeByte(char c, TimePoint now);
    void CommandByte(char c, TimePoint now);

    // ---- SimSleepyDevice.cpp: a sleepy end device falls asleep, wakes up ----------------
    void ArmSleep();
    void SleepCheck();
    void SleepingByte(char c, TimePoint now);

    // ---- SimNetwork.cpp: remote commands, scans, relayed upload, cloning ----------------
    std::string ScanReply() const;
    void AnswerUnknownAddress();
    void RemoteCommand(const std::string& args);
    void RemoteBootload(const std::string& args);
    void CloneStep(int idx, int step);
    void EndRelayedTransfer(int target, bool complete, const std::string& image, TimePoint at);

    // ---- SimBootloader.cpp: the bootloader menu and its XMODEM receiver -----------------
    void EnterBootloaderMenu();
    XmodemReceiver::Verdict BlockVerdict(int ordinal);
    void StartReceiver(int target);
    void PumpReceiver(TimePoint now);
    void EndTransfer(TimePoint now);
    void EndLocalTransfer(bool complete, const std::string& image, int blocks, TimePoint now,
                          TimePoint at);
    void RunApplication();
    void BootloaderByte(char c, TimePoint now);
    void FeedReceiver(std::string_view bytes, TimePoint now);
    void TickReceiver(TimePoint now);

    // ---- Simulator.cpp: the public facade -----------------------------------------------
    void ResetForStart();
};

} // namespace vireo::sim
