#include "firmware/FirmwareTransfer.h"
#include "serial/ReplyWords.h"

#include <cstring>
#include <filesystem>
#include <memory>

namespace {

constexpr uint8_t kSoh = 0x01;
constexpr uint8_t kEot = 0x04;
constexpr uint8_t kAck = 0x06;
constexpr uint8_t kNak = 0x15;
constexpr uint8_t kCan = 0x18;
constexpr uint8_t kStart = 'C';
constexpr int kByteWaitMs = 5000;
constexpr int kRetries = 10;
constexpr int kTextPollMs = 100;

std::string Format(const char* format, auto... args) {
    char text[96];
    std::snprintf(text, sizeof text, format, args...);
    return text;
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

} // namespace

void CFirmwareTransfer::BuildBlock(uint8_t (&block)[kBlockSize], const CrcTable& table,
                                   int64_t ordinal, const uint8_t* data, int length) {
    std::memset(block, kFill, sizeof block);
    if (length > 0)
        std::memcpy(block + 3, data, static_cast<size_t>(length));
    block[0] = kSoh;
    block[1] = static_cast<uint8_t>(ordinal & 0xFF);
    block[2] = static_cast<uint8_t>(~block[1]);
    const uint16_t crc = BlockCrc(table, block + 3, kDataSize);
    block[131] = static_cast<uint8_t>(crc >> 8);
    block[132] = static_cast<uint8_t>(crc & 0xFF);
}

int CFirmwareTransfer::BlockTimeoutMs() const {
    return m_settings.variant == TransferVariant::Remote ? m_settings.remoteBlockWaitMs
                                                         : kByteWaitMs;
}

void CFirmwareTransfer::Drain() {
    // A module that keeps talking must not keep a stopped transfer here.
    while (!m_line.StopRequested() && m_line.ReadRxByte(1) != -1) {
    }
}

void CFirmwareTransfer::WriteByte(uint8_t byte) {
    m_line.Write(&byte, 1);
}

void CFirmwareTransfer::Cancel() {
    for (int i = 0; i < 3; ++i)
        WriteByte(kCan);
}

TransferOutcome CFirmwareTransfer::Run(const TransferSettings& settings) {
    m_settings = settings;
    m_reply = settings.reply;
    TransferOutcome outcome;
    Drain();
    std::error_code ec;
    std::unique_ptr<std::FILE, FileCloser> file;
    if (std::filesystem::is_regular_file(settings.filePath, ec))
        file.reset(std::fopen(settings.filePath.c_str(), "rb"));
    const auto size = file ? std::filesystem::file_size(settings.filePath, ec) : 0;
    if (!file || ec || !settings.crcTable) {
        outcome.result = TransferResult::FileError;
        return outcome;
    }
    m_view.SetStatus(settings.variant == TransferVariant::Recovery
                         ? "Preparing for firmware update..."
                         : "Preparing for firmware update......");
    if (!WaitForStart()) {
        outcome.result =
            m_line.StopRequested() ? TransferResult::Stopped : TransferResult::NoStartSignal;
        return outcome;
    }
    outcome.imageSize = static_cast<int64_t>(size);
    m_line.Sleep(100);
    outcome.result = SendBlocks(file.get(), outcome.imageSize, outcome);
    file.reset();
    if (outcome.result == TransferResult::Completed)
        outcome.result = Finish();
    if (outcome.result == TransferResult::Completed)
        outcome.result = Ending();
    outcome.reply = m_reply;
    return outcome;
}

bool CFirmwareTransfer::WaitForStart() {
    for (;;) {
        const int c = m_line.ReadRxByte(kByteWaitMs);
        if (c == kStart)
            return true;
        if (c == -1 || m_line.StopRequested())
            return false;
    }
}

TransferResult CFirmwareTransfer::SendBlocks(std::FILE* file, int64_t total,
                                             TransferOutcome& outcome) {
    uint8_t data[kDataSize];
    int64_t remaining = total;
    for (int64_t ordinal = 1; remaining > 0; ++ordinal) {
        const int want = static_cast<int>(remaining < kDataSize ? remaining : kDataSize);
        const size_t got = std::fread(data, 1, static_cast<size_t>(want), file);
        if (got != static_cast<size_t>(want)) {
            // The file shrank or failed under us: padding it would flash a corrupted image.
            Cancel();
            return TransferResult::ReadError;
        }
        remaining -= want;
        BuildBlock(m_block, *m_settings.crcTable, ordinal, data, want);
        const TransferResult r = SendOneBlock(ordinal, remaining, total);
        if (r != TransferResult::Completed)
            return r;
        ++outcome.blocksAccepted;
    }
    return TransferResult::Completed;
}

TransferResult CFirmwareTransfer::SendOneBlock(int64_t ordinal, int64_t remaining, int64_t total) {
    for (int retries = kRetries;;) {
        m_line.Write(m_block, kBlockSize);
        const int answer = m_line.ReadRxByte(BlockTimeoutMs());
        if (m_line.StopRequested()) {
            Cancel();
            return TransferResult::Stopped;
        }
        if (answer == -1) {
            // The local module still relays to the silent remote one: three CANs end its
            // relay, so that it takes commands again (for the next device of a batch).
            if (m_settings.variant == TransferVariant::Remote)
                Cancel();
            return TransferResult::NoBlockAnswer;
        }
        if (answer == kAck) {
            // 64-bit: remaining * 100 overflows 32 bits for images above 21 MB.
            m_view.SetStatus(Format("%.2f%% Completed!", 100.0 - remaining * 100.0 / total));
            m_view.SetProgress(static_cast<int>(100 - (remaining * 100) / total));
            m_line.Sleep(1);
            return TransferResult::Completed;
        }
        ShowBlockError(answer, ordinal, retries);
        Drain();
        m_line.Sleep(1);
        if (--retries < 0) {
            Cancel();
            return TransferResult::RetriesExhausted;
        }
    }
}

void CFirmwareTransfer::ShowBlockError(int answer, int64_t ordinal, int retries) {
    const long long n = ordinal;
    if (answer == kNak)
        m_view.SetStatus(Format("%3.3lld Packets Error! [NAK-%2.2d]", n, retries));
    else if (answer == kCan)
        m_view.SetStatus(Format("%lld Packets Error! [CAN]", n));
    else
        m_view.SetStatus(Format("%3.3lld Packets Error! [0x%2.2X-%2.2d]", n, answer, retries));
}

TransferResult CFirmwareTransfer::Finish() {
    m_view.SetStatus("Finishing...");
    WriteByte(kEot);
    if (m_line.ReadRxByte(kByteWaitMs) == -1)
        return m_line.StopRequested() ? TransferResult::Stopped : TransferResult::NoEotAnswer;
    WriteByte(kEot);
    m_line.Write(reinterpret_cast<const uint8_t*>("\r\n"), 2);
    m_line.Sleep(100);
    m_view.SetStatus("Update complete.");
    // The local module reports a remote module's refusal of the image with "ERROR": no
    // completion will follow then.
    m_failFrom = m_settings.variant == TransferVariant::Remote ? m_reply.size() : std::string::npos;
    const TransferResult r = WaitForText("omplete", false, 0, TransferResult::NoCompletion);
    m_failFrom = std::string::npos;
    if (r == TransferResult::Completed)
        m_line.Sleep(100);
    return r;
}

TransferResult CFirmwareTransfer::WaitForText(const char* needle, bool asWordLine, size_t from,
                                              TransferResult onSilence) {
    int64_t lastByteAt = m_line.NowMs();
    for (;;) {
        const size_t before = m_reply.size();
        const bool lost = m_line.LineLost(); // before taking, so that the last bytes count
        m_line.TakeArrived(m_reply);
        const size_t at =
            asWordLine ? FindWordLine(m_reply, needle, nullptr, from) : m_reply.find(needle, from);
        if (at != std::string::npos)
            return TransferResult::Completed;
        if (m_failFrom != std::string::npos &&
            m_reply.find("ERROR", m_failFrom) != std::string::npos)
            return TransferResult::Rejected;
        if (m_line.StopRequested())
            return TransferResult::Stopped;
        if (lost)
            return TransferResult::LineLost;
        const int64_t now = m_line.NowMs();
        if (m_reply.size() != before)
            lastByteAt = now;
        if (now - lastByteAt >= m_settings.textWaitLimitMs)
            return onSilence;
        m_line.Sleep(kTextPollMs);
    }
}

TransferResult CFirmwareTransfer::Ending() {
    if (m_settings.variant == TransferVariant::Remote)
        return TransferResult::Completed;
    WriteByte('2');
    if (m_settings.variant == TransferVariant::Recovery) {
        m_view.SetStatus("Completed successfully.");
        return TransferResult::Completed;
    }
    // The restarted application says "OK": only text that arrives after the "2" counts, so
    // that an "OK" of an earlier answer cannot pass for it.
    return WaitForText("OK", true, m_reply.size(), TransferResult::NoRestart);
}
