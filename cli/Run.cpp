#include "cli/ConsoleUi.h"
#include "cli/ExitCodes.h"
#include "cli/HelpText.h"
#include "cli/Interrupt.h"
#include "cli/LogOption.h"
#include "cli/Verbs.h"

#include <cstdio>
#include <string>
#include <vector>

namespace vireo::cli {

namespace {

int RunVerb(const CliOptions& options) {
    CConsoleUi ui;
    const CConsoleUiInstall install(ui);
    // --force plays back a configuration file made for another firmware version.
    if (options.verb == Verb::Import && options.force)
        ui.SetQuestionAnswer(MsgAnswer::Yes);
    InstallInterruptHandler();
    switch (options.verb) {
    case Verb::Ports: return RunPorts(options);
    case Verb::Info: return RunInfo(options);
    case Verb::Flash: return RunFlash(options);
    case Verb::Recover: return RunRecover(options);
    case Verb::Scan: return RunScan(options);
    case Verb::Term: return RunTerm(options);
    case Verb::Update: return RunUpdate(options);
    case Verb::Get: return RunGet(options);
    case Verb::Set: return RunSet(options);
    case Verb::Export: return RunExport(options);
    case Verb::Import: return RunImport(options);
    case Verb::Report: return RunReport(options);
    case Verb::None: break;
    }
    return kExitUsage;
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
