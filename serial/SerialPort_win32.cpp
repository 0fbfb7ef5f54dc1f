// CSerialPort on Windows: the COM device opened for overlapped I/O, a reader thread that
// waits for received-character events and drains the driver into m_rxRing, and a serialised
// overlapped write.
//
// Stopping the reader: Close clears m_bRunning and the event mask. Clearing the mask ends a
// pending WaitCommEvent at once; should a driver not do so, the reader notices the stop flag
// within kStopCheckMs, cancels its own wait and leaves. Close joins the reader before it
// purges and releases the device, so no reader of an earlier connection outlives a new Open.
//
// Stopping a write: a pending write waits on its own event and on m_hStopWrite, which Close
// sets, and for no longer than its deadline; when the stop event or the deadline comes first
// it cancels its transfer and waits until the driver is done with it. Close takes the write
// lock before it releases the device, so it waits for that.
#include "platform/PortMap.h"
#include "serial/SerialNotify.h"
#include "serial/SerialPort.h"

#include <algorithm>
#include <system_error>

namespace {

constexpr DWORD kAllPurgeFlags = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;
// How often a reader blocked in its wait looks at the stop flag when the driver did not
// release the wait on Close.
constexpr DWORD kStopCheckMs = 200;

// The system's text for an error code, one line, without the closing period.
std::string SystemErrorText(DWORD code) {
    char text[512] = {};
    DWORD len = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS |
                                   FORMAT_MESSAGE_MAX_WIDTH_MASK,
                               nullptr, code, 0, text, sizeof(text), nullptr);
    while (len > 0 && (text[len - 1] == ' ' || text[len - 1] == '.' || text[len - 1] == '\r' ||
                       text[len - 1] == '\n'))
        --len;
    const std::string number = "error " + std::to_string(code);
    return len > 0 ? std::string(text, len) + " (" + number + ")" : number;
}

// What an error of opening a COM device means. The system answers "access denied" when another
// program has the port open: serial ports are opened without sharing.
constexpr vireo::PortOpenCause CauseOfOpenError(DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_BAD_UNIT:
    case ERROR_DEV_NOT_EXIST: return vireo::PortOpenCause::NoSuchDevice;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY: return vireo::PortOpenCause::Busy;
    default: return vireo::PortOpenCause::Other;
    }
}

// Read returns at once with whatever the driver holds; a write may take multiplier ms per
// byte. With multiplier 0 the driver applies no write time-out: Write's own wait bound
// (WriteDeadlineMs) ends such a write.
constexpr COMMTIMEOUTS MakeTimeouts(DWORD writeMultiplier) {
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = MAXDWORD;
    t.ReadTotalTimeoutMultiplier = 0;
    t.ReadTotalTimeoutConstant = 0;
    t.WriteTotalTimeoutMultiplier = writeMultiplier;
    t.WriteTotalTimeoutConstant = 0;
    return t;
}

// Puts the line settings into the state the driver reported. Flow codes 10/11/12 set the
// handshake fields, limits and XON/XOFF characters; any other code leaves them as read.
// Binary mode, parity checking, error and end-of-file characters and abort-on-error always
// stay as the driver has them.
constexpr void ApplyLineSettings(DCB& dcb, const LineSettings& s) {
    if (s.flowControl == FLOW_NONE || s.flowControl == FLOW_SOFTWARE ||
        s.flowControl == FLOW_HARDWARE) {
        const bool software = s.flowControl == FLOW_SOFTWARE;
        const bool hardware = s.flowControl == FLOW_HARDWARE;
        dcb.fOutxCtsFlow = hardware ? TRUE : FALSE;
        dcb.fOutxDsrFlow = FALSE;
        dcb.fDtrControl = DTR_CONTROL_ENABLE;
        dcb.fDsrSensitivity = FALSE;
        dcb.fTXContinueOnXoff = FALSE;
        dcb.fOutX = software ? TRUE : FALSE;
        dcb.fInX = software ? TRUE : FALSE;
        dcb.fRtsControl = hardware ? RTS_CONTROL_HANDSHAKE : RTS_CONTROL_ENABLE;
        dcb.XonLim = 2048;
        dcb.XoffLim = 512;
        dcb.XonChar = static_cast<char>(software ? XON_CHAR : 0);
        dcb.XoffChar = static_cast<char>(software ? XOFF_CHAR : 0);
    }
    dcb.BaudRate = static_cast<DWORD>(s.baudRate);
    dcb.ByteSize = s.byteSize;
    dcb.Parity = s.parity;
    dcb.StopBits = s.stopBits;
}

// The system's serial driver refuses a state whose XON and XOFF characters are equal, even
// with software flow control off, where the characters are never used. Such a state is
// offered a second time with DC1/DC3, which changes nothing on the line.
constexpr bool NeedsDistinctFlowChars(const DCB& dcb) {
    return dcb.XonChar == dcb.XoffChar && !dcb.fOutX && !dcb.fInX;
}

// Finishes an overlapped read or write that did not complete at once: waits while it is
// pending or incomplete. Returns true on success; count is what the last wait reported.
// Waits until the driver is done with ov: true when the transfer completed.
bool AwaitResult(HANDLE h, OVERLAPPED& ov, DWORD& count, DWORD& error) {
    for (;;) {
        if (GetOverlappedResult(h, &ov, &count, TRUE))
            return true;
        error = GetLastError();
        if (error != ERROR_IO_INCOMPLETE)
            return false;
    }
}

bool FinishTransfer(HANDLE h, OVERLAPPED& ov, DWORD& count, DWORD& error) {
    error = GetLastError();
    if (error != ERROR_IO_PENDING)
        return false;
    return AwaitResult(h, ov, count, error);
}

// Finishes an overlapped write that did not complete at once. It waits for the write, for the
// stop event or for waitMs, whichever comes first; in the last two cases it cancels the write
// (timedOut tells the deadline). Returns only once the driver is done with ov and the buffer:
// true when the write completed (count may be short after the driver's own time-out), false
// with error otherwise (ERROR_OPERATION_ABORTED after a cancel).
bool FinishWrite(HANDLE h, OVERLAPPED& ov, HANDLE stop, DWORD waitMs, DWORD& count, DWORD& error,
                 bool& timedOut) {
    const HANDLE events[2] = {ov.hEvent, stop};
    const DWORD waited = WaitForMultipleObjects(2, events, FALSE, waitMs);
    timedOut = waited == WAIT_TIMEOUT;
    if (waited != WAIT_OBJECT_0) {
        // Not every serial driver completes a write held by XOFF or CTS when it is cancelled;
        // every one completes it on a transmit abort.
        CancelIoEx(h, &ov);
        PurgeComm(h, PURGE_TXABORT | PURGE_TXCLEAR);
    }
    return AwaitResult(h, ov, count, error);
}

enum class WaitOutcome { Event, Failed };

// One overlapped WaitCommEvent. When the stop flag drops while the driver keeps the wait
// pending, the wait is cancelled. Returns only once the driver is done with ov and mask.
WaitOutcome WaitForPortEvent(HANDLE h, OVERLAPPED& ov, DWORD& mask, const std::atomic<int>& running,
                             DWORD& error) {
    mask = 0;
    ResetEvent(ov.hEvent);
    if (WaitCommEvent(h, &mask, &ov))
        return WaitOutcome::Event;
    error = GetLastError();
    if (error != ERROR_IO_PENDING)
        return WaitOutcome::Failed;
    for (;;) {
        const DWORD signalled = WaitForSingleObject(ov.hEvent, kStopCheckMs);
        if (signalled == WAIT_OBJECT_0)
            break;
        if (signalled == WAIT_TIMEOUT && running.load() != 0)
            continue;
        CancelIo(h); // cancels this thread's wait; completion follows below
        break;
    }
    DWORD unused = 0;
    if (GetOverlappedResult(h, &ov, &unused, TRUE))
        return WaitOutcome::Event;
    error = GetLastError();
    return WaitOutcome::Failed;
}

// Compile-time checks of the line-state mapping: this file is only built by the Windows
// cross-build, where they cannot be run, so the compiler runs them.
namespace checks {

// A driver state with every field that the mapping may touch set away from its targets.
constexpr DCB DriverState() {
    DCB d{};
    d.DCBlength = sizeof(DCB);
    d.BaudRate = 1200;
    d.fBinary = TRUE;
    d.fParity = TRUE;
    d.fOutxCtsFlow = TRUE;
    d.fOutxDsrFlow = TRUE;
    d.fDtrControl = DTR_CONTROL_HANDSHAKE;
    d.fDsrSensitivity = TRUE;
    d.fTXContinueOnXoff = TRUE;
    d.fOutX = TRUE;
    d.fInX = FALSE;
    d.fErrorChar = TRUE;
    d.fNull = TRUE;
    d.fRtsControl = RTS_CONTROL_TOGGLE;
    d.fAbortOnError = TRUE;
    d.XonLim = 100;
    d.XoffLim = 200;
    d.ByteSize = 8;
    d.Parity = NOPARITY;
    d.StopBits = ONESTOPBIT;
    d.XonChar = 'A';
    d.XoffChar = 'B';
    d.ErrorChar = '?';
    d.EofChar = 26;
    d.EvtChar = '\n';
    return d;
}

constexpr DCB Applied(int flow) {
    DCB d = DriverState();
    ApplyLineSettings(d, LineSettings{115200, EVENPARITY, 7, TWOSTOPBITS, flow});
    return d;
}

constexpr bool LineFieldsSet(const DCB& d) {
    return d.BaudRate == 115200 && d.ByteSize == 7 && d.Parity == EVENPARITY &&
           d.StopBits == TWOSTOPBITS;
}

constexpr bool UntouchedKept(const DCB& d) {
    const DCB o = DriverState();
    return d.DCBlength == o.DCBlength && d.fBinary == o.fBinary && d.fParity == o.fParity &&
           d.fErrorChar == o.fErrorChar && d.fNull == o.fNull &&
           d.fAbortOnError == o.fAbortOnError && d.ErrorChar == o.ErrorChar &&
           d.EofChar == o.EofChar && d.EvtChar == o.EvtChar;
}

constexpr bool FlowFieldsAsRead(const DCB& d) {
    const DCB o = DriverState();
    return d.fOutxCtsFlow == o.fOutxCtsFlow && d.fOutxDsrFlow == o.fOutxDsrFlow &&
           d.fDtrControl == o.fDtrControl && d.fDsrSensitivity == o.fDsrSensitivity &&
           d.fTXContinueOnXoff == o.fTXContinueOnXoff && d.fOutX == o.fOutX && d.fInX == o.fInX &&
           d.fRtsControl == o.fRtsControl && d.XonLim == o.XonLim && d.XoffLim == o.XoffLim &&
           d.XonChar == o.XonChar && d.XoffChar == o.XoffChar;
}

// Fields every known flow code sets the same way.
constexpr bool CommonFlowFields(const DCB& d) {
    return !d.fOutxDsrFlow && d.fDtrControl == DTR_CONTROL_ENABLE && !d.fDsrSensitivity &&
           !d.fTXContinueOnXoff && d.XonLim == 2048 && d.XoffLim == 512;
}

constexpr DCB kNone = Applied(FLOW_NONE);
static_assert(LineFieldsSet(kNone) && UntouchedKept(kNone) && CommonFlowFields(kNone));
static_assert(!kNone.fOutxCtsFlow && !kNone.fOutX && !kNone.fInX);
static_assert(kNone.fRtsControl == RTS_CONTROL_ENABLE);
static_assert(kNone.XonChar == 0 && kNone.XoffChar == 0);
static_assert(NeedsDistinctFlowChars(kNone));

constexpr DCB kSoftware = Applied(FLOW_SOFTWARE);
static_assert(LineFieldsSet(kSoftware) && UntouchedKept(kSoftware) && CommonFlowFields(kSoftware));
static_assert(!kSoftware.fOutxCtsFlow && kSoftware.fOutX && kSoftware.fInX);
static_assert(kSoftware.fRtsControl == RTS_CONTROL_ENABLE);
static_assert(kSoftware.XonChar == 17 && kSoftware.XoffChar == 19);
static_assert(!NeedsDistinctFlowChars(kSoftware));

constexpr DCB kHardware = Applied(FLOW_HARDWARE);
static_assert(LineFieldsSet(kHardware) && UntouchedKept(kHardware) && CommonFlowFields(kHardware));
static_assert(kHardware.fOutxCtsFlow && !kHardware.fOutX && !kHardware.fInX);
static_assert(kHardware.fRtsControl == RTS_CONTROL_HANDSHAKE);
static_assert(kHardware.XonChar == 0 && kHardware.XoffChar == 0);

// An unknown code (0: the flow combo had no selection) keeps the driver's flow settings.
static_assert(LineFieldsSet(Applied(0)) && UntouchedKept(Applied(0)) &&
              FlowFieldsAsRead(Applied(0)));
static_assert(FlowFieldsAsRead(Applied(13)));

// Software flow on with equal characters is a real error, not offered again.
constexpr DCB SoftwareWithEqualChars() {
    DCB d = DriverState();
    d.fInX = TRUE;
    d.XonChar = d.XoffChar;
    return d;
}
static_assert(!NeedsDistinctFlowChars(SoftwareWithEqualChars()));

static_assert(MakeTimeouts(24).ReadIntervalTimeout == MAXDWORD);
static_assert(MakeTimeouts(24).ReadTotalTimeoutMultiplier == 0 &&
              MakeTimeouts(24).ReadTotalTimeoutConstant == 0);
static_assert(MakeTimeouts(24).WriteTotalTimeoutMultiplier == 24 &&
              MakeTimeouts(24).WriteTotalTimeoutConstant == 0);

static_assert(WM_SERIAL_DATA == WM_USER + 1);

static_assert(CauseOfOpenError(ERROR_FILE_NOT_FOUND) == vireo::PortOpenCause::NoSuchDevice);
static_assert(CauseOfOpenError(ERROR_ACCESS_DENIED) == vireo::PortOpenCause::Busy);
static_assert(CauseOfOpenError(ERROR_SHARING_VIOLATION) == vireo::PortOpenCause::Busy);
static_assert(CauseOfOpenError(ERROR_GEN_FAILURE) == vireo::PortOpenCause::Other);

} // namespace checks

} // namespace

bool CSerialPort::IsOpen() const {
    return m_hComm != INVALID_HANDLE_VALUE;
}

int CSerialPort::OpenDevice(int port, int baudRate, uint8_t parity, uint8_t byteSize,
                            uint8_t stopBits, int flowControl) {
    using vireo::PortOpenCause;
    // Checked before the stop flag is touched: the reader of an open port must keep running.
    if (IsOpen()) {
        FailOpen(port, vireo::PortOpenCause::Other, "the port is already open");
        return 0;
    }
    m_bRunning = 0;
    m_strDevice = vireo::PortDevicePath(port);
    if (baudRate <= 0) {
        FailOpen(port, PortOpenCause::Other,
                 "baud rate " + std::to_string(baudRate) + " is not valid");
        return 0;
    }

    m_ovRead.Offset = m_ovRead.OffsetHigh = 0;
    m_ovWrite.Offset = m_ovWrite.OffsetHigh = 0;
    m_ovRead.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (m_ovRead.hEvent)
        m_ovWrite.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (m_ovWrite.hEvent)
        m_hStopWrite = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!m_ovRead.hEvent || !m_ovWrite.hEvent || !m_hStopWrite) {
        const std::string why = SystemErrorText(GetLastError());
        ReleaseDevice();
        FailOpen(port, PortOpenCause::Other, "cannot create the port's events: " + why);
        return 0;
    }

    if (m_strDevice.empty()) {
        ReleaseDevice();
        FailOpen(port, PortOpenCause::NoSuchDevice, "not present");
        return 0;
    }
    // No sharing: a second program (or a second instance) cannot take the same line.
    const HANDLE h =
        CreateFileA(m_strDevice.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                    FILE_ATTRIBUTE_NORMAL | FILE_FLAG_OVERLAPPED, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        ReleaseDevice();
        FailOpen(port, CauseOfOpenError(error), SystemErrorText(error));
        return 0;
    }
    {
        // Publish the handle under the write lock: Write reads it under the same lock.
        std::lock_guard<std::mutex> guard(m_writeLock);
        m_hComm = h;
    }

    SetCommMask(m_hComm, EV_RXCHAR);
    SetupComm(m_hComm, m_dwInQueue, m_dwOutQueue);
    PurgeComm(m_hComm, kAllPurgeFlags);
    m_nWriteMultiplier = WriteTimeoutMultiplier(baudRate);
    COMMTIMEOUTS timeouts = MakeTimeouts(static_cast<DWORD>(m_nWriteMultiplier));
    SetCommTimeouts(m_hComm, &timeouts);

    DCB dcb{};
    dcb.DCBlength = sizeof(dcb);
    if (!GetCommState(m_hComm, &dcb)) {
        const std::string why = SystemErrorText(GetLastError());
        Close();
        FailOpen(port, PortOpenCause::NotSerial, why);
        return 0;
    }
    ApplyLineSettings(dcb, LineSettings{baudRate, parity, byteSize, stopBits, flowControl});
    bool applied = SetCommState(m_hComm, &dcb) != 0;
    DWORD error = applied ? 0 : GetLastError();
    if (!applied && NeedsDistinctFlowChars(dcb)) {
        dcb.XonChar = static_cast<char>(XON_CHAR);
        dcb.XoffChar = static_cast<char>(XOFF_CHAR);
        applied = SetCommState(m_hComm, &dcb) != 0;
        if (!applied)
            error = GetLastError();
    }
    if (!applied) {
        Close();
        FailOpen(port, PortOpenCause::Other, "line settings refused: " + SystemErrorText(error));
        return 0;
    }

    return StartReader(port);
}

void CSerialPort::ReleaseDevice() {
    if (m_hComm != INVALID_HANDLE_VALUE) {
        CloseHandle(m_hComm);
        m_hComm = INVALID_HANDLE_VALUE;
    }
    for (HANDLE* event : {&m_ovRead.hEvent, &m_ovWrite.hEvent, &m_hStopWrite}) {
        if (*event)
            CloseHandle(*event);
        *event = nullptr;
    }
}

void CSerialPort::WakeWaiters() {
    if (m_hComm != INVALID_HANDLE_VALUE) {
        SetCommMask(m_hComm, 0); // ends the reader's pending wait
        // Ends a pending write even where the driver ignores its cancel.
        PurgeComm(m_hComm, PURGE_TXABORT | PURGE_TXCLEAR);
    }
    // Stays set until ReleaseDevice, so that a write started later than this ends at once.
    if (m_hStopWrite)
        SetEvent(m_hStopWrite);
}

void CSerialPort::PurgeAndRelease() {
    if (m_hComm != INVALID_HANDLE_VALUE)
        PurgeComm(m_hComm, kAllPurgeFlags);
    ReleaseDevice();
}

int CSerialPort::WriteUntil(const uint8_t* bytes, int length, Deadline deadline) {
    const DWORD wanted = static_cast<DWORD>(length);
    DWORD written = 0;
    DWORD error = 0;
    bool timedOut = false;
    bool done = WriteFile(m_hComm, bytes, wanted, &written, &m_ovWrite) != 0;
    if (!done) {
        error = GetLastError();
        if (error == ERROR_IO_PENDING)
            done = FinishWrite(m_hComm, m_ovWrite, m_hStopWrite,
                               static_cast<DWORD>(MillisecondsLeft(deadline)), written, error,
                               timedOut);
    }
    if (done) {
        if (written < wanted)
            SetError(m_strDevice + ": write timed out"); // the driver's own time-out
        return static_cast<int>(written);
    }
    if (timedOut)
        SetError(m_strDevice + ": write timed out");
    else if (m_bRunning.load() != 0) // a write cancelled by Close is no failure
        SetError(m_strDevice + ": write failed: " + SystemErrorText(error));
    DWORD errors = 0;
    COMSTAT status{};
    ClearCommError(m_hComm, &errors, &status);
    return static_cast<int>(written);
}

int CSerialPort::Read(uint8_t* buffer, int maxLength) {
    DWORD errors = 0;
    COMSTAT status{};
    if (!ClearCommError(m_hComm, &errors, &status)) {
        // The driver no longer answers for the device: it was unplugged or removed.
        m_bLost = true;
        return 0;
    }
    if (status.cbInQue == 0 || maxLength <= 0)
        return 0;
    // Asking for no more than the driver holds keeps the read from waiting, whatever
    // time-outs the driver applies.
    const DWORD wanted = std::min(static_cast<DWORD>(maxLength), status.cbInQue);
    DWORD got = 0;
    DWORD error = 0;
    if (ReadFile(m_hComm, buffer, wanted, &got, &m_ovRead) ||
        FinishTransfer(m_hComm, m_ovRead, got, error))
        return static_cast<int>(got);
    ClearCommError(m_hComm, &errors, &status);
    return static_cast<int>(got);
}

int CSerialPort::ReaderThread(CSerialPort* port) {
    const HANDLE h = port->m_hComm;
    if (!SetCommMask(h, EV_RXCHAR)) {
        port->SetError(port->m_strDevice +
                       ": cannot wait for received bytes: " + SystemErrorText(GetLastError()));
        return 0;
    }
    if (port->m_bRunning.load() == 0)
        return 1;
    OVERLAPPED ovWait{};
    ovWait.hEvent = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    if (!ovWait.hEvent) {
        port->SetError(port->m_strDevice +
                       ": cannot wait for received bytes: " + SystemErrorText(GetLastError()));
        return 0;
    }

    while (port->m_bRunning.load() != 0) {
        DWORD mask = 0;
        DWORD error = 0;
        bool drain = false;
        if (WaitForPortEvent(h, ovWait, mask, port->m_bRunning, error) == WaitOutcome::Event) {
            // A mask without EV_RXCHAR (0 after Close cleared the mask) only leads to the
            // loop test.
            drain = (mask & EV_RXCHAR) != 0;
        } else {
            if (port->m_bRunning.load() == 0)
                break; // the wait was ended or cancelled because the port is closing
            // A line error aborts the wait when the driver aborts on errors; clearing the
            // error condition recovers. When that fails too, the device is gone.
            DWORD errors = 0;
            COMSTAT status{};
            if (!ClearCommError(h, &errors, &status)) {
                port->m_bLost = true;
            } else {
                Sleep(10);    // never spin on a driver that keeps failing the wait
                drain = true; // bytes may have arrived while no wait was pending
            }
        }
        if (drain)
            port->ReceiveBurst();
        if (port->m_bLost) {
            port->ReportLoss();
            break;
        }
    }
    CloseHandle(ovWait.hEvent);
    return 1;
}
