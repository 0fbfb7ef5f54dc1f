#include "cli/CommandLine.h"
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
    kAll = 127
};

struct OptionRow {
    const char* name;
    bool takesValue;
    unsigned verbs;
};

constexpr OptionRow kOptions[] = {
    {"--help", false, kAll},
    {"--json", false, kPorts | kInfo | kScan | kUpdate},
    {"--port", true, kInfo | kFlash | kRecover | kScan | kTerm},
    {"--baud", true, kInfo | kFlash | kRecover | kScan | kTerm},
    {"--flow", true, kInfo | kFlash | kScan | kTerm},
    {"--hex", false, kTerm},
    {"--force", false, kFlash},
    {"--expect-version", true, kFlash},
    {"--remote", true, kFlash},
    {"--clone", false, kFlash},
    {"--check", false, kUpdate},
    {"--download", false, kUpdate},
    {"--dir", true, kUpdate},
};

struct VerbRow {
    const char* name;
    Verb verb;
    unsigned bit;
    bool takesFile;
};

constexpr VerbRow kVerbs[] = {
    {"ports", Verb::Ports, kPorts, false},    {"info", Verb::Info, kInfo, false},
    {"flash", Verb::Flash, kFlash, true},     {"recover", Verb::Recover, kRecover, true},
    {"scan", Verb::Scan, kScan, false},       {"term", Verb::Term, kTerm, false},
    {"update", Verb::Update, kUpdate, false},
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

// A clone copies the local module's firmware: remote devices, and no file.
std::string RemoteFlashError(const CliOptions& options) {
    if (options.remotes.empty())
        return "--clone goes with --remote";
    if (!options.file.empty())
        return "--clone takes no firmware file";
    if (!options.expectVersion.empty())
        return "--expect-version does not go with --remote";
    return "";
}

// Stores the value of an option; an error text when the value cannot be used.
std::string ApplyValue(const std::string& name, const std::string& value, CliOptions& options) {
    if (name == "--port") {
        options.port = ParsePortOption(value);
        return options.port ? "" : "'" + value + "' is no port name; give COM1 .. COM255";
    }
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
    if (value.empty())
        return name + " needs a value";
    if (name == "--remote")
        return ParseRemoteAddresses(value, options.remotes);
    (name == "--dir" ? options.dir : options.expectVersion) = value;
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
    if (eq != std::string::npos)
        return ApplyValue(name, arg.substr(eq + 1), options);
    if (i + 1 >= args.size())
        return name + " needs a value";
    return ApplyValue(name, args[++i], options);
}

std::string ParseVerbArguments(const std::vector<std::string>& args, const VerbRow& verb,
                               CliOptions& options) {
    bool optionsEnded = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (!optionsEnded && arg == "--") {
            optionsEnded = true;
        } else if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            if (std::string error = ParseOption(args, i, verb, options); !error.empty())
                return error;
        } else if (verb.takesFile && options.file.empty()) {
            options.file = arg;
        } else {
            return "unexpected argument '" + arg + "'";
        }
    }
    if (options.help)
        return "";
    if (verb.verb == Verb::Update) {
        if (options.check == options.download)
            return "give either --check or --download";
        if (options.json && options.download)
            return "--json goes with --check";
        return "";
    }
    if (verb.verb != Verb::Ports && options.port == 0)
        return "--port is required";
    if (options.clone)
        return RemoteFlashError(options);
    if (verb.takesFile && options.file.empty())
        return "the firmware file is missing";
    if (!options.remotes.empty() && !options.expectVersion.empty())
        return "--expect-version does not go with --remote";
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

ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args) {
    ParsedCommandLine parsed;
    CliOptions& options = parsed.options;
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
