// The command line: what each verb accepts, and the usage errors it reports.
#include "cli/CommandLine.h"

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

struct RejectCase {
    const char* line;
    const char* error; // part of the error text
};

const RejectCase kRejected[] = {
    {"", "no command given"},
    {"frobnicate", "unknown command 'frobnicate'"},
    {"--bogus", "unknown option '--bogus'"},
    {"--version now", "unexpected argument 'now'"},
    {"info", "--port is required"},
    {"info --port COM1 --bogus", "unknown option '--bogus'"},
    {"info --port", "--port needs a value"},
    {"info --port COM0", "'COM0' is no port name"},
    {"info --port COM256", "'COM256' is no port name"},
    {"info --port COM3x", "'COM3x' is no port name"},
    {"info --port /dev/ttyUSB0", "is no port name"},
    {"info --port COM1 --baud 1000", "unsupported baud rate '1000'"},
    {"info --port COM1 --flow rts", "--flow takes none, software or hardware"},
    {"info --port COM1 --json=yes", "--json takes no value"},
    {"info --port COM1 extra", "unexpected argument 'extra'"},
    {"ports --port COM1", "--port does not apply to 'ports'"},
    {"info --port COM1 --force", "--force does not apply to 'info'"},
    {"recover --port COM1 --flow none a.ebl", "--flow does not apply to 'recover'"},
    {"flash --port COM1", "the firmware file is missing"},
    {"flash --port COM1 a.ebl b.ebl", "unexpected argument 'b.ebl'"},
    {"flash --port COM1 --expect-version= a.ebl", "--expect-version needs a value"},
    {"update", "give either --check or --download"},
    {"update --check --download", "give either --check or --download"},
    {"update --download --json", "--json goes with --check"},
    {"update --check --dir", "--dir needs a value"},
    {"update --check --port COM1", "--port does not apply to 'update'"},
    {"info --port COM1 --check", "--check does not apply to 'info'"},
    {"get --port COM1", "CMD is missing"},
    {"set --port COM1 AT+PANID", "CMD VALUE is missing"},
    {"get --port COM1 AT+PANID 1", "unexpected argument '1'"},
    {"get --port COM1 AT+PANID=1", "'AT+PANID=1' is no command"},
    {"get --port COM1 --remote 12,ATZ AT+PANID", "'12,ATZ' is no remote address"},
    {"export --port COM1", "FILE is missing"},
    {"info --port COM1 --remote 1234", "--remote does not apply to 'info'"},
    {"export --port COM1 --force a.zgb", "--force does not apply to 'export'"},
    {"flash --port COM1 --remote 000D6F0000B1000 a.ebl", "'000D6F0000B1000' is no IEEE address"},
    {"flash --port COM1 --remote 000D6F0000B10001, a.ebl", "'' is no IEEE address"},
    {"flash --port COM1 --remote 000D6F0000B1000G a.ebl", "'000D6F0000B1000G' is no IEEE"},
    {"flash --port COM1 --remote 000D6F0000B10001", "the firmware file is missing"},
    {"flash --port COM1 --clone", "--clone goes with --remote"},
    {"flash --port COM1 --remote 000D6F0000B10001 --clone a.ebl", "--clone takes no firmware"},
    {"flash --port COM1 --remote 000D6F0000B10001 --expect-version v1 a.ebl",
     "--expect-version does not go with --remote"},
    {"scan --port COM1 --remote 000D6F0000B10001", "--remote does not apply to 'scan'"},
    // A line break in a command, value or address would reach the module as a second command.
    {"set --port COM1 AT+NODENAME x\r\nAT&F", "holds a control character"},
    {"get --port COM1 AT+PANID\r\nAT&F", "is no command"},
    {"get --port COM1 --remote 1234\r\nAT&F\r\n AT+PANID", "is no remote address"},
};

TEST(CommandLine, ConfigurationVerbsTakeTheirOperands) {
    const ParsedCommandLine set =
        ParseCommandLine(Split("set --port COM2 --remote 00124B000A0B0C0D AT+NODENAME a=b"));
    ASSERT_EQ("", set.error);
    EXPECT_EQ(Verb::Set, set.options.verb);
    EXPECT_EQ("AT+NODENAME", set.options.command);
    EXPECT_EQ("a=b", set.options.value);
    EXPECT_EQ("00124B000A0B0C0D", set.options.remote);
    const ParsedCommandLine import = ParseCommandLine(Split("import --port COM2 --force b.zgb"));
    ASSERT_EQ("", import.error);
    EXPECT_TRUE(import.options.force);
    EXPECT_EQ("b.zgb", import.options.file);
}

TEST(CommandLine, RejectsWhatCannotBeUsed) {
    for (const RejectCase& c : kRejected) {
        SCOPED_TRACE(c.line);
        const ParsedCommandLine parsed = ParseCommandLine(Split(c.line));
        EXPECT_NE(parsed.error.find(c.error), std::string::npos) << parsed.error;
    }
}

TEST(CommandLine, TakesValuesInBothFormsAndFilesAfterDoubleDash) {
    const ParsedCommandLine info =
        ParseCommandLine(Split("info --port com12 --baud=115200 --flow Hardware --json"));
    ASSERT_EQ(info.error, "");
    EXPECT_EQ(info.options.verb, Verb::Info);
    EXPECT_EQ(info.options.port, 12);
    EXPECT_EQ(info.options.baudRate, 115200);
    EXPECT_EQ(info.options.flowControl, 12);
    EXPECT_TRUE(info.options.json);

    const ParsedCommandLine flash =
        ParseCommandLine(Split("flash --force --port COM3 --expect-version v1.2.0 -- -image.ebl"));
    ASSERT_EQ(flash.error, "");
    EXPECT_EQ(flash.options.file, "-image.ebl");
    EXPECT_TRUE(flash.options.force);
    EXPECT_EQ(flash.options.expectVersion, "v1.2.0");
    EXPECT_EQ(flash.options.baudRate, 0) << "the verb chooses its default";
    EXPECT_EQ(flash.options.flowControl, 10);
}

TEST(CommandLine, RemoteFlashTakesAddressListsInTheirOrder) {
    const ParsedCommandLine file = ParseCommandLine(
        Split("flash --port COM1 --remote 000D6F0000B10002,000d6f0000b10001 --remote "
              "000D6F0000B10009 a.ebl"));
    ASSERT_EQ(file.error, "");
    EXPECT_EQ(
        file.options.remotes,
        (std::vector<std::string>{"000D6F0000B10002", "000d6f0000b10001", "000D6F0000B10009"}));
    EXPECT_FALSE(file.options.clone);

    const ParsedCommandLine clone =
        ParseCommandLine(Split("flash --port COM1 --clone --remote=000D6F0000B10001"));
    ASSERT_EQ(clone.error, "");
    EXPECT_TRUE(clone.options.clone);
    EXPECT_EQ(clone.options.file, "");
}

TEST(CommandLine, HelpNeedsNoOtherOption) {
    for (const char* line : {"--help", "-h", "flash --help", "info -h", "recover --help"}) {
        SCOPED_TRACE(line);
        const ParsedCommandLine parsed = ParseCommandLine(Split(line));
        EXPECT_EQ(parsed.error, "");
        EXPECT_TRUE(parsed.options.help);
    }
}

} // namespace
} // namespace vireo::cli
