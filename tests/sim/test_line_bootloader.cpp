// Bootloader, XMODEM uploads (local, relayed, with faults, from lrzsz's sx) and cloning.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include "LineFixture.h"
#include "sim/FirmwareImage.h"

namespace vireo::sim {
namespace {

using namespace testing;
using Bootloader = LineTest;

std::string Sample(const std::string& name) {
    return ReadFile(SampleDir() + "/" + name);
}

SimConfig At115200() {
    SimConfig c = FastConfig();
    c.baudRate = 115200;
    return c;
}

// Brings the module from command mode into its XMODEM receiver, as the tool does.
void EnterReceiver(Line& line, Simulator& sim) {
    line.Command("ATE0\r\n");
    line.Take();
    line.Write("AT+BOOTLOAD\n");
    ASSERT_TRUE(line.ReadUntil("ENTER"));
    ASSERT_TRUE(sim.WaitForMode(Mode::Bootloader, 5s));
    line.Write("\n");
    ASSERT_TRUE(line.ReadUntil("BL"));
    line.Take();
    line.Write("1");
}

TEST_F(Bootloader, EntryMenuAndRunApplication) {
    Start(At115200());
    line.Command("ATE0\r\n");
    line.Write("AT+BOOTLOAD\n");
    ASSERT_TRUE(line.ReadUntil("ENTER"));
    line.ReadFor(200ms);
    std::string answer = line.Take();
    EXPECT_EQ(answer.find("OK"), std::string::npos) << answer;
    EXPECT_EQ(answer.find("ERROR"), std::string::npos) << answer;
    EXPECT_EQ(sim->CurrentMode(), Mode::Bootloader);
    line.Write("\x03");
    line.Write("\n");
    ASSERT_TRUE(line.ReadUntil("BL"));
    line.ReadFor(100ms);
    EXPECT_EQ(line.Take().find('C'), std::string::npos) << "no stray start signal in the menu";
    line.Write("2");
    ASSERT_TRUE(line.ReadUntil("OK\r\n"));
    EXPECT_EQ(sim->CurrentMode(), Mode::Command);
}

TEST_F(Bootloader, SwitchesTo115200FromASlowerApplicationRate) {
    Start(FastConfig()); // application at 9600
    line.Command("ATE0\r\n");
    line.Write("AT+BOOTLOAD\n");
    ASSERT_TRUE(line.ReadUntil("ENTER"));
    ASSERT_TRUE(sim->WaitForMode(Mode::Bootloader, 5s));
    EXPECT_EQ(sim->ModuleBaudRate(), 115200);
    line.Take();
    line.Write("\n");
    line.ReadFor(300ms);
    EXPECT_EQ(line.Take(), "") << "a line feed at 9600 is noise to the bootloader";
    ASSERT_TRUE(line.SetRate(115200));
    line.Write("\n");
    EXPECT_TRUE(line.ReadUntil("BL"));
}

TEST_F(Bootloader, UploadLikeTheToolUpdatesTheVersion) {
    Start(At115200());
    EnterReceiver(line, *sim);
    const std::string image = Sample("KA40_v1.2.0.ebl");
    SendResult r = SendImageLikeTool(line, image);
    ASSERT_TRUE(r.ok) << r.failure;
    ASSERT_TRUE(line.ReadUntil("omplete"));
    ASSERT_TRUE(line.ReadUntil("BL"));
    std::string received = sim->LastImage();
    ASSERT_EQ(received.size() % 128, 0u);
    EXPECT_EQ(received.substr(0, image.size()), image);
    EXPECT_EQ(received.substr(image.size()), std::string(received.size() - image.size(), '\x26'));
    line.Take();
    line.Write("2");
    ASSERT_TRUE(line.ReadUntil("OK\r\n"));
    line.Command("ATE0\r\n");
    EXPECT_EQ(ValueOf(line.Command("AT+VERSION\r\n")), "v1.2.0");
    EXPECT_EQ(sim->Local().Version(), "v1.2.0");
    EXPECT_EQ(sim->CompletedTransfers(), 1);
}

TEST_F(Bootloader, NakAndCanForChosenBlocksCostRetries) {
    SimConfig c = At115200();
    c.faults.nakBlocks = {{2, 2}};
    c.faults.canBlocks = {{3, 1}};
    Start(c);
    EnterReceiver(line, *sim);
    SendResult r = SendImageLikeTool(line, Sample("KA40_v1.1.0.ebl"));
    ASSERT_TRUE(r.ok) << r.failure;
    EXPECT_EQ(r.answers.substr(0, 6), std::string("\x06\x15\x15\x06\x18\x06", 6));
    ASSERT_TRUE(line.ReadUntil("omplete"));
}

TEST_F(Bootloader, RetriesExhaustedThenToolCancelsAndModuleIsDamaged) {
    SimConfig c = At115200();
    c.faults.nakBlocks = {{2, 11}};
    Start(c);
    EnterReceiver(line, *sim);
    SendResult r = SendImageLikeTool(line, Sample("KA40_v1.1.0.ebl"));
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.answers, std::string("\x06") + std::string(11, '\x15'));
    ASSERT_TRUE(line.ReadUntil("aborted"));
    ASSERT_TRUE(line.ReadUntil("BL"));
    EXPECT_TRUE(sim->Local().Damaged());
    line.Take();
    line.Write("2");
    ASSERT_TRUE(line.ReadUntil("BL")) << "a damaged module stays in its bootloader";
}

TEST_F(Bootloader, LostAckLeavesTheToolWithoutAnswerAndTheReceiverGivesUp) {
    SimConfig c = At115200();
    c.faults.lostAckBlocks = {{2, 1}};
    c.timing.transferIdleLimitMs = 1500;
    Start(c);
    EnterReceiver(line, *sim);
    SendResult r = SendImageLikeTool(line, Sample("KA40_v1.1.0.ebl"), 1000ms);
    EXPECT_FALSE(r.ok);
    EXPECT_EQ(r.failure, "no answer to block 2");
    ASSERT_TRUE(line.ReadUntil("aborted", 10s));
    EXPECT_EQ(sim->CurrentMode(), Mode::Bootloader);
}

TEST_F(Bootloader, SenderVanishingMidBlockGetsNakAndTheUploadCanGoOn) {
    Start(At115200());
    EnterReceiver(line, *sim);
    ASSERT_TRUE(line.ReadUntil("C"));
    line.Take();
    std::string image = Sample("KA40_v1.1.0.ebl");
    std::string block(133, '\x26');
    block[0] = 0x01;
    block[1] = 0x01;
    block[2] = static_cast<char>(0xFE);
    block.replace(3, 128, image, 0, 128);
    auto crc = Crc16Xmodem(reinterpret_cast<const std::uint8_t*>(block.data() + 3), 128);
    block[131] = static_cast<char>(crc >> 8);
    block[132] = static_cast<char>(crc & 0xFF);
    line.Write(block.substr(0, 70));
    EXPECT_EQ(line.ReadByte(5000ms), 0x15)
        << "the partial block is refused once the line stays quiet";
    line.Write(std::string("\x7F\x00garbage", 9)); // noise between blocks is ignored
    line.Write(block);
    int answer = line.ReadByte(5000ms);
    EXPECT_EQ(answer, 0x06);
    EXPECT_EQ(sim->CurrentMode(), Mode::XmodemReceive);
}

TEST_F(Bootloader, NoStartSignalMeansNoC) {
    SimConfig c = At115200();
    c.faults.noStartSignal = true;
    Start(c);
    EnterReceiver(line, *sim);
    SendResult r = SendImageLikeTool(line, Sample("KA40_v1.1.0.ebl"), 1000ms, 1000ms);
    EXPECT_EQ(r.failure, "no start signal");
}

TEST_F(Bootloader, NoCompletionTextWhenAskedFor) {
    SimConfig c = At115200();
    c.faults.noCompletionText = true;
    Start(c);
    EnterReceiver(line, *sim);
    ASSERT_TRUE(SendImageLikeTool(line, Sample("KA40_v1.1.0.ebl")).ok);
    ASSERT_TRUE(line.ReadUntil("BL"));
    EXPECT_EQ(line.Text().find("omplete"), std::string::npos);
}

TEST_F(Bootloader, HangUpAtAChosenBlock) {
    SimConfig c = At115200();
    c.faults.hangUpAtBlock = 3;
    Start(c);
    EnterReceiver(line, *sim);
    SendResult r = SendImageLikeTool(line, Sample("KA40_v1.1.0.ebl"), 2000ms);
    EXPECT_EQ(r.failure, "no answer to block 3");
    EXPECT_TRUE(sim->WaitForMode(Mode::HungUp, 5s));
}

TEST_F(Bootloader, ZeroBytesAndGarbageInAnswersKeepTheValueAfterTheFirstLineFeed) {
    SimConfig c = FastConfig();
    c.faults.zeroBytesInAnswers = true;
    c.faults.garbageInAnswers = true;
    Start(c);
    line.Write("ATE0\r\n");
    ASSERT_TRUE(line.ReadUntil("OK"));
    line.ReadFor(100ms);
    line.Take();
    line.Write("AT+VERSION\r\n");
    ASSERT_TRUE(line.ReadUntil("OK"));
    line.ReadFor(100ms);
    std::string r = line.Take();
    EXPECT_NE(r.find('\0'), std::string::npos);
    std::string clean;
    for (char ch : r)
        if (ch != '\0')
            clean += ch;
    auto lf = clean.find('\n');
    ASSERT_NE(lf, std::string::npos);
    EXPECT_EQ(clean.substr(lf + 1, 8), "v1.1.0\r\n");
    EXPECT_GE(static_cast<unsigned char>(clean[0]), 0x80);
}

TEST_F(Bootloader, SilenceAfterSomeBytes) {
    SimConfig c = FastConfig();
    c.faults.silenceAfterBytes = 3;
    Start(c);
    line.Write("AT\r\n");
    line.ReadFor(400ms);
    EXPECT_EQ(line.Take(), "AT\r");
}

TEST_F(Bootloader, DamagedModuleStaysInBootloaderUntilAValidImage) {
    SimConfig c = At115200();
    c.damaged = true;
    Start(c);
    // The tool's probe: ETX, then a line feed; "2" only shows the menu again.
    line.Write("\x03");
    line.Write("\n");
    ASSERT_TRUE(line.ReadUntil("BL"));
    line.Take();
    line.Write("2");
    ASSERT_TRUE(line.ReadUntil("BL"));
    line.ReadFor(200ms);
    EXPECT_EQ(line.Take().find("OK"), std::string::npos);
    for (const char* bad : {"KA40_v1.2.0_corrupt.ebl", "KD40_v1.1.0.ebl"}) {
        SCOPED_TRACE(bad);
        line.Write("1\n");
        ASSERT_TRUE(SendImageLikeTool(line, Sample(bad)).ok);
        ASSERT_TRUE(line.ReadUntil("omplete"));
        ASSERT_TRUE(line.ReadUntil("BL"));
        EXPECT_TRUE(sim->Local().Damaged());
        line.ReadFor(100ms);
        line.Take();
    }
    line.Write("1\n");
    ASSERT_TRUE(SendImageLikeTool(line, Sample("KA40_v1.0.2.ebl")).ok);
    ASSERT_TRUE(line.ReadUntil("BL"));
    line.ReadFor(400ms); // the second EOT and CR LF are swallowed
    line.Take();
    line.Write("2");
    ASSERT_TRUE(line.ReadUntil("OK\r\n"));
    EXPECT_FALSE(sim->Local().Damaged());
    EXPECT_EQ(sim->Local().Version(), "v1.0.2");
    line.Command("ATE0\r\n");
    EXPECT_EQ(ValueOf(line.Command("AT+VERSION\r\n")), "v1.0.2");
}

// ---- a standard XMODEM sender ---------------------------------------------------------

// Runs lrzsz's sx on the slave (stdin and stdout both the line); returns its exit status.
int RunSx(const std::string& slave, const std::vector<std::string>& args) {
    pid_t pid = fork();
    if (pid == 0) {
        int fd = open(slave.c_str(), O_RDWR | O_NOCTTY);
        if (fd < 0)
            _exit(126);
        dup2(fd, 0);
        dup2(fd, 1);
        int devnull = open("/dev/null", O_WRONLY);
        if (devnull >= 0)
            dup2(devnull, 2);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>("sx"));
        for (const auto& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execvp("sx", argv.data());
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

class StandardSender : public Bootloader, public ::testing::WithParamInterface<const char*> {};

TEST_P(StandardSender, SxUploadIsAccepted) {
    SimConfig c = FastConfig();
    c.damaged = true;
    c.timing.startSignalIntervalMs = 1000;
    Start(c);
    line.Write("\n");
    ASSERT_TRUE(line.ReadUntil("BL"));
    line.Write("1");
    ASSERT_TRUE(line.ReadUntil("C"));
    line.Take();
    const std::string file = SampleDir() + "/KA40_v1.1.0.ebl";
    std::vector<std::string> args;
    if (std::string(GetParam()) == "1k")
        args.push_back("-k");
    args.push_back(file);
    int status = RunSx(sim->SlavePath(), args);
    ASSERT_NE(status, 127) << "lrzsz's sx is needed for this test";
    EXPECT_EQ(status, 0);
    ASSERT_TRUE(sim->WaitForSent("omplete", 10s));
    const std::string image = ReadFile(file);
    EXPECT_EQ(sim->LastImage().substr(0, image.size()), image);
    EXPECT_FALSE(sim->Local().Damaged());
    EXPECT_EQ(sim->Local().Version(), "v1.1.0");
}

INSTANTIATE_TEST_SUITE_P(Blocks, StandardSender, ::testing::Values("128", "1k"),
                         [](const auto& size) { return "Block" + std::string(size.param); });

// ---- remote update and cloning --------------------------------------------------------

TEST_F(Bootloader, RelayedUploadUpdatesTheRemote) {
    Start(At115200());
    line.Command("ATE0\r\n");
    ModuleView kd = *sim->RemoteByEui(sim->Remote(1).Eui());
    ASSERT_EQ(kd.Product(), "KD40");
    line.Write("AT+BOOTLOAD=1," + kd.Eui() + "\r\n");
    ASSERT_TRUE(line.ReadUntil("Start"));
    EXPECT_EQ(sim->CurrentMode(), Mode::RemoteUpload);
    line.Take();
    ASSERT_TRUE(SendImageLikeTool(line, Sample("KD40_v1.2.0.ebl"), 20000ms).ok);
    ASSERT_TRUE(line.ReadUntil("omplete"));
    EXPECT_EQ(kd.Version(), "v1.2.0");
    EXPECT_EQ(sim->Local().Version(), "v1.1.0");
    ASSERT_TRUE(sim->WaitForMode(Mode::Command, 5s));
    EXPECT_EQ(ValueOf(line.Command("AT+RC=" + kd.Eui() + ",AT+VERSION\r\n")), "v1.2.0");
}

TEST_F(Bootloader, RelayedUploadOfAnotherModelIsRejected) {
    Start(At115200());
    line.Command("ATE0\r\n");
    line.Write("AT+BOOTLOAD=1," + sim->Remote(1).Eui() + "\r\n");
    ASSERT_TRUE(line.ReadUntil("Start"));
    line.Take();
    ASSERT_TRUE(SendImageLikeTool(line, Sample("KA40_v1.2.0.ebl"), 20000ms).ok);
    ASSERT_TRUE(line.ReadUntil("ERROR"));
    EXPECT_EQ(sim->Remote(1).Version(), "v1.1.0");
}

TEST_F(Bootloader, CloneToTheSameProductCompletesAnotherProductFails) {
    Start(At115200());
    line.Command("ATE0\r\n");
    ModuleView older = sim->Remote(2); // KA40 v1.0.2
    ASSERT_EQ(older.Version(), "v1.0.2");
    line.Write("AT+BOOTLOAD=2," + older.Eui() + "\r\n");
    ASSERT_TRUE(line.ReadUntil("Start"));
    ASSERT_TRUE(line.ReadUntil("omplete"));
    EXPECT_NE(line.Text().find("%"), std::string::npos) << "progress is printed";
    EXPECT_EQ(line.Text().find("OK"), std::string::npos);
    EXPECT_EQ(older.Version(), "v1.1.0");
    line.Take();
    std::string r = line.Command("AT+BOOTLOAD=2," + sim->Remote(3).Eui() + "\r\n"); // KM40X
    EXPECT_EQ(r, "\r\nERROR\r\n");
    EXPECT_EQ(line.Command("AT+BOOTLOAD=2,0000000000000009\r\n"), "\r\nERROR\r\n");
}

TEST_F(Bootloader, ModuleWithoutCloneOptionRefusesToClone) {
    SimConfig c = At115200();
    c.product = "KM40X";
    c.version = "v1.0.2";
    Start(c);
    line.Command("ATE0\r\n");
    ASSERT_EQ(sim->Remote(3).Product(), "KM40X");
    EXPECT_EQ(line.Command("AT+BOOTLOAD=2," + sim->Remote(3).Eui() + "\r\n"), "\r\nERROR\r\n");
}

} // namespace
} // namespace vireo::sim
