// The AT dialogue with the local device: the connection state, the serial port, the reply
// text and the four blocking request/response transactions every other part uses.
//
// Conventions: a command carries its own line end and is written unchanged in one write;
// remote commands are wrapped as "AT+RC=" + address + "," + command; a time-out of N seconds
// is N * 100 polls, each sleeping 10 ms and then taking what arrived; an "OK" line is success
// and is tested before an "ERROR" line (see ReplyWords.h); running out of polls is failure.
//
// All transactions run on the calling (GUI) thread and block it, with the wait cursor shown.
#pragma once

#include "serial/ReplyWords.h"
#include "serial/SerialPort.h"

#include <functional>
#include <string>

class CDeviceLink {
public:
    CDeviceLink();
    virtual ~CDeviceLink() = default;

    // 1 if "OK" came, 0 otherwise. Not connected: shows "ERROR: Could not close serial port.".
    int SendCommand(const std::string& command, int timeoutSeconds);
    int SendRemoteCommand(const std::string& command, int timeoutSeconds, std::string address);
    // The reply value when "OK" came; "ERROR" on an error reply, a time-out or a time-out
    // below one poll; "ENTER" or "START" for the bootloader answers; empty when not connected.
    std::string QueryCommand(const std::string& command, int timeoutSeconds);
    // The reply value, "ERROR", or empty when not connected.
    std::string QueryRemoteCommand(const std::string& command, int timeoutSeconds,
                                   std::string address);

    // Sends a command whose answer is a whole listing (the network scan) and gives the
    // collected reply up to its "OK" line, or "ERROR" when not connected, on an "ERROR" line
    // first, or when no "OK" came in time. Shows no wait cursor and no message.
    std::string ScanCommand(const std::string& command, int timeoutSeconds);

    // Appends what the ring holds to m_strReply and empties the ring, as one step.
    void TakeArrived();
    // Cuts the value out of a query's reply text.
    static std::string ReplyValue(const std::string& reply);
    static std::string RemoteWrapper(const std::string& address, const std::string& command);

    // Sleeps ms milliseconds; every wait of the dialogue goes through here, so that tests
    // can count polls or let time pass faster.
    void Sleep(int ms) { m_sleep(ms); }

    int m_bPortOpen = 0;
    CSerialPort m_serial;
    std::string m_strReply;
    std::function<void(int)> m_sleep;

private:
    // Clears the ring and reply, writes text and polls until a reply word or the time-out; a
    // lost line ends the polls early.
    // With quietLimit, the time-out counts from the last byte received rather than from the
    // command, up to two minutes in all: a long listing at a slow rate is read whole.
    ReplyWord Transact(const std::string& text, int timeoutSeconds, BootloaderWords words,
                       bool quietLimit = false);
};

// The caption of the program's message boxes.
extern const char* const kAppCaption;
