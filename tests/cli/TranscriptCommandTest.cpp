// vireo --log against the paced simulated module: the file holds what went over the line.
#include "ChildProcess.h"
#include "sim/Simulator.h"
#include "tests/support/PtyPeer.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <memory>
#include <sstream>

namespace vireo::test {
namespace {

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class TranscriptCommand : public ::testing::Test {
protected:
    ~TranscriptCommand() override { sim.Stop(); }

    void SetUp() override {
        std::string error;
        ASSERT_TRUE(sim.Start(&error)) << error;
    }

    static sim::SimConfig Config(const std::string& portDir, bool damaged) {
        sim::SimConfig config;
        config.portDir = portDir;
        config.comNumber = 1;
        config.dataDir = VIREO_SAMPLE_DIR;
        config.remoteCount = 0;
        config.pacing = true;
        config.damaged = damaged;
        return config;
    }

    CTempPortDir dir;
    sim::Simulator sim{Config(dir.Path(), true)};
    const std::string image = std::string(VIREO_SAMPLE_DIR) + "/KA40_v1.2.0.ebl";
};

// A module in its bootloader reloaded: the bootloader's menu and answers as text, each block
// of the image as one line, and the closing exchange.
TEST_F(TranscriptCommand, RecoverIsRecordedWithItsBlocksSummarised) {
    const std::string log = dir.Path() + "/traffic.log";
    const ChildResult r =
        RunChild(VIREO_EXECUTABLE, {"--log", log, "recover", "--port", "COM1", image});
    ASSERT_EQ(r.exitCode, 0) << r.err;
    const std::string text = ReadFile(log);
    EXPECT_TRUE(Has(text, "# Traffic transcript of vireo (Vireo Manager) ")) << text;
    EXPECT_TRUE(Has(text, " COM1 == open " + sim.SlavePath() + ": 115200 baud, 8 data bits"));
    EXPECT_TRUE(Has(text, " COM1 <- C\n")) << text;
    EXPECT_TRUE(Has(text, " COM1 -> XMODEM block 1 (128 bytes, CRC ok)\n")) << text;
    const size_t blocks = (std::filesystem::file_size(image) + 127) / 128;
    EXPECT_TRUE(
        Has(text, " COM1 -> XMODEM block " + std::to_string(blocks) + " (128 bytes, CRC ok)\n"));
    size_t lines = 0, acks = 0;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines += Has(line, "-> XMODEM block ");
        acks += Has(line, "<- <ACK>");
    }
    EXPECT_EQ(lines, blocks);
    EXPECT_GE(acks, blocks);
    EXPECT_TRUE(Has(text, " COM1 -> <EOT>\n")) << text;
    EXPECT_TRUE(Has(text, "omplete")) << text;
    EXPECT_TRUE(Has(text, " COM1 == closed\n")) << text;
    EXPECT_FALSE(Has(text, "<0x")) << "the image's bytes must not appear raw";
}

TEST_F(TranscriptCommand, ALogThatCannotBeWrittenIsAUsageErrorBeforeTheModuleIsTouched) {
    const ChildResult r = RunChild(VIREO_EXECUTABLE, {"--log", dir.Path() + "/missing/t.log",
                                                      "recover", "--port", "COM1", image});
    EXPECT_EQ(r.exitCode, 2);
    EXPECT_EQ(r.err, "vireo: cannot write the traffic transcript '" + dir.Path() +
                         "/missing/t.log': No such file or directory\n");
    EXPECT_EQ(sim.ReceivedText(), "");
}

TEST_F(TranscriptCommand, AFullDiskCostsTheTranscriptNotTheCommand) {
    const ChildResult r = RunChild(VIREO_EXECUTABLE, {"ports", "--log", "/dev/full"});
    EXPECT_EQ(r.exitCode, 0) << r.err;
    EXPECT_EQ(r.out, "COM1  " + sim.SlavePath() + "\n");
    EXPECT_EQ(r.err, "vireo: the traffic transcript '/dev/full' was cut short: No space left on "
                     "device\n");
}

} // namespace
} // namespace vireo::test
