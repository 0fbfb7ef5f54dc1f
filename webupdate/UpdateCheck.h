// The two checks against the update server, up to the point where the download list is
// ready: the construct-file update (every file of the Configs index into the program
// directory) and the firmware check (the newest firmware for a device, offered to the user,
// stored where the user chooses). Messages and questions go through the UI services.
//
// Threads: the user-interface thread; the index fetch blocks it (with the wait cursor) until
// the server has answered, failed or timed out.
#pragma once

#include "webupdate/DownloadRun.h"
#include "webupdate/HttpClient.h"

#include <string>
#include <vector>

namespace vireo {

enum class IndexFetch {
    Ok,
    NoServer, // no answer, a failed transfer or an empty reply
    NotIndex, // an answer that is not an index: an HTTP error, no marker line, too long
};

// The largest index the program reads.
constexpr size_t kIndexLimit = 1 << 20;

// Fetches base + name and returns its lines after the marker.
IndexFetch FetchIndex(const std::string& baseAddress, const std::string& name,
                      std::vector<std::string>& lines, const HttpLimits& limits = {});

// The download list of the Configs index, stored in localDir (which ends in a separator).
// Names that could land outside localDir are kept in the list, marked refused. false, after
// telling the user, when the index cannot be had.
bool PrepareConfigsDownload(const std::string& baseAddress, const std::string& localDir,
                            std::vector<DownloadEntry>& list, const HttpLimits& limits = {});

// The firmware check for a device: looks up the newest firmware, asks whether to download it
// and where to. true with the one entry when the user chose a path; false when the index
// cannot be had (the user is told), there is nothing new, or the user declined.
bool PrepareFirmwareDownload(const std::string& baseAddress, const std::string& product,
                             const std::string& currentVersion, std::vector<DownloadEntry>& list,
                             const HttpLimits& limits = {});

} // namespace vireo
