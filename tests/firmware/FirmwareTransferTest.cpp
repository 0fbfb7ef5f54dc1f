// The image transfer against a scripted bootloader on fake time: block layout and numbering,
// retries and their status texts, every wait's time-out, the closing exchange and the
// endings of the three variants.
#include "firmware/FirmwareTransfer.h"
#include "firmware/FirmwareModel.h"
#include "firmware/TransferReport.h"

#include <deque>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

constexpr uint8_t kAck = 0x06, kNak = 0x15, kCan = 0x18, kEot = 0x04;

// A bootloader on fake time: "C" at the start, an answer per block from a script (ACK when
// the script has none), ACK to the first EOT, the completion text after the closing line end,
// and the restart's "OK" after "2".
class FakeBootloader : public ITransferLine, public ITransferView {
public:
    int ReadRxByte(int timeoutMs) override {
        if (timeoutMs < 1)
            return -1;
        const int64_t deadline = now + timeoutMs;
        if (!rx.empty() && rx.front().first <= deadline) {
            now = std::max(now, rx.front().first);
            const uint8_t b = rx.front().second;
            rx.pop_front();
            return b;
        }
        now = deadline;
        return -1;
    }
    void Write(const uint8_t* bytes, int length) override {
        const std::string chunk(reinterpret_cast<const char*>(bytes), length);
        writes.push_back(chunk);
        if (length == 133)
            Answer(blockAnswers.empty() ? std::string(1, kAck) : Next(blockAnswers));
        else if (chunk == std::string(1, kEot) && ++eots == 1 && answerEot)
            Answer(std::string(1, kAck));
        else if (chunk == "\r\n" && completionText)
            Answer("\r\nSerial upload complete\r\n");
        else if (chunk == "\r\n")
            for (const auto& [delayMs, text] : lateText)
                Answer(text, delayMs);
        else if (chunk == "2" && restartText)
            Answer("\r\nready\r\nOK\r\n");
    }
    void TakeArrived(std::string& text) override {
        while (!rx.empty() && rx.front().first <= now) {
            text += static_cast<char>(rx.front().second);
            rx.pop_front();
        }
    }
    void Sleep(int ms) override { now += ms; }
    int64_t NowMs() override { return now; }
    bool StopRequested() override { return stopAt >= 0 && now >= stopAt; }
    bool LineLost() override { return lostAt >= 0 && now >= lostAt; }
    void SetStatus(const std::string& text) override { statuses.push_back(text); }
    void SetProgress(int percent) override { progress.push_back(percent); }

    void Answer(const std::string& bytes, int delayMs = 1) {
        for (char c : bytes)
            rx.emplace_back(now + delayMs, static_cast<uint8_t>(c));
    }
    static std::string Next(std::deque<std::string>& q) {
        std::string s = q.front();
        q.pop_front();
        return s;
    }
    std::vector<std::string> Blocks() const {
        std::vector<std::string> out;
        for (const auto& w : writes)
            if (w.size() == 133)
                out.push_back(w);
        return out;
    }
    bool Wrote(const std::string& bytes) const {
        return std::find(writes.begin(), writes.end(), bytes) != writes.end();
    }
    bool Saw(const std::string& status) const {
        return std::find(statuses.begin(), statuses.end(), status) != statuses.end();
    }

    int64_t now = 0;
    int64_t stopAt = -1;
    int64_t lostAt = -1;
    std::deque<std::pair<int64_t, uint8_t>> rx;
    std::deque<std::string> blockAnswers;
    std::vector<std::pair<int, std::string>> lateText; // after the closing line end
    bool answerEot = true, completionText = true, restartText = true;
    int eots = 0;
    std::vector<std::string> writes, statuses;
    std::vector<int> progress;
};

class TransferTest : public ::testing::Test {
protected:
    TransferTest() { BuildCrcTable(table); }
    ~TransferTest() override { fs::remove_all(dir); }

    std::string MakeFile(const std::string& content) {
        fs::create_directories(dir);
        const std::string path = (dir / "image.ebl").string();
        std::ofstream(path, std::ios::binary) << content;
        return path;
    }
    static std::string Pattern(size_t n) {
        std::string s(n, '\0');
        for (size_t i = 0; i < n; ++i)
            s[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
        return s;
    }
    TransferOutcome Run(const std::string& path, TransferVariant variant = TransferVariant::Local) {
        TransferSettings s;
        s.variant = variant;
        s.filePath = path;
        s.crcTable = &table;
        CFirmwareTransfer transfer(line, line);
        return transfer.Run(s);
    }
    // After the drain that opens every transfer, as a receiver repeats its "C".
    void StartSignal(const std::string& before = "") { line.Answer(before + "C", 10); }

    fs::path dir = fs::temp_directory_path() / ("vireo-transfer-" + std::to_string(::getpid()));
    CrcTable table;
    FakeBootloader line;
};

TEST(XmodemCrc, TableGivesTheStandardCheckValue) {
    CrcTable table;
    BuildCrcTable(table);
    EXPECT_EQ(0x0000, table[0]);
    EXPECT_EQ(0x1021, table[1]);
    EXPECT_EQ(0x1EF0, table[255]);
    const std::string digits = "123456789";
    EXPECT_EQ(0x31C3, BlockCrc(table, reinterpret_cast<const uint8_t*>(digits.data()), 9));
}

// Sizes around the block edges: blocks are 133 bytes, the last one filled with 0x26, the
// data on the line are the file, and the last status and bar stand at 100.
TEST_F(TransferTest, BlocksCarryTheFileFilledAndNumbered) {
    for (size_t size : {size_t{1}, size_t{128}, size_t{129}, size_t{256 * 128 + 1}}) {
        SCOPED_TRACE(size);
        line = FakeBootloader();
        const std::string image = Pattern(size);
        StartSignal("\r\nbegin upload\r\n");
        ASSERT_EQ(TransferResult::Completed, Run(MakeFile(image)).result);
        const auto blocks = line.Blocks();
        ASSERT_EQ((size + 127) / 128, blocks.size());
        std::string data;
        for (size_t i = 0; i < blocks.size(); ++i) {
            const auto& b = blocks[i];
            EXPECT_EQ(0x01, b[0]);
            EXPECT_EQ(static_cast<uint8_t>(i + 1), static_cast<uint8_t>(b[1]));
            EXPECT_EQ(0xFF, static_cast<uint8_t>(b[1] ^ b[2]));
            const uint16_t crc = BlockCrc(table, reinterpret_cast<const uint8_t*>(&b[3]), 128);
            EXPECT_EQ(crc, static_cast<uint8_t>(b[131]) << 8 | static_cast<uint8_t>(b[132]));
            data += b.substr(3, 128);
        }
        EXPECT_EQ(image + std::string(data.size() - size, '\x26'), data);
        EXPECT_EQ("100.00% Completed!", line.statuses[line.statuses.size() - 3]);
        EXPECT_EQ(100, line.progress.back());
        if (size > 255 * 128) {
            EXPECT_EQ(0x00, blocks[255][1]); // block 256 is numbered 0x00
        }
    }
}

TEST_F(TransferTest, EmptyFileGoesFromStartSignalToTheClosingExchange) {
    StartSignal();
    EXPECT_EQ(TransferResult::Completed, Run(MakeFile("")).result);
    EXPECT_TRUE(line.Blocks().empty());
    const std::vector<std::string> expected = {std::string(1, kEot), std::string(1, kEot), "\r\n",
                                               "2"};
    EXPECT_EQ(expected, line.writes);
    EXPECT_EQ("Finishing...", line.statuses[1]);
}

// Eleven sendings at most; statuses name the block and the retry value before it drops.
TEST_F(TransferTest, RefusedBlocksAreRetriedTenTimes) {
    struct Case {
        std::string answers; // answers to the first sendings of block 1
        TransferResult result;
        std::vector<std::string> statuses; // expected among the statuses
    };
    const std::string nak10(10, kNak), nak11(11, kNak);
    const std::vector<Case> cases = {
        {nak10,
         TransferResult::Completed,
         {"001 Packets Error! [NAK-10]", "001 Packets Error! [NAK-01]"}},
        {nak11, TransferResult::RetriesExhausted, {"001 Packets Error! [NAK-00]"}},
        {std::string(1, kCan), TransferResult::Completed, {"1 Packets Error! [CAN]"}},
        {"A", TransferResult::Completed, {"001 Packets Error! [0x41-10]"}},
        {"\xE7", TransferResult::Completed, {"001 Packets Error! [0xE7-10]"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.statuses.front());
        line = FakeBootloader();
        for (char a : c.answers)
            line.blockAnswers.push_back(std::string(1, a));
        StartSignal();
        EXPECT_EQ(c.result, Run(MakeFile("x")).result);
        for (const auto& s : c.statuses)
            EXPECT_TRUE(line.Saw(s)) << s;
        const bool failed = c.result != TransferResult::Completed;
        EXPECT_EQ(failed ? 11u : c.answers.size() + 1, line.Blocks().size());
        EXPECT_EQ(failed, line.Wrote(std::string(1, kCan)));
    }
}

// Each wait ends after its nominal time with its own result.
TEST_F(TransferTest, EveryWaitHasItsTimeOut) {
    struct Case {
        const char* name;
        TransferVariant variant;
        std::function<void(FakeBootloader&)> setup;
        TransferResult result;
        int64_t endsAfterMs; // fake time when the transfer gives up, at least
    };
    const std::vector<Case> cases = {
        {"no C", TransferVariant::Local, [](FakeBootloader&) {}, TransferResult::NoStartSignal,
         5000},
        {"block, local", TransferVariant::Local, [](FakeBootloader& l) { l.blockAnswers = {""}; },
         TransferResult::NoBlockAnswer, 5000},
        {"block, remote", TransferVariant::Remote, [](FakeBootloader& l) { l.blockAnswers = {""}; },
         TransferResult::NoBlockAnswer, 20000},
        {"EOT", TransferVariant::Local, [](FakeBootloader& l) { l.answerEot = false; },
         TransferResult::NoEotAnswer, 5000},
        {"completion", TransferVariant::Recovery,
         [](FakeBootloader& l) { l.completionText = false; }, TransferResult::NoCompletion, 60000},
        {"restart", TransferVariant::Local, [](FakeBootloader& l) { l.restartText = false; },
         TransferResult::NoRestart, 60000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        line = FakeBootloader();
        c.setup(line);
        if (std::string(c.name) != "no C")
            StartSignal();
        EXPECT_EQ(c.result, Run(MakeFile("x"), c.variant).result);
        EXPECT_GE(line.now, c.endsAfterMs);
        EXPECT_LT(line.now, c.endsAfterMs + 2000);
    }
}

// A remote module that falls silent leaves the local one relaying: three CANs end the relay
// so that the next command is a command again. A local bootloader is left alone.
TEST_F(TransferTest, UnansweredBlockCancelsOnlyARelay) {
    for (const auto& [variant, cancels] :
         {std::pair{TransferVariant::Remote, true}, std::pair{TransferVariant::Local, false}}) {
        line = FakeBootloader();
        line.blockAnswers = {"", ""};
        StartSignal();
        EXPECT_EQ(TransferResult::NoBlockAnswer, Run(MakeFile("x"), variant).result);
        EXPECT_EQ(cancels ? 3 : 0,
                  std::count(line.writes.begin(), line.writes.end(), std::string(1, kCan)));
    }
}

// A remote module that refuses the image: the local module says "ERROR", and the transfer
// ends at once instead of waiting out the completion's limit. Elsewhere the word is no verdict.
TEST_F(TransferTest, ErrorAfterTheLastBlockEndsOnlyARemoteTransfer) {
    for (const auto& [variant, result] :
         {std::pair{TransferVariant::Remote, TransferResult::Rejected},
          std::pair{TransferVariant::Recovery, TransferResult::NoCompletion}}) {
        line = FakeBootloader();
        line.completionText = false;
        line.lateText = {{200, "\r\nERROR: image rejected\r\n"}};
        StartSignal();
        EXPECT_EQ(result, Run(MakeFile("x"), variant).result);
        if (variant == TransferVariant::Remote) {
            EXPECT_LT(line.now, 1000);
        }
    }
}

// A line that goes away while the device's text is awaited ends the wait at once.
TEST_F(TransferTest, LostLineEndsTheTextWaits) {
    for (bool restart : {false, true}) {
        line = FakeBootloader();
        line.completionText = restart;
        line.restartText = false;
        line.lostAt = 1000;
        StartSignal();
        EXPECT_EQ(TransferResult::LineLost, Run(MakeFile("x")).result);
        EXPECT_LT(line.now, 2000);
    }
}

TEST_F(TransferTest, BytesBeforeTheStartSignalAreSkipped) {
    line.Answer("\r\nBL > 1\r\nbegin upload\r\n", 4000); // each within the 5 s wait
    line.Answer("C", 8000);
    EXPECT_EQ(TransferResult::Completed, Run(MakeFile("x")).result);
}

TEST_F(TransferTest, CompletionWaitLastsWhileTheDeviceKeepsTalking) {
    line.completionText = false;
    StartSignal();
    // Progress text every 30 s for two minutes, then the completion message.
    for (int t = 30000; t <= 120000; t += 30000)
        line.lateText.emplace_back(t, ".");
    line.lateText.emplace_back(150000, "complete\r\n");
    EXPECT_EQ(TransferResult::Completed, Run(MakeFile("x"), TransferVariant::Remote).result);
}

// The restart's "OK" must come after "2": an "OK" still in the reply text does not count.
TEST_F(TransferTest, OkBeforeTheRestartDoesNotCount) {
    line.restartText = false;
    StartSignal();
    TransferSettings s;
    s.filePath = MakeFile("x");
    s.crcTable = &table;
    s.reply = "\r\nENTER bootloader\r\nOK\r\n";
    CFirmwareTransfer transfer(line, line);
    EXPECT_EQ(TransferResult::NoRestart, transfer.Run(s).result);
}

TEST_F(TransferTest, VariantsEndTheirOwnWay) {
    StartSignal();
    EXPECT_EQ(TransferResult::Completed, Run(MakeFile("x"), TransferVariant::Recovery).result);
    EXPECT_EQ("2", line.writes.back());
    EXPECT_EQ("Completed successfully.", line.statuses.back());
    EXPECT_EQ("Preparing for firmware update...", line.statuses.front());

    line = FakeBootloader();
    StartSignal();
    EXPECT_EQ(TransferResult::Completed, Run(MakeFile("x"), TransferVariant::Remote).result);
    EXPECT_EQ("\r\n", line.writes.back()); // no "2" to a remote module
    EXPECT_EQ("Preparing for firmware update......", line.statuses.front());
}

TEST_F(TransferTest, StopDuringBlocksCancelsTheReceiver) {
    StartSignal();
    line.stopAt = 50;
    const TransferOutcome outcome = Run(MakeFile(Pattern(128 * 100)));
    EXPECT_EQ(TransferResult::Stopped, outcome.result);
    EXPECT_EQ(std::string(1, kCan), line.writes.back());
    EXPECT_LT(outcome.blocksAccepted, 100);
}

TEST_F(TransferTest, FilesThatAreNoImageEndBeforeAnythingIsSent) {
    fs::create_directories(dir);
    for (const std::string& path : {(dir / "missing.ebl").string(), dir.string()}) {
        line = FakeBootloader();
        StartSignal();
        EXPECT_EQ(TransferResult::FileError, Run(path).result) << path;
        EXPECT_TRUE(line.writes.empty());
    }
}

// 22 MB: remaining * 100 no longer fits 32 bits; the bar must still only climb to 100.
TEST_F(TransferTest, ProgressOfAHugeImageOnlyClimbs) {
    StartSignal();
    ASSERT_EQ(TransferResult::Completed, Run(MakeFile(std::string(22u << 20, 'k'))).result);
    ASSERT_FALSE(line.progress.empty());
    EXPECT_TRUE(std::is_sorted(line.progress.begin(), line.progress.end()));
    EXPECT_GE(line.progress.front(), 0);
    EXPECT_EQ(100, line.progress.back());
}

TEST(FirmwareFailureTexts, RecoveryShowsBoxesThePageShowsStatus) {
    using R = TransferResult;
    using V = TransferVariant;
    EXPECT_EQ("ERROR: The device does not repond.",
              FailureTexts(V::Recovery, R::NoStartSignal).message);
    EXPECT_EQ("", FailureTexts(V::Recovery, R::NoStartSignal).status);
    EXPECT_EQ("Transmit error.", FailureTexts(V::Local, R::NoStartSignal).status);
    EXPECT_EQ("", FailureTexts(V::Remote, R::RetriesExhausted).message);
    EXPECT_EQ("ERROR: Failed to update firmware.",
              FailureTexts(V::Recovery, R::NoEotAnswer).message);
    EXPECT_EQ("ERROR: Could not open the firmware file.",
              FailureTexts(V::Local, R::FileError).message);
    EXPECT_EQ("Firmware update error.", FailureTexts(V::Local, R::FileError).status);
}

TEST_F(TransferTest, ModelIsTheFirstKnownNameInTheHead) {
    struct Case {
        std::string head;
        int result;
        std::string model;
    };
    const std::string zeros(200, '\0');
    const std::vector<Case> cases = {
        {"", 0, ""},
        {"no model here", 1, ""},
        {zeros + "model=KD40\n", 1, "KD40"},         // after zero bytes
        {"KM40X and KA30", 1, "KA30"},               // the name order decides
        {std::string(252, ' ') + "KA40", 1, ""},     // not wholly within 255 bytes
        {std::string(251, ' ') + "KA40", 1, "KA40"}, // ends at byte 254
        {"KM40X" + std::string(1000, 'x'), 1, "KM40X"},
    };
    for (const Case& c : cases) {
        std::string model = "stale";
        EXPECT_EQ(c.result, DetectFirmwareModel(MakeFile(c.head), model)) << c.head.size();
        if (c.result == 1) {
            EXPECT_EQ(c.model, model) << c.head.size();
        }
    }
    std::string model;
    EXPECT_EQ(0, DetectFirmwareModel(dir.string(), model)); // a directory
}

} // namespace
