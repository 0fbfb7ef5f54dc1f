#include "cli/PortRun.h"
#include "cli/ConsoleUi.h"
#include "cli/ExitCodes.h"
#include "cli/PortConsole.h"
#include "platform/PortMap.h"

#include <chrono>

namespace vireo::cli {

namespace {

std::string Message(int exitCode, const std::string& reason) {
    if (exitCode == kExitInterrupted)
        return "Interrupted.";
    if (!reason.empty())
        return reason;
    return exitCode == kExitOk ? "OK" : "Failed.";
}

std::string FinalLine(const PortOutcome& outcome) {
    const std::string seconds = std::to_string(static_cast<int>(outcome.seconds + 0.5)) + " s";
    if (outcome.exitCode == kExitOk)
        return "OK (" + seconds + ")";
    return "FAILED (" + std::to_string(outcome.exitCode) + "): " + outcome.message;
}

} // namespace

PortOutcome RunOnPort(VerbFunction verb, const CliOptions& options, CProgressBoard& board,
                      size_t index) {
    PortOutcome outcome;
    outcome.port = PortName(options.port);
    outcome.module.port = outcome.port;
    CPortConsole console(board, index, outcome);
    CConsoleUi ui([&console](const std::string& line) { console.Message(line); });
    ui.SetQuestionAnswer(QuestionAnswer(options));
    const CConsoleUiInstall uiInstall(ui, CConsoleUiInstall::Scope::Thread);
    const CPortConsoleInstall consoleInstall(console);
    console.SetLine("Connecting ...");
    const auto start = std::chrono::steady_clock::now();
    outcome.exitCode = verb(options);
    outcome.seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.message = Message(outcome.exitCode, console.Reason());
    console.SetLine(FinalLine(outcome));
    return outcome;
}

} // namespace vireo::cli
