// The COM port of the local device: opens the line with the user's settings, runs a reader
// thread that moves every received byte into m_rxRing, and offers one write operation.
//
// Threads:
// - Open, Close and SetLostHandler belong to the owner's thread (one at a time). Open is only
//   called on a closed port; Close joins the reader, so no reader of an earlier connection
//   survives a new Open.
// - Write may be called from any thread (GUI thread, transfer threads), also while another
//   thread closes the port; writes are serialised. Close wakes a Write that waits for room
//   on the line and returns only after it has left; a Write that starts during or after
//   Close returns 0 and touches no device.
// - Read is used only by the reader thread. m_rxRing, IsOpen, IsLost and LastError are safe
//   from any thread.
// - The lost handler runs on the reader thread (see SetLostHandler).
// - Every byte written and read, and the port's opening, closing and loss, go to the active
//   traffic transcript (serial/Transcript.h) when there is one; recording only queues them.
#pragma once

#include "serial/LineSettings.h"
#include "serial/PortOpenFailure.h"
#include "serial/RingBuffer.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
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

    // 1 on success, 0 on failure (OpenFailure() then says why, LastError() in one line).
    // Shows nothing. A failure because the device is busy looks up the programs holding it.
    int Open(int port, int baudRate, uint8_t parity, uint8_t byteSize, uint8_t stopBits,
             int flowControl);
    // Stops and joins the reader, wakes a waiting Write and waits for it to leave, purges
    // both directions and releases the device.
    void Close();
    // Bytes written, 0 on failure. Every write has a deadline (WriteDeadlineMs); one that
    // cannot finish by then returns what got through.
    int Write(const void* buffer, int length);
    int Write(const std::string& text) { return Write(text.data(), static_cast<int>(text.size())); }
    // Reader thread only: bytes read, at most maxLength, never waiting for more than the
    // driver holds.
    int Read(uint8_t* buffer, int maxLength);

    // Owner's thread: tells the active transcript that the port is open and how, for a
    // transcript started while it already was.
    void AnnounceToTranscript() const;

    bool IsOpen() const;
    // True when the device went away while open (the reader has ended).
    bool IsLost() const { return m_bLost.load(); }
    std::string LastError() const;
    // Why the last Open failed; cause None after a successful Open.
    vireo::PortOpenFailure OpenFailure() const;
    // handler is called on the reader thread when the line goes away while the port is open
    // (end of file, hang-up, I/O error): at most once per connection, never because of Close.
    // It is called outside the port's locks, but Close waits for the reader, so the handler
    // must return promptly and must not wait for the owner's thread nor call Open or Close:
    // post to the owner's thread instead. A loss that races with Close may still be reported
    // once. An empty handler turns the notification off.
    void SetLostHandler(std::function<void()> handler);

    std::string m_strDevice;
    std::atomic<int> m_bRunning{0};
    CRingBuffer m_rxRing;
    uint32_t m_dwInQueue = 4096;
    uint32_t m_dwOutQueue = 4096;
    // When 1, the reader posts WM_SERIAL_DATA to the Terminal page after each burst.
    std::atomic<int> m_bNotifyTerminal{0};

private:
    using Deadline = std::chrono::steady_clock::time_point;

    // The platform's part of Open.
    int OpenDevice(int port, int baudRate, uint8_t parity, uint8_t byteSize, uint8_t stopBits,
                   int flowControl);
    static int ReaderThread(CSerialPort* port);
    // Milliseconds until deadline, 0 once it has passed.
    static int MillisecondsLeft(Deadline deadline);
    // Starts the reader on an opened device of COM<port>; on failure closes the port and
    // returns 0.
    int StartReader(int port);
    // Moves everything the driver holds into the ring, then notifies the Terminal page.
    void ReceiveBurst();
    void SetError(const std::string& what);
    // Records why Open fails (the device must already be released, so that a busy device's
    // holders are the others) and sets LastError to its detail line.
    void FailOpen(int port, vireo::PortOpenCause cause, const std::string& systemText);
    // Reader thread: marks the port lost and tells the owner through the lost handler.
    void ReportLoss();
    // Platform parts of Close and Write.
    void WakeWaiters();     // releases the reader's wait and a Write waiting for room
    void PurgeAndRelease(); // called with the write lock held
    void ReleaseDevice();
    // Called with the write lock held on an open port.
    int WriteUntil(const uint8_t* bytes, int length, Deadline deadline);

    std::thread m_hThread;
    std::mutex m_writeLock;
    mutable std::mutex m_errorLock;
    std::string m_lastError;
    vireo::PortOpenFailure m_openFailure;
    std::atomic<bool> m_bLost{false};
    std::mutex m_lostLock;
    std::function<void()> m_lostHandler;
    int m_nWriteMultiplier = 0; // ms per byte of the line rate, set by Open before the reader
    std::atomic<int> m_nPortNumber{0}; // n of COM<n> while open, for the transcript
    std::string m_strLineDescription;  // owner's thread: the device and line settings
#ifdef _WIN32
    std::atomic<HANDLE> m_hComm{INVALID_HANDLE_VALUE};
    OVERLAPPED m_ovRead{};
    OVERLAPPED m_ovWrite{};
    HANDLE m_hStopWrite = nullptr; // manual-reset event set by Close; a pending write ends
#else
    std::atomic<int> m_fd{-1};
    int m_wakePipe[2] = {-1, -1};
#endif
};
