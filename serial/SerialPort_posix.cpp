#include "platform/PortMap.h"
#include "serial/SerialPort.h"

#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#ifdef __linux__
#include <asm/ioctls.h>   // TCGETS2, TCSETS2
#include <linux/serial.h> // serial_struct, ASYNC_LOW_LATENCY
// The kernel's termios2 record, which glibc does not declare: it carries rates that have no
// B-constant (BOTHER).
struct termios2 {
    tcflag_t c_iflag, c_oflag, c_cflag, c_lflag;
    cc_t c_line;
    cc_t c_cc[19];
    speed_t c_ispeed, c_ospeed;
};
constexpr tcflag_t kBOTHER = 0010000;
#endif

namespace {

// strerror_r comes in two forms: the GNU one returns the text, the POSIX one fills the
// buffer. Unlike strerror, both are safe when several ports fail on several threads.
[[maybe_unused]] const char* ErrorText(int result, const char* buffer) {
    return result == 0 ? buffer : "Unknown error";
}
[[maybe_unused]] const char* ErrorText(const char* text, const char*) {
    return text;
}

std::string ErrnoText(int err) {
    char buffer[256] = "";
    return ErrorText(strerror_r(err, buffer, sizeof buffer), buffer);
}

#ifdef __linux__
bool SetCustomSpeed(int fd, int baud) {
    struct termios2 t2 {};
    if (ioctl(fd, TCGETS2, &t2) != 0)
        return false;
    t2.c_cflag &= ~static_cast<tcflag_t>(CBAUD);
    t2.c_cflag |= kBOTHER;
    t2.c_ispeed = static_cast<speed_t>(baud);
    t2.c_ospeed = static_cast<speed_t>(baud);
    return ioctl(fd, TCSETS2, &t2) == 0;
}

// USB serial adapters hold received bytes back for their latency timer (often 16 ms) before
// passing them on; a transfer that waits for every acknowledgement would spend most of its
// time there. Low-latency mode asks the driver to pass bytes on at once. Drivers without the
// request (pseudo-terminals, many native ports) refuse it, which changes nothing.
void RequestLowLatency(int fd) {
    struct serial_struct serial {};
    if (ioctl(fd, TIOCGSERIAL, &serial) != 0 || (serial.flags & ASYNC_LOW_LATENCY) != 0)
        return;
    serial.flags |= ASYNC_LOW_LATENCY;
    [[maybe_unused]] const int ignored = ioctl(fd, TIOCSSERIAL, &serial);
}
#endif

} // namespace

bool CSerialPort::IsOpen() const {
    return m_fd >= 0;
}

int CSerialPort::OpenDevice(int port, int baudRate, uint8_t parity, uint8_t byteSize,
                            uint8_t stopBits, int flowControl) {
    using vireo::PortOpenCause;
    if (IsOpen()) {
        FailOpen(port, vireo::PortOpenCause::Other, "the port is already open"); // reader runs on
        return 0;
    }
    m_bRunning = 0;
    m_strDevice = vireo::PortDevicePath(port);
    if (baudRate <= 0) {
        FailOpen(port, PortOpenCause::Other,
                 "baud rate " + std::to_string(baudRate) + " is not valid");
        return 0;
    }
    if (m_strDevice.empty()) {
        FailOpen(port, PortOpenCause::NoSuchDevice, "not present");
        return 0;
    }
    m_fd = ::open(m_strDevice.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (m_fd < 0) {
        const int err = errno;
        FailOpen(port, vireo::CauseOfOpenErrno(err), ErrnoText(err));
        return 0;
    }
    // No sharing: a second program (or a second instance) cannot take the same line.
    if (flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        const int err = errno;
        ReleaseDevice();
        FailOpen(port, vireo::CauseOfOpenErrno(err), ErrnoText(err));
        return 0;
    }
    tcflush(m_fd, TCIOFLUSH);

    termios current{};
    if (tcgetattr(m_fd, &current) != 0) {
        const int err = errno;
        ReleaseDevice();
        FailOpen(port, vireo::CauseOfSettingsErrno(err), ErrnoText(err));
        return 0;
    }
    const TermiosResult built =
        BuildTermios(current, LineSettings{baudRate, parity, byteSize, stopBits, flowControl});
    bool applied = built.error.empty() && tcsetattr(m_fd, TCSANOW, &built.tio) == 0;
#ifdef __linux__
    if (applied && built.customSpeed)
        applied = SetCustomSpeed(m_fd, baudRate);
    if (applied)
        RequestLowLatency(m_fd);
#endif
    if (!applied) {
        const std::string why = built.error.empty() ? ErrnoText(errno) : built.error;
        ReleaseDevice();
        FailOpen(port, PortOpenCause::Other, "line settings refused: " + why);
        return 0;
    }
    m_nWriteMultiplier = WriteTimeoutMultiplier(baudRate);

    if (pipe2(m_wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        const std::string why = ErrnoText(errno);
        ReleaseDevice();
        FailOpen(port, PortOpenCause::Other, "cannot create the reader's wake-up pipe: " + why);
        return 0;
    }
    return StartReader(port);
}

void CSerialPort::ReleaseDevice() {
    if (m_fd >= 0) {
        flock(m_fd, LOCK_UN);
        ::close(m_fd);
        m_fd = -1;
    }
    for (int& fd : m_wakePipe) {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
}

void CSerialPort::WakeWaiters() {
    // The byte stays in the pipe until ReleaseDevice: the reader and a Write waiting for room
    // both poll on it, and a Write that reaches its poll later still sees it.
    if (m_wakePipe[1] >= 0) {
        const char wake = 1;
        [[maybe_unused]] ssize_t ignored = ::write(m_wakePipe[1], &wake, 1);
    }
}

void CSerialPort::PurgeAndRelease() {
    if (m_fd >= 0)
        tcflush(m_fd, TCIOFLUSH);
    ReleaseDevice();
}

int CSerialPort::WriteUntil(const uint8_t* bytes, int length, Deadline deadline) {
    int written = 0;
    while (written < length) {
        const ssize_t n = ::write(m_fd, bytes + written, static_cast<size_t>(length - written));
        if (n > 0) {
            written += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN) {
            SetError(m_strDevice + ": write failed: " + ErrnoText(errno));
            break;
        }
        // The driver's queue is full or the line is held by XOFF: wait for room until the
        // deadline, or until Close wakes us.
        const int waitMs = MillisecondsLeft(deadline);
        if (waitMs <= 0) {
            SetError(m_strDevice + ": write timed out");
            break;
        }
        pollfd fds[2] = {{m_fd, POLLOUT, 0}, {m_wakePipe[0], POLLIN, 0}};
        if (poll(fds, 2, waitMs) < 0 && errno != EINTR) {
            SetError(m_strDevice + ": write failed: " + ErrnoText(errno));
            break;
        }
        if (fds[1].revents != 0)
            break; // the port is closing
        if (fds[0].revents & (POLLERR | POLLHUP | POLLNVAL))
            break;
    }
    return written;
}

int CSerialPort::Read(uint8_t* buffer, int maxLength) {
    for (;;) {
        const ssize_t n = ::read(m_fd, buffer, static_cast<size_t>(maxLength));
        if (n > 0)
            return static_cast<int>(n);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno == EAGAIN)
            return 0;
        // End of file or an I/O error: the device (or the other end of a pty) is gone.
        m_bLost = true;
        return 0;
    }
}

int CSerialPort::ReaderThread(CSerialPort* port) {
    while (port->m_bRunning.load() != 0) {
        pollfd fds[2] = {{port->m_fd, POLLIN, 0}, {port->m_wakePipe[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0) {
            if (errno == EINTR)
                continue;
            port->m_bLost = true;
        } else if (fds[1].revents != 0) {
            continue; // woken by Close: the loop test ends the thread
        } else if (fds[0].revents & POLLIN) {
            port->ReceiveBurst(); // sets m_bLost at end of file or on an I/O error
        } else if (fds[0].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            port->m_bLost = true;
        }
        if (port->m_bLost) {
            port->ReportLoss();
            break;
        }
    }
    return 1;
}
