// Line settings as the settings combos deliver them, and their mapping onto termios.
#pragma once

#include <cstdint>
#include <string>

// Codes taken by CSerialPort::Open. On Windows the parity and stop-bit codes are the
// system's own macros, with the same values.
#ifdef _WIN32
#include <windows.h>
#else
constexpr uint8_t NOPARITY = 0, ODDPARITY = 1, EVENPARITY = 2, MARKPARITY = 3, SPACEPARITY = 4;
constexpr uint8_t ONESTOPBIT = 0, TWOSTOPBITS = 2;
#endif
constexpr int FLOW_NONE = 10, FLOW_SOFTWARE = 11, FLOW_HARDWARE = 12;
constexpr uint8_t XON_CHAR = 17, XOFF_CHAR = 19; // DC1, DC3

struct LineSettings {
    int baudRate = 9600;
    uint8_t parity = NOPARITY;
    uint8_t byteSize = 8;
    uint8_t stopBits = ONESTOPBIT;
    int flowControl = FLOW_NONE;
};

// Write time-out in milliseconds per byte: 230400 / baud rate (integer division); 0 at
// 460800 baud and faster, where the rate sets no limit of its own (WriteDeadlineMs gives one).
// Baud rate 0 gives 0.
int WriteTimeoutMultiplier(int baudRate);

// The time a write of length bytes may take, in milliseconds: multiplier ms per byte. Where
// the multiplier is 0 (460800 baud and faster) a write still gets a deadline, so that a
// module that sends XOFF and falls silent cannot hold the writer for good: 1 ms per byte, the
// figure of 230400 baud and some 45 times a byte's line time at 460800, but never less than
// kMinWriteDeadlineMs, so that a short command waits out a brief XOFF pause (a module busy
// writing its flash) instead of failing at once.
constexpr int kMinWriteDeadlineMs = 500;
int64_t WriteDeadlineMs(int writeMultiplier, int length);

#ifndef _WIN32
#include <termios.h>

struct TermiosResult {
    termios tio{};
    bool customSpeed = false; // the rate has no B-constant: set it with termios2 (Linux)
    std::string error;        // empty on success
};

// Builds the termios record for settings from the port's current record. Raw byte transfer
// always; parity, byte size, stop bits and speed as asked; flow control 10/11/12 sets
// CRTSCTS, IXON/IXOFF and the XON/XOFF characters, any other code leaves them as they are.
// Values the line cannot take (baud 0, byte size outside 5..8, stop-bit code other than 0/2,
// unknown parity) give an error text.
TermiosResult BuildTermios(const termios& current, const LineSettings& settings);
#endif
