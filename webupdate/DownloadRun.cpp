#include "webupdate/DownloadRun.h"
#include "webupdate/ReplacingFile.h"
#include "webupdate/UpdateServer.h"

#include <climits>
#include <cstdio>

namespace vireo {

namespace {

enum class Failure { None, Download, Write };

// Receives one file: checks the reply, writes it to a temporary file as it arrives and moves
// the progress one step per 1024-byte chunk.
class CFileReceiver final : public IHttpReceiver {
public:
    CFileReceiver(const DownloadEntry& entry, IDownloadView& view) : m_entry(entry), m_view(view) {}

    bool OnOpen(long status, long long length) override {
        if (status < 200 || status > 299)
            return Fail(Failure::Download);
        m_total = length;
        if (!m_file.Create(m_entry.name))
            return Fail(Failure::Write);
        const long long steps =
            length < 0 ? 0 : length / static_cast<long long>(kDownloadChunk) + 1;
        m_view.SetProgressRange(static_cast<int>(steps > INT_MAX ? INT_MAX : steps));
        m_view.SetProgressPos(0);
        return true;
    }

    bool OnData(const char* data, size_t size) override {
        if (m_received == 0 && size > 0 && data[0] == '<') {
            m_startsLikePage = true;
            if (m_total >= 0 && m_total <= kErrorPageLimit)
                return Fail(Failure::Download); // the server's error page, not the file
        }
        if (!m_file.Write(data, size))
            return Fail(Failure::Write);
        m_received += static_cast<long long>(size);
        // One step for each whole 1024-byte chunk; the last, shorter one steps in Finish.
        const auto chunks = static_cast<int>(m_received / static_cast<long long>(kDownloadChunk));
        while (m_steps < chunks)
            m_view.SetProgressPos(++m_steps);
        return true;
    }

    // After a complete body: the last chunk, the length check and the rename.
    bool Finish() {
        if (m_received % static_cast<long long>(kDownloadChunk) != 0)
            m_view.SetProgressPos(++m_steps);
        if (m_total >= 0 && m_received != m_total)
            return Fail(Failure::Download);
        // Without an announced length the page rule is judged on what arrived.
        if (m_total < 0 && m_startsLikePage && m_received <= kErrorPageLimit)
            return Fail(Failure::Download);
        return m_file.Commit() || Fail(Failure::Write);
    }

    Failure FailureKind() const { return m_failure; }
    unsigned long WriteError() const { return m_file.LastError(); }

private:
    bool Fail(Failure failure) {
        m_failure = failure;
        m_file.Discard();
        return false;
    }

    const DownloadEntry& m_entry;
    IDownloadView& m_view;
    CReplacingFile m_file;
    long long m_total = -1;
    long long m_received = 0;
    bool m_startsLikePage = false;
    int m_steps = 0;
    Failure m_failure = Failure::None;
};

std::string WriteFailedText(const std::string& path, unsigned long error) {
    char code[32];
    std::snprintf(code, sizeof(code), "%lX", error);
    return "ERROR: Could not write file:\r\n'" + path + "'. (0x" + code + ")";
}

// Fetches one entry; the failure text to report, empty when it was stored or stopped.
std::string DownloadOne(const std::string& baseAddress, const DownloadEntry& entry,
                        IDownloadView& view, const std::atomic<bool>& stop,
                        const HttpLimits& limits, bool& stored) {
    if (entry.refused)
        return "ERROR: The update server named a file outside the program directory:\r\n'" +
               entry.url + "'.";
    CFileReceiver receiver(entry, view);
    const HttpResult result =
        HttpGet(UpdateFileUrl(baseAddress, entry.url), receiver, &stop, limits);
    if (result.outcome == HttpOutcome::Complete)
        stored = receiver.Finish();
    switch (receiver.FailureKind()) {
    case Failure::Download: return DownloadFailedText(entry.url);
    case Failure::Write: return WriteFailedText(entry.name, receiver.WriteError());
    case Failure::None: break;
    }
    if (result.outcome != HttpOutcome::Failed)
        return ""; // stored, or stopped from outside
    // Before the reply began, the session's own words; after it, the body was cut short.
    return result.opened ? DownloadFailedText(entry.url) : result.errorText;
}

} // namespace

std::string DownloadFailedText(const std::string& remoteName) {
    return "ERROR: Could not download file:\r\n'" + remoteName + "'.";
}

DownloadSummary RunDownloads(const std::string& baseAddress, const std::vector<DownloadEntry>& list,
                             IDownloadView& view, const std::atomic<bool>& stop,
                             const HttpLimits& limits) {
    DownloadSummary summary;
    const int count = static_cast<int>(list.size());
    for (int k = 0; k < count && !stop.load(); ++k) {
        view.ShowFile(list[k].url, "Downloading file now.. (" + std::to_string(k + 1) + "/" +
                                       std::to_string(count) + ")");
        bool stored = false;
        const std::string failure = DownloadOne(baseAddress, list[k], view, stop, limits, stored);
        summary.stored += stored ? 1 : 0;
        if (stop.load())
            break;
        if (!stored) {
            ++summary.failed;
            view.Report(failure);
        }
        view.ShowMessage("Downloading Complete.");
    }
    summary.stopped = stop.load();
    return summary;
}

} // namespace vireo
