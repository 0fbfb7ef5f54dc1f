// XMODEM-CRC receiver: the protocol engine of the simulated bootloader, without any I/O.
//
// The owner feeds received bytes and the current time, calls Tick when NextDeadline has
// passed, and sends what TakeOutput returns once each chunk's due time has come. Accepted:
// 128-byte blocks (SOH) and 1024-byte blocks (STX), block number and complement, CRC-16
// (XMODEM) high byte first; any fill at the end of the last block; EOT ends the transfer
// (answered with ACK; a second EOT or trailing bytes are the owner's business). A repeated
// block (the previous number again) is acknowledged and dropped. Two CANs in a row from the
// sender cancel. The receiver itself never waits forever: it gives up after a number of
// start signals without a sender, and after a long silence once the transfer has begun.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vireo::sim {

class XmodemReceiver {
public:
    using Clock = std::chrono::steady_clock;
    using TimePoint = Clock::time_point;
    using Ms = std::chrono::milliseconds;

    // What to answer to a good block with the expected number (faults for tests).
    enum class Verdict { Ack, Nak, Can, LostAck, HangUp };

    enum class State {
        WaitingForSender, // sending "C" periodically
        InBlock,          // collecting the bytes of a block
        BetweenBlocks,    // waiting for the next block or EOT
        Completed,        // EOT received and acknowledged
        Cancelled,        // the sender sent CAN CAN
        Failed,           // no sender, silence, too many errors, sequence error or too big
    };

    struct Options {
        bool sendStartSignal = true;
        Ms startInterval{1000};
        int startLimit = 60;
        Ms byteTimeout{2000}; // gap inside a block: the partial block is NAKed
        Ms idleLimit{30000};  // silence after the first block: the transfer fails
        Ms ackDelay{0};       // answers to blocks are due this long after the block
        std::size_t maxImage = 16u << 20;
        int maxErrors = 25;                          // consecutive bad blocks before giving up
        std::function<Verdict(int ordinal)> verdict; // empty: always Ack
    };

    struct Output {
        TimePoint due;
        std::string bytes;
    };

    XmodemReceiver(Options options, TimePoint now);

    void Feed(std::string_view bytes, TimePoint now);
    void Tick(TimePoint now);
    std::optional<TimePoint> NextDeadline() const;
    std::vector<Output> TakeOutput();

    State GetState() const { return state_; }
    bool Finished() const;
    bool HangUpRequested() const { return hangUp_; }
    const std::string& Image() const { return image_; }
    int BlocksAccepted() const { return ordinal_ - 1; }
    const std::string& FailReason() const { return failReason_; }

private:
    void Emit(TimePoint due, char byte);
    void Fail(TimePoint now, std::string reason);
    void FinishBlock(TimePoint now);
    void BadBlock(TimePoint now);

    Options opt_;
    State state_ = State::WaitingForSender;
    std::string image_;
    std::string block_;         // bytes of the block being collected, from its first byte
    std::size_t blockSize_ = 0; // total length of the block being collected
    int ordinal_ = 1;           // ordinal of the block expected next
    int errors_ = 0;
    int startSignals_ = 0;
    bool lastWasCan_ = false;
    bool hangUp_ = false;
    TimePoint nextStart_{};
    TimePoint byteDeadline_{};
    TimePoint idleDeadline_{};
    std::vector<Output> out_;
    std::string failReason_;
};

} // namespace vireo::sim
