// How the traffic transcript renders the line: events in, record lines out.
#include "serial/TranscriptFormat.h"
#include "firmware/FirmwareTransfer.h"

#include <gtest/gtest.h>
#include <vector>

namespace {

enum class Ev { Sent, Received, Note, Flush };

struct Event {
    Ev kind;
    int64_t atMs;
    int port;
    std::string bytes;
};

// A block as the firmware transfer puts it on the line.
std::string Block(int64_t ordinal, bool spoilCrc = false) {
    CrcTable table;
    BuildCrcTable(table);
    uint8_t data[CFirmwareTransfer::kDataSize];
    for (size_t i = 0; i < sizeof data; ++i)
        data[i] = static_cast<uint8_t>(i * 7 + ordinal);
    uint8_t block[CFirmwareTransfer::kBlockSize];
    CFirmwareTransfer::BuildBlock(block, table, ordinal, data, sizeof data);
    if (spoilCrc)
        block[131] ^= 0x40;
    return std::string(reinterpret_cast<const char*>(block), sizeof block);
}

std::string Render(const std::vector<Event>& events) {
    CTranscriptFormat format;
    std::string out;
    for (const Event& e : events) {
        const auto* bytes = reinterpret_cast<const uint8_t*>(e.bytes.data());
        const int64_t us = e.atMs * 1000;
        switch (e.kind) {
        case Ev::Sent: format.Sent(us, e.port, bytes, e.bytes.size(), out); break;
        case Ev::Received: format.Received(us, e.port, bytes, e.bytes.size(), out); break;
        case Ev::Note: format.Note(us, e.port, e.bytes, out); break;
        case Ev::Flush: format.Flush(us, e.port != 0, out); break;
        }
    }
    return out;
}

struct Case {
    const char* name;
    std::vector<Event> events;
    std::string expected;
};

const std::string kControls("\x00\x01\x04\x06\x15\x18\x1B\x09\x7F\xFF\x0A", 11);

const Case kCases[] = {
    {"control bytes by name, others as hex",
     {{Ev::Sent, 0, 1, kControls}},
     "     0.000 COM1 -> <NUL><SOH><EOT><ACK><NAK><CAN><ESC><0x09><0x7F><0xFF><LF>\n"},
    {"a received line split across batches is one record at its first byte's time",
     {{Ev::Received, 10, 1, "KA4"},
      {Ev::Received, 20, 1, "0 v1.1.0\r\nOK\r"},
      {Ev::Received, 30, 1, "\n"}},
     "     0.010 COM1 <- KA40 v1.1.0<CR><LF>\n     0.020 COM1 <- OK<CR><LF>\n"},
    {"a pause ends a held record; a flush writes it only after the gap",
     {{Ev::Received, 0, 1, "BL >"},
      {Ev::Received, 1500, 1, "1"},
      {Ev::Flush, 1550, 0, ""},
      {Ev::Flush, 1650, 0, ""}},
     "     0.000 COM1 <- BL >\n     1.500 COM1 <- 1\n"},
    {"a write ends a held record first",
     {{Ev::Received, 1, 1, "C"},
      {Ev::Sent, 2, 1, Block(1)},
      {Ev::Received, 14, 1, "\x06"},
      {Ev::Flush, 15, 1, ""}},
     "     0.001 COM1 <- C\n     0.002 COM1 -> XMODEM block 1 (128 bytes, CRC ok)\n"
     "     0.014 COM1 <- <ACK>\n"},
    {"a block with a wrong CRC, sent again after a NAK",
     {{Ev::Sent, 0, 1, Block(7, true)}, {Ev::Received, 1, 1, "\x15"}, {Ev::Sent, 2, 1, Block(7)}},
     "     0.000 COM1 -> XMODEM block 7 (128 bytes, CRC wrong)\n     0.001 COM1 <- <NAK>\n"
     "     0.002 COM1 -> XMODEM block 7 again (128 bytes, CRC ok)\n"},
    {"after EOT the next transfer counts from its own first block",
     {{Ev::Sent, 0, 1, Block(300)}, {Ev::Sent, 1, 1, "\x04"}, {Ev::Sent, 2, 1, Block(1)}},
     "     0.000 COM1 -> XMODEM block 44 (128 bytes, CRC ok)\n     0.001 COM1 -> <EOT>\n"
     "     0.002 COM1 -> XMODEM block 1 (128 bytes, CRC ok)\n"},
    {"a frame whose number and complement disagree is shown raw",
     {{Ev::Sent, 0, 1, std::string("\x01\x02\x02", 3)}},
     "     0.000 COM1 -> <SOH><0x02><0x02>\n"},
    {"another port ends a held record; notes without a port",
     {{Ev::Received, 0, 1, "A"},
      {Ev::Received, 1, 2, "B\n"},
      {Ev::Note, 2, 2, "closed"},
      {Ev::Note, 3, 0, "12 bytes not recorded"}},
     "     0.000 COM1 <- A\n     0.001 COM2 <- B<LF>\n     0.002 COM2 == closed\n"
     "     0.003 -- 12 bytes not recorded\n"},
};

TEST(TranscriptFormat, RendersEachCase) {
    for (const Case& c : kCases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Render(c.events), c.expected);
    }
}

} // namespace
