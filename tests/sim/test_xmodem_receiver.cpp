// The XMODEM-CRC receiver engine, driven with made-up time.
#include <gtest/gtest.h>

#include "sim/FirmwareImage.h"
#include "sim/XmodemReceiver.h"

namespace vireo::sim {
namespace {

using namespace std::chrono_literals;
using V = XmodemReceiver::Verdict;
using S = XmodemReceiver::State;

std::string Block(unsigned ordinal, const std::string& data, bool oneK = false) {
    std::size_t size = oneK ? 1024 : 128;
    std::string b(1, oneK ? '\x02' : '\x01');
    b += static_cast<char>(ordinal & 0xFF);
    b += static_cast<char>(~ordinal & 0xFF);
    std::string payload = data;
    payload.resize(size, '\x26');
    b += payload;
    auto crc = Crc16Xmodem(reinterpret_cast<const std::uint8_t*>(payload.data()), size);
    b += static_cast<char>(crc >> 8);
    b += static_cast<char>(crc & 0xFF);
    return b;
}

struct Harness {
    explicit Harness(XmodemReceiver::Options o = {}) : rx(std::move(o), t) {}
    std::string Out() {
        std::string s;
        for (auto& o : rx.TakeOutput())
            s += o.bytes;
        return s;
    }
    void Feed(const std::string& b) { rx.Feed(b, t); }
    void Advance(std::chrono::milliseconds d) {
        t += d;
        rx.Tick(t);
    }
    XmodemReceiver::TimePoint t{};
    XmodemReceiver rx;
};

TEST(XmodemReceiver, CrcMatchesTheXmodemCheckValue) {
    const std::string digits = "123456789";
    EXPECT_EQ(Crc16Xmodem(reinterpret_cast<const std::uint8_t*>(digits.data()), digits.size()),
              0x31C3);
}

TEST(XmodemReceiver, SendsCUntilTheSenderStartsThenGivesUp) {
    XmodemReceiver::Options o;
    o.startInterval = 1000ms;
    o.startLimit = 3;
    Harness h(o);
    EXPECT_EQ(h.Out(), "C");
    h.Advance(999ms);
    EXPECT_EQ(h.Out(), "");
    h.Advance(1ms);
    h.Advance(1000ms);
    EXPECT_EQ(h.Out(), "CC");
    h.Advance(1000ms);
    EXPECT_EQ(h.rx.GetState(), S::Failed);
    EXPECT_EQ(h.Out(), "");
}

TEST(XmodemReceiver, ReceivesSmallAndLargeBlocksAndAcknowledgesEot) {
    Harness h;
    h.Out();
    h.Feed(Block(1, "hello"));
    h.Feed(Block(2, std::string(1024, 'x'), true));
    h.Feed("\x04");
    EXPECT_EQ(h.Out(), "\x06\x06\x06");
    EXPECT_EQ(h.rx.GetState(), S::Completed);
    EXPECT_EQ(h.rx.Image().size(), 128u + 1024u);
    EXPECT_EQ(h.rx.Image().substr(0, 6), "hello\x26");
}

TEST(XmodemReceiver, BlockSplitIntoSingleBytesIsStillOneBlock) {
    Harness h;
    h.Out();
    for (char c : Block(1, "abc"))
        h.Feed(std::string(1, c));
    EXPECT_EQ(h.Out(), "\x06");
    EXPECT_EQ(h.rx.BlocksAccepted(), 1);
}

TEST(XmodemReceiver, DamagedBlocksAreRefusedAndRepeatsAcknowledgedOnce) {
    Harness h;
    h.Out();
    std::string bad = Block(1, "abc");
    bad[10] ^= 0x40; // CRC no longer matches
    h.Feed(bad);
    std::string badComplement = Block(1, "abc");
    badComplement[2] = 0;
    h.Feed(badComplement);
    h.Feed(Block(1, "abc"));
    h.Feed(Block(1, "abc")); // the sender missed our ACK
    EXPECT_EQ(h.Out(), "\x15\x15\x06\x06");
    EXPECT_EQ(h.rx.Image().size(), 128u);
    h.Feed(Block(3, "gap"));
    EXPECT_EQ(h.rx.GetState(), S::Failed);
    EXPECT_EQ(h.Out(), "\x18\x18");
}

TEST(XmodemReceiver, SenderVanishingMidBlockGetsNakThenTheTransferEnds) {
    XmodemReceiver::Options o;
    o.byteTimeout = 500ms;
    o.idleLimit = 3000ms;
    Harness h(o);
    h.Out();
    h.Feed(Block(1, "abc").substr(0, 60));
    h.Advance(499ms);
    EXPECT_EQ(h.Out(), "");
    h.Advance(1ms);
    EXPECT_EQ(h.Out(), "\x15");
    EXPECT_EQ(h.rx.GetState(), S::BetweenBlocks);
    h.Feed(Block(1, "abc")); // a whole block after the gap is fine
    EXPECT_EQ(h.Out(), "\x06");
    h.Advance(3000ms);
    EXPECT_EQ(h.rx.GetState(), S::Failed);
}

TEST(XmodemReceiver, TwoCansCancelButOneCanIsNoise) {
    Harness h;
    h.Out();
    h.Feed("\x18");
    h.Feed("x");
    EXPECT_FALSE(h.rx.Finished());
    h.Feed("\x18\x18");
    EXPECT_EQ(h.rx.GetState(), S::Cancelled);
}

TEST(XmodemReceiver, VerdictsDecideTheAnswerAndAckDelayIsHonoured) {
    int calls = 0;
    XmodemReceiver::Options o;
    o.ackDelay = 30ms;
    o.verdict = [&](int ordinal) {
        ++calls;
        if (ordinal == 1 && calls == 1)
            return V::Nak;
        if (ordinal == 1 && calls == 2)
            return V::Can;
        if (ordinal == 2)
            return V::LostAck;
        return V::Ack;
    };
    Harness h(o);
    h.Out();
    h.Feed(Block(1, "a"));
    h.Feed(Block(1, "a"));
    h.Feed(Block(1, "a"));
    h.Feed(Block(2, "b"));
    h.Feed(Block(2, "b")); // repeat after the lost ACK
    auto out = h.rx.TakeOutput();
    std::string bytes;
    for (auto& x : out) {
        EXPECT_EQ(x.due, h.t + 30ms);
        bytes += x.bytes;
    }
    EXPECT_EQ(bytes, "\x15\x18\x06\x06");
    EXPECT_EQ(h.rx.BlocksAccepted(), 2);
}

TEST(XmodemReceiver, RandomBytesNeverBreakIt) {
    std::uint32_t seed = 12345;
    auto next = [&] { return seed = seed * 1664525u + 1013904223u; };
    for (int run = 0; run < 200; ++run) {
        Harness h;
        for (int step = 0; step < 200 && !h.rx.Finished(); ++step) {
            std::string chunk;
            std::size_t n = next() % 300;
            for (std::size_t i = 0; i < n; ++i) {
                std::uint32_t r = next() >> 24;
                // Mostly valid block starts and control bytes, so that the states are visited.
                chunk += static_cast<char>(r < 40   ? 0x01
                                           : r < 45 ? 0x02
                                           : r < 50 ? 0x18
                                           : r < 52 ? 0x04
                                                    : r);
            }
            if (next() % 7 == 0)
                chunk = Block(static_cast<unsigned>(h.rx.BlocksAccepted() + 1), chunk);
            h.Feed(chunk);
            h.Advance(std::chrono::milliseconds(next() % 3000));
            h.Out();
        }
        EXPECT_EQ(h.rx.Image().size() % 128, 0u);
    }
}

TEST(XmodemReceiver, EmptyTransferIsJustEot) {
    Harness h;
    h.Out();
    h.Feed("\n\x04");
    EXPECT_EQ(h.rx.GetState(), S::Completed);
    EXPECT_TRUE(h.rx.Image().empty());
}

} // namespace
} // namespace vireo::sim
