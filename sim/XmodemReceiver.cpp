#include "sim/XmodemReceiver.h"

#include "sim/FirmwareImage.h"

namespace vireo::sim {
namespace {
constexpr char kSoh = 0x01, kStx = 0x02, kEot = 0x04, kAck = 0x06, kNak = 0x15, kCan = 0x18;
}

XmodemReceiver::XmodemReceiver(Options options, TimePoint now) : opt_(std::move(options)) {
    nextStart_ = now;
    idleDeadline_ = TimePoint::max();
    Tick(now);
}

bool XmodemReceiver::Finished() const {
    return state_ == State::Completed || state_ == State::Cancelled || state_ == State::Failed;
}

void XmodemReceiver::Emit(TimePoint due, char byte) {
    if (!out_.empty() && out_.back().due == due)
        out_.back().bytes += byte;
    else
        out_.push_back({due, std::string(1, byte)});
}

void XmodemReceiver::Fail(TimePoint now, std::string reason) {
    state_ = State::Failed;
    failReason_ = std::move(reason);
    Emit(now, kCan);
    Emit(now, kCan);
}

void XmodemReceiver::Feed(std::string_view bytes, TimePoint now) {
    for (std::size_t i = 0; i < bytes.size() && !Finished(); ++i) {
        const char c = bytes[i];
        if (state_ == State::InBlock) {
            // Take as many bytes as the block still needs in one go.
            std::size_t take = std::min(blockSize_ - block_.size(), bytes.size() - i);
            block_.append(bytes.substr(i, take));
            i += take - 1;
            byteDeadline_ = now + opt_.byteTimeout;
            if (block_.size() == blockSize_)
                FinishBlock(now);
            continue;
        }
        // Waiting for a sender or between blocks: only the first byte of a block counts.
        if (c == kSoh || c == kStx) {
            lastWasCan_ = false;
            state_ = State::InBlock;
            blockSize_ = (c == kSoh ? 128u : 1024u) + 5u;
            block_.assign(1, c);
            byteDeadline_ = now + opt_.byteTimeout;
        } else if (c == kEot) {
            lastWasCan_ = false;
            Emit(now + opt_.ackDelay, kAck);
            state_ = State::Completed;
        } else if (c == kCan) {
            if (lastWasCan_) {
                state_ = State::Cancelled;
                failReason_ = "cancelled by the sender";
            }
            lastWasCan_ = true;
        } else {
            lastWasCan_ = false; // noise between blocks is ignored
        }
    }
    if (!Finished() && state_ != State::WaitingForSender)
        idleDeadline_ = now + opt_.idleLimit;
}

void XmodemReceiver::BadBlock(TimePoint now) {
    state_ = State::BetweenBlocks;
    if (++errors_ >= opt_.maxErrors) {
        Fail(now, "too many bad blocks");
        return;
    }
    Emit(now, kNak);
}

void XmodemReceiver::FinishBlock(TimePoint now) {
    const auto* b = reinterpret_cast<const std::uint8_t*>(block_.data());
    const std::size_t dataLen = blockSize_ - 5;
    const std::uint8_t num = b[1];
    if (static_cast<std::uint8_t>(num + b[2]) != 0xFF) {
        BadBlock(now);
        return;
    }
    const std::uint16_t crc = static_cast<std::uint16_t>((b[3 + dataLen] << 8) | b[4 + dataLen]);
    if (Crc16Xmodem(b + 3, dataLen) != crc) {
        BadBlock(now);
        return;
    }
    state_ = State::BetweenBlocks;
    const auto expected = static_cast<std::uint8_t>(ordinal_ & 0xFF);
    if (num == static_cast<std::uint8_t>(expected - 1) && ordinal_ > 1) {
        // The sender missed our answer and repeats the previous block.
        errors_ = 0;
        Emit(now + opt_.ackDelay, kAck);
        return;
    }
    if (num != expected) {
        Fail(now, "block sequence error");
        return;
    }
    Verdict v = opt_.verdict ? opt_.verdict(ordinal_) : Verdict::Ack;
    switch (v) {
    case Verdict::Nak: Emit(now + opt_.ackDelay, kNak); return;
    case Verdict::Can: Emit(now + opt_.ackDelay, kCan); return;
    case Verdict::HangUp: hangUp_ = true; return;
    case Verdict::Ack:
    case Verdict::LostAck: break;
    }
    if (image_.size() + dataLen > opt_.maxImage) {
        Fail(now, "image too large");
        return;
    }
    image_.append(block_, 3, dataLen);
    ++ordinal_;
    errors_ = 0;
    if (v == Verdict::Ack)
        Emit(now + opt_.ackDelay, kAck);
}

void XmodemReceiver::Tick(TimePoint now) {
    if (Finished())
        return;
    if (state_ == State::WaitingForSender) {
        if (now >= nextStart_) {
            if (startSignals_ >= opt_.startLimit) {
                state_ = State::Failed;
                failReason_ = "no sender";
                return;
            }
            ++startSignals_;
            if (opt_.sendStartSignal)
                Emit(now, 'C');
            nextStart_ = now + opt_.startInterval;
        }
        return;
    }
    if (state_ == State::InBlock && now >= byteDeadline_) {
        block_.clear();
        BadBlock(now);
        return;
    }
    if (now >= idleDeadline_)
        Fail(now, "sender silent");
}

std::optional<XmodemReceiver::TimePoint> XmodemReceiver::NextDeadline() const {
    if (Finished())
        return std::nullopt;
    if (state_ == State::WaitingForSender)
        return nextStart_;
    if (state_ == State::InBlock)
        return std::min(byteDeadline_, idleDeadline_);
    return idleDeadline_;
}

std::vector<XmodemReceiver::Output> XmodemReceiver::TakeOutput() {
    std::vector<Output> out;
    out.swap(out_);
    return out;
}

} // namespace vireo::sim
