// The transcript file: what the port records into it from several threads, a path that cannot
// be written, a file that fills up, and a writer that falls behind.
#include "serial/Transcript.h"
#include "serial/SerialPort.h"
#include "tests/support/PtyPeer.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>
#include <vector>

using vireo::test::CPtyPeer;
using vireo::test::CTempPortDir;

namespace {

std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);)
        lines.push_back(line);
    return lines;
}

bool Has(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

class TranscriptTest : public ::testing::Test {
protected:
    void TearDown() override {
        SetActiveTranscript(nullptr);
        std::filesystem::remove_all(dir);
    }
    std::string dir = [] {
        char name[] = "/tmp/vireo-transcript-XXXXXX";
        return std::string(mkdtemp(name));
    }();
};

TEST_F(TranscriptTest, APathThatCannotBeCreatedIsRefusedAtOnce) {
    std::ofstream(dir + "/file") << "x";
    const struct {
        std::string path, reason;
    } cases[] = {{dir + "/missing/t.log", "No such file or directory"},
                 {dir + "/file/t.log", "Not a directory"},
                 {dir, "Is a directory"},
                 {"", "No such file or directory"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path);
        std::string error;
        EXPECT_EQ(CTranscript::Start(c.path, "test", error), nullptr);
        EXPECT_EQ(error, c.reason);
    }
}

// Writers on several threads, a reader, a transcript switched on and off meanwhile, and a
// port that closes under the writers: every byte that is recorded lands whole in a record.
TEST_F(TranscriptTest, RecordsBothDirectionsOfThePortWhileWritersRaceWithClose) {
    CTempPortDir ports;
    CPtyPeer peer(1);
    peer.SetResponder([](const std::string& line) { return line + "\r\nOK\r\n"; });
    std::string error;
    const std::string path = dir + "/t.log";
    auto transcript = CTranscript::Start(path, "vireo test", error);
    ASSERT_NE(transcript, nullptr) << error;
    SetActiveTranscript(transcript);
    CSerialPort port;
    ASSERT_EQ(port.Open(1, 115200, 0, 8, 0, 10), 1) << port.LastError();
    ASSERT_EQ(port.Write("AT+VERSION\r"), 11);
    std::string answer;
    for (int i = 0; i < 100 && !Has(answer, "OK\r\n"); ++i) {
        port.m_rxRing.WaitForData(std::chrono::milliseconds(50));
        port.m_rxRing.TakeAll(answer);
    }
    ASSERT_EQ(answer, "AT+VERSION\r\nOK\r\n");

    std::vector<std::thread> writers;
    for (int t = 0; t < 3; ++t) {
        writers.emplace_back([&port, t] {
            for (int i = 0; i < 200; ++i)
                port.Write("AT+W" + std::to_string(t) + "\r");
        });
    }
    std::thread toggler([&] {
        for (int i = 0; i < 50; ++i) {
            SetActiveTranscript(i % 2 ? transcript : nullptr);
            std::this_thread::yield();
        }
        SetActiveTranscript(transcript);
    });
    toggler.join();
    port.Close();
    for (std::thread& w : writers)
        w.join();
    SetActiveTranscript(nullptr);
    transcript->Stop();
    EXPECT_TRUE(transcript->Error().empty());

    const std::string text = ReadFile(path);
    const auto lines = Lines(text);
    ASSERT_GE(lines.size(), 6u) << text;
    EXPECT_EQ(lines[0], "# Traffic transcript of vireo test");
    EXPECT_TRUE(Has(lines[3], "COM1 == open " + peer.SlavePath() + ": 115200 baud")) << lines[3];
    for (const char* record :
         {" COM1 -> AT+VERSION<CR>\n", " COM1 <- AT+VERSION<CR><LF>\n", " COM1 <- OK<CR><LF>\n",
          " COM1 == closed\n", " -- transcript ends\n"})
        EXPECT_TRUE(Has(text, record)) << record;
    // Writes of different threads never tear each other's records.
    const std::set<std::string> sent = {"AT+VERSION<CR>", "AT+W0<CR>", "AT+W1<CR>", "AT+W2<CR>"};
    for (const std::string& line : lines) {
        const size_t mark = line.find(" COM1 -> ");
        if (mark != std::string::npos) {
            EXPECT_EQ(sent.count(line.substr(mark + 9)), 1u) << line;
        }
    }
}

TEST_F(TranscriptTest, AFileThatFillsUpIsCutWithAClosingLineAndRecordingStops) {
    rlimit saved{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto previousHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);

    std::string error;
    const std::string path = dir + "/t.log";
    auto transcript = CTranscript::Start(path, "test", error);
    ASSERT_NE(transcript, nullptr) << error;
    const std::string command = "AT+LONGERCOMMAND=0123456789\r";
    for (int i = 0; i < 400 && transcript->Recording(); ++i) {
        transcript->Sent(1, command.data(), command.size());
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    transcript->Stop();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previousHandler);

    EXPECT_EQ(transcript->Error(), "File too large");
    const std::string text = ReadFile(path);
    EXPECT_LE(text.size(), 4096u);
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.back(), '\n');
    const auto lines = Lines(text);
    EXPECT_TRUE(Has(lines.back(), "-- transcript cut: File too large")) << lines.back();
    for (size_t i = 3; i + 1 < lines.size(); ++i)
        EXPECT_TRUE(Has(lines[i], "COM1 -> AT+LONGERCOMMAND=0123456789<CR>")) << lines[i];
}

// The file is a pipe that nobody reads until the end: the writer blocks, the queue fills, and
// what does not fit is counted instead of recorded.
TEST_F(TranscriptTest, AWriterThatFallsBehindDropsBytesAndSaysHowMany) {
    const std::string path = dir + "/fifo";
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    const int reader = open(path.c_str(), O_RDONLY | O_NONBLOCK);
    ASSERT_GE(reader, 0);
    std::string error;
    auto transcript = CTranscript::Start(path, "test", error, 16 * 1024);
    ASSERT_NE(transcript, nullptr) << error;
    const std::string chunk(1024, 'U');
    constexpr int kChunks = 300; // more than the pipe, the queue and a batch hold
    for (int i = 0; i < kChunks; ++i)
        transcript->Sent(1, chunk.data(), chunk.size());

    std::string text;
    std::thread drain([&] {
        fcntl(reader, F_SETFL, 0);
        char buffer[4096];
        for (ssize_t n; (n = read(reader, buffer, sizeof buffer)) > 0;)
            text.append(buffer, static_cast<size_t>(n));
    });
    transcript->Stop();
    drain.join();
    close(reader);

    long long recorded = 0, dropped = 0;
    for (const std::string& line : Lines(text)) {
        if (Has(line, "COM1 -> "))
            recorded += static_cast<long long>(std::count(line.begin(), line.end(), 'U'));
        const size_t note = line.find(" -- ");
        if (note != std::string::npos && Has(line, "bytes not recorded"))
            dropped += std::stoll(line.substr(note + 4));
    }
    EXPECT_GT(dropped, 0);
    EXPECT_EQ(recorded + dropped, static_cast<long long>(kChunks) * 1024);
}

} // namespace
