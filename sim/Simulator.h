// The simulated radio module and its radio network.
//
// A Simulator opens a pseudo-terminal, registers its slave side as "COM<n>" in the port
// directory and plays a local radio module attached to that line, plus any number of remote
// modules reachable through it. The local module speaks the AT command dialogue (echo,
// command and data mode, identification, a parameter store driven by the construct file of
// its product and firmware version, "AT+RC=" forwarding, "at+ds" network scans), and has a
// bootloader with a menu and an XMODEM-CRC receiver. Remote modules can be updated through
// the local one (relayed XMODEM upload) or get a clone of the local firmware.
//
// The module answers only while the line rate that the tool applied to the slave equals the
// module's own rate (the application rate, or 115200 in the bootloader): bytes sent by the
// tool at another rate are noise and are dropped, and answers produced meanwhile are lost.
//
// Firmware images: see FirmwareImage.h for the header that names model and version.
//
// Typical use in a test:
//
//   vireo::sim::SimConfig cfg;            // KA40 v1.1.0 at 9600 baud, 5 remote modules
//   cfg.portDir = tempDir;                // registers tempDir/COM1
//   cfg.timing.scanDelayMs = 50;          // short delays keep tests fast
//   vireo::sim::Simulator sim(cfg);
//   std::string error;
//   ASSERT_TRUE(sim.Start(&error)) << error;
//   ... open sim.SlavePath() or COM1 as the tool would, talk to the module ...
//   EXPECT_TRUE(sim.WaitForReceived("ATE0\r\n", std::chrono::seconds(5)));
//   EXPECT_EQ(sim.Local().Get("AT+PANID"), "1A2B");
//
// Thread safety: every member function of Simulator and ModuleView may be called from any
// thread at any time, including while the simulator's own I/O thread is running. Start and
// Stop must not race each other (call them from one controlling thread). A ModuleView must
// not outlive its Simulator.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace vireo::sim {

// What the local module is doing at the moment.
enum class Mode {
    Stopped,       // not started, or stopped
    Command,       // AT command interpreter
    Data,          // transparent data mode: everything but the "+++" escape is radio traffic
    Sleeping,      // sleepy end device asleep: only a lone LF wakes it, other bytes are lost
    Restarting,    // between "ATZ" (or "2" in the bootloader) and the start banner
    Bootloader,    // bootloader menu at 115200, prompt "BL >"
    XmodemReceive, // bootloader XMODEM-CRC receiver
    RemoteUpload,  // relaying an XMODEM-CRC upload to a remote module ("AT+BOOTLOAD=1,...")
    HungUp,        // the pty master was closed (HangUp or fault injection)
};
const char* ModeName(Mode mode);

// One remote module of the radio network.
struct RemoteConfig {
    std::string product = "KA40";
    std::string version = "v1.1.0";
    std::string eui;            // 16 hex digits; empty: derived from the module's index
    std::string nodeName;       // may contain spaces; empty: derived from the index
    std::string nodeType = "1"; // "1" router, "2" end device, "3" mobile end device, "4" sleepy
    std::string shortAddress;   // 4 hex digits shown in the scan; empty: derived from the index
};

// Faults the module produces on request. Block ordinals count from 1 like the sender's
// (block 256 is the one numbered 0x00 on the line). Each map gives how many times in a row
// that block is answered with the fault before it is treated normally again.
struct FaultConfig {
    std::map<int, int> nakBlocks;     // answer NAK instead of ACK
    std::map<int, int> canBlocks;     // answer one CAN instead of ACK
    std::map<int, int> lostAckBlocks; // block accepted, but its ACK is never sent
    bool noStartSignal = false;       // the receiver never sends "C"
    long silenceAfterBytes = -1;      // after the module has sent this many more bytes (counted
                                      // from Start or InjectFaults) it sends nothing at all
    bool zeroBytesInAnswers = false;  // 0x00 bytes mixed into text answers
    bool garbageInAnswers = false;    // bytes 0x80..0xFE ahead of the first line end of answers
    int hangUpAtBlock = 0;            // close the pty master when this block arrives (0: never)
    bool noCompletionText = false;    // after an upload or clone, never print the "complete" text
    int refusedRemoteBootloads = 0;   // the next this many "AT+BOOTLOAD=<n>,<address>" find a
                                      // remote that does not react: "ERROR" after the
                                      // unknown-address delay
    std::set<std::string> ignoredWrites; // commands ("ATS01", upper case) whose writes are
                                         // answered "OK" but not stored
};

// Delays of the module and the network, in milliseconds. Tests shorten them.
struct SimTiming {
    int guardTimeMs = 500;            // silence needed before and after "+++"
    int sleepAfterMs = 5000;          // a sleepy end device falls asleep after this much quiet
    int wakeUpMs = 50;                // after the waking LF, bytes are lost for this long
    int radioDelayMs = 40;            // one way over the radio, for "AT+RC=" and scans
    int unknownAddressMs = 3000;      // "ERROR" for a remote address nobody answers
    int scanDelayMs = 1000;           // "at+ds" collects answers this long before replying
    int restartMs = 300;              // "ATZ" or run-application until the start banner
    int startSignalIntervalMs = 1000; // period of the receiver's "C"
    int startSignalLimit = 60;        // "C"s sent before the receiver gives up
    int blockByteTimeoutMs = 2000;    // gap inside a block after which the block is NAKed
    int transferIdleLimitMs = 30000;  // no byte for this long ends a started transfer
    int radioBlockMs = 30;            // ACK delay per block of a relayed remote upload
    int cloneStepMs = 1000;           // a clone prints one progress line per step
    int cloneSteps = 8;               // number of progress steps of a clone
    int byteGapMs = 0;                // > 0: every byte the module sends goes to the line on
                                      // its own, this long after the previous one (on top of
                                      // pacing), like a slow module behind a USB adapter
};

struct SimConfig {
    // The local module.
    std::string product = "KA40";
    std::string version = "v1.1.0";       // "v" then digits and dots
    std::string eui = "000D6F0000A1B2C3"; // 16 hex digits
    std::string nodeName = "Bench unit";
    std::string nodeType = "1";   // "4": sleepy end device
    int flowControl = 0;          // reply to "AT+UF": 0 none, 1 software, 2 hardware
    int baudRate = 9600;          // application line rate; the bootloader uses 115200
    bool startInDataMode = false; // power-up in data mode; restarts ("ATZ", run application)
                                  // follow the store's ATS50 (data mode at power-up, off
                                  // by default) and ATS16 (echo at power-up, on by default)
    bool damaged = false;         // firmware damaged: starts and stays in the bootloader

    // Directory holding the construct files <product>_<version>.vmcon. Empty: the program
    // directory (directory of the running executable).
    std::string dataDir;

    // Port registration. The slave is registered as COM<comNumber> in portDir (empty: the
    // port directory of the port map, $VIREO_PORT_DIR or ~/.config/vireo-manager/ports); an
    // entry pointing at another present device is never replaced, the next free number is
    // taken instead. registerPort = false skips the registration altogether.
    int comNumber = 1;
    std::string portDir;
    bool registerPort = true;

    // Send and consume bytes no faster than the line rate (10 bits per byte).
    bool pacing = false;

    // The network: when remotes is empty, remoteCount modules (at most 300) from
    // DefaultRemotes are used.
    int remoteCount = 5;
    std::vector<RemoteConfig> remotes;

    FaultConfig faults;
    SimTiming timing;

    // When not empty, every byte in both directions is also appended to this file with time
    // stamps, one line per chunk.
    std::string logFile;

    // Keep at most this many bytes of received/sent text and byte log (oldest dropped).
    std::size_t recordLimit = 64u << 20;
};

// The network used when SimConfig::remotes is empty: count modules (at most 300) with
// distinct EUIs, node names with spaces, products KA40/KD40/KM40X and versions that have
// sample construct files; one in five is a sleepy end device.
std::vector<RemoteConfig> DefaultRemotes(int count);

// One chunk of the byte log.
struct LogEntry {
    std::chrono::microseconds at; // time since Start
    bool toModule = false;        // true: sent by the tool; false: sent by the module
    std::string bytes;
};

class Simulator;

// Thread-safe view of one module (local or remote) of a running or stopped simulator.
class ModuleView {
public:
    // Value of a parameter by its AT command ("ATS0A", "AT+PANID", any case), as the module
    // would answer it; also the identity commands ("AT+VERSION", ...). nullopt when the
    // module has no such command.
    std::optional<std::string> Get(std::string_view command) const;
    // Writes a parameter like "command=value" would; false (and no change) when the module
    // would answer "ERROR". validate = false stores any value of an existing command, also
    // of a read-only one.
    bool Set(std::string_view command, std::string_view value, bool validate = true);
    // All parameter commands of the module's construct file, in file order (upper case).
    std::vector<std::string> Commands() const;

    std::string Product() const;
    std::string Version() const; // the firmware version the module reports now
    std::string Eui() const;
    std::string NodeName() const;
    bool Damaged() const;          // firmware damaged (local: stays in the bootloader)
    std::string LastImage() const; // bytes of the last image received for this module
                                   // (XMODEM data including fill), empty if none
    bool IsLocal() const { return index_ < 0; }

private:
    friend class Simulator;
    ModuleView(Simulator* sim, int index) : sim_(sim), index_(index) {}
    Simulator* sim_;
    int index_; // -1: local module, else remote index
};

class Simulator {
public:
    explicit Simulator(SimConfig config = {});
    ~Simulator(); // stops
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Opens the pty, loads the construct files, registers the port and starts the I/O
    // thread. false with a reason in *error (when given) on failure; nothing is left behind.
    bool Start(std::string* error = nullptr);
    // Stops the I/O thread, closes the pty and removes the port entry. Idempotent.
    void Stop();
    bool Running() const;

    std::string SlavePath() const; // "/dev/pts/N"; empty when not started
    int ComNumber() const;         // number registered, 0 when not registered
    std::string PortLink() const;  // path of the "COM<n>" entry, empty when not registered
    const SimConfig& Config() const { return config_; }

    // Everything the tool wrote since Start or the last ClearReceived, byte for byte
    // (also bytes dropped for a wrong line rate, and bytes lost while asleep).
    std::string ReceivedText() const;
    // ReceivedText cut at every CR and LF, empty pieces left out: {"ATE0", "ATR1", ...}.
    std::vector<std::string> ReceivedLines() const;
    // Command lines the local interpreter executed since Start or ClearReceived, as received
    // (original case, no line end); a recognised escape appears as "+++".
    std::vector<std::string> ExecutedCommands() const;
    // Everything the module wrote to the line since Start or the last ClearReceived.
    std::string SentText() const;
    void ClearReceived(); // clears ReceivedText, ReceivedLines, ExecutedCommands and SentText
    // Waits (condition variable, no polling) until ReceivedText holds text; false on time-out.
    bool WaitForReceived(std::string_view text, std::chrono::milliseconds timeout) const;
    // Waits until SentText holds text; false on time-out.
    bool WaitForSent(std::string_view text, std::chrono::milliseconds timeout) const;
    // Waits until the local module is in the given mode; false on time-out.
    bool WaitForMode(Mode mode, std::chrono::milliseconds timeout) const;

    // Every chunk in both directions since Start, time-stamped.
    std::vector<LogEntry> ByteLog() const;

    Mode CurrentMode() const;
    int ToolBaudRate() const;   // line rate the tool has applied to the slave now
    int ModuleBaudRate() const; // rate the module listens and answers at now

    ModuleView Local();
    ModuleView Remote(std::size_t index); // index < RemoteCount()
    std::size_t RemoteCount() const;
    // Remote module by EUI (any case), nullopt when there is none.
    std::optional<ModuleView> RemoteByEui(std::string_view eui);

    // Bytes of the last image received by any XMODEM receiver of the simulator.
    std::string LastImage() const;
    // Number of complete XMODEM transfers (local and relayed) since Start.
    int CompletedTransfers() const;
    // Number of local uploads that the sender cancelled (CAN CAN) since Start.
    int CancelledTransfers() const;

    // The text the module answers "at+ds" with now.
    std::string ScanReplyText() const;

    // Bytes the module sends unasked (radio data passed through, chatter), queued at the line
    // rate behind anything already queued. False when the line's backlog is full and the
    // bytes were dropped, as a real line drops what nobody reads.
    bool SendUnsolicited(const std::string& bytes);

    // Closes the pty master now: the tool's reads see end of file and writes fail.
    void HangUp();
    // Replaces the fault settings while running; counters restart.
    void InjectFaults(const FaultConfig& faults);

    struct Impl;

private:
    friend class ModuleView;
    SimConfig config_;
    std::unique_ptr<Impl> impl_;
};

} // namespace vireo::sim
