// The download run of the "Web update" dialog, without the dialog: each file of the list is
// fetched in turn, the view shows the file's name and a message and follows the progress,
// each failed file is reported once and the run goes on with the next.
//
// A file reaches its local path only complete: it is written to a temporary file beside it,
// its length checked against the one the server announced, and then renamed over the path.
// A failed, stopped or short download leaves whatever was at the path before.
//
// Threads: RunDownloads runs on the calling thread (the dialog's worker); the view is called
// on that thread.
#pragma once

#include "webupdate/HttpClient.h"

#include <atomic>
#include <string>
#include <vector>

namespace vireo {

struct DownloadEntry {
    std::string url;  // the name the index gives, relative to the update base address
    std::string name; // the local path
    // A name the program refuses to store (it could land outside the program directory):
    // the entry is reported and nothing is fetched.
    bool refused = false;
};

class IDownloadView {
public:
    virtual ~IDownloadView() = default;
    virtual void ShowFile(const std::string& fileName, const std::string& message) = 0;
    virtual void ShowMessage(const std::string& message) = 0;
    // Progress in steps of 1024 bytes: the range is 0..upper, then the position moves.
    virtual void SetProgressRange(int upper) = 0;
    virtual void SetProgressPos(int pos) = 0;
    // A failure of one file. Returns when the user has seen it, or when the run is stopped.
    virtual void Report(const std::string& text) = 0;
};

struct DownloadSummary {
    int stored = 0;
    int failed = 0;
    bool stopped = false;
};

constexpr size_t kDownloadChunk = 1024;
// The largest error page the first-byte test looks at: a reply that begins with "<" and is
// announced with at most this many bytes (or with no length) is taken for the server's error
// page, not for the file.
constexpr long long kErrorPageLimit = 512;

DownloadSummary RunDownloads(const std::string& baseAddress, const std::vector<DownloadEntry>& list,
                             IDownloadView& view, const std::atomic<bool>& stop,
                             const HttpLimits& limits = {});

// "ERROR: Could not download file:\r\n'<name>'."
std::string DownloadFailedText(const std::string& remoteName);

} // namespace vireo
