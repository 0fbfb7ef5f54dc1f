// The download run against a real HTTP server on the loopback interface: progress, the
// error-page rule, server faults that must leave the former file untouched, names refused,
// and a stop in the middle of a stalled transfer or of a report.
#include "webupdate/DownloadRun.h"
#include "tests/support/HttpTestServer.h"
#include "webupdate/DownloadWorker.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <mutex>
#include <random>
#include <thread>

namespace {

namespace fs = std::filesystem;
using vireo::DownloadEntry;
using vireo::test::CHttpTestServer;
using vireo::test::HttpReply;

// Records what the run shows; safe to call from the worker thread.
class CRecordingView : public vireo::IDownloadView {
public:
    void ShowFile(const std::string& fileName, const std::string& message) override {
        Add(m_events, "file " + fileName + " | " + message);
    }
    void ShowMessage(const std::string& message) override { Add(m_events, message); }
    void SetProgressRange(int upper) override { Add(m_events, "range " + std::to_string(upper)); }
    void SetProgressPos(int pos) override {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_positions.push_back(pos);
    }
    void Report(const std::string& text) override { Add(m_reports, text); }
    std::vector<std::string> Events() const { return Copy(m_events); }
    std::vector<std::string> Reports() const { return Copy(m_reports); }
    std::vector<int> Positions() const { return Copy(m_positions); }

private:
    void Add(std::vector<std::string>& to, const std::string& text) {
        const std::lock_guard<std::mutex> guard(m_lock);
        to.push_back(text);
    }
    template <class T> T Copy(const T& what) const {
        const std::lock_guard<std::mutex> guard(m_lock);
        return what;
    }
    mutable std::mutex m_lock;
    std::vector<std::string> m_events, m_reports;
    std::vector<int> m_positions;
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void WriteFile(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

class DownloadRunTest : public testing::Test {
protected:
    void SetUp() override {
        char pattern[] = "/tmp/vireo-download-XXXXXX";
        ASSERT_NE(nullptr, mkdtemp(pattern));
        dir = pattern;
    }
    void TearDown() override { fs::remove_all(dir); }

    DownloadEntry Entry(const std::string& name) const { return {name, (dir / name).string()}; }
    vireo::DownloadSummary Run(const std::vector<DownloadEntry>& list) {
        return vireo::RunDownloads(server.BaseAddress(), list, view, stop, limits);
    }
    size_t FilesInDir() const {
        return static_cast<size_t>(std::distance(fs::directory_iterator(dir), {}));
    }

    fs::path dir;
    CHttpTestServer server;
    CRecordingView view;
    std::atomic<bool> stop{false};
    vireo::HttpLimits limits{5, 1}; // a stall ends the transfer after one silent second
};

// Any bytes arrive as they are; a body longer than an error page may begin with anything.
TEST_F(DownloadRunTest, ReportedLengthSetsTheRangeAndEach1024BytesAStep) {
    std::string body(3000, '\0');
    std::mt19937 random(7);
    for (char& c : body)
        c = static_cast<char>(random());
    body[0] = '<';
    server.SetFile("a.vmcon", {200, body});
    const auto summary = Run({Entry("a.vmcon")});
    EXPECT_EQ(1, summary.stored);
    EXPECT_TRUE(body == ReadFile(dir / "a.vmcon"));
    EXPECT_EQ((std::vector<std::string>{"file a.vmcon | Downloading file now.. (1/1)", "range 3",
                                        "Downloading Complete."}),
              view.Events());
    EXPECT_EQ((std::vector<int>{0, 1, 2, 3}), view.Positions());
    EXPECT_TRUE(view.Reports().empty());
}

TEST_F(DownloadRunTest, AnErrorPageIsReportedOnceAndTheNextFileStillComes) {
    server.SetFile("first.vmcon", {200, "<html>" + std::string(294, ' ')});
    server.SetFile("second.vmcon", {200, "[G/N]10;<d>;c=\"AT\";"});
    const auto summary = Run({Entry("first.vmcon"), Entry("second.vmcon")});
    EXPECT_EQ(1, summary.stored);
    EXPECT_EQ(1, summary.failed);
    EXPECT_EQ(std::vector<std::string>{"ERROR: Could not download file:\r\n'first.vmcon'."},
              view.Reports());
    const auto events = view.Events();
    EXPECT_EQ(2, std::count(events.begin(), events.end(), "Downloading Complete."));
    const auto second =
        std::find(events.begin(), events.end(), "file second.vmcon | Downloading file now.. (2/2)");
    ASSERT_NE(events.end(), second);
    EXPECT_EQ("Downloading Complete.", *(second - 1));
    EXPECT_FALSE(fs::exists(dir / "first.vmcon"));
    EXPECT_EQ("[G/N]10;<d>;c=\"AT\";", ReadFile(dir / "second.vmcon"));
}

struct FirstByteCase {
    size_t size;
    long long announced; // -2: the size, -1: none
    bool stored;
};

class FirstByteTest : public DownloadRunTest, public testing::WithParamInterface<FirstByteCase> {};

TEST_P(FirstByteTest, ASmallReplyBeginningWithATagIsTakenForAnErrorPage) {
    const std::string body = "<" + std::string(GetParam().size - 1, 'z');
    server.SetFile("f.ebl", {200, body, GetParam().announced});
    Run({Entry("f.ebl")});
    EXPECT_EQ(GetParam().stored, fs::exists(dir / "f.ebl"));
    EXPECT_EQ(GetParam().stored ? 0u : 1u, view.Reports().size());
}

INSTANTIATE_TEST_SUITE_P(Download, FirstByteTest,
                         testing::Values(FirstByteCase{512, -2, false},
                                         FirstByteCase{513, -2, true},
                                         FirstByteCase{4096, -1, true}, // no length: judged
                                         FirstByteCase{512, -1, false}, // on what arrived
                                         FirstByteCase{1, -2, false}));

struct FaultCase {
    const char* what;
    HttpReply reply;
};

class ServerFault : public DownloadRunTest, public testing::WithParamInterface<FaultCase> {};

TEST_P(ServerFault, LeavesTheFormerFileUntouchedAndSaysSo) {
    WriteFile(dir / "KA40.vmcon", "former");
    server.SetFile("KA40.vmcon", GetParam().reply);
    const auto summary = Run({Entry("KA40.vmcon")});
    EXPECT_EQ(0, summary.stored);
    EXPECT_EQ(std::vector<std::string>{"ERROR: Could not download file:\r\n'KA40.vmcon'."},
              view.Reports());
    EXPECT_EQ("former", ReadFile(dir / "KA40.vmcon"));
    EXPECT_EQ(1u, FilesInDir()) << "a temporary file was left behind";
    EXPECT_EQ("Downloading Complete.", view.Events().back());
}

INSTANTIATE_TEST_SUITE_P(
    Download, ServerFault,
    testing::Values(FaultCase{"404 with a plain body", {404, std::string(2000, 'n')}},
                    FaultCase{"500 with an HTML body", {500, "<html>oops</html>"}},
                    FaultCase{"body shorter than announced", {200, std::string(1000, 'b'), 4000}},
                    FaultCase{"stall mid-body", {200, std::string(8000, 's'), -2, 3000}}),
    [](const auto& param) { return "Case" + std::to_string(param.index); });

TEST_F(DownloadRunTest, UnreachableServerGivesTheSessionsTextForEachFile) {
    std::string base;
    {
        CHttpTestServer gone;
        base = gone.BaseAddress();
    }
    vireo::RunDownloads(base, {Entry("a"), Entry("b")}, view, stop, limits);
    const auto reports = view.Reports();
    ASSERT_EQ(2u, reports.size());
    EXPECT_NE(std::string::npos, reports[0].find("onnect")) << reports[0];
    EXPECT_EQ(0u, FilesInDir());
}

TEST_F(DownloadRunTest, MissingDirectoryNamesThePathAndTheSystemsCode) {
    server.SetFile("a.vmcon", {200, "data"});
    const std::string path = (dir / "missing" / "a.vmcon").string();
    Run({{"a.vmcon", path}});
    EXPECT_EQ(std::vector<std::string>{"ERROR: Could not write file:\r\n'" + path + "'. (0x2)"},
              view.Reports());
}

TEST_F(DownloadRunTest, RefusedNamesAreReportedAndNeverFetched) {
    server.SetFile("good.vmcon", {200, "good"});
    Run({{"../evil.vmcon", (dir / "../evil.vmcon").string(), true}, Entry("good.vmcon")});
    ASSERT_EQ(1u, view.Reports().size());
    EXPECT_NE(std::string::npos, view.Reports()[0].find("'../evil.vmcon'"));
    EXPECT_EQ(1u, server.Requests().size());
    EXPECT_FALSE(fs::exists(dir.parent_path() / "evil.vmcon"));
    EXPECT_EQ("good", ReadFile(dir / "good.vmcon"));
}

TEST_F(DownloadRunTest, StopEndsAStalledTransferAndKeepsTheFormerFile) {
    WriteFile(dir / "s.ebl", "former");
    server.SetFile("s.ebl", {200, std::string(8000, 's'), -2, 2000});
    limits.stallTimeSec = 3600; // only the stop can end it
    vireo::CDownloadWorker worker;
    std::atomic<bool> ended{false};
    vireo::DownloadSummary summary;
    worker.Start(
        server.BaseAddress(), {Entry("s.ebl")}, view,
        [&](const vireo::DownloadSummary& s) {
            summary = s;
            ended = true;
        },
        limits);
    while (view.Events().size() < 2) // the file is open once its range is shown
        std::this_thread::yield();
    worker.Stop();
    EXPECT_TRUE(ended.load());
    EXPECT_FALSE(worker.Running());
    EXPECT_TRUE(summary.stopped);
    EXPECT_TRUE(view.Reports().empty());
    EXPECT_EQ("former", ReadFile(dir / "s.ebl"));
    EXPECT_EQ(1u, FilesInDir());
}

// A view whose reports wait for an owner that never answers, as a dialog closing while its
// message is queued would.
class CUnansweredView : public CRecordingView {
public:
    explicit CUnansweredView(vireo::CDownloadWorker& worker) : m_worker(worker) {}
    void Report(const std::string& text) override {
        CRecordingView::Report(text);
        m_worker.PrepareAcknowledge();
        m_waiting = true;
        m_worker.WaitForAcknowledge();
    }
    std::atomic<bool> m_waiting{false};

private:
    vireo::CDownloadWorker& m_worker;
};

TEST_F(DownloadRunTest, StopWakesAReportWaitingForTheUser) {
    vireo::CDownloadWorker worker;
    CUnansweredView unanswered(worker);
    worker.Start(server.BaseAddress(), {Entry("missing.vmcon"), Entry("other.vmcon")}, unanswered,
                 nullptr, limits);
    while (!unanswered.m_waiting.load())
        std::this_thread::yield();
    worker.Stop();
    EXPECT_FALSE(worker.Running());
    EXPECT_EQ(1u, unanswered.Reports().size()); // the second file was never tried
    EXPECT_EQ(1u, server.Requests().size());
}

} // namespace
