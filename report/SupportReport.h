// The support bundle: one .tar.gz that answers a support case without access to the bench.
// It holds report.txt (program, platform, every port and whether it opens, and why not, the
// line settings, the module's identity when it answered), the construct file of that module,
// and traffic transcripts; nothing else from the disk.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace vireo {

struct ReportModule {
    std::string port;
    bool answered = false;
    std::string problem; // why it did not answer, when it did not
    std::string productName, firmwareVersion, euiAddress, nodeName;
    bool sleepy = false;
};

struct SupportReportInput {
    std::string program;      // name and version of the program writing the report
    std::string lineSettings; // in words; empty when no port was given
    std::optional<ReportModule> module;
    std::string constructDir;      // where the module's construct file is looked up
    std::string sessionTranscript; // transcript of the report's own talk with the module
    std::string lastTranscript;    // the last transcript the program wrote, if any
};

// "Linux 6.1.0-13-amd64 x86_64 (Debian GNU/Linux 12 (bookworm))" and the like.
std::string PlatformDescription();

// One line per present port: its name, its device, and "opens" or why it cannot be opened.
// Each port is opened and closed again without a byte sent.
std::vector<std::string> PortStateLines();

// The archive's bytes; names receives what it holds, in order.
std::string BuildSupportReport(const SupportReportInput& input, std::vector<std::string>& names);

} // namespace vireo
