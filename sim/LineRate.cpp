// Kept apart from other sources: the Linux termios2 definitions clash with <termios.h>.
#include "sim/LineRate.h"

#if defined(__linux__)
#include <asm/termbits.h>
#include <sys/ioctl.h>

namespace vireo::sim {

int ReadLineRate(int fd) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return 0;
    return static_cast<int>(t.c_ospeed);
}

bool SetRawLineRate(int fd, int rate) {
    struct termios2 t {};
    if (ioctl(fd, TCGETS2, &t) != 0)
        return false;
    t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL |
                                        IXON | IXOFF);
    t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
    t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CBAUD | CRTSCTS);
    t.c_cflag |= CS8 | CREAD | CLOCAL | BOTHER;
    t.c_ispeed = static_cast<speed_t>(rate);
    t.c_ospeed = static_cast<speed_t>(rate);
    t.c_cc[VMIN] = 1;
    t.c_cc[VTIME] = 0;
    return ioctl(fd, TCSETS2, &t) == 0;
}

} // namespace vireo::sim

#else
#include <termios.h>

namespace vireo::sim {
namespace {
struct RateCode {
    speed_t code;
    int rate;
};
constexpr RateCode kRates[] = {{B1200, 1200},   {B2400, 2400},     {B4800, 4800},
                               {B9600, 9600},   {B19200, 19200},   {B38400, 38400},
                               {B57600, 57600}, {B115200, 115200}, {B230400, 230400}};
} // namespace

int ReadLineRate(int fd) {
    struct termios t {};
    if (tcgetattr(fd, &t) != 0)
        return 0;
    speed_t s = cfgetospeed(&t);
    for (auto r : kRates)
        if (r.code == s)
            return r.rate;
    return static_cast<int>(s);
}

bool SetRawLineRate(int fd, int rate) {
    struct termios t {};
    if (tcgetattr(fd, &t) != 0)
        return false;
    cfmakeraw(&t);
    t.c_cflag |= CLOCAL | CREAD;
    for (auto r : kRates)
        if (r.rate == rate) {
            cfsetispeed(&t, r.code);
            cfsetospeed(&t, r.code);
        }
    return tcsetattr(fd, TCSANOW, &t) == 0;
}

} // namespace vireo::sim
#endif
