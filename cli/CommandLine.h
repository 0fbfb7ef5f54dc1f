// The command line of the vireo tool: a verb, its options and its file argument.
//
//   vireo [--help | --version]
//   vireo ports [--json]
//   vireo info --port COMn [--baud B] [--flow none|software|hardware] [--json]
//   vireo flash --port COMn [--baud B] [--flow F] [--force] [--expect-version V] FILE
//   vireo flash|info|set|import --port COMa,COMb,... [--json] ...  (every port at once)
//   vireo flash --port COMn [--baud B] [--force] --remote ADDR[,ADDR...] FILE
//   vireo flash --port COMn [--baud B] --remote ADDR[,ADDR...] --clone
//   vireo recover --port COMn [--baud B] FILE
//   vireo scan --port COMn [--baud B] [--flow F] [--json]
//   vireo term --port COMn [--baud B] [--flow F] [--hex]
//   vireo update --check [--json] [--dir DIR]
//   vireo update --download [--dir DIR]
//   vireo get --port COMn [--remote ADDR] [--baud B] [--flow F] CMD
//   vireo set --port COMn [--remote ADDR] [--baud B] [--flow F] CMD VALUE
//   vireo export --port COMn [--remote ADDR] [--baud B] [--flow F] FILE
//   vireo import --port COMn [--remote ADDR] [--baud B] [--flow F] [--force]
//                [--verify] FILE
//   vireo report [--port COMn [--baud B] [--flow F]] FILE.tar.gz
//
// Every verb that takes --port also takes --wait-port SECONDS.
// Every form also takes --log FILE, before the command or among its options: a transcript of
// the serial traffic (serial/Transcript.h).
//
// Options take their value as the next argument or after "=" ("--baud=115200"); "--" ends
// the options. Every verb also takes --help (or -h).
#pragma once

#include "platform/UiServices.h"

#include <string>
#include <vector>

namespace vireo::cli {

enum class Verb {
    None,
    Ports,
    Info,
    Flash,
    Recover,
    Scan,
    Term,
    Update,
    Get,
    Set,
    Export,
    Import,
    Report
};

struct CliOptions {
    Verb verb = Verb::None;
    bool help = false;
    bool version = false;
    bool json = false;
    bool force = false;
    bool hex = false;        // term --hex
    bool verify = false;     // import --verify
    bool check = false;      // update --check
    bool download = false;   // update --download
    std::string dir;         // update: where the files go (default: the program directory)
    int port = 0;            // n of "COM<n>"; 0 when not given (the first of several)
    std::vector<int> ports;  // every port given, in their order ("--port COM3,COM4")
    int baudRate = 0;        // 0: the verb's default
    int flowControl = 10;    // 10 none, 11 software, 12 hardware
    int waitPortSeconds = 0; // --wait-port: how long to wait for the port and module; 0 none
    std::string expectVersion;
    std::string file;    // firmware image (flash, recover) or configuration file (export, import)
    std::string command; // get, set: the AT command without line end, e.g. AT+PANID
    std::string value;   // set: the value to write (may be empty)
    std::string remote;  // get, set, export, import --remote: address of a remote module; empty
                         // for the local one
    std::vector<std::string> remotes; // flash --remote: IEEE addresses, in the order given
    bool clone = false;               // flash --clone: copy the local firmware to the remotes
    std::string logFile;              // --log: where the traffic transcript goes; empty: none
};

struct ParsedCommandLine {
    CliOptions options;
    std::string error; // empty when the command line can be used
};

// args without the program name.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

// Several ports, or flash, set and import asked for JSON: the verb reports per port, with a
// summary of the ports at the end. (info on one port keeps its own JSON.)
bool ReportsPerPort(const CliOptions& options);

// The answer a verb's questions get on the console: Yes under import --force (a configuration
// file made for another firmware version is played back), else No.
MsgAnswer QuestionAnswer(const CliOptions& options);

// "ports", "info", ...; empty for Verb::None.
const char* VerbName(Verb verb);

// n of a port text "COM<n>" (any case, 1..255, nothing after the digits); 0 otherwise.
int ParsePortOption(const std::string& text);

} // namespace vireo::cli
