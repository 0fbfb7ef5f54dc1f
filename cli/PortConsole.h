// The console of a verb that runs on one of several ports, on a thread of its own. While it
// is installed on the thread, the verb's messages go to the port's lines of the shared
// board, its results into the port's outcome instead of standard output, and its progress
// to the port's line. Without one (a single port), all goes to the standard streams as
// usual.
#pragma once

#include "cli/PortOutcome.h"
#include "cli/ProgressBoard.h"

#include <memory>
#include <string>

namespace vireo::cli {

class CPortConsole {
public:
    CPortConsole(CProgressBoard& board, size_t index, PortOutcome& outcome)
        : m_board(board), m_index(index), m_lines(board, index), m_outcome(outcome) {}

    // Prints the message after the port's name and keeps it for the outcome.
    void Message(const std::string& text);
    void SetLine(const std::string& text) { m_board.SetLine(m_index, text); }
    PortOutcome& Outcome() { return m_outcome; }
    const PortOutcome& Outcome() const { return m_outcome; }
    IProgressLines& Lines() { return m_lines; }
    bool Terminal() const { return m_board.Terminal(); }
    // The first error, else the last message; empty when there was none.
    std::string Reason() const { return m_firstError.empty() ? m_lastMessage : m_firstError; }

private:
    CProgressBoard& m_board;
    size_t m_index;
    CBoardProgressLines m_lines;
    PortOutcome& m_outcome;
    std::string m_firstError;
    std::string m_lastMessage;
};

// The calling thread's port console; nullptr on a single port.
CPortConsole* CurrentPortConsole();

// Installs console on the calling thread for the lifetime of the object.
class CPortConsoleInstall {
public:
    explicit CPortConsoleInstall(CPortConsole& console);
    ~CPortConsoleInstall();
    CPortConsoleInstall(const CPortConsoleInstall&) = delete;
    CPortConsoleInstall& operator=(const CPortConsoleInstall&) = delete;
};

// A progress view on the port's line, or on standard error.
std::unique_ptr<CConsoleProgressView> NewProgressView();

// A verb's result for people (identity, versions): on standard output, or nowhere on one of
// several ports, whose summary carries it.
void PrintResult(const std::string& text);

// The module as connected, and its version after an update, for the port's outcome.
void NoteModule(const ModuleIdentity& module);
void NoteNewFirmwareVersion(const std::string& version);

} // namespace vireo::cli
