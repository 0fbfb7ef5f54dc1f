// The download run against a real HTTP server on the loopback interface: the error-page rule,
// server faults that must leave the former file untouched, names refused, and a stop while a
// report waits for the user (progress and a stop mid-transfer are the dialog's tests).
#include "webupdate/DownloadRun.h"
#include "tests/support/HttpTestServer.h"
#include "webupdate/DownloadWorker.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <thread>

namespace {

namespace fs = std::filesystem;
using vireo::DownloadEntry;
using vireo::test::CHttpTestServer;
using vireo::test::HttpReply;

// Records the run's reports. A worker's view is read only after the worker has ended.
class CRecordingView : public vireo::IDownloadView {
public:
    void ShowFile(const std::string&, const std::string&) override {}
    void ShowMessage(const std::string&) override {}
    void SetProgressRange(int) override {}
    void SetProgressPos(int) override {}
    void Report(const std::string& text) override { reports.push_back(text); }

    std::vector<std::string> reports;
};

std::string ReadFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
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
    vireo::DownloadSummary Run(const std::vector<DownloadEntry>& list, CRecordingView& to,
                               std::string base = "") {
        return vireo::RunDownloads(base.empty() ? server.BaseAddress() : base, list, to, stop,
                                   limits);
    }

    fs::path dir;
    CHttpTestServer server;
    CRecordingView view;
    std::atomic<bool> stop{false};
    vireo::HttpLimits limits{5, 1}; // a stall ends the transfer after one silent second
};

// A reply that is no file leaves the former file untouched, says so once and leaves no
// temporary file; a small reply beginning with a tag is taken for an error page. A stored
// body arrives byte for byte, zero bytes included.
TEST_F(DownloadRunTest, RepliesThatAreNoFileKeepTheFormerOne) {
    const std::string page = "<" + std::string(511, 'z');
    const std::pair<const char*, HttpReply> cases[] = {
        {"error page of 512 bytes", {200, page}},
        {"error page without a length", {200, page, -1}},
        {"one byte", {200, "<"}},
        {"404 with a plain body", {404, std::string(2000, 'n')}},
        {"500 with an HTML body", {500, "<html>oops</html>"}},
        {"body shorter than announced", {200, std::string(1000, 'b'), 4000}},
        {"stall mid-body", {200, std::string(8000, 's'), -2, 3000}},
        // Stored: longer than an error page, or judged on what arrived without a length.
        {"stored: 513 bytes", {200, page + std::string(1, '\0')}},
        {"stored: no length", {200, "<" + std::string(4095, 'z'), -1}},
    };
    for (const auto& [what, reply] : cases) {
        SCOPED_TRACE(what);
        const bool stored = std::string(what).rfind("stored", 0) == 0;
        CRecordingView seen;
        std::ofstream(dir / "f.ebl") << "former";
        server.SetFile("f.ebl", reply);
        Run({Entry("f.ebl")}, seen);
        EXPECT_EQ(stored ? reply.body : "former", ReadFile(dir / "f.ebl"));
        EXPECT_EQ(stored ? 0u : 1u, seen.reports.size());
        EXPECT_EQ(1, std::distance(fs::directory_iterator(dir), {})) << "a temporary file is left";
    }
}

// Each file of a dead server gets the session's text; a missing folder is named with the
// system's code; a refused name is reported and never fetched.
TEST_F(DownloadRunTest, UnreachableServerMissingFolderAndRefusedNamesAreReported) {
    std::string base;
    {
        CHttpTestServer gone;
        base = gone.BaseAddress();
    }
    Run({Entry("a"), Entry("b")}, view, base);
    ASSERT_EQ(2u, view.reports.size());
    EXPECT_NE(std::string::npos, view.reports[1].find("onnect")) << view.reports[1];

    CRecordingView seen;
    server.SetFile("a.vmcon", {200, "good"});
    const std::string path = (dir / "missing" / "a.vmcon").string();
    Run({{"../evil.vmcon", (dir / "../evil.vmcon").string(), true},
         {"a.vmcon", path},
         Entry("a.vmcon")},
        seen);
    ASSERT_EQ(2u, seen.reports.size());
    EXPECT_NE(std::string::npos, seen.reports[0].find("'../evil.vmcon'"));
    EXPECT_EQ("ERROR: Could not write file:\r\n'" + path + "'. (0x2)", seen.reports[1]);
    EXPECT_EQ(2u, server.Requests().size());
    EXPECT_EQ("good", ReadFile(dir / "a.vmcon"));
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
    EXPECT_EQ(1u, unanswered.reports.size()); // the second file was never tried
    EXPECT_EQ(1u, server.Requests().size());
}

} // namespace
