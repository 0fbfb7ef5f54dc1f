#include "config/ConstructLoader.h"
#include "platform/UiServices.h"

namespace {

std::string ReadNamedFile(const ConstructLoadRequest& request, bool* ok) {
    if (!IsBareFileName(request.fileName)) {
        *ok = false;
        return {};
    }
    return ReadConstructFile(request.directory + request.fileName, ok);
}

} // namespace

bool IsBareFileName(const std::string& name) {
    return name.find_first_of("/\\") == std::string::npos;
}

int ParseConstructFile(CConstructData& data, const ConstructLoadRequest& request) {
    data.ResetRecords();
    data.m_strConstructFile = request.fileName;
    bool ok = false;
    std::string text = ReadNamedFile(request, &ok);
    if (!ok) {
        const vireo::MsgAnswer answer = vireo::UiServices().MessageBox(
            "WARNING: Could not recognize the firmware version.\r\nMaybe this manager is out of "
            "date. Would you like to update this manager?",
            "WARNING", vireo::MsgButtons::YesNo, vireo::MsgIcon::Question);
        if (answer == vireo::MsgAnswer::Yes && request.updateFromWeb) {
            request.updateFromWeb(request.directory);
            text = ReadNamedFile(request, &ok);
        }
    }
    if (!ok) {
        const std::string fallback =
            FindNewestConstructFile(request.directory, request.localProduct);
        if (!fallback.empty())
            text = ReadConstructFile(fallback, &ok);
    }
    if (!ok) {
        vireo::ShowMessage("ERROR: Could not recognize the firmware version.\r\nPlease uninstall "
                           "this manager and intall the latest manager.",
                           "Vireo Manager");
        data.m_nParams = 0;
        return -1;
    }
    data.m_nParams = 0;
    data.m_nGroups = 0;
    data.ParseConstructText(text, request.remoteMode);
    return 1;
}
