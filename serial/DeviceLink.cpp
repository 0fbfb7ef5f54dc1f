#include "serial/DeviceLink.h"
#include "platform/UiServices.h"

#include <chrono>
#include <thread>

const char* const kAppCaption = "Vireo Manager";

namespace {
constexpr int kPollMs = 10;
constexpr int kPollsPerSecond = 100;

bool Holds(const std::string& text, const char* word) {
    return text.find(word) != std::string::npos;
}
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
    const std::string p = reply.substr(0, reply.find("OK"));
    const size_t lf = p.find('\n');
    const std::string t = lf == std::string::npos ? p : p.substr(lf + 1);
    // A line feed left in T means the value line is followed by more lines: cut T at its
    // first CR. Otherwise the value is P up to its first CR.
    const std::string& source = t.find('\n') != std::string::npos ? t : p;
    const size_t cr = source.find('\r');
    return cr == std::string::npos ? std::string() : source.substr(0, cr);
}

CDeviceLink::Outcome CDeviceLink::Transact(const std::string& text, int timeoutSeconds,
                                           bool bootloaderWords) {
    m_strReply.clear();
    m_serial.m_rxRing.Clear();
    m_serial.Write(text);
    const long long polls = static_cast<long long>(timeoutSeconds) * kPollsPerSecond;
    for (long long i = 0; i < polls; ++i) {
        Sleep(kPollMs);
        TakeArrived();
        if (Holds(m_strReply, "OK"))
            return Outcome::Ok;
        if (Holds(m_strReply, "ERROR"))
            return Outcome::Error;
        if (bootloaderWords) {
            if (Holds(m_strReply, "ENTER"))
                return Outcome::Enter;
            if (Holds(m_strReply, ".ebl") || Holds(m_strReply, "Start"))
                return Outcome::Start;
        }
    }
    return Outcome::None;
}

int CDeviceLink::SendCommand(const std::string& command, int timeoutSeconds) {
    if (m_bPortOpen != 1) {
        vireo::ShowMessage("ERROR: Could not close serial port.", kAppCaption);
        return 0;
    }
    vireo::CWaitCursor wait;
    return Transact(command, timeoutSeconds, false) == Outcome::Ok ? 1 : 0;
}

int CDeviceLink::SendRemoteCommand(const std::string& command, int timeoutSeconds,
                                   std::string address) {
    return SendCommand(RemoteWrapper(address, command), timeoutSeconds);
}

std::string CDeviceLink::QueryCommand(const std::string& command, int timeoutSeconds) {
    vireo::CWaitCursor wait;
    if (m_bPortOpen != 1)
        return {};
    switch (Transact(command, timeoutSeconds, true)) {
    case Outcome::Ok: return ReplyValue(m_strReply);
    case Outcome::Enter: return "ENTER";
    case Outcome::Start: return "START";
    default: return "ERROR";
    }
}

std::string CDeviceLink::QueryRemoteCommand(const std::string& command, int timeoutSeconds,
                                            std::string address) {
    vireo::CWaitCursor wait;
    if (m_bPortOpen != 1)
        return {};
    return Transact(RemoteWrapper(address, command), timeoutSeconds, false) == Outcome::Ok
               ? ReplyValue(m_strReply)
               : std::string("ERROR");
}
