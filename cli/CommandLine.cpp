#include "cli/CommandLine.h"
#include "cli/WaitPort.h"
#include "config/ConfigFile.h"
#include "config/RemoteDevice.h"
#include "platform/PortMap.h"
#include "serial/SerialPortList.h"

#include <cctype>
#include <cstring>

namespace vireo::cli {

namespace {

enum VerbBit : unsigned {
    kPorts = 1,
    kInfo = 2,
    kFlash = 4,
    kRecover = 8,
    kScan = 16,
    kTerm = 32,
    kUpdate = 64,
    kGet = 128,
    kSet = 256,
    kExport = 512,
    kImport = 1024,
    kReport = 2048,
    kConfig = kGet | kSet | kExport | kImport,
    kAll = 4095
};

struct OptionRow {
    const char* name;
    bool takesValue;
    unsigned verbs;
};

constexpr OptionRow kOptions[] = {
    {"--help", false, kAll},
    {"--json", false, kPorts | kInfo | kScan | kUpdate | kFlash | kSet | kImport},
    {"--port", true, kInfo | kFlash | kRecover | kScan | kTerm | kConfig | kReport},
    {"--baud", true, kInfo | kFlash | kRecover | kScan | kTerm | kConfig | kReport},
    {"--flow", true, kInfo | kFlash | kScan | kTerm | kConfig | kReport},
    {"--wait-port", true, kInfo | kFlash | kRecover | kScan | kTerm | kConfig | kReport},
    {"--hex", false, kTerm},
    {"--force", false, kFlash | kImport},
    {"--verify", false, kImport},
    {"--remote", true, kConfig | kFlash},
    {"--expect-version", true, kFlash},
    {"--clone", false, kFlash},
    {"--check", false, kUpdate},
    {"--download", false, kUpdate},
    {"--dir", true, kUpdate},
    {"--log", true, kAll},
};

struct VerbRow {
    const char* name;
    Verb verb;
    unsigned bit;
    const char* operands; // what the arguments after the options are, e.g. "CMD VALUE"
    int count;            // how many there must be
};

constexpr VerbRow kVerbs[] = {
    {"ports", Verb::Ports, kPorts, "", 0},        {"info", Verb::Info, kInfo, "", 0},
    {"flash", Verb::Flash, kFlash, "FILE", 1},    {"recover", Verb::Recover, kRecover, "FILE", 1},
    {"scan", Verb::Scan, kScan, "", 0},           {"term", Verb::Term, kTerm, "", 0},
    {"update", Verb::Update, kUpdate, "", 0},     {"get", Verb::Get, kGet, "CMD", 1},
    {"set", Verb::Set, kSet, "CMD VALUE", 2},     {"export", Verb::Export, kExport, "FILE", 1},
    {"import", Verb::Import, kImport, "FILE", 1}, {"report", Verb::Report, kReport, "FILE", 1},
};

const VerbRow* FindVerb(const std::string& name) {
    for (const VerbRow& row : kVerbs) {
        if (name == row.name)
            return &row;
    }
    return nullptr;
}

const OptionRow* FindOption(const std::string& name) {
    for (const OptionRow& option : kOptions) {
        if (name == option.name)
            return &option;
    }
    return nullptr;
}

std::string Lower(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

// 'text' with control characters shown as <0D>. Built in steps: "'" + a temporary trips a
// false -Wrestrict of GCC 12.
std::string Quoted(const std::string& text) {
    std::string quoted(1, '\'');
    quoted.append(VisibleText(text)).push_back('\'');
    return quoted;
}

bool IsIeeeAddress(const std::string& text) {
    if (text.size() != 16)
        return false;
    for (char c : text) {
        if (!std::isxdigit(static_cast<unsigned char>(c)))
            return false;
    }
    return true;
}

// "ADDR[,ADDR...]", appended to addresses in their order.
std::string ParseRemoteAddresses(const std::string& value, std::vector<std::string>& addresses) {
    size_t begin = 0;
    for (;;) {
        const size_t comma = value.find(',', begin);
        const std::string address = value.substr(begin, comma - begin);
        if (!IsIeeeAddress(address))
            return "'" + address + "' is no IEEE address (16 hexadecimal digits)";
        addresses.push_back(address);
        if (comma == std::string::npos)
            return "";
        begin = comma + 1;
    }
}

// flash --remote: no version to expect from several modules; a clone copies the local
// module's firmware, so it goes with remote devices and takes no file.
std::string RemoteFlashError(const std::vector<std::string>& operands, const CliOptions& options) {
    if (!options.remotes.empty() && !options.expectVersion.empty())
        return "--expect-version does not go with --remote";
    if (!options.clone)
        return "";
    if (options.remotes.empty())
        return "--clone goes with --remote";
    if (!operands.empty())
        return "--clone takes no firmware file";
    return "";
}

// "COMa[,COMb...]": each port once.
std::string ParsePorts(const std::string& value, CliOptions& options) {
    options.ports.clear();
    size_t begin = 0;
    for (;;) {
        const size_t comma = value.find(',', begin);
        const std::string name = value.substr(begin, comma - begin);
        const int port = ParsePortOption(name);
        if (!port)
            return "'" + name + "' is no port name; give COM1 .. COM255";
        for (int earlier : options.ports) {
            if (earlier == port)
                return "'" + name + "' is given twice";
        }
        options.ports.push_back(port);
        if (comma == std::string::npos)
            break;
        begin = comma + 1;
    }
    options.port = options.ports.front();
    return "";
}

// What several ports at once do not go with. --json is also taken by flash, set and import,
// which then report as for several ports.
std::string SeveralPortsError(const CliOptions& options) {
    const bool several = options.ports.size() > 1;
    const Verb verb = options.verb;
    const bool multiVerb =
        verb == Verb::Flash || verb == Verb::Info || verb == Verb::Set || verb == Verb::Import;
    if (several && !multiVerb)
        return "several ports go with flash, info, set and import only";
    if (ReportsPerPort(options) && (!options.remote.empty() || !options.remotes.empty()))
        return several ? "--remote does not go with several ports"
                       : "--json does not go with --remote";
    return "";
}

// Stores the value of an option; an error text when the value cannot be used.
std::string ApplyValue(const std::string& name, const std::string& value, CliOptions& options) {
    if (name == "--port")
        return ParsePorts(value, options);
    if (name == "--baud") {
        options.baudRate = SettingValue(kBaudRateTable, value);
        return options.baudRate ? "" : "unsupported baud rate '" + value + "'";
    }
    if (name == "--flow") {
        const std::string flow = Lower(value);
        options.flowControl = flow == "none"       ? 10
                              : flow == "software" ? 11
                              : flow == "hardware" ? 12
                                                   : 0;
        return options.flowControl ? "" : "--flow takes none, software or hardware";
    }
    if (name == "--wait-port")
        return ParseWaitPortSeconds(value, options.waitPortSeconds);
    if (name == "--remote") {
        options.remote = value;
        return IsUsableRemoteAddress(value) ? "" : Quoted(value) + " is no remote address";
    }
    if (value.empty())
        return name + " needs a value";
    if (name == "--log") {
        options.logFile = value;
        return "";
    }
    (name == "--dir" ? options.dir : options.expectVersion) = value;
    return "";
}

// Puts the arguments after the options where the verb wants them; an error text when they
// do not fit.
std::string ApplyOperands(const std::vector<std::string>& operands, const VerbRow& verb,
                          CliOptions& options) {
    if (static_cast<int>(operands.size()) > verb.count)
        return "unexpected argument '" + operands[static_cast<size_t>(verb.count)] + "'";
    if (static_cast<int>(operands.size()) < verb.count)
        return std::string(verb.verb == Verb::Flash || verb.verb == Verb::Recover
                               ? "the firmware file"
                               : verb.operands) +
               " is missing";
    if (verb.verb == Verb::Get || verb.verb == Verb::Set) {
        options.command = operands[0];
        // The command is sent as one line; "=" would make a read a write.
        if (!IsSingleCommandLine(options.command) || options.command.find('=') != std::string::npos)
            return Quoted(options.command) + " is no command; give it as AT+PANID";
        if (verb.verb == Verb::Set) {
            options.value = operands[1];
            if (!options.value.empty() && !IsSingleCommandLine(options.value))
                return "the value " + Quoted(options.value) + " holds a control character";
        }
    } else if (verb.count == 1) {
        options.file = operands[0];
    }
    return "";
}

void SetFlag(const std::string& name, CliOptions& options) {
    if (name == "--help")
        options.help = true;
    else if (name == "--json")
        options.json = true;
    else if (name == "--force")
        options.force = true;
    else if (name == "--hex")
        options.hex = true;
    else if (name == "--check")
        options.check = true;
    else if (name == "--download")
        options.download = true;
    else if (name == "--clone")
        options.clone = true;
    else if (name == "--verify")
        options.verify = true;
}

// One "--name[=value]" argument; i moves past a value taken from the next argument.
std::string ParseOption(const std::vector<std::string>& args, size_t& i, const VerbRow& verb,
                        CliOptions& options) {
    const std::string& arg = args[i];
    const size_t eq = arg.find('=');
    const std::string name = arg == "-h" ? "--help" : arg.substr(0, eq);
    const OptionRow* option = FindOption(name);
    if (!option)
        return "unknown option '" + name + "'";
    if (!(option->verbs & verb.bit))
        return name + " does not apply to '" + verb.name + "'";
    if (!option->takesValue) {
        if (eq != std::string::npos)
            return name + " takes no value";
        SetFlag(name, options);
        return "";
    }
    if (eq == std::string::npos && i + 1 >= args.size())
        return name + " needs a value";
    const std::string value = eq != std::string::npos ? arg.substr(eq + 1) : args[++i];
    // flash takes a list of network addresses, one or more modules to update in turn.
    if (name == "--remote" && verb.verb == Verb::Flash)
        return ParseRemoteAddresses(value, options.remotes);
    return ApplyValue(name, value, options);
}

std::string ParseVerbArguments(const std::vector<std::string>& args, const VerbRow& verb,
                               CliOptions& options) {
    bool optionsEnded = false;
    std::vector<std::string> operands;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            if (std::string error = ParseOption(args, i, verb, options); !error.empty())
                return error;
        } else {
            operands.push_back(arg);
        }
    }
    if (options.help)
        return operands.size() > static_cast<size_t>(verb.count)
                   ? "unexpected argument '" + operands[static_cast<size_t>(verb.count)] + "'"
                   : "";
    if (verb.verb == Verb::Update) {
        if (options.check == options.download)
            return "give either --check or --download";
        if (options.json && options.download)
            return "--json goes with --check";
        return ApplyOperands(operands, verb, options);
    }
    if (verb.verb != Verb::Ports && verb.verb != Verb::Report && options.port == 0)
        return "--port is required";
    if (std::string error = SeveralPortsError(options); !error.empty())
        return error;
    if (verb.verb == Verb::Flash) {
        if (std::string error = RemoteFlashError(operands, options); !error.empty())
            return error;
        if (options.clone)
            return "";
    }
    return ApplyOperands(operands, verb, options);
}

// "--log FILE" or "--log=FILE" before the command, which goes into logFile; the arguments
// from the command on go into rest.
std::string TakeLeadingLogOption(const std::vector<std::string>& args, std::string& logFile,
                                 std::vector<std::string>& rest) {
    size_t i = 0;
    while (i < args.size() && (args[i] == "--log" || args[i].rfind("--log=", 0) == 0)) {
        if (args[i] == "--log" && i + 1 >= args.size())
            return "--log needs a value";
        logFile = args[i] == "--log" ? args[i + 1] : args[i].substr(6);
        if (logFile.empty())
            return "--log needs a value";
        i += args[i] == "--log" ? 2 : 1;
    }
    rest.assign(args.begin() + static_cast<std::ptrdiff_t>(i), args.end());
    return "";
}

} // namespace

int ParsePortOption(const std::string& text) {
    if (text.size() < 4 || text.size() > 6 || Lower(text.substr(0, 3)) != "com")
        return 0;
    int n = 0;
    for (size_t i = 3; i < text.size(); ++i) {
        if (!std::isdigit(static_cast<unsigned char>(text[i])))
            return 0;
        n = n * 10 + (text[i] - '0');
    }
    return n >= 1 && n <= vireo::kMaxPortNumber ? n : 0;
}

const char* VerbName(Verb verb) {
    for (const VerbRow& row : kVerbs) {
        if (row.verb == verb)
            return row.name;
    }
    return "";
}

bool ReportsPerPort(const CliOptions& options) {
    return options.ports.size() > 1 ||
           (options.json && (options.verb == Verb::Flash || options.verb == Verb::Set ||
                             options.verb == Verb::Import));
}

MsgAnswer QuestionAnswer(const CliOptions& options) {
    return options.verb == Verb::Import && options.force ? MsgAnswer::Yes : MsgAnswer::No;
}

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& allArgs) {
    ParsedCommandLine parsed;
    CliOptions& options = parsed.options;
    std::vector<std::string> args;
    parsed.error = TakeLeadingLogOption(allArgs, options.logFile, args);
    if (!parsed.error.empty())
        return parsed;
    if (args.empty()) {
        parsed.error = "no command given";
        return parsed;
    }
    const std::string& first = args[0];
    if (first == "--help" || first == "-h" || first == "--version") {
        options.help = first != "--version";
        options.version = first == "--version";
        if (args.size() > 1)
            parsed.error = "unexpected argument '" + args[1] + "'";
        return parsed;
    }
    const VerbRow* verb = FindVerb(first);
    if (!verb) {
        parsed.error = (first[0] == '-' ? "unknown option '" : "unknown command '") + first + "'";
        return parsed;
    }
    options.verb = verb->verb;
    parsed.error = ParseVerbArguments(args, *verb, options);
    return parsed;
}

} // namespace vireo::cli
