// Sends a firmware image (*.ebl) to a bootloader that waits for an upload: XMODEM-CRC blocks
// of 128 bytes answered by ACK or NAK, a closing exchange of two EOTs, and a check of the
// device's text output for its completion message. The engine does no I/O of its own: it
// reads and writes through an ITransferLine and reports through an ITransferView, so that
// every rule can be driven with fake time.
//
// Three variants: recovery (the upload dialog, a module stuck in its bootloader), local (the
// attached module, restarted with "2" and waited for until it answers "OK") and remote (a
// module of the network, through the attached one; its blocks may take 20 s to answer).
//
// Threads: Run blocks its caller (a worker thread of the owner, or the command line's main
// thread). The view is called on that thread; an owner with widgets posts to its GUI thread.
#pragma once

#include "firmware/XmodemCrc.h"

#include <cstdint>
#include <cstdio>
#include <string>

enum class TransferVariant { Recovery, Local, Remote };

enum class TransferResult {
    Completed,        // the device reported completion (local: and answered "OK" after "2")
    FileError,        // the image cannot be opened, or is no regular file
    ReadError,        // the image could not be read to the end of the size it had at the start
    NoStartSignal,    // no "C" within the wait
    NoBlockAnswer,    // a block went unanswered
    RetriesExhausted, // a block was refused eleven times
    NoEotAnswer,      // the first EOT went unanswered
    NoCompletion,     // no completion message within the limit after the last byte received
    Rejected,         // remote: the local module reported an error instead of the completion
    NoRestart,        // local: no "OK" within the limit after the restart
    LineLost,         // the line went away while the transfer waited for the device's text
    Stopped,          // the owner stopped the transfer
};

// The line as the transfer sees it.
class ITransferLine {
public:
    virtual ~ITransferLine() = default;
    // The next received byte (0..255), or -1 when none arrived within timeoutMs (at once for
    // a time-out below 1).
    virtual int ReadRxByte(int timeoutMs) = 0;
    virtual void Write(const uint8_t* bytes, int length) = 0;
    // Appends what arrived to text and takes it out of the receive ring, as one step.
    virtual void TakeArrived(std::string& text) = 0;
    virtual void Sleep(int ms) = 0;
    // Milliseconds of a monotonic clock.
    virtual int64_t NowMs() = 0;
    // True once the owner asked the transfer to stop; waits return early then.
    virtual bool StopRequested() = 0;
    // True once the line has gone away: nothing more will arrive.
    virtual bool LineLost() { return false; }
};

class ITransferView {
public:
    virtual ~ITransferView() = default;
    virtual void SetStatus(const std::string& text) = 0;
    // 0..100: the progress bar of the owner (remote: the bar of the device's row).
    virtual void SetProgress(int percent) = 0;
};

struct TransferSettings {
    TransferVariant variant = TransferVariant::Local;
    std::string filePath;
    const CrcTable* crcTable = nullptr; // built by the owner before the transfer starts
    // What the owner's last exchange with the module left in its reply text; the completion
    // message is looked for in it and in everything that arrives after.
    std::string reply;
    // How long the completion message and the local restart's "OK" may keep the transfer
    // waiting after the last byte received.
    int textWaitLimitMs = 60000;
    // How long a block of the remote variant may wait for its answer (the radio is slow).
    int remoteBlockWaitMs = 20000;
};

struct TransferOutcome {
    TransferResult result = TransferResult::Stopped;
    int64_t imageSize = 0;
    int64_t blocksAccepted = 0;
    std::string reply; // the reply text at the end
};

class CFirmwareTransfer {
public:
    CFirmwareTransfer(ITransferLine& line, ITransferView& view) : m_line(line), m_view(view) {}

    TransferOutcome Run(const TransferSettings& settings);

    static constexpr int kBlockSize = 133;
    static constexpr int kDataSize = 128;
    static constexpr uint8_t kFill = 0x26;

    // The block of ordinal with its data, as it goes on the line (exposed for tests).
    static void BuildBlock(uint8_t (&block)[kBlockSize], const CrcTable& table, int64_t ordinal,
                           const uint8_t* data, int length);

private:
    int BlockTimeoutMs() const;
    void Drain();
    void WriteByte(uint8_t byte);
    void Cancel();
    bool WaitForStart();
    TransferResult SendBlocks(std::FILE* file, int64_t total, TransferOutcome& outcome);
    TransferResult SendOneBlock(int64_t ordinal, int64_t remaining, int64_t total);
    void ShowBlockError(int answer, int64_t ordinal, int retries);
    TransferResult Finish();
    // Takes what arrives into reply until it holds needle (as a line of its own when
    // asWordLine), searching from position from. Completed when found; otherwise why not:
    // the wait limit passed without any byte, the line went away, or a stop.
    TransferResult WaitForText(const char* needle, bool asWordLine, size_t from,
                               TransferResult onSilence);
    TransferResult Ending();

    ITransferLine& m_line;
    ITransferView& m_view;
    TransferSettings m_settings;
    std::string m_reply;
    // While the completion is awaited: where an "ERROR" from the module would begin to count
    // (npos: it does not).
    size_t m_failFrom = std::string::npos;
    uint8_t m_block[kBlockSize] = {};
};
