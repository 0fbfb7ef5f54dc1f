// The parts of CSerialPort that do not depend on the platform: the order of Close, the
// checks and the deadline of Write, starting the reader and reporting a lost line.
#include "serial/SerialPort.h"
#include "platform/PortMap.h"
#include "serial/SerialNotify.h"
#include "serial/Transcript.h"
#include "serial/TranscriptFormat.h"

#include <algorithm>
#include <climits>

CSerialPort::CSerialPort() {
    m_rxRing.Clear();
}

CSerialPort::~CSerialPort() {
    Close();
}

void CSerialPort::SetError(const std::string& what) {
    std::lock_guard<std::mutex> guard(m_errorLock);
    m_lastError = what;
}

std::string CSerialPort::LastError() const {
    std::lock_guard<std::mutex> guard(m_errorLock);
    return m_lastError;
}

vireo::PortOpenFailure CSerialPort::OpenFailure() const {
    std::lock_guard<std::mutex> guard(m_errorLock);
    return m_openFailure;
}

void CSerialPort::FailOpen(int port, vireo::PortOpenCause cause, const std::string& systemText) {
    vireo::PortOpenFailure failure;
    failure.cause = cause;
    failure.port = port;
    failure.device = m_strDevice.empty() ? vireo::PortDeviceCandidate(port) : m_strDevice;
    failure.systemText = systemText;
    if (cause == vireo::PortOpenCause::Busy && !failure.device.empty())
        failure.holders = vireo::FindDeviceHolders(failure.device);
    const std::string detail = vireo::PortOpenDetail(failure);
    std::lock_guard<std::mutex> guard(m_errorLock);
    m_openFailure = std::move(failure);
    m_lastError = detail;
}

void CSerialPort::SetLostHandler(std::function<void()> handler) {
    std::lock_guard<std::mutex> guard(m_lostLock);
    m_lostHandler = std::move(handler);
}

int CSerialPort::MillisecondsLeft(Deadline deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::clamp<long long>(left.count(), 0, INT_MAX));
}

int CSerialPort::Open(int port, int baudRate, uint8_t parity, uint8_t byteSize, uint8_t stopBits,
                      int flowControl) {
    m_strLineDescription = DescribeLineSettings(baudRate, parity, byteSize, stopBits, flowControl);
    m_nPortNumber = port;
    const int opened = OpenDevice(port, baudRate, parity, byteSize, stopBits, flowControl);
    if (const auto transcript = ActiveTranscript()) {
        if (opened)
            AnnounceToTranscript();
        else
            transcript->Note(port, "cannot open at " + m_strLineDescription + ": " + LastError());
    }
    return opened;
}

void CSerialPort::AnnounceToTranscript() const {
    const auto transcript = ActiveTranscript();
    if (transcript && IsOpen())
        transcript->Note(m_nPortNumber, "open " + m_strDevice + ": " + m_strLineDescription);
}

int CSerialPort::StartReader(int port) {
    {
        std::lock_guard<std::mutex> guard(m_errorLock);
        m_openFailure = {};
    }
    m_bLost = false;
    m_bRunning = 1;
    try {
        m_hThread = std::thread(&CSerialPort::ReaderThread, this);
    } catch (const std::system_error& e) {
        Close();
        FailOpen(port, vireo::PortOpenCause::Other,
                 std::string("cannot start the reader: ") + e.what());
        return 0;
    }
    return 1;
}

void CSerialPort::Close() {
    const bool wasOpen = IsOpen();
    m_bRunning = 0;
    WakeWaiters();
    if (m_hThread.joinable())
        m_hThread.join();
    // A Write still running has been woken and is leaving; the lock waits for it. A Write
    // that comes later finds m_bRunning at 0 under the same lock and touches nothing.
    std::lock_guard<std::mutex> guard(m_writeLock);
    PurgeAndRelease();
    if (const auto transcript = ActiveTranscript(); transcript && wasOpen)
        transcript->Note(m_nPortNumber, "closed");
}

int CSerialPort::Write(const void* buffer, int length) {
    if (length <= 0)
        return 0;
    std::lock_guard<std::mutex> guard(m_writeLock);
    if (m_bRunning.load() == 0 || !IsOpen())
        return 0; // closed, or Close has begun
    const Deadline deadline =
        std::chrono::steady_clock::now() +
        std::chrono::milliseconds(WriteDeadlineMs(m_nWriteMultiplier, length));
    // Recorded before the write, so that the answer cannot come before it in the transcript.
    const auto transcript = ActiveTranscript();
    if (transcript)
        transcript->Sent(m_nPortNumber, buffer, static_cast<size_t>(length));
    const int written = WriteUntil(static_cast<const uint8_t*>(buffer), length, deadline);
    if (transcript && written < length)
        transcript->Note(m_nPortNumber, "only " + std::to_string(written) + " of " +
                                            std::to_string(length) +
                                            " bytes written: " + LastError());
    return written;
}

void CSerialPort::ReceiveBurst() {
    uint8_t chunk[4096];
    int n;
    const auto transcript = ActiveTranscript();
    while ((n = Read(chunk, static_cast<int>(sizeof(chunk)))) > 0) {
        if (transcript)
            transcript->Received(m_nPortNumber, chunk, static_cast<size_t>(n));
        m_rxRing.PutBurst(chunk, static_cast<size_t>(n));
    }
    // One notification for the whole burst, however many chunks it took.
    if (m_bNotifyTerminal.load() == 1)
        PostWindowMessage(g_hTerminalWnd.load(), WM_SERIAL_DATA);
}

void CSerialPort::ReportLoss() {
    m_bLost = true;
    SetError(m_strDevice + ": the device went away");
    if (const auto transcript = ActiveTranscript())
        transcript->Note(m_nPortNumber, "the device went away");
    if (m_bRunning.load() == 0)
        return; // the owner is closing the port: a failing line is no news to it
    std::function<void()> handler;
    {
        std::lock_guard<std::mutex> guard(m_lostLock);
        handler = m_lostHandler;
    }
    // Called with no lock held, so that the handler may take the owner's locks.
    if (handler)
        handler();
}
