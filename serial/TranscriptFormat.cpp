#include "serial/TranscriptFormat.h"

#include <cstdio>

namespace {

constexpr uint8_t kSoh = 0x01, kStx = 0x02, kEot = 0x04, kCan = 0x18;

const char* ControlName(uint8_t byte) {
    switch (byte) {
    case 0x00: return "<NUL>";
    case 0x01: return "<SOH>";
    case 0x04: return "<EOT>";
    case 0x06: return "<ACK>";
    case 0x0A: return "<LF>";
    case 0x0D: return "<CR>";
    case 0x15: return "<NAK>";
    case 0x18: return "<CAN>";
    case 0x1B: return "<ESC>";
    default: return nullptr;
    }
}

// CRC-16 of an XMODEM block (polynomial 0x1021, initial value 0). Bitwise: the transcript
// checks a block on its own writer thread and needs no table of the transfer's.
uint16_t BlockCrc16(const uint8_t* data, size_t length) {
    uint16_t crc = 0;
    for (size_t i = 0; i < length; ++i) {
        crc = static_cast<uint16_t>(crc ^ (data[i] << 8));
        for (int bit = 0; bit < 8; ++bit)
            crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
    return crc;
}

// Data bytes of a block frame of this length and start byte; 0 when it is none.
size_t BlockDataSize(const uint8_t* bytes, size_t length) {
    if (length == 3 + 128 + 2 && bytes[0] == kSoh)
        return 128;
    if (length == 3 + 1024 + 2 && bytes[0] == kStx)
        return 1024;
    return 0;
}

} // namespace

std::string RenderTrafficBytes(const uint8_t* bytes, size_t length) {
    std::string text;
    text.reserve(length);
    for (size_t i = 0; i < length; ++i) {
        const uint8_t byte = bytes[i];
        if (const char* name = ControlName(byte)) {
            text += name;
        } else if (byte >= 0x20 && byte < 0x7F) {
            text.push_back(static_cast<char>(byte));
        } else {
            char hex[8];
            std::snprintf(hex, sizeof hex, "<0x%02X>", byte);
            text += hex;
        }
    }
    return text;
}

std::string FormatTranscriptTime(int64_t microseconds) {
    if (microseconds < 0)
        microseconds = 0;
    const long long ms = static_cast<long long>(microseconds / 1000);
    char text[32];
    std::snprintf(text, sizeof text, "%6lld.%03lld", ms / 1000, ms % 1000);
    return text;
}

std::string DescribeLineSettings(int baudRate, uint8_t parity, uint8_t byteSize, uint8_t stopBits,
                                 int flowControl) {
    static const char* const kParity[] = {"no parity", "odd parity", "even parity", "mark parity",
                                          "space parity"};
    static const char* const kStopBits[] = {"1 stop bit", "1.5 stop bits", "2 stop bits"};
    const char* flow = flowControl == 11   ? "XON/XOFF flow control"
                       : flowControl == 12 ? "RTS/CTS flow control"
                                           : "no flow control";
    return std::to_string(baudRate) + " baud, " + std::to_string(byteSize) + " data bits, " +
           (parity < 5 ? kParity[parity] : "unknown parity") + ", " +
           (stopBits < 3 ? kStopBits[stopBits] : "unknown stop bits") + ", " + flow;
}

void CTranscriptFormat::Record(int64_t atUs, int port, const char* mark, const std::string& text,
                               std::string& out) const {
    out += FormatTranscriptTime(atUs);
    out.push_back(' ');
    if (port > 0)
        out += "COM" + std::to_string(port) + ' ';
    out += mark;
    out.push_back(' ');
    out += text;
    out.push_back('\n');
}

void CTranscriptFormat::EmitHeld(std::string& out) {
    Record(m_heldSinceUs, m_heldPort, "<-",
           RenderTrafficBytes(reinterpret_cast<const uint8_t*>(m_held.data()), m_held.size()), out);
    m_held.clear();
}

std::string CTranscriptFormat::DescribeBlock(const uint8_t* bytes, size_t length) {
    const size_t data = BlockDataSize(bytes, length);
    if (data == 0 || static_cast<uint8_t>(bytes[1] + bytes[2]) != 0xFF)
        return "";
    const uint16_t onLine = static_cast<uint16_t>(bytes[3 + data] << 8 | bytes[4 + data]);
    const bool crcOk = BlockCrc16(bytes + 3, data) == onLine;
    // The frame carries the number's low byte: continue the running count when it fits.
    const bool again = m_lastBlock > 0 && bytes[1] == (m_lastBlock & 0xFF);
    if (!again)
        m_lastBlock =
            m_lastBlock > 0 && bytes[1] == ((m_lastBlock + 1) & 0xFF) ? m_lastBlock + 1 : bytes[1];
    return "XMODEM block " + std::to_string(m_lastBlock) + (again ? " again" : "") + " (" +
           std::to_string(data) + " bytes, CRC " + (crcOk ? "ok" : "wrong") + ")";
}

void CTranscriptFormat::Sent(int64_t atUs, int port, const uint8_t* bytes, size_t length,
                             std::string& out) {
    Flush(atUs, true, out);
    if (port != m_blockPort) {
        m_blockPort = port;
        m_lastBlock = 0;
    }
    std::string block = DescribeBlock(bytes, length);
    if (block.empty() && length == 1 && (bytes[0] == kEot || bytes[0] == kCan))
        m_lastBlock = 0; // the transfer ends; a next one counts from its own first block
    Record(atUs, port, "->", block.empty() ? RenderTrafficBytes(bytes, length) : block, out);
}

void CTranscriptFormat::Received(int64_t atUs, int port, const uint8_t* bytes, size_t length,
                                 std::string& out) {
    if (!m_held.empty() && (port != m_heldPort || atUs - m_heldLastUs > kJoinGapUs))
        EmitHeld(out);
    for (size_t i = 0; i < length; ++i) {
        if (m_held.empty()) {
            m_heldSinceUs = atUs;
            m_heldPort = port;
        }
        m_held.push_back(static_cast<char>(bytes[i]));
        if (bytes[i] == '\n' || m_held.size() >= kMaxJoined)
            EmitHeld(out);
    }
    m_heldLastUs = atUs;
}

void CTranscriptFormat::Note(int64_t atUs, int port, const std::string& text, std::string& out) {
    Flush(atUs, true, out);
    if (port == m_blockPort)
        m_lastBlock = 0;
    Record(atUs, port, port > 0 ? "==" : "--", text, out);
}

void CTranscriptFormat::Flush(int64_t nowUs, bool force, std::string& out) {
    if (!m_held.empty() && (force || nowUs - m_heldLastUs > kJoinGapUs))
        EmitHeld(out);
}
