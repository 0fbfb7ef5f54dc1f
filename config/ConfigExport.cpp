#include "config/ConfigExport.h"
#include "app/ManagerCore.h"
#include "config/ConfigEditor.h"
#include "config/ConfigFile.h"
#include "platform/ProfileFile.h"
#include "platform/UiServices.h"

namespace {

int ExportedCount(const CConstructData& data) {
    int total = 0;
    for (int i = 0; i < data.m_nParams; ++i)
        total += data.m_params[i].type == PT_GET ? 0 : 1;
    return total;
}

} // namespace

ConfigExportResult ExportConfiguration(const CConfigTarget& target, const CConstructData& data,
                                       const std::string& path, const ConfigProgress& progress) {
    ConfigExportResult result;
    if (!vireo::WriteWholeFile(path, ""))
        return result;
    vireo::CProfileFile file;
    file.WriteString(zgb::kFirmware, zgb::kVersion, data.m_strConstructFile);
    std::string log = "###Export save error###\r\n";
    target.Manager().WakeSleepyDevice();
    const int total = ExportedCount(data);
    int done = 0;
    for (int i = 0; i < data.m_nParams; ++i) {
        const ConfigParam& p = data.m_params[i];
        if (p.type == PT_GET)
            continue;
        const std::string name = std::string(p.group) + "/" + p.name;
        const std::string value =
            target.Manager().m_bPortOpen == 1 ? target.Read(p.command) : "ERROR";
        const std::string command = SaveCommand(p, value);
        const std::string section = std::to_string(result.saved);
        // The name and the command must each stay one line of the file, and the command one
        // command for the module: a value with a line break would smuggle in another.
        if (value == "ERROR" || !IsSingleCommandLine(name) ||
            !IsSingleCommandLine(std::string_view(command).substr(0, command.size() - 2))) {
            log += VisibleText(name) + "\r\n";
            ++result.failed;
        } else {
            file.WriteString(section, zgb::kName, name);
            file.WriteString(section, zgb::kCommand, command);
            ++result.saved;
        }
        if (progress)
            progress(++done, total);
    }
    file.WriteString(zgb::kFirmware, zgb::kNumOfSaves, std::to_string(result.saved));
    result.written = file.Save(path);
    if (result.failed > 0)
        result.log = log;
    return result;
}

ConfigExportResult ExportToFile(const CConfigTarget& target, const CConstructData& data,
                                const std::string& path, const std::string& logDir,
                                const ConfigProgress& progress, std::string* logPath) {
    ConfigExportResult result;
    {
        vireo::CWaitCursor wait;
        result = ExportConfiguration(target, data, path, progress);
    }
    if (logPath)
        logPath->clear();
    if (!result.written) {
        vireo::ShowMessage("ERROR: Could not write the configuration file.\r\n" + path,
                           kAppCaption);
        return result;
    }
    if (result.failed > 0) {
        const std::string written = ShowErrorLog(logDir, kExportErrorLog, result.log);
        if (logPath)
            *logPath = written;
    }
    return result;
}
