// The COM port of the local device: opens the line with the user's settings, runs a reader
// thread that moves every received byte into m_rxRing, and offers one write operation.
//
// Threads: Open, Close and Write are called by the owner's threads (GUI thread, transfer
// threads); writes are serialised. Read is used only by the reader thread. m_rxRing is safe
// from any thread. Open is only called on a closed port; Close joins the reader, so no
// reader of an earlier connection survives a new Open.
#pragma once

#include "serial/LineSettings.h"
#include "serial/RingBuffer.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#ifdef _WIN32
#include <windows.h>
#endif

class CSerialPort {
public:
    CSerialPort();
    ~CSerialPort();
    CSerialPort(const CSerialPort&) = delete;
    CSerialPort& operator=(const CSerialPort&) = delete;

    // 1 on success, 0 on failure (LastError() then says why). Shows nothing.
    int Open(int port, int baudRate, uint8_t parity, uint8_t byteSize, uint8_t stopBits,
             int flowControl);
    // Stops and joins the reader, purges both directions and releases the device.
    void Close();
    // Bytes written, 0 on failure; bounded by the write time-out of the line rate.
    int Write(const void* buffer, int length);
    int Write(const std::string& text) { return Write(text.data(), static_cast<int>(text.size())); }
    // Reader thread only: bytes read, at most maxLength, never waiting for more than the
    // driver holds.
    int Read(uint8_t* buffer, int maxLength);

    bool IsOpen() const;
    // True when the device went away while open (the reader has ended).
    bool IsLost() const { return m_bLost.load(); }
    std::string LastError() const;

    std::string m_strDevice;
    std::atomic<int> m_bRunning{0};
    CRingBuffer m_rxRing;
    uint32_t m_dwInQueue = 4096;
    uint32_t m_dwOutQueue = 4096;
    // When 1, the reader posts WM_SERIAL_DATA to the Terminal page after each burst.
    std::atomic<int> m_bNotifyTerminal{0};

private:
    static int ReaderThread(CSerialPort* port);
    // Starts the reader on an opened device; on failure closes the port and returns 0.
    int StartReader();
    // Moves everything the driver holds into the ring, then notifies the Terminal page.
    void ReceiveBurst();
    void SetError(const std::string& what);
    void ReleaseDevice();

    std::thread m_hThread;
    std::mutex m_writeLock;
    mutable std::mutex m_errorLock;
    std::string m_lastError;
    std::atomic<bool> m_bLost{false};
    int m_nWriteMultiplier = 0; // ms per byte, 0 = no write time-out
#ifdef _WIN32
    HANDLE m_hComm = INVALID_HANDLE_VALUE;
    OVERLAPPED m_ovRead{};
    OVERLAPPED m_ovWrite{};
#else
    int m_fd = -1;
    int m_wakePipe[2] = {-1, -1};
#endif
};
