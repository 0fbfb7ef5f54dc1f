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

TEST(WriteTimeout, MultiplierIsMillisecondsPerByteOfTheRate) {
    EXPECT_EQ(24, WriteTimeoutMultiplier(9600));
    EXPECT_EQ(2, WriteTimeoutMultiplier(115200));
    EXPECT_EQ(1, WriteTimeoutMultiplier(230400));
    EXPECT_EQ(0, WriteTimeoutMultiplier(460800));
    EXPECT_EQ(0, WriteTimeoutMultiplier(921600));
    EXPECT_EQ(0, WriteTimeoutMultiplier(0));
}

TEST(WriteTimeout, EveryWriteHasADeadline) {
    struct Case {
        int baud;
        int length;
        int64_t ms;
    };
    for (const Case& c : {Case{9600, 6, 144}, Case{115200, 4, 8}, Case{230400, 1029, 1029},
                          Case{9600, INT_MAX, 24LL * INT_MAX},
                          // No multiplier: 1 ms per byte, at least 500 ms.
                          Case{460800, 6, 500}, Case{921600, 1, 500}, Case{921600, 1029, 1029},
                          Case{921600, INT_MAX, INT_MAX}}) {
        EXPECT_EQ(c.ms, WriteDeadlineMs(WriteTimeoutMultiplier(c.baud), c.length))
            << c.baud << " baud, " << c.length << " bytes";
    }
}

TEST(Termios, RawEightNoneOne) {
    const TermiosResult r = Build({9600, NOPARITY, 8, ONESTOPBIT, FLOW_NONE});
    ASSERT_EQ("", r.error);
    EXPECT_EQ(static_cast<tcflag_t>(CS8), r.tio.c_cflag & CSIZE);
    EXPECT_FALSE(r.tio.c_cflag & PARENB);
    EXPECT_FALSE(r.tio.c_cflag & CSTOPB);
    EXPECT_FALSE(r.tio.c_lflag & (ICANON | ECHO));
    EXPECT_FALSE(r.tio.c_iflag & ICRNL);
    EXPECT_FALSE(r.tio.c_oflag & OPOST);
    EXPECT_TRUE(r.tio.c_cflag & CLOCAL);
    EXPECT_EQ(static_cast<speed_t>(B9600), cfgetospeed(&r.tio));
    EXPECT_EQ(static_cast<speed_t>(B9600), cfgetispeed(&r.tio));
    EXPECT_FALSE(r.customSpeed);
}

TEST(Termios, SevenDataBitsWithParityAndTwoStopBits) {
    TermiosResult r = Build({19200, EVENPARITY, 7, TWOSTOPBITS, FLOW_NONE});
    ASSERT_EQ("", r.error);
    EXPECT_EQ(static_cast<tcflag_t>(CS7), r.tio.c_cflag & CSIZE);
    EXPECT_TRUE(r.tio.c_cflag & PARENB);
    EXPECT_FALSE(r.tio.c_cflag & PARODD);
    EXPECT_TRUE(r.tio.c_cflag & CSTOPB);

    r = Build({19200, ODDPARITY, 7, ONESTOPBIT, FLOW_NONE});
    EXPECT_TRUE(r.tio.c_cflag & PARENB);
    EXPECT_TRUE(r.tio.c_cflag & PARODD);
    EXPECT_FALSE(r.tio.c_cflag & CSTOPB);
}

TEST(Termios, FlowCodesSetHandshakeAndXonXoffCharacters) {
    TermiosResult r = Build({9600, NOPARITY, 8, ONESTOPBIT, FLOW_SOFTWARE});
    EXPECT_TRUE(r.tio.c_iflag & IXON);
    EXPECT_TRUE(r.tio.c_iflag & IXOFF);
    EXPECT_FALSE(r.tio.c_iflag & IXANY);
    EXPECT_FALSE(r.tio.c_cflag & CRTSCTS);
    EXPECT_EQ(17, r.tio.c_cc[VSTART]);
    EXPECT_EQ(19, r.tio.c_cc[VSTOP]);

    r = Build({9600, NOPARITY, 8, ONESTOPBIT, FLOW_HARDWARE}, r.tio);
    EXPECT_TRUE(r.tio.c_cflag & CRTSCTS);
    EXPECT_FALSE(r.tio.c_iflag & (IXON | IXOFF));
    EXPECT_EQ(0, r.tio.c_cc[VSTART]);
    EXPECT_EQ(0, r.tio.c_cc[VSTOP]);

    r = Build({9600, NOPARITY, 8, ONESTOPBIT, FLOW_NONE}, r.tio);
    EXPECT_FALSE(r.tio.c_cflag & CRTSCTS);
    EXPECT_FALSE(r.tio.c_iflag & (IXON | IXOFF | IXANY));
}

TEST(Termios, OtherFlowCodesLeaveTheFlowSettingsAsTheyWere) {
    termios base = Blank();
    base.c_iflag |= IXON | IXANY;
    base.c_cflag |= CRTSCTS;
    base.c_cc[VSTART] = 5;
    base.c_cc[VSTOP] = 6;
    for (int code : {0, 13, -1}) {
        const TermiosResult r = Build({9600, NOPARITY, 8, ONESTOPBIT, code}, base);
        ASSERT_EQ("", r.error);
        EXPECT_TRUE(r.tio.c_iflag & IXON) << code;
        EXPECT_TRUE(r.tio.c_iflag & IXANY) << code;
        EXPECT_FALSE(r.tio.c_iflag & IXOFF) << code;
        EXPECT_TRUE(r.tio.c_cflag & CRTSCTS) << code;
        EXPECT_EQ(5, r.tio.c_cc[VSTART]) << code;
        EXPECT_EQ(6, r.tio.c_cc[VSTOP]) << code;
    }
}

TEST(Termios, RatesWithoutAConstantUseTheCustomPath) {
    EXPECT_TRUE(Build({28800, NOPARITY, 8, ONESTOPBIT, FLOW_NONE}).customSpeed);
    const TermiosResult fast = Build({921600, NOPARITY, 8, ONESTOPBIT, FLOW_NONE});
    EXPECT_EQ(static_cast<speed_t>(B921600), cfgetospeed(&fast.tio));
}

TEST(Termios, SettingsTheLineCannotTakeAreRefused) {
    EXPECT_NE("", Build({0, NOPARITY, 8, ONESTOPBIT, FLOW_NONE}).error);
    EXPECT_NE("", Build({9600, NOPARITY, 0, ONESTOPBIT, FLOW_NONE}).error);
    EXPECT_NE("", Build({9600, NOPARITY, 9, ONESTOPBIT, FLOW_NONE}).error);
    EXPECT_NE("", Build({9600, 9, 8, ONESTOPBIT, FLOW_NONE}).error);
    EXPECT_NE("", Build({9600, NOPARITY, 8, 1, FLOW_NONE}).error);
}

} // namespace
