// The text of a traffic transcript: what went over the serial line, rendered so that a person
// can read it. Pure formatting without threads or files; CTranscript feeds it.
//
// A record is one line: seconds since the start (millisecond precision), the port, a
// direction mark ("->" sent to the module, "<-" received from it, "==" an event of the port,
// "--" an event of the transcript) and the bytes. Printable ASCII shows as it is, control
// bytes by name (<CR>, <LF>, <ESC>, <NUL>, <CAN>, <SOH>, <ACK>, <NAK>, <EOT>), other bytes as
// <0xNN>. A write that is exactly one XMODEM block frame shows as one summary line instead of
// its 133 raw bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// bytes as a record shows them.
std::string RenderTrafficBytes(const uint8_t* bytes, size_t length);

// Seconds of microseconds since the start, right-aligned with milliseconds: "    12.345".
std::string FormatTranscriptTime(int64_t microseconds);

// The line settings of CSerialPort::Open in words: "115200 baud, 8 data bits, no parity,
// 1 stop bit, no flow control".
std::string DescribeLineSettings(int baudRate, uint8_t parity, uint8_t byteSize, uint8_t stopBits,
                                 int flowControl);

class CTranscriptFormat {
public:
    // Received bytes are held and joined into one record until a line feed ends it, the
    // record reaches kMaxJoined bytes, or more than kJoinGapUs pass without a byte; a record
    // of any other kind ends it too, so that records stay in time order.
    static constexpr int64_t kJoinGapUs = 100000;
    static constexpr size_t kMaxJoined = 128;

    // Each call appends the records it completes to out; port 0 means "no port".
    void Sent(int64_t atUs, int port, const uint8_t* bytes, size_t length, std::string& out);
    void Received(int64_t atUs, int port, const uint8_t* bytes, size_t length, std::string& out);
    void Note(int64_t atUs, int port, const std::string& text, std::string& out);
    // Ends a held record once its gap has passed at nowUs (the file is then current even
    // when the module says nothing more); with force, at once.
    void Flush(int64_t nowUs, bool force, std::string& out);

private:
    void Record(int64_t atUs, int port, const char* mark, const std::string& text,
                std::string& out) const;
    void EmitHeld(std::string& out);
    // "XMODEM block N (128 bytes, CRC ok)" when bytes are one block frame, else empty.
    std::string DescribeBlock(const uint8_t* bytes, size_t length);

    std::string m_held;
    int m_heldPort = 0;
    int64_t m_heldSinceUs = 0; // time of the first held byte
    int64_t m_heldLastUs = 0;  // time of the last
    // The running number of the last block (the frame carries only its low 8 bits) and the
    // port it went to; reset by an EOT or CAN, which end a transfer.
    int64_t m_lastBlock = 0;
    int m_blockPort = 0;
};
