#include "config/ConfigImport.h"
#include "app/ManagerCore.h"
#include "config/ConfigFile.h"
#include "platform/UiServices.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {
constexpr int kLocalWriteTimeoutSeconds = 2;
std::string Parameters(size_t count) {
    return std::to_string(count) + (count == 1 ? " parameter" : " parameters");
}

bool WantsCheck(ImportCheck check, int written) {
    if (written == 0 || check == ImportCheck::None)
        return false;
    const std::string them = written == 1 ? "it" : "them";
    return check == ImportCheck::Always ||
           vireo::UiServices().MessageBox(Parameters(written) + (written == 1 ? " was" : " were") +
                                              " written. Would you like to read " + them +
                                              " back from the device to check " + them + "?",
                                          kAppCaption, vireo::MsgButtons::YesNo,
                                          vireo::MsgIcon::Question) == vireo::MsgAnswer::Yes;
}

} // namespace

ConfigFileVerdict LoadConfigFile(const std::string& path, const std::string& constructFile,
                                 vireo::CProfileFile& file) {
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    if (error || size > kMaxConfigFileBytes || !file.Load(path))
        return ConfigFileVerdict::Invalid;
    const std::string version = file.GetString(zgb::kFirmware, zgb::kVersion).value_or("");
    if (version.empty())
        return ConfigFileVerdict::Invalid;
    return version == constructFile ? ConfigFileVerdict::Matches : ConfigFileVerdict::OtherVersion;
}

ConfigImportResult ImportConfiguration(const CConfigTarget& target, const vireo::CProfileFile& file,
                                       const ConfigProgress& progress) {
    ConfigImportResult result;
    const std::string count = file.GetString(zgb::kFirmware, zgb::kNumOfSaves).value_or("");
    const long long claimed = ParseSavedCount(count);
    result.sections = static_cast<int>(std::min(claimed, kMaxConfigSections));
    target.Manager().WakeSleepyDevice();
    for (int i = 0; i < result.sections; ++i) {
        const std::string section = std::to_string(i);
        const auto stored = file.GetString(section, zgb::kCommand);
        const std::string command = stored.value_or("") + "\r\n";
        // A command with a line break or another control character in it would reach the
        // module as more than one command (or a cut one): it is not sent.
        const bool sendable = stored && IsSingleCommandLine(*stored);
        if (sendable && target.Write(command, kLocalWriteTimeoutSeconds) == 1) {
            result.taken.push_back(i);
        } else {
            const std::string name = file.GetString(section, zgb::kName).value_or("");
            result.log += VisibleText(name) + "\r\n" +
                          (sendable ? command : VisibleText(stored.value_or("")) + "\r\n") + "\r\n";
            ++result.failed;
        }
        if (progress)
            progress(i + 1, result.sections);
    }
    if (claimed > kMaxConfigSections) {
        result.log += "Num_of_saves=" + VisibleText(count) + ": only the first " +
                      std::to_string(kMaxConfigSections) + " sections were read.\r\n";
        ++result.failed;
    }
    return result;
}

ConfigImportResult ImportFromFile(const CConfigTarget& target, const std::string& constructFile,
                                  const std::string& path, const std::string& logDir,
                                  const ConfigProgress& progress, std::string* logPath,
                                  const std::string& logName, ImportCheck check,
                                  const ConfigProgress& checkProgress) {
    if (logPath)
        logPath->clear();
    ConfigImportResult result;
    vireo::CProfileFile file;
    const ConfigFileVerdict verdict = LoadConfigFile(path, constructFile, file);
    if (verdict == ConfigFileVerdict::Invalid) {
        vireo::ShowMessage("ERROR: The configuration file is invalid.", kAppCaption);
        result.outcome = ConfigImportResult::Outcome::Invalid;
        return result;
    }
    if (verdict == ConfigFileVerdict::OtherVersion &&
        vireo::UiServices().MessageBox("The configuration file does not match with the current "
                                       "firmware version. Would you like to continue?",
                                       kAppCaption, vireo::MsgButtons::YesNo,
                                       vireo::MsgIcon::Question) != vireo::MsgAnswer::Yes) {
        result.outcome = ConfigImportResult::Outcome::Declined;
        return result;
    }
    result = ImportConfiguration(target, file, progress);
    if (WantsCheck(check, result.Acknowledged())) {
        vireo::CWaitCursor wait;
        result.differences = VerifyImport(target, file, result.taken, checkProgress);
        result.checked = true;
        if (!result.differences.empty())
            result.log += DifferencesLog(result.differences);
    }
    if (!result.log.empty()) {
        const std::string written = ShowErrorLog(logDir, logName, result.log);
        if (logPath)
            *logPath = written;
    }
    if (result.checked && result.differences.empty() && check == ImportCheck::Ask)
        vireo::ShowMessage("Read back " + Parameters(result.taken.size()) + ": all as imported.",
                           kAppCaption);
    return result;
}
