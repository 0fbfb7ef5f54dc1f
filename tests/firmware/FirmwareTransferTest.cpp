// The image transfer against a scripted bootloader on fake time: block layout and numbering,
// retries and their status texts, every wait's time-out, the closing exchange and the
// endings of the three variants; the clone monitor's watch of the module's text; the rules of
// a remote batch. Then the transfer on its worker thread over a real pty into the simulated
// bootloader, paced at 115200 baud (this executable also runs under ThreadSanitizer).
#include "firmware/FirmwareTransfer.h"
#include "firmware/CloneMonitor.h"
#include "firmware/FirmwareModel.h"
#include "firmware/RemoteBatch.h"
#include "firmware/TransferWorker.h"
#include "platform/ProgramDirectory.h"
#include "serial/SerialPort.h"
#include "sim/Simulator.h"
#include "tests/support/PtyPeer.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

const std::string kAck = "\x06", kNak = "\x15", kCan = "\x18", kEot = "\x04";

// A bootloader on fake time: "C" at the start, an answer per block from a script (ACK when
// the script has none), ACK to the first EOT, the completion text after the closing line end,
// and the restart's "OK" after "2".
class FakeBootloader : public ITransferLine, public ITransferView {
public:
    int ReadRxByte(int timeoutMs) override {
        if (timeoutMs < 1)
            return -1;
        if (!rx.empty() && rx.front().first <= now + timeoutMs) {
            now = std::max(now, rx.front().first);
            const uint8_t b = rx.front().second;
            rx.pop_front();
            return b;
        }
        now += timeoutMs;
        return -1;
    }
    void Write(const uint8_t* bytes, int length) override {
        const std::string chunk(reinterpret_cast<const char*>(bytes), length);
        writes.push_back(chunk);
        if (length == 133) {
            Answer(blockAnswers.empty() ? kAck : blockAnswers.front());
            if (!blockAnswers.empty())
                blockAnswers.pop_front();
        } else if (chunk == kEot && ++eots == 1 && answerEot) {
            Answer(kAck);
        } else if (chunk == "\r\n") {
            if (completionText)
                Answer("\r\nSerial upload complete\r\n");
            for (const auto& [delayMs, text] : lateText)
                Answer(text, delayMs);
        } else if (chunk == "2" && restartText) {
            Answer("\r\nready\r\nOK\r\n");
        }
    }
    void TakeArrived(std::string& text) override {
        for (; !rx.empty() && rx.front().first <= now; rx.pop_front())
            text += static_cast<char>(rx.front().second);
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
    std::vector<std::string> Blocks() const {
        std::vector<std::string> out;
        std::copy_if(writes.begin(), writes.end(), std::back_inserter(out),
                     [](const std::string& w) { return w.size() == 133; });
        return out;
    }
    long Count(const std::string& write) const {
        return std::count(writes.begin(), writes.end(), write);
    }

    int64_t now = 0, stopAt = -1, lostAt = -1;
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
    // A fresh bootloader that sends its "C" after the drain that opens every transfer.
    void Reset(bool startSignal = true) {
        line = FakeBootloader();
        if (startSignal)
            line.Answer("C", 10);
    }
    TransferOutcome Run(const std::string& content, TransferVariant variant,
                        const std::function<void(TransferSettings&)>& adjust = nullptr) {
        TransferSettings s;
        s.variant = variant;
        s.filePath = MakeFile(content);
        s.crcTable = &table;
        if (adjust)
            adjust(s);
        return CFirmwareTransfer(line, line).Run(s);
    }

    fs::path dir = fs::temp_directory_path() / ("vireo-transfer-" + std::to_string(::getpid()));
    CrcTable table;
    FakeBootloader line;
};

// Sizes around the block edges: blocks are 133 bytes, the last one filled with 0x26, the
// data on the line are the file, then the closing exchange; block 256 is numbered 0x00.
TEST_F(TransferTest, BlocksCarryTheFileFilledAndNumbered) {
    EXPECT_EQ(0x31C3, BlockCrc(table, reinterpret_cast<const uint8_t*>("123456789"), 9));
    for (size_t size : {size_t{0}, size_t{1}, size_t{128}, size_t{129}, size_t{256 * 128 + 1}}) {
        SCOPED_TRACE(size);
        Reset(false);
        line.Answer("\r\nbegin upload\r\nC", 10);
        std::string image(size, '\0');
        for (size_t i = 0; i < size; ++i)
            image[i] = static_cast<char>((i * 7 + i / 256) & 0xFF);
        ASSERT_EQ(TransferResult::Completed, Run(image, TransferVariant::Local).result);
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
        const std::vector<std::string> closing = {kEot, kEot, "\r\n", "2"};
        EXPECT_EQ(closing, std::vector<std::string>(line.writes.end() - 4, line.writes.end()));
    }
}

// Eleven sendings at most; statuses name the block and the retry value before it drops.
TEST_F(TransferTest, RefusedBlocksAreRetriedTenTimes) {
    struct Case {
        std::string answers; // answers to the first sendings of block 1
        TransferResult result;
        std::string status; // expected among the statuses
    };
    const std::vector<Case> cases = {
        {std::string(10, kNak[0]), TransferResult::Completed, "001 Packets Error! [NAK-01]"},
        {std::string(11, kNak[0]), TransferResult::RetriesExhausted, "001 Packets Error! [NAK-00]"},
        {kCan, TransferResult::Completed, "1 Packets Error! [CAN]"},
        {"\xE7", TransferResult::Completed, "001 Packets Error! [0xE7-10]"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.status);
        Reset();
        for (char a : c.answers)
            line.blockAnswers.push_back(std::string(1, a));
        EXPECT_EQ(c.result, Run("x", TransferVariant::Local).result);
        EXPECT_NE(line.statuses.end(),
                  std::find(line.statuses.begin(), line.statuses.end(), c.status));
        const bool failed = c.result != TransferResult::Completed;
        EXPECT_EQ(failed ? 11u : c.answers.size() + 1, line.Blocks().size());
        EXPECT_EQ(failed, line.Count(kCan) > 0);
    }
}

// How each transfer of a ten-block image ends, and when on the fake clock.
TEST_F(TransferTest, EachWaitEndsWithItsOwnResultInItsOwnTime) {
    using V = TransferVariant;
    using R = TransferResult;
    struct Case {
        const char* name;
        V variant;
        std::function<void(FakeBootloader&)> setup;
        R result;
        int64_t fromMs, toMs; // when the transfer ends on the fake clock
        long cans = -1;       // CAN bytes written, when that matters
    };
    const auto silentBlock = [](FakeBootloader& l) { l.blockAnswers = {"", ""}; };
    const auto errorLater = [](FakeBootloader& l) {
        l.completionText = false;
        l.lateText = {{200, "\r\nERROR: image rejected\r\n"}};
    };
    const std::vector<Case> cases = {
        {"no C", V::Local, [](FakeBootloader& l) { l.rx.clear(); }, R::NoStartSignal, 5000, 7000},
        // Each byte within the 5 s wait for "C".
        {"text before C", V::Local,
         [](FakeBootloader& l) {
             l.rx.clear();
             l.Answer("\r\nBL > 1\r\nbegin upload\r\n", 4000);
             l.Answer("C", 8000);
         },
         R::Completed, 8000, 9000},
        // A silent relay is cancelled so that the next command is a command again.
        {"block, local", V::Local, silentBlock, R::NoBlockAnswer, 5000, 7000, 0},
        {"block, remote", V::Remote, silentBlock, R::NoBlockAnswer, 20000, 22000, 3},
        {"EOT", V::Local, [](FakeBootloader& l) { l.answerEot = false; }, R::NoEotAnswer, 5000,
         7000},
        {"completion", V::Recovery, [](FakeBootloader& l) { l.completionText = false; },
         R::NoCompletion, 60000, 62000},
        // The restart's "OK" must follow "2": the one already in the reply does not count.
        {"restart", V::Local, [](FakeBootloader& l) { l.restartText = false; }, R::NoRestart, 60000,
         62000},
        // The limit counts from the last byte: a talking device keeps the wait going.
        {"device keeps talking", V::Remote,
         [](FakeBootloader& l) {
             l.completionText = false;
             for (int t = 30000; t <= 120000; t += 30000)
                 l.lateText.emplace_back(t, ".");
             l.lateText.emplace_back(150000, "complete\r\n");
         },
         R::Completed, 150000, 151000},
        // "ERROR" ends only a remote transfer early; elsewhere the word is no verdict.
        {"remote refuses", V::Remote, errorLater, R::Rejected, 200, 1000},
        {"ERROR in recovery", V::Recovery, errorLater, R::NoCompletion, 60000, 62000},
        {"lost before completion", V::Local,
         [](FakeBootloader& l) {
             l.completionText = l.restartText = false;
             l.lostAt = 1000;
         },
         R::LineLost, 1000, 2000},
        {"stop in blocks", V::Local, [](FakeBootloader& l) { l.stopAt = 15; }, R::Stopped, 15, 200,
         3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset();
        c.setup(line);
        const auto reply = [](TransferSettings& s) { s.reply = "\r\nENTER bootloader\r\nOK\r\n"; };
        EXPECT_EQ(c.result, Run(std::string(1280, 'x'), c.variant, reply).result);
        EXPECT_GE(line.now, c.fromMs);
        EXPECT_LT(line.now, c.toMs);
        if (c.cans >= 0) {
            EXPECT_EQ(c.cans, line.Count(kCan));
        }
    }
}

// A module on the line is restarted with "2" at the end; a remote device is not.
TEST_F(TransferTest, OnlyAModuleOnTheLineIsRestarted) {
    Reset();
    EXPECT_EQ(TransferResult::Completed, Run("x", TransferVariant::Recovery).result);
    EXPECT_EQ("2", line.writes.back());
    Reset();
    EXPECT_EQ(TransferResult::Completed, Run("x", TransferVariant::Remote).result);
    EXPECT_EQ("\r\n", line.writes.back());
}

// 22 MB: remaining * 100 no longer fits 32 bits; the bar must still only climb to 100.
TEST_F(TransferTest, ProgressOfAHugeImageOnlyClimbs) {
    Reset();
    ASSERT_EQ(TransferResult::Completed,
              Run(std::string(22u << 20, 'k'), TransferVariant::Local).result);
    EXPECT_TRUE(std::is_sorted(line.progress.begin(), line.progress.end()));
    EXPECT_EQ(100, line.progress.back());
}

// A missing file or a directory is no image: the transfer sends nothing, and the model
// detection gives 0.
TEST_F(TransferTest, ModelIsTheFirstKnownNameInTheHead) {
    struct Case {
        std::string head;
        std::string model; // "-" when the head names none
    };
    const std::vector<Case> cases = {
        {"", "-"},
        {std::string(200, '\0') + "model=KD40\n", "KD40"}, // after zero bytes
        {"KM40X and KA30", "KA30"},                        // the name order decides
        {std::string(252, ' ') + "KA40", "-"},             // not wholly within 255 bytes
        {std::string(251, ' ') + "KA40", "KA40"},          // ends at byte 254
        {"KM40X" + std::string(1000, 'x'), "KM40X"},
    };
    for (const Case& c : cases) {
        std::string model = "stale";
        EXPECT_EQ(c.head.empty() ? 0 : 1, DetectFirmwareModel(MakeFile(c.head), model));
        if (!c.head.empty()) {
            EXPECT_EQ(c.model == "-" ? "" : c.model, model) << c.head.size();
        }
    }
    for (const std::string& path : {(dir / "missing.ebl").string(), dir.string()}) {
        std::string model;
        EXPECT_EQ(0, DetectFirmwareModel(path, model)) << path;
        Reset();
        const auto at = [&](TransferSettings& s) { s.filePath = path; };
        EXPECT_EQ(TransferResult::FileError, Run("", TransferVariant::Local, at).result) << path;
        EXPECT_TRUE(line.writes.empty());
    }
}

// The clone monitor looks once a second, for three minutes at most.
TEST_F(TransferTest, CloneMonitorEndsOnTheModulesWordTheLimitOrTheOwner) {
    struct Case {
        const char* name;
        std::vector<std::pair<int, std::string>> text; // when it arrives
        int64_t lostAt, stopAt;
        CloneResult result;
        int seconds;
    };
    const Case cases[] = {
        {"complete at once", {{0, "\r\nClone complete\r\n"}}, -1, -1, CloneResult::Completed, 0},
        {"complete later",
         {{500, "\r\nCloning 50%\r\n"}, {2500, "\r\nClone complete\r\n"}},
         -1,
         -1,
         CloneResult::Completed,
         3},
        {"error", {{1200, "\r\nERROR\r\n"}}, -1, -1, CloneResult::Failed, 2},
        {"line lost", {}, 4000, -1, CloneResult::LineLost, 4},
        {"stopped", {}, -1, 2500, CloneResult::Stopped, 3},
        {"progress only", {{1000, "\r\nCloning 10%\r\n"}}, -1, -1, CloneResult::TimedOut, 180},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Reset(false);
        for (const auto& [atMs, text] : c.text)
            line.Answer(text, atMs);
        line.lostAt = c.lostAt;
        line.stopAt = c.stopAt;
        const CloneOutcome outcome = CCloneMonitor(line, line).Run();
        EXPECT_EQ(c.result, outcome.result);
        EXPECT_EQ(c.seconds * 1000, line.now);
        if (c.result != CloneResult::Stopped) {
            EXPECT_EQ(c.seconds, outcome.seconds);
        }
    }
}

using Batch = CRemoteBatch;

// A batch over rows 0..count-1, addressed "ADDR<row>".
Batch Begun(int count) {
    std::vector<Batch::Device> devices;
    for (int row = 0; row < count; ++row)
        devices.push_back({row, "ADDR" + std::to_string(row)});
    Batch batch;
    batch.Begin(devices);
    return batch;
}

// Far more devices than a fixed table of flags would hold, each run to its end inside its
// start or refusing its bootloader: the whole batch goes in one tick, every device once.
TEST(RemoteBatch, ListsOfAnySizeAreCoveredWhole) {
    Batch batch = Begun(300);
    std::vector<int> started;
    EXPECT_EQ(0, batch.Tick(false, [&](const Batch::Device& d, bool) {
        started.push_back(d.row);
        if (d.row < 298)
            batch.DeviceEnded(true, "");
        return d.row < 298;
    }));
    EXPECT_EQ(300u, started.size());
    EXPECT_TRUE(std::is_sorted(started.begin(), started.end()));
    EXPECT_TRUE(batch.Finished());
    EXPECT_EQ("Could not update remote device firmware: ADDR298, ADDR299.", batch.Summary());
}

// One transfer at a time; a stop request ends it at once and tells the module to cancel, and
// the outcome reaches the owner once the running mark is clear.
TEST(TransferWorker, StopEndsATransferAndTheOutcomeFollowsTheRunningMark) {
    vireo::test::CTempPortDir dir;
    vireo::sim::SimConfig config;
    config.damaged = true; // waits in its bootloader at 115200
    config.pacing = true;
    config.portDir = dir.Path();
    vireo::sim::Simulator sim(config);
    ASSERT_TRUE(sim.Start());
    CSerialPort port;
    ASSERT_EQ(1, port.Open(sim.ComNumber(), 115200, 0, 8, 0, 10));
    port.Write("1"); // the menu's upload choice
    TransferSettings settings;
    settings.variant = TransferVariant::Recovery;
    settings.filePath = vireo::GetProgramDirectory() + "KA40_v1.0.2.ebl";
    CrcTable table;
    BuildCrcTable(table);
    settings.crcTable = &table;

    FakeBootloader view; // its status and progress only
    CTransferWorker worker;
    std::mutex lock;
    std::condition_variable endedCv;
    std::optional<TransferOutcome> outcome;
    bool runningAtEnd = true;
    ASSERT_TRUE(worker.Start(port, view, settings, [&](const TransferOutcome& o) {
        std::lock_guard<std::mutex> guard(lock);
        runningAtEnd = worker.Running();
        outcome = o;
        endedCv.notify_all();
    }));
    EXPECT_FALSE(worker.Start(port, view, settings, nullptr));
    ASSERT_TRUE(sim.WaitForReceived(std::string(1, '\x01'), 30s));
    worker.Stop();
    EXPECT_FALSE(worker.Running());
    std::unique_lock<std::mutex> guard(lock);
    ASSERT_TRUE(endedCv.wait_for(guard, 1s, [&] { return outcome.has_value(); }));
    EXPECT_EQ(TransferResult::Stopped, outcome->result);
    EXPECT_FALSE(runningAtEnd);
    EXPECT_TRUE(sim.WaitForReceived("\x18\x18\x18", 5s));
}

} // namespace
