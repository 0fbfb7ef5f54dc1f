// The transfer's line on the serial port of the local device: bytes come from the port's
// receive ring, waits sleep on the ring's condition variable instead of polling, and a stop
// request from another thread ends every wait at once.
#pragma once

#include "firmware/FirmwareTransfer.h"

#include <atomic>
#include <condition_variable>
#include <mutex>

class CSerialPort;

class CPortTransferLine : public ITransferLine {
public:
    explicit CPortTransferLine(CSerialPort& port) : m_port(port) {}

    int ReadRxByte(int timeoutMs) override;
    void Write(const uint8_t* bytes, int length) override;
    void TakeArrived(std::string& text) override;
    void Sleep(int ms) override;
    int64_t NowMs() override;
    bool StopRequested() override { return m_stop.load(); }
    bool LineLost() override;

    // Any thread: asks the transfer to stop and wakes its waits.
    void RequestStop();

private:
    CSerialPort& m_port;
    std::atomic<bool> m_stop{false};
    std::mutex m_lock;
    std::condition_variable m_wake;
};
