// vireo update: the update server's indexes listed (--check), or the construct files of the
// Configs index downloaded (--download), over the same core as the manager's "Web update".
#include "cli/ExitCodes.h"
#include "cli/Interrupt.h"
#include "cli/Json.h"
#include "cli/Verbs.h"
#include "platform/ProgramDirectory.h"
#include "webupdate/UpdateCheck.h"
#include "webupdate/UpdateIndex.h"
#include "webupdate/UpdateServer.h"

#include <cstdio>
#include <filesystem>
#include <thread>

namespace vireo::cli {

namespace {

// The download run on the console: one line per file and per failure on standard error.
class CConsoleDownloadView final : public IDownloadView {
public:
    void ShowFile(const std::string& fileName, const std::string& message) override {
        std::fprintf(stderr, "%s %s\n", message.c_str(), fileName.c_str());
    }
    void ShowMessage(const std::string&) override {}
    void SetProgressRange(int) override {}
    void SetProgressPos(int) override {}
    void Report(const std::string& text) override {
        if (!Interrupted())
            std::fprintf(stderr, "%s\n", ConsoleText(text).c_str());
    }
};

bool FetchOrSay(const std::string& base, const char* name, std::vector<std::string>& lines,
                const char* noServerText) {
    switch (FetchIndex(base, name, lines)) {
    case IndexFetch::Ok: return true;
    case IndexFetch::NoServer: std::fprintf(stderr, "%s\n", noServerText); return false;
    case IndexFetch::NotIndex:
        std::fprintf(stderr, "ERROR: Could not connect to update server.\n");
        return false;
    }
    return false;
}

std::string ConfigState(const std::string& name, const std::string& dir) {
    if (!IsSafeLocalName(name))
        return "refused";
    std::error_code error;
    return std::filesystem::exists(dir + name, error) ? "present" : "missing";
}

int Check(const std::string& base, const std::string& dir, bool json) {
    std::vector<std::string> configs;
    std::vector<std::string> firmware;
    if (!FetchOrSay(base, "Configs", configs, "Could not connect to web server!") ||
        !FetchOrSay(base, "Firmware", firmware, "ERROR: Could not connect to web server!"))
        return kExitServer;
    std::vector<CJsonObject> configObjects;
    std::vector<CJsonObject> firmwareObjects;
    std::string text;
    for (const std::string& name : configs) {
        const std::string state = ConfigState(name, dir);
        configObjects.push_back(CJsonObject().Add("name", name).Add("state", state));
        text += "config\t" + state + "\t" + name + "\n";
    }
    for (const std::string& line : firmware) {
        FirmwareLine f;
        if (!SplitFirmwareLine(line, f))
            continue;
        firmwareObjects.push_back(CJsonObject()
                                      .Add("product", f.product)
                                      .Add("version", f.version)
                                      .Add("file", f.fileName));
        text += "firmware\t" + f.product + "\t" + f.version + "\t" + f.fileName + "\n";
    }
    if (json)
        text = "{\"server\": " + JsonString(base) + ", \"configs\": " + JsonArray(configObjects) +
               ", \"firmware\": " + JsonArray(firmwareObjects) + "}\n";
    std::fputs(text.c_str(), stdout);
    return kExitOk;
}

int Download(const std::string& base, const std::string& dir) {
    std::vector<DownloadEntry> list;
    if (!PrepareConfigsDownload(base, dir, list))
        return kExitServer;
    std::atomic<bool> stop{false};
    std::atomic<bool> finished{false};
    std::thread watcher([&] {
        while (!finished.load()) {
            if (Interrupted())
                stop.store(true);
            InterruptibleSleep(100);
        }
    });
    CConsoleDownloadView view;
    const DownloadSummary summary = RunDownloads(base, list, view, stop);
    finished.store(true);
    watcher.join();
    std::fprintf(stderr, "%d of %zu file(s) stored in %s\n", summary.stored, list.size(),
                 dir.c_str());
    if (summary.stopped)
        return kExitInterrupted;
    return summary.failed > 0 ? kExitFailure : kExitOk;
}

} // namespace

int RunUpdate(const CliOptions& options) {
    std::string complaint;
    const std::string base = UpdateBaseAddress(&complaint);
    if (!complaint.empty())
        std::fprintf(stderr, "vireo: %s\n", complaint.c_str());
    std::string dir = options.dir.empty() ? GetProgramDirectory() : options.dir;
    if (dir.back() != '/' && dir.back() != '\\')
        dir += '/';
    return options.check ? Check(base, dir, options.json) : Download(base, dir);
}

} // namespace vireo::cli
