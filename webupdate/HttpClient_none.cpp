#include "webupdate/HttpClient.h"

namespace vireo {

bool HttpAvailable() {
    return false;
}

HttpResult HttpGet(const std::string&, IHttpReceiver&, const std::atomic<bool>*,
                   const HttpLimits&) {
    HttpResult result;
    result.errorText = "This build of the program has no HTTP support.";
    return result;
}

} // namespace vireo
