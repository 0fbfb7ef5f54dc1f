#include "serial/LineSettings.h"

#include <algorithm>

int WriteTimeoutMultiplier(int baudRate) {
    return baudRate > 0 ? 230400 / baudRate : 0;
}

int64_t WriteDeadlineMs(int writeMultiplier, int length) {
    const int64_t bytes = length > 0 ? length : 0;
    if (writeMultiplier > 0)
        return writeMultiplier * bytes;
    return std::max<int64_t>(bytes, kMinWriteDeadlineMs);
}

#ifndef _WIN32

namespace {

speed_t SpeedConstant(int baud) {
    switch (baud) {
    case 50: return B50;
    case 75: return B75;
    case 110: return B110;
    case 134: return B134;
    case 150: return B150;
    case 200: return B200;
    case 300: return B300;
    case 600: return B600;
    case 1200: return B1200;
    case 1800: return B1800;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
#ifdef B460800
    case 460800: return B460800;
#endif
#ifdef B921600
    case 921600: return B921600;
#endif
    default: return 0;
    }
}

bool ApplyParity(termios& t, uint8_t parity) {
    t.c_cflag &= ~static_cast<tcflag_t>(PARENB | PARODD);
#ifdef CMSPAR
    t.c_cflag &= ~static_cast<tcflag_t>(CMSPAR);
#endif
    switch (parity) {
    case NOPARITY: return true;
    case ODDPARITY: t.c_cflag |= PARENB | PARODD; return true;
    case EVENPARITY: t.c_cflag |= PARENB; return true;
#ifdef CMSPAR
    case MARKPARITY: t.c_cflag |= PARENB | PARODD | CMSPAR; return true;
    case SPACEPARITY: t.c_cflag |= PARENB | CMSPAR; return true;
#endif
    default: return false;
    }
}

bool ApplyByteSize(termios& t, uint8_t byteSize) {
    tcflag_t size = 0;
    switch (byteSize) {
    case 5: size = CS5; break;
    case 6: size = CS6; break;
    case 7: size = CS7; break;
    case 8: size = CS8; break;
    default: return false;
    }
    t.c_cflag = (t.c_cflag & ~static_cast<tcflag_t>(CSIZE)) | size;
    return true;
}

void ApplyFlow(termios& t, int flow) {
    const tcflag_t softwareBits = IXON | IXOFF | IXANY;
    switch (flow) {
    case FLOW_NONE:
        t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
        t.c_iflag &= ~softwareBits;
        t.c_cc[VSTART] = 0;
        t.c_cc[VSTOP] = 0;
        break;
    case FLOW_SOFTWARE:
        t.c_cflag &= ~static_cast<tcflag_t>(CRTSCTS);
        t.c_iflag = (t.c_iflag & ~static_cast<tcflag_t>(IXANY)) | IXON | IXOFF;
        t.c_cc[VSTART] = XON_CHAR;
        t.c_cc[VSTOP] = XOFF_CHAR;
        break;
    case FLOW_HARDWARE:
        t.c_cflag |= CRTSCTS;
        t.c_iflag &= ~softwareBits;
        t.c_cc[VSTART] = 0;
        t.c_cc[VSTOP] = 0;
        break;
    default: break; // the port keeps its flow settings
    }
}

} // namespace

TermiosResult BuildTermios(const termios& current, const LineSettings& s) {
    TermiosResult r;
    r.tio = current;
    termios& t = r.tio;
    if (s.baudRate <= 0) {
        r.error = "baud rate " + std::to_string(s.baudRate) + " is not valid";
        return r;
    }
    // Raw bytes in both directions; the software flow bits are left to ApplyFlow.
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag |= CREAD | CLOCAL;
    t.c_cflag &= ~static_cast<tcflag_t>(HUPCL);
    // Non-blocking reads: an empty line gives EAGAIN, a hang-up gives end of file.
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;

    if (!ApplyParity(t, s.parity)) {
        r.error = "parity code " + std::to_string(s.parity) + " is not valid";
        return r;
    }
    if (!ApplyByteSize(t, s.byteSize)) {
        r.error = "byte size " + std::to_string(s.byteSize) + " is not valid";
        return r;
    }
    if (s.stopBits == ONESTOPBIT)
        t.c_cflag &= ~static_cast<tcflag_t>(CSTOPB);
    else if (s.stopBits == TWOSTOPBITS)
        t.c_cflag |= CSTOPB;
    else {
        r.error = "stop-bit code " + std::to_string(s.stopBits) + " is not valid";
        return r;
    }
    ApplyFlow(t, s.flowControl);

    if (speed_t speed = SpeedConstant(s.baudRate)) {
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
    } else {
#ifdef __linux__
        r.customSpeed = true;
#else
        r.error = "baud rate " + std::to_string(s.baudRate) + " is not supported";
#endif
    }
    return r;
}

#endif
