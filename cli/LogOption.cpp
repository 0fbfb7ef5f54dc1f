#include "cli/LogOption.h"
#include "cli/ExitCodes.h"
#include "cli/HelpText.h"
#include "platform/UserState.h"
#include "serial/Transcript.h"

#include <cstdio>

namespace vireo::cli {

int RunWithTranscript(const CliOptions& options, const std::function<int()>& run) {
    if (options.logFile.empty())
        return run();
    std::string error;
    const auto transcript = CTranscript::Start(options.logFile, VersionText(), error);
    if (!transcript) {
        std::fprintf(stderr, "vireo: cannot write the traffic transcript '%s': %s\n",
                     options.logFile.c_str(), error.c_str());
        return kExitUsage;
    }
    RememberLastTranscript(options.logFile);
    SetActiveTranscript(transcript);
    const int status = run();
    SetActiveTranscript(nullptr);
    transcript->Stop();
    if (!transcript->Error().empty())
        std::fprintf(stderr, "vireo: the traffic transcript '%s' was cut short: %s\n",
                     options.logFile.c_str(), transcript->Error().c_str());
    return status;
}

} // namespace vireo::cli
