// The transcript file: what the port records into it from several threads, a file that fills
// up, and a writer that falls behind (a path that cannot be written is the window's test).
#include "serial/Transcript.h"
#include "serial/SerialPort.h"
#include "tests/support/PtyPeer.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
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

// Writers on several threads, a transcript switched on and off meanwhile, and a port that
// closes under the writers: each writer ends with the connection without touching the released
// descriptor (ThreadSanitizer watches).
TEST_F(TranscriptTest, RecordsBothDirectionsOfThePortWhileWritersRaceWithClose) {
    CTempPortDir ports;
    CPtyPeer peer(1);
    std::string error;
    const std::string path = dir + "/t.log";
    auto transcript = CTranscript::Start(path, "vireo test", error);
    ASSERT_NE(transcript, nullptr) << error;
    SetActiveTranscript(transcript);
    CSerialPort port;
    ASSERT_EQ(port.Open(1, 115200, 0, 8, 0, 10), 1) << port.LastError();
    peer.Send("OK\r\n");
    for (int i = 0; i < 100 && port.m_rxRing.Count() < 4; ++i)
        port.m_rxRing.WaitForData(std::chrono::milliseconds(50));
    ASSERT_EQ(port.Write("AT\r"), 3);

    std::vector<std::thread> writers;
    for (int t = 0; t < 3; ++t) {
        writers.emplace_back([&port, t] {
            const std::string command = "AT+W" + std::to_string(t) + "\r";
            while (port.Write(command) == static_cast<int>(command.size())) {
            }
        });
    }
    EXPECT_TRUE(peer.WaitForReceived("AT+W"));
    for (int i = 0; i < 50; ++i) {
        SetActiveTranscript(i % 2 ? transcript : nullptr);
        std::this_thread::yield();
    }
    SetActiveTranscript(transcript);
    port.Close();
    for (std::thread& w : writers)
        w.join();
    // A write that reached a released descriptor would have failed with EBADF.
    EXPECT_FALSE(Has(port.LastError(), std::strerror(EBADF))) << port.LastError();
    SetActiveTranscript(nullptr);
    transcript->Stop();

    // The header and the open line are the command-line recovery test's to check.
    const std::string text = ReadFile(path);
    for (const char* record : {" COM1 -> AT<CR>\n", " COM1 <- OK<CR><LF>\n", " COM1 == closed\n",
                               " -- transcript ends\n"})
        EXPECT_TRUE(Has(text, record)) << record;
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
