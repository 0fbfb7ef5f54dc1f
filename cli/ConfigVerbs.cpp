// get, set, export and import: a parameter or the whole configuration of the module, or of a
// remote module reached through it (--remote), with the Configuration page's transactions.
#include "app/ManagerCore.h"
#include "cli/Connection.h"
#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "cli/PortConsole.h"
#include "cli/Verbs.h"
#include "config/ConfigExport.h"
#include "config/ConfigImport.h"
#include "config/ConstructLoader.h"
#include "config/RemoteDevice.h"
#include "platform/ProgramDirectory.h"

#include <cstdio>
#include <memory>

namespace vireo::cli {

namespace {

// The device the verb works on, once connected: the local module, or the remote one by the
// EUI address it reported.
struct Session {
    CManagerCore manager;
    std::unique_ptr<CConfigTarget> target;
    std::string constructFile; // product + "_" + version + ".vmcon" of the target
    std::string who;           // "KA40 v1.1.0 on COM1", "KD40 v1.1.0 00124B... via COM1"
};

int Open(Session& s, const CliOptions& options) {
    PrepareManager(s.manager);
    if (const int rc = ConnectModule(s.manager, options, 9600); rc != kExitOk)
        return rc;
    CManagerCore& m = s.manager;
    if (options.remote.empty()) {
        s.target = std::make_unique<CConfigTarget>(m);
        s.constructFile = ConstructFileName(m.m_strProductName, m.m_strFirmwareVersion);
        s.who = m.m_strProductName + " " + m.m_strFirmwareVersion + " on " + m.m_strPortName;
        return kExitOk;
    }
    PrintError("Asking " + options.remote + " through " + m.m_strPortName + " ...");
    const RemoteIdentity remote = IdentifyRemoteDevice(m, options.remote);
    if (!remote.responded) {
        DisconnectModule(m);
        PrintError(Interrupted() ? "Interrupted." : "ERROR: The remote device does not respond.");
        return Interrupted() ? kExitInterrupted : kExitNoAnswer;
    }
    m.m_bRemoteMode = 1;
    s.target = std::make_unique<CConfigTarget>(m, remote.euiAddress);
    s.constructFile = ConstructFileName(remote.productName, remote.firmwareVersion);
    s.who = remote.productName + " " + remote.firmwareVersion + " " + remote.euiAddress + " via " +
            m.m_strPortName;
    ModuleIdentity identity = IdentityOf(m);
    identity.productName = remote.productName;
    identity.firmwareVersion = remote.firmwareVersion;
    identity.euiAddress = remote.euiAddress;
    NoteModule(identity);
    return kExitOk;
}

// Ends the session: echo on, port closed; Ctrl-C wins over the verb's own result.
int Close(Session& s, int rc) {
    DisconnectModule(s.manager);
    if (Interrupted()) {
        PrintError("Interrupted.");
        return kExitInterrupted;
    }
    return rc;
}

// "Exporting KA40 ...: 41 parameters" and a bar rewritten in place on a terminal; a line per
// tenth in a log.
ConfigProgress ProgressLine(ITransferView& view, const std::string& what) {
    return [&view, what](int done, int total) {
        if (done == 1)
            view.SetStatus(what + " " + std::to_string(total) + " parameters");
        view.SetProgress(total > 0 ? done * 100 / total : 100);
    };
}

// Several ports importing at once each write a log of their own: "ImportErrorLog-COM3.TXT".
std::string ErrorLogName(const std::string& name) {
    const CPortConsole* console = CurrentPortConsole();
    if (!console)
        return name;
    const size_t dot = name.rfind('.');
    return name.substr(0, dot) + "-" + console->Outcome().port + name.substr(dot);
}

int ReportLog(const std::string& what, int failed, const std::string& logPath, int code) {
    PrintError(std::to_string(failed) + " " + what +
               (logPath.empty() ? std::string(", and the error log could not be written.")
                                : "; see " + logPath));
    return code;
}

// The read-back's verdict: each parameter that differs on standard error, exit code 6 if any.
int ReportCheck(const ConfigImportResult& result, const std::string& logPath) {
    if (!result.checked)
        return kExitOk;
    for (const ConfigDifference& d : result.differences)
        PrintError("Differs: " + d.name + ": wrote " + d.command + ", read back " +
                   (d.found == "ERROR" ? std::string("no value") : d.found));
    if (result.differences.empty()) {
        PrintError("Read back " + std::to_string(result.taken.size()) +
                   " parameters: all as imported.");
        return kExitOk;
    }
    PrintError(std::to_string(result.differences.size()) + " parameters read back differently" +
               (logPath.empty() ? std::string(".") : "; see " + logPath));
    return kExitVerify;
}

} // namespace

int RunGet(const CliOptions& options) {
    Session s;
    if (const int rc = Open(s, options); rc != kExitOk)
        return rc;
    PrintError("Reading " + options.command + " of " + s.who);
    s.manager.WakeSleepyDevice();
    const std::string value = s.target->Read(options.command + "\r\n");
    if (value == "ERROR") {
        PrintError("ERROR: The device does not respond to " + options.command + ".");
        return Close(s, kExitFailure);
    }
    std::printf("%s\n", value.c_str());
    std::fflush(stdout);
    return Close(s, kExitOk);
}

int RunSet(const CliOptions& options) {
    Session s;
    if (const int rc = Open(s, options); rc != kExitOk)
        return rc;
    PrintError("Writing " + options.command + " of " + s.who);
    s.manager.WakeSleepyDevice();
    if (s.target->Write(options.command + "=" + options.value + "\r\n", 2) != 1) {
        PrintError("ERROR: Could not save the configuration paramater.");
        return Close(s, kExitRefused);
    }
    return Close(s, kExitOk);
}

int RunExport(const CliOptions& options) {
    Session s;
    if (const int rc = Open(s, options); rc != kExitOk)
        return rc;
    auto data = std::make_unique<CConstructData>();
    ConstructLoadRequest request;
    request.fileName = s.constructFile;
    request.localProduct = s.manager.m_strProductName;
    request.remoteMode = !options.remote.empty();
    request.directory = GetProgramDirectory();
    if (ParseConstructFile(*data, request) != 1)
        return Close(s, kExitFailure); // the loader has said why
    std::string logPath;
    ConfigExportResult result;
    {
        const std::unique_ptr<CConsoleProgressView> view = NewProgressView();
        result = ExportToFile(*s.target, *data, options.file, "",
                              ProgressLine(*view, "Exporting " + s.who + ":"), &logPath);
    }
    if (!result.written)
        return Close(s, kExitFailure);
    PrintError("Saved " + std::to_string(result.saved) + " parameters to " + options.file);
    if (result.failed > 0)
        return Close(
            s, ReportLog("parameters could not be read", result.failed, logPath, kExitFailure));
    return Close(s, kExitOk);
}

int RunImport(const CliOptions& options) {
    Session s;
    if (const int rc = Open(s, options); rc != kExitOk)
        return rc;
    std::string logPath;
    ConfigImportResult result;
    {
        const std::unique_ptr<CConsoleProgressView> view = NewProgressView();
        result = ImportFromFile(*s.target, s.constructFile, options.file, "",
                                ProgressLine(*view, "Importing into " + s.who + ":"), &logPath,
                                ErrorLogName(kImportErrorLog),
                                options.verify ? ImportCheck::Always : ImportCheck::None,
                                ProgressLine(*view, "Reading back"));
    }
    if (result.outcome == ConfigImportResult::Outcome::Declined)
        PrintError("Nothing was sent; use --force to import the file anyway.");
    if (result.outcome != ConfigImportResult::Outcome::Done)
        return Close(s, kExitFailure);
    PrintError("Wrote " + std::to_string(result.Acknowledged()) + " parameters from " +
               options.file);
    if (result.failed > 0)
        return Close(s, ReportLog("sections were not taken", result.failed, logPath, kExitRefused));
    return Close(s, ReportCheck(result, logPath));
}

} // namespace vireo::cli
