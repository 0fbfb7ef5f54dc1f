#include "serial/DeviceLink.h"
#include "platform/UiServices.h"
#include "serial/ReplyWords.h"

#include <chrono>
#include <thread>

const char* const kAppCaption = "Vireo Manager";

namespace {
constexpr int kPollMs = 10;
constexpr int kPollsPerSecond = 100;
// The longest a listing that keeps arriving is read: 1000 nodes at 9600 baud take about 65 s.
// A module that never stops talking is given up on after this.
constexpr int kLongestListingSeconds = 120;
// Polls granted after a reply word has arrived for the rest of its line (its CR LF): a module
// sends them right behind the word, and leaving them on the line would put them in front of
// the next reply. Every poll counts against the time-out, which a word waiting for its line
// end may overrun by at most this many polls.
constexpr int kLineEndPolls = 5;
} // namespace

CDeviceLink::CDeviceLink()
    : m_sleep([](int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }) {}

void CDeviceLink::TakeArrived() {
    m_serial.m_rxRing.TakeAll(m_strReply);
}

std::string CDeviceLink::RemoteWrapper(const std::string& address, const std::string& command) {
    return "AT+RC=" + address + "," + command;
}

std::string CDeviceLink::ReplyValue(const std::string& reply) {
    return ::ReplyValue(reply);
}

ReplyWord CDeviceLink::Transact(const std::string& text, int timeoutSeconds, BootloaderWords words,
                                bool quietLimit) {
    m_strReply.clear();
    m_serial.m_rxRing.Clear();
    m_serial.Write(text);
    const long long timeoutPolls = static_cast<long long>(timeoutSeconds) * kPollsPerSecond;
    long long polls = timeoutPolls;
    long long pollsInAll = kLongestListingSeconds * kPollsPerSecond;
    int overrun = kLineEndPolls; // polls a pending word may take past the time-out
    size_t settled = 0;          // the reply's beginning that holds no reply word, whatever follows
    size_t pendingAt = std::string::npos;
    int lineEndPolls = 0;
    while (polls > 0 || (pendingAt != std::string::npos && overrun-- > 0)) {
        Sleep(kPollMs);
        // Asked before taking: an answer that arrived just before the line went away is
        // judged before the loss ends the polls.
        const bool lost = m_serial.IsLost();
        const size_t before = m_strReply.size();
        TakeArrived();
        --polls;
        if (quietLimit) {
            --pollsInAll;
            if (m_strReply.size() != before)
                polls = timeoutPolls; // still arriving: the quiet wait starts again
            polls = std::min(polls, pollsInAll);
        }
        const ReplyVerdict verdict = JudgeReply(m_strReply, words, settled);
        if (verdict.word == ReplyWord::None) {
            settled = m_strReply.size();
            pendingAt = std::string::npos;
            if (lost)
                break; // the line is gone: no answer can come
            continue;
        }
        // Each word gets its own polls for its line end: one that grew into a longer line
        // ("OKAY") used none of the wait of the next.
        if (verdict.at != pendingAt) {
            pendingAt = verdict.at;
            lineEndPolls = kLineEndPolls;
        }
        // The word counts once its line is complete, or when its line end is overdue.
        if (verdict.complete || lineEndPolls-- == 0)
            return verdict.word;
    }
    return ReplyWord::None;
}

std::string CDeviceLink::ScanCommand(const std::string& command, int timeoutSeconds) {
    if (m_bPortOpen != 1)
        return "ERROR";
    // The same reply rule as every transaction: a node named "BOOK" does not end the scan.
    return Transact(command, timeoutSeconds, {}, true) == ReplyWord::Ok ? m_strReply : "ERROR";
}

int CDeviceLink::SendCommand(const std::string& command, int timeoutSeconds) {
    if (m_bPortOpen != 1) {
        vireo::ShowMessage("ERROR: Could not close serial port.", kAppCaption);
        return 0;
    }
    vireo::CWaitCursor wait;
    return Transact(command, timeoutSeconds, {}) == ReplyWord::Ok ? 1 : 0;
}

int CDeviceLink::SendRemoteCommand(const std::string& command, int timeoutSeconds,
                                   std::string address) {
    return SendCommand(RemoteWrapper(address, command), timeoutSeconds);
}

std::string CDeviceLink::QueryCommand(const std::string& command, int timeoutSeconds) {
    vireo::CWaitCursor wait;
    if (m_bPortOpen != 1)
        return {};
    switch (Transact(command, timeoutSeconds, ExpectedBootloaderWords(command))) {
    case ReplyWord::Ok: return ReplyValue(m_strReply);
    case ReplyWord::Enter: return "ENTER";
    case ReplyWord::Start: return "START";
    default: return "ERROR";
    }
}

std::string CDeviceLink::QueryRemoteCommand(const std::string& command, int timeoutSeconds,
                                            std::string address) {
    vireo::CWaitCursor wait;
    if (m_bPortOpen != 1)
        return {};
    return Transact(RemoteWrapper(address, command), timeoutSeconds, {}) == ReplyWord::Ok
               ? ReplyValue(m_strReply)
               : std::string("ERROR");
}
