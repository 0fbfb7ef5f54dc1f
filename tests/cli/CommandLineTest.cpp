// The command line: what each verb accepts, and the usage errors it reports.
#include "cli/CommandLine.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sstream>

namespace vireo::cli {
namespace {

// The words of line between single spaces (line ends stay inside their word).
std::vector<std::string> Split(const std::string& line) {
    std::istringstream in(line);
    std::vector<std::string> words;
    for (std::string w; std::getline(in, w, ' ');)
        words.push_back(w);
    return words;
}

// A command line and part of the error text it gives.
const std::pair<const char*, const char*> kRejected[] = {
    {"", "no command given"},
    {"frobnicate", "unknown command 'frobnicate'"},
    {"--bogus", "unknown option '--bogus'"},
    {"--version now", "unexpected argument 'now'"},
    {"info", "--port is required"},
    {"info --port", "--port needs a value"},
    {"info --port COM0", "'COM0' is no port name"},
    {"info --port COM256", "'COM256' is no port name"},
    {"info --port COM3x", "'COM3x' is no port name"},
    {"info --port COM1 --baud 1000", "unsupported baud rate '1000'"},
    {"info --port COM1 --flow rts", "--flow takes none, software or hardware"},
    {"info --port COM1 --json=yes", "--json takes no value"},
    {"ports --port COM1", "--port does not apply to 'ports'"},
    {"flash --port COM1", "the firmware file is missing"},
    {"flash --port COM1 a.ebl b.ebl", "unexpected argument 'b.ebl'"},
    {"flash --port COM1 --expect-version= a.ebl", "--expect-version needs a value"},
    {"update", "give either --check or --download"},
    {"update --check --download", "give either --check or --download"},
    {"update --download --json", "--json goes with --check"},
    {"update --check --dir", "--dir needs a value"},
    {"set --port COM1 AT+PANID", "CMD VALUE is missing"},
    {"get --port COM1 AT+PANID=1", "'AT+PANID=1' is no command"},
    {"get --port COM1 --remote 12,ATZ AT+PANID", "'12,ATZ' is no remote address"},
    {"flash --port COM1 --remote 000D6F0000B1000 a.ebl", "'000D6F0000B1000' is no IEEE address"},
    {"flash --port COM1 --remote 000D6F0000B10001, a.ebl", "'' is no IEEE address"},
    {"flash --port COM1 --remote 000D6F0000B1000G a.ebl", "'000D6F0000B1000G' is no IEEE"},
    {"flash --port COM1 --clone", "--clone goes with --remote"},
    {"flash --port COM1 --remote 000D6F0000B10001 --clone a.ebl", "--clone takes no firmware"},
    {"flash --port COM1 --remote 000D6F0000B10001 --expect-version v1 a.ebl",
     "--expect-version does not go with --remote"},
    {"info --port COM1 --wait-port 86401", "--wait-port takes whole seconds from 0 to 86400"},
    {"info --port COM1 --wait-port -1", "--wait-port takes whole seconds"},
    {"info --port COM1 --wait-port=", "--wait-port takes whole seconds"},
    {"info --port COM1 --wait-port 99999999999999", "--wait-port takes whole seconds"},
    // A line break in a command, value or address would reach the module as a second command.
    {"set --port COM1 AT+NODENAME x\r\nAT&F", "holds a control character"},
    {"get --port COM1 AT+PANID\r\nAT&F", "is no command"},
    {"get --port COM1 --remote 1234\r\nAT&F\r\n AT+PANID", "is no remote address"},
    // Several ports: each once, and not with what belongs to one module.
    {"info --port COM1,COM1", "'COM1' is given twice"},
    {"info --port COM1,,COM2", "'' is no port name; give COM1 .. COM255"},
    {"get --port COM1,COM2 AT+PANID", "several ports go with flash, info, set and import only"},
    {"set --port COM1,COM2 --remote 00124B000A0B0C0D AT+NODENAME x", "--remote does not go with"},
    {"flash --port COM1,COM2 --remote 000D6F0000B10001 a.ebl", "--remote does not go with"},
    {"flash --port COM1 --json --remote 000D6F0000B10001 a.ebl", "--json does not go with"},
};

// What a parsed line set, as words for the options that differ from their defaults.
std::string Described(const CliOptions& o) {
    std::string s = VerbName(o.verb);
    const auto add = [&s](bool set, const std::string& word) {
        if (set)
            s += " " + word;
    };
    add(o.help, "help");
    add(o.port != 0, "port=" + std::to_string(o.port));
    for (size_t i = 1; i < o.ports.size(); ++i)
        add(true, "port=" + std::to_string(o.ports[i]));
    add(o.baudRate != 0, "baud=" + std::to_string(o.baudRate));
    add(o.flowControl != 10, "flow=" + std::to_string(o.flowControl));
    add(o.waitPortSeconds != 0, "wait=" + std::to_string(o.waitPortSeconds));
    add(o.json, "json");
    add(o.force, "force");
    add(o.clone, "clone");
    for (const std::string& address : o.remotes)
        add(true, "remote=" + address);
    add(!o.expectVersion.empty(), "expect=" + o.expectVersion);
    add(!o.file.empty(), "file=" + o.file);
    return s;
}

const std::pair<const char*, const char*> kAccepted[] = {
    {"info --port com12 --baud=115200 --flow Hardware --json --wait-port 86400",
     "info port=12 baud=115200 flow=12 wait=86400 json"},
    {"info --port COM255 --wait-port=0", "info port=255"},
    {"flash --port COM12,com3,COM7 a.ebl", "flash port=12 port=3 port=7 file=a.ebl"},
    {"flash --force --port COM3 --expect-version v1.2.0 -- -image.ebl",
     "flash port=3 force expect=v1.2.0 file=-image.ebl"},
    // A remote flash goes to the devices in the order given.
    {"flash --port COM1 --remote 000D6F0000B10002,000d6f0000b10001 --remote 000D6F0000B10009 "
     "a.ebl",
     "flash port=1 remote=000D6F0000B10002 remote=000d6f0000b10001 remote=000D6F0000B10009 "
     "file=a.ebl"},
    {"flash --port COM1 --clone --remote=000D6F0000B10001",
     "flash port=1 clone remote=000D6F0000B10001"},
    // Help needs no other option.
    {"--help", " help"},
    {"recover -h", "recover help"},
};

TEST(CommandLine, AcceptsWhatCanBeUsed) {
    for (const auto& [line, options] : kAccepted) {
        SCOPED_TRACE(line);
        const ParsedCommandLine parsed = ParseCommandLine(Split(line));
        EXPECT_EQ(parsed.error, "");
        EXPECT_EQ(Described(parsed.options), options);
    }
}

TEST(CommandLine, RejectsWhatCannotBeUsed) {
    for (const auto& [line, error] : kRejected)
        EXPECT_THAT(ParseCommandLine(Split(line)).error, ::testing::HasSubstr(error)) << line;
}

} // namespace
} // namespace vireo::cli
