// report: the support bundle (report/SupportReport.h) written as FILE.tar.gz, with the module
// on --port asked who it is when a port is given.
#include "app/ManagerCore.h"
#include "cli/Connection.h"
#include "cli/ExitCodes.h"
#include "cli/HelpText.h"
#include "cli/Verbs.h"
#include "config/ConfigFile.h"
#include "platform/PortMap.h"
#include "platform/ProfileFile.h"
#include "platform/ProgramDirectory.h"
#include "platform/UserState.h"
#include "report/SupportReport.h"
#include "serial/LineSettings.h"
#include "serial/Transcript.h"
#include "serial/TranscriptFormat.h"

#include <cstdio>
#include <filesystem>
#include <random>
#include <system_error>

namespace vireo::cli {

namespace {

ReportModule AskModule(const CliOptions& options) {
    ReportModule module;
    module.port = PortName(options.port);
    CManagerCore manager;
    PrepareManager(manager);
    const int rc = ConnectModule(manager, options, 9600);
    if (rc != kExitOk) {
        module.problem = ExitCodeMeaning(rc);
        return module;
    }
    const ModuleIdentity identity = IdentityOf(manager);
    module.answered = true;
    module.productName = VisibleText(identity.productName);
    module.firmwareVersion = VisibleText(identity.firmwareVersion);
    module.euiAddress = VisibleText(identity.euiAddress);
    module.nodeName = VisibleText(identity.nodeName);
    module.sleepy = identity.sleepy;
    DisconnectModule(manager);
    return module;
}

// Asks the module with the talk recorded into sessionPath, unless --log records it already.
ReportModule AskModuleRecorded(const CliOptions& options, const std::string& sessionPath) {
    if (ActiveTranscript())
        return AskModule(options);
    std::string error;
    const auto transcript = CTranscript::Start(sessionPath, VersionText(), error);
    SetActiveTranscript(transcript);
    ReportModule module = AskModule(options);
    SetActiveTranscript(nullptr);
    if (transcript)
        transcript->Stop();
    return module;
}

} // namespace

int RunReport(const CliOptions& options) {
    SupportReportInput input;
    input.program = VersionText();
    input.constructDir = GetProgramDirectory();
    input.lastTranscript = LastTranscriptPath();
    std::error_code error;
    const std::string sessionPath =
        (std::filesystem::temp_directory_path(error) /
         ("vireo-report-" + std::to_string(std::random_device()()) + ".txt"))
            .string();
    if (options.port != 0) {
        const int baud = options.baudRate != 0 ? options.baudRate : 9600;
        input.lineSettings =
            DescribeLineSettings(baud, NOPARITY, 8, ONESTOPBIT, options.flowControl);
        input.module = AskModuleRecorded(options, sessionPath);
        if (std::filesystem::exists(sessionPath, error))
            input.sessionTranscript = sessionPath;
    }
    std::vector<std::string> names;
    const std::string archive = BuildSupportReport(input, names);
    std::filesystem::remove(sessionPath, error);
    if (!WriteWholeFile(options.file, archive)) {
        PrintError("ERROR: Could not write the report " + options.file + ".");
        return kExitFailure;
    }
    std::string list;
    for (const std::string& name : names)
        list += (list.empty() ? "" : ", ") + name;
    std::printf("Wrote %s: %s\n", options.file.c_str(), list.c_str());
    return kExitOk;
}

} // namespace vireo::cli
