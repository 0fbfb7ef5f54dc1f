#include "cli/ConsoleUi.h"
#include "cli/ExitCodes.h"
#include "cli/HelpText.h"
#include "cli/Interrupt.h"
#include "cli/Json.h"
#include "cli/LogOption.h"
#include "cli/Verbs.h"
#include "platform/PortMap.h"

#include <cstdio>
#include <string>
#include <vector>

namespace vireo::cli {

namespace {

VerbFunction FindVerbFunction(Verb verb) {
    switch (verb) {
    case Verb::Ports: return RunPorts;
    case Verb::Info: return RunInfo;
    case Verb::Flash: return RunFlash;
    case Verb::Recover: return RunRecover;
    case Verb::Scan: return RunScan;
    case Verb::Term: return RunTerm;
    case Verb::Update: return RunUpdate;
    case Verb::Get: return RunGet;
    case Verb::Set: return RunSet;
    case Verb::Export: return RunExport;
    case Verb::Import: return RunImport;
    case Verb::Report: return RunReport;
    case Verb::None: break;
    }
    return nullptr;
}

int RunVerb(const CliOptions& options) {
    const VerbFunction verb = FindVerbFunction(options.verb);
    if (!verb)
        return kExitUsage;
    CConsoleUi ui;
    const CConsoleUiInstall install(ui);
    ui.SetQuestionAnswer(QuestionAnswer(options));
    InstallInterruptHandler();
    if (ReportsPerPort(options))
        return RunOnPorts(options, verb);
    const int rc = verb(options);
    // A JSON result also when the command failed, with its code (a port that does not open
    // has printed its own, with the cause).
    const bool portOpenFailure =
        rc == kExitPortOpen || (rc >= kExitNoSuchDevice && rc <= kExitNotSerial);
    if (options.json && rc != kExitOk && !portOpenFailure) {
        CJsonObject result;
        if (options.port != 0)
            result.Add("port", PortName(options.port));
        result.AddNumber("exit_code", rc).Add("message", ExitCodeMeaning(rc));
        std::printf("%s\n", result.Text().c_str());
    }
    return rc;
}

} // namespace

int RunCommandLine(int argc, char* argv[]) {
    const std::vector<std::string> args(argv + 1, argv + argc);
    const ParsedCommandLine parsed = ParseCommandLine(args);
    const CliOptions& options = parsed.options;
    if (!parsed.error.empty()) {
        const std::string verb = VerbName(options.verb);
        std::fprintf(stderr, "vireo: %s\nTry 'vireo %s--help'.\n", parsed.error.c_str(),
                     verb.empty() ? "" : (verb + " ").c_str());
        return kExitUsage;
    }
    if (options.version) {
        std::printf("%s\n", VersionText());
        return kExitOk;
    }
    if (options.help) {
        std::fputs(HelpText(options.verb), stdout);
        return kExitOk;
    }
    return RunWithTranscript(options, [&options] { return RunVerb(options); });
}

} // namespace vireo::cli
