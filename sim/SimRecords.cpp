// What went over the line: the text the tool sent and the module sent, the time-stamped byte
// log of both directions, and its copy in the log file.
#include "sim/SimulatorImpl.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace vireo::sim {

namespace {

std::string Printable(std::string_view bytes) {
    std::string out;
    char buf[8];
    for (unsigned char c : bytes) {
        if (c == '\r')
            out += "\\r";
        else if (c == '\n')
            out += "\\n";
        else if (c == '\\')
            out += "\\\\";
        else if (c >= 0x20 && c < 0x7F)
            out += static_cast<char>(c);
        else {
            std::snprintf(buf, sizeof buf, "\\x%02X", c);
            out += buf;
        }
    }
    return out;
}

} // namespace

void Simulator::Impl::TrimRecord(std::string& s) {
    if (s.size() > cfg.recordLimit)
        s.erase(0, s.size() - cfg.recordLimit / 2);
}

void Simulator::Impl::Record(std::string_view bytes, bool toModule, TimePoint now) {
    auto at = std::chrono::duration_cast<std::chrono::microseconds>(now - start);
    if (toModule) {
        received.append(bytes);
        TrimRecord(received);
    } else {
        sent.append(bytes);
        TrimRecord(sent);
    }
    if (!log.empty() && log.back().toModule == toModule &&
        at - log.back().at < std::chrono::milliseconds(2) && log.back().bytes.size() < 4096) {
        log.back().bytes.append(bytes);
    } else {
        log.push_back({at, toModule, std::string(bytes)});
    }
    logBytes += bytes.size();
    if (logBytes > cfg.recordLimit) {
        std::size_t drop = log.size() / 2, dropped = 0;
        for (std::size_t i = 0; i < drop; ++i)
            dropped += log[i].bytes.size();
        log.erase(log.begin(), log.begin() + static_cast<std::ptrdiff_t>(drop));
        logBytes -= dropped;
    }
    if (logFile) {
        std::fprintf(logFile, "[%12.6f] %s %4zu \"%s\"\n", static_cast<double>(at.count()) / 1e6,
                     toModule ? "tool->module" : "module->tool", bytes.size(),
                     Printable(bytes).c_str());
        std::fflush(logFile);
    }
    cv.notify_all();
}

bool Simulator::Impl::OpenLog(std::string* why) {
    if (cfg.logFile.empty())
        return true;
    logFile = std::fopen(cfg.logFile.c_str(), "w");
    if (!logFile)
        return Refuse(why,
                      "cannot write the log file " + cfg.logFile + ": " + std::strerror(errno));
    return true;
}

} // namespace vireo::sim
