#include "webupdate/UpdateCheck.h"
#include "platform/UiServices.h"
#include "webupdate/UpdateIndex.h"
#include "webupdate/UpdateServer.h"

namespace vireo {

namespace {

constexpr char kAppCaption[] = "Vireo Manager";
constexpr char kUpdateServerError[] = "ERROR: Could not connect to update server.";

class CIndexReceiver final : public IHttpReceiver {
public:
    bool OnOpen(long status, long long length) override {
        m_httpError = status < 200 || status > 299;
        m_tooLong = length > static_cast<long long>(kIndexLimit);
        return !m_httpError && !m_tooLong;
    }
    bool OnData(const char* data, size_t size) override {
        if (m_body.size() + size > kIndexLimit) {
            m_tooLong = true;
            return false;
        }
        m_body.append(data, size);
        return true;
    }
    bool NotIndex() const { return m_httpError || m_tooLong; }
    std::string& Body() { return m_body; }

private:
    std::string m_body;
    bool m_httpError = false;
    bool m_tooLong = false;
};

} // namespace

IndexFetch FetchIndex(const std::string& baseAddress, const std::string& name,
                      std::vector<std::string>& lines, const HttpLimits& limits) {
    const CWaitCursor wait;
    CIndexReceiver receiver;
    const HttpResult result = HttpGet(UpdateFileUrl(baseAddress, name), receiver, nullptr, limits);
    if (receiver.NotIndex())
        return IndexFetch::NotIndex;
    if (result.outcome != HttpOutcome::Complete || receiver.Body().empty())
        return IndexFetch::NoServer;
    if (!PrepareIndex(receiver.Body()))
        return IndexFetch::NotIndex;
    lines = IndexLines(receiver.Body());
    return IndexFetch::Ok;
}

bool PrepareConfigsDownload(const std::string& baseAddress, const std::string& localDir,
                            std::vector<DownloadEntry>& list, const HttpLimits& limits) {
    std::vector<std::string> lines;
    switch (FetchIndex(baseAddress, "Configs", lines, limits)) {
    case IndexFetch::NoServer:
        ShowMessage("Could not connect to web server!", kAppCaption);
        return false;
    case IndexFetch::NotIndex: ShowMessage(kUpdateServerError, kAppCaption); return false;
    case IndexFetch::Ok: break;
    }
    list.clear();
    for (const std::string& line : lines)
        list.push_back({line, localDir + line, !IsSafeLocalName(line)});
    return true;
}

bool PrepareFirmwareDownload(const std::string& baseAddress, const std::string& product,
                             const std::string& currentVersion, std::vector<DownloadEntry>& list,
                             const HttpLimits& limits) {
    std::vector<std::string> lines;
    switch (FetchIndex(baseAddress, "Firmware", lines, limits)) {
    case IndexFetch::NoServer:
        ShowMessage("ERROR: Could not connect to web server!", kAppCaption);
        return false;
    case IndexFetch::NotIndex: ShowMessage(kUpdateServerError, kAppCaption); return false;
    case IndexFetch::Ok: break;
    }
    const FirmwareOffer offer = FindNewFirmware(lines, product, currentVersion);
    if (!offer.available)
        return false;
    const std::string notice = "New firmware is available.\r\nWould you like to download?\r\n\r\n"
                               "PRODUCT: " +
                               product + "\r\nCURRENT VERSION: " + currentVersion +
                               "\r\nNEW VERSION: " + offer.version +
                               "\r\nFILENAME: " + offer.fileName;
    if (UiServices().MessageBox(notice, "NOTICE", MsgButtons::YesNo, MsgIcon::None) !=
        MsgAnswer::Yes)
        return false;
    FileDialogOptions options;
    options.filter = "ebl Files(*.ebl)|*.ebl|All Files(*.*)|*.*|";
    options.initialName = offer.fileName;
    options.promptOverwrite = true;
    const std::string path = UiServices().GetSaveFileName(options);
    if (path.empty())
        return false;
    list.assign(1, DownloadEntry{offer.fileName, path, false});
    return true;
}

} // namespace vireo
