#include "serial/LineSettings.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

termios Blank() {
    termios t{};
    t.c_cflag = CS8 | CREAD;
    t.c_iflag = ICRNL | IXANY;
    t.c_lflag = ICANON | ECHO;
    t.c_oflag = OPOST;
    return t;
}

TermiosResult Build(LineSettings s, termios base = Blank()) {
    return BuildTermios(base, s);
}

// The multiplier is 230400 / baud ms a byte; without one (460800 baud and faster) a write
// still gets 1 ms a byte, at least 500 ms.
TEST(WriteTimeout, EveryWriteHasADeadline) {
    const struct {
        int baud;
        int length;
        int64_t ms;
    } cases[] = {{9600, 6, 144},   {230400, 1029, 1029}, {9600, INT_MAX, 24LL * INT_MAX},
                 {460800, 6, 500}, {921600, 1029, 1029}, {0, 600, 600}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.ms, WriteDeadlineMs(WriteTimeoutMultiplier(c.baud), c.length))
            << c.baud << " baud, " << c.length << " bytes";
    }
}

TEST(Termios, RawLineWithItsFraming) {
    const std::pair<LineSettings, tcflag_t> cases[] = {
        {{9600, NOPARITY, 8, ONESTOPBIT, FLOW_NONE}, CS8},
        {{19200, EVENPARITY, 7, TWOSTOPBITS, FLOW_NONE}, CS7 | PARENB | CSTOPB},
        {{19200, ODDPARITY, 7, ONESTOPBIT, FLOW_NONE}, CS7 | PARENB | PARODD},
    };
    for (const auto& [settings, framing] : cases) {
        const TermiosResult r = Build(settings);
        ASSERT_EQ("", r.error);
        EXPECT_EQ(framing, r.tio.c_cflag & (CSIZE | PARENB | PARODD | CSTOPB)) << framing;
        EXPECT_FALSE(r.tio.c_lflag & (ICANON | ECHO));
        EXPECT_FALSE(r.tio.c_iflag & ICRNL);
        EXPECT_FALSE(r.tio.c_oflag & OPOST);
        EXPECT_TRUE(r.tio.c_cflag & CLOCAL);
    }
    const TermiosResult r = Build({9600, NOPARITY, 8, ONESTOPBIT, FLOW_NONE});
    EXPECT_EQ(static_cast<speed_t>(B9600), cfgetospeed(&r.tio));
    EXPECT_EQ(static_cast<speed_t>(B9600), cfgetispeed(&r.tio));
    EXPECT_FALSE(r.customSpeed);
    EXPECT_TRUE(Build({28800, NOPARITY, 8, ONESTOPBIT, FLOW_NONE}).customSpeed);
    const TermiosResult fast = Build({921600, NOPARITY, 8, ONESTOPBIT, FLOW_NONE});
    EXPECT_EQ(static_cast<speed_t>(B921600), cfgetospeed(&fast.tio));
}

TEST(Termios, FlowCodesSetHandshakeAndXonXoffCharacters) {
    TermiosResult r = Build({9600, NOPARITY, 8, ONESTOPBIT, FLOW_SOFTWARE});
    EXPECT_EQ(static_cast<tcflag_t>(IXON | IXOFF), r.tio.c_iflag & (IXON | IXOFF | IXANY));
    EXPECT_FALSE(r.tio.c_cflag & CRTSCTS);
    EXPECT_EQ(17, r.tio.c_cc[VSTART]);
    EXPECT_EQ(19, r.tio.c_cc[VSTOP]);
    r = Build({9600, NOPARITY, 8, ONESTOPBIT, FLOW_HARDWARE}, r.tio);
    EXPECT_TRUE(r.tio.c_cflag & CRTSCTS);
    EXPECT_FALSE(r.tio.c_iflag & (IXON | IXOFF));
    EXPECT_EQ(0, r.tio.c_cc[VSTART] + r.tio.c_cc[VSTOP]);
    r = Build({9600, NOPARITY, 8, ONESTOPBIT, FLOW_NONE}, r.tio);
    EXPECT_FALSE(r.tio.c_cflag & CRTSCTS);
    EXPECT_FALSE(r.tio.c_iflag & (IXON | IXOFF | IXANY));
    // Other codes leave the flow settings as they were.
    termios base = Blank();
    base.c_iflag |= IXON | IXANY;
    base.c_cflag |= CRTSCTS;
    base.c_cc[VSTART] = 5;
    for (int code : {0, 13, -1}) {
        r = Build({9600, NOPARITY, 8, ONESTOPBIT, code}, base);
        ASSERT_EQ("", r.error);
        EXPECT_EQ(static_cast<tcflag_t>(IXON | IXANY), r.tio.c_iflag & (IXON | IXOFF | IXANY));
        EXPECT_TRUE(r.tio.c_cflag & CRTSCTS) << code;
        EXPECT_EQ(5, r.tio.c_cc[VSTART]) << code;
    }
}

TEST(Termios, SettingsTheLineCannotTakeAreRefused) {
    for (const LineSettings s : {LineSettings{0, NOPARITY, 8, ONESTOPBIT, FLOW_NONE},
                                 LineSettings{9600, NOPARITY, 0, ONESTOPBIT, FLOW_NONE},
                                 LineSettings{9600, NOPARITY, 9, ONESTOPBIT, FLOW_NONE},
                                 LineSettings{9600, 9, 8, ONESTOPBIT, FLOW_NONE},
                                 LineSettings{9600, NOPARITY, 8, 1, FLOW_NONE}})
        EXPECT_NE("", Build(s).error) << s.baudRate << " " << int(s.parity) << int(s.byteSize);
}

} // namespace
