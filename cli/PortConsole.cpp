#include "cli/PortConsole.h"

#include <cstdio>

namespace vireo::cli {

namespace {

thread_local CPortConsole* t_console = nullptr;

} // namespace

void CPortConsole::Message(const std::string& text) {
    m_board.Print(m_index, text);
    const std::string firstLine = text.substr(0, text.find('\n'));
    // An error keeps its second line (the cause of a port that does not open) on one line.
    if (m_firstError.empty() && firstLine.rfind("ERROR", 0) == 0) {
        m_firstError = text;
        for (char& c : m_firstError)
            c = c == '\n' ? ' ' : c;
    }
    m_lastMessage = firstLine;
}

CPortConsole* CurrentPortConsole() {
    return t_console;
}

CPortConsoleInstall::CPortConsoleInstall(CPortConsole& console) {
    t_console = &console;
}

CPortConsoleInstall::~CPortConsoleInstall() {
    t_console = nullptr;
}

std::unique_ptr<CConsoleProgressView> NewProgressView() {
    if (CPortConsole* console = CurrentPortConsole())
        return std::make_unique<CConsoleProgressView>(console->Lines(), console->Terminal());
    return std::make_unique<CConsoleProgressView>(stderr, IsTerminal(stderr));
}

void PrintResult(const std::string& text) {
    if (CurrentPortConsole())
        return;
    std::fputs(text.c_str(), stdout);
    std::fflush(stdout);
}

void NoteModule(const ModuleIdentity& module) {
    if (CPortConsole* console = CurrentPortConsole())
        console->Outcome().module = module;
}

void NoteNewFirmwareVersion(const std::string& version) {
    if (CPortConsole* console = CurrentPortConsole())
        console->Outcome().newFirmwareVersion = version;
}

} // namespace vireo::cli
