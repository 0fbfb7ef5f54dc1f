// The XMODEM-CRC receiver engine, driven with made-up time: what a sender that misbehaves
// gets; and the check of the image that arrived. Whole uploads are the manager's firmware
// tests and the standard sender's.
#include <gtest/gtest.h>

#include "sim/FirmwareImage.h"
#include "sim/XmodemReceiver.h"

namespace vireo::sim {
namespace {

using namespace std::chrono_literals;
using S = XmodemReceiver::State;

std::string Block(unsigned ordinal, std::string payload, bool oneK = false) {
    payload.resize(oneK ? 1024 : 128, '\x26');
    const auto crc =
        Crc16Xmodem(reinterpret_cast<const std::uint8_t*>(payload.data()), payload.size());
    return std::string{oneK ? '\x02' : '\x01', static_cast<char>(ordinal),
                       static_cast<char>(~ordinal)} +
           payload + std::string{static_cast<char>(crc >> 8), static_cast<char>(crc & 0xFF)};
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

TEST(FirmwareImageFormat, ValidOnlyForItsModelWithIntactPayload) {
    const std::string image = BuildImage("KD40", "v2.0.1", std::string(3000, '\x5A'));
    std::string version;
    EXPECT_TRUE(IsValidImageFor(image + std::string(100, '\x26'), "KD40", &version));
    EXPECT_EQ(version, "v2.0.1");
    EXPECT_FALSE(IsValidImageFor(image, "KA40"));
    std::string corrupt = image;
    corrupt[1000] ^= 1;
    EXPECT_FALSE(IsValidImageFor(corrupt, "KD40"));
    EXPECT_FALSE(IsValidImageFor(image.substr(0, 2000), "KD40"));
    EXPECT_FALSE(IsValidImageFor(BuildImage("KD40", "2.0", "x"), "KD40"));
}

} // namespace
} // namespace vireo::sim
