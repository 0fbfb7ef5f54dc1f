#include "config/ConfigVerify.h"
#include "app/ManagerCore.h"
#include "config/ConfigFile.h"
#include "config/ConfigTarget.h"

#include <cctype>

namespace {

bool IsHexText(std::string_view text) {
    if (text.empty())
        return false;
    for (const char c : text)
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    return true;
}

std::string_view WithoutLeadingZeros(std::string_view text) {
    while (text.size() > 1 && text.front() == '0')
        text.remove_prefix(1);
    return text;
}

bool EqualIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

} // namespace

bool SameConfigValue(std::string_view written, std::string_view read) {
    if (written == read)
        return true;
    return IsHexText(written) && IsHexText(read) &&
           EqualIgnoringCase(WithoutLeadingZeros(written), WithoutLeadingZeros(read));
}

std::vector<ConfigDifference> VerifyImport(const CConfigTarget& target,
                                           const vireo::CProfileFile& file,
                                           const std::vector<int>& sections,
                                           const ConfigProgress& progress) {
    std::vector<ConfigDifference> differences;
    target.Manager().WakeSleepyDevice();
    int done = 0;
    for (const int index : sections) {
        const std::string section = std::to_string(index);
        const std::string command = file.GetString(section, zgb::kCommand).value_or("");
        const size_t equals = command.find('=');
        if (equals != std::string::npos && IsSingleCommandLine(command)) {
            const std::string written = command.substr(equals + 1);
            const std::string found = target.Read(command.substr(0, equals) + "\r\n");
            if (found == "ERROR" || !SameConfigValue(written, found))
                differences.push_back(
                    {file.GetString(section, zgb::kName).value_or(""), command, found});
        }
        if (progress)
            progress(++done, static_cast<int>(sections.size()));
    }
    return differences;
}

std::string DifferencesLog(const std::vector<ConfigDifference>& differences) {
    std::string log = "###Read-back differences###\r\n";
    for (const ConfigDifference& d : differences)
        log += VisibleText(d.name) + "\r\n" + VisibleText(d.command) + "\r\nRead back: " +
               (d.found == "ERROR" ? std::string("no value") : VisibleText(d.found)) + "\r\n\r\n";
    return log;
}
