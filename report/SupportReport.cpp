#include "report/SupportReport.h"
#include "config/ConstructFile.h"
#include "config/ConstructLoader.h"
#include "platform/PortMap.h"
#include "report/TarGz.h"
#include "serial/LineSettings.h"
#include "serial/SerialPort.h"

#include <ctime>
#include <filesystem>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/utsname.h>
#endif

namespace vireo {

namespace {

// A transcript larger than this goes into the bundle by its end, the part a fault is in.
constexpr std::streamoff kTranscriptTail = 8 << 20;

std::string UtcNow(std::time_t now) {
    char text[32] = "";
    std::tm utc{};
#ifdef _WIN32
    gmtime_s(&utc, &now);
#else
    gmtime_r(&now, &utc);
#endif
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S UTC", &utc);
    return text;
}

// The file, or its last kTranscriptTail bytes behind a line saying so; nullopt when unreadable.
std::optional<std::string> ReadTail(const std::string& path) {
    std::ifstream in(path, std::ios::binary | std::ios::ate);
    if (!in)
        return std::nullopt;
    const std::streamoff size = in.tellg();
    const std::streamoff skip = size > kTranscriptTail ? size - kTranscriptTail : 0;
    in.seekg(skip);
    std::string text(static_cast<size_t>(size - skip), '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (skip > 0)
        text = "[the first " + std::to_string(skip) + " bytes are left out]\n" + text;
    return text;
}

std::string ModuleSection(const ReportModule& m) {
    if (!m.answered)
        return "Module on " + m.port + ": no answer (" + m.problem + ")\n";
    return "Module on " + m.port + ":\n  Product name: " + m.productName +
           "\n  Firmware version: " + m.firmwareVersion + "\n  EUI address: " + m.euiAddress +
           "\n  Node name: " + m.nodeName + "\n  Sleepy end device: " + (m.sleepy ? "yes" : "no") +
           "\n";
}

// Adds a file of the disk under name, and a line about it to the report text.
void AddFromDisk(CTarGzWriter& archive, std::vector<std::string>& names, std::string& report,
                 const std::string& what, const std::string& path, const std::string& name,
                 std::time_t now) {
    if (path.empty())
        return;
    const std::optional<std::string> content = ReadTail(path);
    if (!content || !archive.AddFile(name, *content, now)) {
        report += what + ": " + path + " (cannot be read)\n";
        return;
    }
    names.push_back(name);
    report += what + ": " + path + " (included as " + name + ")\n";
}

} // namespace

std::string PlatformDescription() {
#ifdef _WIN32
    SYSTEM_INFO info{};
    GetNativeSystemInfo(&info);
    return std::string("Windows, ") +
           (info.wProcessorArchitecture == PROCESSOR_ARCHITECTURE_AMD64 ? "x64" : "x86");
#else
    utsname names{};
    if (uname(&names) != 0)
        return "unknown";
    std::string text = std::string(names.sysname) + " " + names.release + " " + names.machine;
    std::ifstream release("/etc/os-release");
    for (std::string line; std::getline(release, line);) {
        if (line.rfind("PRETTY_NAME=", 0) == 0) {
            std::string pretty = line.substr(12);
            if (pretty.size() >= 2 && pretty.front() == '"' && pretty.back() == '"')
                pretty = pretty.substr(1, pretty.size() - 2);
            text += " (" + pretty + ")";
        }
    }
    return text;
#endif
}

std::vector<std::string> PortStateLines() {
    std::vector<std::string> lines;
    for (const PortEntry& entry : ListPorts()) {
        CSerialPort port;
        std::string state = "opens";
        if (port.Open(entry.number, 9600, NOPARITY, 8, ONESTOPBIT, FLOW_NONE) != 1)
            state = "cannot be opened: " + port.LastError();
        port.Close();
        lines.push_back(PortName(entry.number) + "  " + entry.device + "  " + state);
    }
    return lines;
}

std::string BuildSupportReport(const SupportReportInput& input, std::vector<std::string>& names) {
    const std::time_t now = std::time(nullptr);
    std::string report = "Vireo Manager support report\nProgram: " + input.program +
                         "\nWritten: " + UtcNow(now) + "\nPlatform: " + PlatformDescription() +
                         "\n\nPorts:\n";
    const std::vector<std::string> ports = PortStateLines();
    for (const std::string& line : ports)
        report += "  " + line + "\n";
    if (ports.empty())
        report += "  (none present)\n";
    report += "\n";
    CTarGzWriter archive;
    if (!input.lineSettings.empty())
        report += "Line settings: " + input.lineSettings + "\n";
    if (input.module) {
        report += ModuleSection(*input.module);
        if (input.module->answered) {
            const std::string construct =
                ConstructFileName(input.module->productName, input.module->firmwareVersion);
            // The name comes from the module: one that leads out of the folder, or to a
            // hidden file, is not read.
            if (!IsBareFileName(construct) || construct[0] == '.')
                report += "Construct file: " + construct + " (not looked up)\n";
            else
                AddFromDisk(archive, names, report, "Construct file",
                            (std::filesystem::path(input.constructDir) / construct).string(),
                            construct, now);
        }
    }
    AddFromDisk(archive, names, report, "Transcript of this report", input.sessionTranscript,
                "session-transcript.txt", now);
    AddFromDisk(archive, names, report, "Last transcript", input.lastTranscript,
                "last-transcript.txt", now);
    archive.AddFile("report.txt", report, now);
    names.push_back("report.txt");
    return archive.Finish();
}

} // namespace vireo
