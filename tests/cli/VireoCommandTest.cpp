// The vireo executable's verbs as people run them, against simulated modules on COM1 and up.
#include "VireoFixture.h"

#include <fstream>
#include <gtest/gtest.h>

namespace vireo::test {
namespace {

using namespace std::chrono_literals;

std::string LastLine(std::string text) {
    text.erase(text.find_last_not_of('\n') + 1);
    return text.substr(text.rfind('\n') + 1);
}

// The summary row of a port: the line that starts with its name.
std::string Row(const std::string& out, const std::string& port) {
    for (const std::string& line : Lines(out)) {
        if (line.rfind(port + " ", 0) == 0)
            return line;
    }
    return "";
}

// What the module and its network say about themselves (info as text is the wait test's); the
// local node and end-device lines of a scan are no rows. A transcript that cannot be written in
// full costs a warning, not the command.
TEST_F(VireoCommand, PortsInfoAndScanPrintTextAndJson) {
    sim::SimConfig config;
    config.nodeName = "Bench \"7\" \\ caf\xe9"; // quote, backslash and a Latin-1 byte
    config.remotes = sim::DefaultRemotes(3);
    config.timing.scanDelayMs = 50;
    StartModule(config);
    const ChildResult ports = Vireo({"ports", "--log", "/dev/full"});
    EXPECT_EQ(ports.exitCode, 0) << ports.err;
    EXPECT_EQ(ports.out, "COM1  " + sim->SlavePath() + "\n");
    EXPECT_EQ(ports.err, "vireo: the traffic transcript '/dev/full' was cut short: No space "
                         "left on device\n");
    EXPECT_EQ(Text(Json({"ports", "--json"})[0]["device"]), sim->SlavePath());

    const QJsonValue identity = Json({"info", "--port", "COM1", "--json"});
    EXPECT_EQ(Text(identity["eui_address"]), "000D6F0000A1B2C3");
    EXPECT_EQ(Text(identity["node_name"]), "Bench \"7\" \\ caf\xc3\xa9");
    ExpectEchoBackOn();

    const std::vector<std::string> lines = Lines(Vireo({"scan", "--port", "COM1"}).out);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_TRUE(Contains(lines[1], "\t" + sim->Remote(1).Eui() + "\t")) << lines[1];
    const QJsonValue nodes = Json({"scan", "--port", "COM1", "--json"});
    ASSERT_EQ(nodes.toArray().size(), 3);
    EXPECT_EQ(Text(nodes[2]["ieee_address"]), sim->Remote(2).Eui());
    EXPECT_EQ(Text(nodes[2]["model"]), sim->Remote(2).Product());
    ExpectEchoBackOn();
}

// The raw terminal: piped input goes to the module byte for byte, its answers come back as
// they are, and the tool ends when the module has gone quiet after the input, or at once on
// Ctrl-] (whose byte is not sent).
TEST_F(VireoCommand, TermPassesBytesBothWaysAndEndsAfterTheInput) {
    StartModule({});
    const std::string input = dir.Path() + "/typed";
    auto term = [&](const std::string& typed, std::vector<std::string> args) {
        std::ofstream(input, std::ios::binary) << typed;
        args.insert(args.begin(), {"term", "--port", "COM1"});
        return Vireo(args, input);
    };
    const ChildResult raw = term("AT+VERSION\r", {});
    EXPECT_EQ(raw.exitCode, 0) << raw.err;
    EXPECT_EQ(raw.out, "AT+VERSION\r\r\n" + sim->Local().Version() + "\r\n\r\nOK\r\n");
    EXPECT_EQ(sim->ReceivedText(), "AT+VERSION\r");

    sim->ClearReceived();
    const ChildResult left = term(std::string("AT\x1d") + "ATZ\r", {});
    EXPECT_EQ(left.exitCode, 0) << left.err;
    ASSERT_TRUE(sim->WaitForReceived("AT", 5s));
    std::this_thread::sleep_for(100ms); // the line is paced: anything more would be here now
    EXPECT_EQ(sim->ReceivedText(), "AT");
}

// The firmware verbs at 115200 baud. info declines to reload a module stuck in its bootloader
// and points to recover, which reloads it; flash refuses an image for another model before
// anything reaches the module, then updates it. A remote flash goes on past a device that does
// not take the bootloader command, and the exit code and the last line name that one.
TEST_F(VireoCommand, FirmwareVerbsRecoverUpdateAndReachRemoteDevices) {
    sim::SimConfig config;
    config.damaged = true;
    config.baudRate = 115200;
    config.faults.refusedRemoteBootloads = 1;
    config.timing.radioBlockMs = 1;
    config.timing.unknownAddressMs = 200;
    config.remotes.resize(2);
    for (sim::RemoteConfig& remote : config.remotes)
        remote.version = "v1.0.2";
    StartModule(config);
    const ChildResult info = Vireo({"info", "--port", "COM1"});
    EXPECT_EQ(info.exitCode, 4);
    EXPECT_TRUE(Contains(info.err, "firmware was demaged. Do you want to reload? No\n"))
        << info.err;
    EXPECT_TRUE(Contains(info.err, "vireo recover --port COM1")) << info.err;

    const std::string log = dir.Path() + "/traffic.log", older = Sample("KA40_v1.1.0.ebl");
    const ChildResult recover = Vireo({"--log", log, "recover", "--port", "COM1", older});
    EXPECT_EQ(recover.exitCode, 0) << recover.err;
    EXPECT_FALSE(sim->Local().Damaged());
    // The transcript follows the transfer to the port's closing.
    std::ifstream in(log, std::ios::binary);
    const std::string text(std::istreambuf_iterator<char>(in), {});
    EXPECT_TRUE(Contains(text, " COM1 -> XMODEM block 1 (128 bytes, CRC ok)\n")) << text;
    EXPECT_TRUE(Contains(text, " COM1 == closed\n")) << text;

    sim->ClearReceived();
    const ChildResult refused = Vireo({"flash", "--port", "COM1", Sample("KD40_v1.2.0.ebl")});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(Contains(refused.err, "KD40") && Contains(refused.err, "--force")) << refused.err;
    EXPECT_FALSE(Contains(sim->ReceivedText(), "BOOTLOAD"));
    const std::string image = Sample("KA40_v1.2.0.ebl");
    const ChildResult r = Vireo({"flash", "--port", "COM1", "--expect-version", "v1.2.0", image});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_TRUE(Contains(r.out, "Old firmware version: v1.1.0\nNew firmware version: v1.2.0\n"))
        << r.out;
    EXPECT_EQ(sim->Local().Version(), "v1.2.0");
    ExpectEchoBackOn();
    EXPECT_EQ(LastLine(r.err), "Completed successfully.");

    const std::string a = sim->Remote(0).Eui(), b = sim->Remote(1).Eui();
    const ChildResult remote = Vireo({"flash", "--port", "COM1", "--remote", a + "," + b, older});
    EXPECT_EQ(remote.exitCode, 5) << remote.err;
    EXPECT_EQ(sim->Remote(0).Version(), "v1.0.2");
    EXPECT_EQ(sim->Remote(1).Version(), "v1.1.0");
    EXPECT_TRUE(Contains(remote.err, "ERROR: The remote device does not respond.")) << remote.err;
    EXPECT_TRUE(Contains(remote.err, b + ": updated.")) << remote.err;
    EXPECT_EQ(LastLine(remote.err), "Could not update remote device firmware: " + a + ".");
}

// Three modules at once, COM3 stuck in its bootloader: the good ones are updated, the run
// exits with the one failure's code, and the summary has a row per port. Standard error is
// no terminal here: every line is whole and names its port.
TEST_F(VireoCommand, FlashOnSeveralPortsUpdatesTheGoodModulesAndSumsUp) {
    sim::SimConfig config;
    config.baudRate = 115200;
    StartModule(config, 1);
    StartModule(config, 2);
    config.damaged = true;
    StartModule(config, 3);
    const ChildResult r = Vireo({"flash", "--port", "COM1,COM2,COM3", Sample("KA40_v1.2.0.ebl")});
    EXPECT_EQ(r.exitCode, 4) << r.err;
    for (int n : {1, 2}) {
        const std::string port = "COM" + std::to_string(n);
        EXPECT_EQ(modules[n - 1]->Local().Version(), "v1.2.0") << port;
        EXPECT_TRUE(Contains(Row(r.out, port), "KA40    v1.1.0       v1.2.0       OK")) << r.out;
    }
    EXPECT_TRUE(Contains(Row(r.out, "COM3"), "FAILED (4)")) << r.out;
    for (const std::string& line : Lines(r.err))
        EXPECT_TRUE(line.rfind("COM", 0) == 0 && line.substr(4, 2) == ": ") << line;
    EXPECT_TRUE(Contains(r.err, "\nCOM3: ERROR: ")) << r.err;
}

// Refusals that come before the module is talked to: nothing reaches it.
TEST_F(VireoCommand, RefusalsHaveTheirExitCodesAndLeaveTheModuleAlone) {
    StartModule({});
    const std::string image = Sample("KA40_v1.2.0.ebl"), empty = dir.Path() + "/empty.ebl";
    const std::string noLog = dir.Path() + "/missing/t.log";
    std::ofstream{empty};
    const char* const kRate = "ERROR: Please change the baudrate to 115200 and flow control";
    const char* const kInvalid = "ERROR: The firmware file is invalid.";
    const struct {
        std::vector<std::string> args;
        int exitCode;
        const char* error; // part of standard error
    } refusals[] = {
        {{"--log", noLog, "recover", "--port", "COM1", image}, 2, "cannot write the traffic"},
        {{"info", "--port", "COM1", "--bogus"}, 2, "unknown option '--bogus'"},
        {{"flash", "--port", "COM1", "--baud", "9600", image}, 2, kRate},
        {{"flash", "--port", "COM1", "--flow", "hardware", image}, 2, kRate},
        {{"flash", "--port", "COM1", empty}, 1, kInvalid},
        {{"recover", "--port", "COM1", empty + ".none"}, 1, kInvalid},
    };
    for (const auto& refusal : refusals) {
        SCOPED_TRACE(refusal.args[0] + " " + refusal.args.back());
        const ChildResult r = Vireo(refusal.args);
        EXPECT_EQ(r.exitCode, refusal.exitCode);
        EXPECT_TRUE(Contains(r.err, refusal.error)) << r.err;
        EXPECT_EQ(r.out, "");
        EXPECT_EQ(sim->ReceivedText(), "");
    }
}

// get and set on the module, a remote one that does not answer, and the remote's configuration
// exported and imported into the local module, which needs --force for another construct file.
// The local module acknowledges a channel it does not keep: --verify names that parameter alone.
TEST_F(VireoCommand, ConfigurationVerbsReachBothModulesAndMoveAConfiguration) {
    sim::SimConfig config;
    config.remotes = {{"KA40", "v1.0.2", "00124B000A0B0C0D", "Far node", "1", "1234"}};
    config.faults.ignoredWrites = {"AT+CHANNEL"};
    StartModule(config);
    const ChildResult set = Vireo({"set", "--port", "COM1", "AT+NODENAME", "a=b c"});
    EXPECT_EQ(set.exitCode, 0) << set.err;
    EXPECT_EQ(sim->Local().NodeName(), "a=b c");
    EXPECT_EQ(Vireo({"get", "--port", "COM1", "AT+NODENAME"}).out, "a=b c\n");
    // set with --json reports as for several ports, one object for the one port.
    const ChildResult refused = Vireo({"set", "--port", "COM1", "--json", "AT+PANID", "FFFF"});
    EXPECT_EQ(refused.exitCode, 8);
    const QJsonValue object = ParseJson(refused.out).value_or(QJsonValue::Undefined);
    EXPECT_EQ(Text(object["exit_code"]), "8") << refused.out;
    EXPECT_EQ(Text(object["product_name"]), "KA40");
    EXPECT_EQ(Text(object["message"]), "ERROR: Could not save the configuration paramater.");
    const ChildResult nobody = Vireo({"get", "--port", "COM1", "--remote", "0BAD", "AT+PANID"});
    EXPECT_EQ(nobody.exitCode, 4);
    EXPECT_TRUE(Contains(nobody.err, "ERROR: The remote device does not respond."));

    const std::string file = dir.Path() + "/far.zgb";
    ASSERT_TRUE(sim->Remote(0).Set("AT+PANID", "7777"));
    ASSERT_TRUE(sim->Remote(0).Set("AT+CHANNEL", "20", false)); // past the ignored writes
    const ChildResult exported =
        Vireo({"export", "--port", "COM1", "--remote", "00124b000a0b0c0d", file});
    EXPECT_EQ(exported.exitCode, 0) << exported.err;
    const ChildResult declined = Vireo({"import", "--port", "COM1", file});
    EXPECT_EQ(declined.exitCode, 1);
    EXPECT_TRUE(Contains(declined.err, "use --force")) << declined.err;
    EXPECT_EQ(sim->Local().Get("AT+PANID").value_or(""), "1A2B");

    const ChildResult forced = Vireo({"import", "--port", "COM1", "--force", "--verify", file});
    EXPECT_EQ(forced.exitCode, 6) << forced.err;
    EXPECT_TRUE(Contains(forced.err,
                         "Differs: Network Settings/Channel: wrote AT+CHANNEL=20, read back 15"))
        << forced.err;
    EXPECT_EQ(forced.err.find("Differs:"), forced.err.rfind("Differs:")) << forced.err;
    EXPECT_EQ(sim->Local().Get("AT+PANID").value_or(""), "7777");
    ExpectEchoBackOn();
}

} // namespace
} // namespace vireo::test
