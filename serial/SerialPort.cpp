// The parts of CSerialPort that do not depend on the platform.
#include "serial/SerialPort.h"
#include "serial/SerialNotify.h"

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

int CSerialPort::StartReader() {
    m_bLost = false;
    m_bRunning = 1;
    try {
        m_hThread = std::thread(&CSerialPort::ReaderThread, this);
    } catch (const std::system_error& e) {
        SetError(std::string("cannot start the reader: ") + e.what());
        Close();
        return 0;
    }
    return 1;
}

void CSerialPort::ReceiveBurst() {
    uint8_t chunk[4096];
    int n;
    while ((n = Read(chunk, static_cast<int>(sizeof(chunk)))) > 0)
        m_rxRing.PutBurst(chunk, static_cast<size_t>(n));
    // One notification for the whole burst, however many chunks it took.
    if (m_bNotifyTerminal.load() == 1)
        PostWindowMessage(g_hTerminalWnd.load(), WM_SERIAL_DATA);
}
