#include "webupdate/HttpClient.h"

#include <curl/curl.h>
#include <memory>
#include <mutex>

namespace vireo {

namespace {

struct Transfer {
    CURL* curl = nullptr;
    IHttpReceiver& receiver;
    const std::atomic<bool>* cancel;
    bool opened = false;
    bool stoppedByReceiver = false;
};

bool Open(Transfer& t) {
    t.opened = true;
    long status = 0;
    curl_off_t length = -1;
    curl_easy_getinfo(t.curl, CURLINFO_RESPONSE_CODE, &status);
    curl_easy_getinfo(t.curl, CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &length);
    return t.receiver.OnOpen(status, static_cast<long long>(length));
}

size_t OnWrite(char* data, size_t, size_t size, void* user) {
    auto& t = *static_cast<Transfer*>(user);
    const bool go = (t.cancel == nullptr || !t.cancel->load()) && (t.opened || Open(t)) &&
                    t.receiver.OnData(data, size);
    if (!go) {
        t.stoppedByReceiver = true;
        return 0; // any other count than size ends the transfer
    }
    return size;
}

int OnProgress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto& t = *static_cast<Transfer*>(user);
    return t.cancel != nullptr && t.cancel->load() ? 1 : 0;
}

void GlobalInit() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

void Configure(CURL* curl, const std::string& url, Transfer& t, const HttpLimits& limits,
               char* errorBuffer) {
    curl_easy_setopt(curl, CURLOPT_URL, url.c_str());
    curl_easy_setopt(curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(curl, CURLOPT_ERRORBUFFER, errorBuffer);
    curl_easy_setopt(curl, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(curl, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(curl, CURLOPT_MAXREDIRS, 5L);
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT, limits.connectTimeoutSec);
    // Less than one byte a second for stallTimeSec seconds: the server has stopped sending.
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(curl, CURLOPT_LOW_SPEED_TIME, limits.stallTimeSec);
    curl_easy_setopt(curl, CURLOPT_BUFFERSIZE, 64L * 1024);
    curl_easy_setopt(curl, CURLOPT_WRITEFUNCTION, &OnWrite);
    curl_easy_setopt(curl, CURLOPT_WRITEDATA, &t);
    curl_easy_setopt(curl, CURLOPT_XFERINFOFUNCTION, &OnProgress);
    curl_easy_setopt(curl, CURLOPT_XFERINFODATA, &t);
    curl_easy_setopt(curl, CURLOPT_NOPROGRESS, 0L);
}

} // namespace

bool HttpAvailable() {
    return true;
}

HttpResult HttpGet(const std::string& url, IHttpReceiver& receiver, const std::atomic<bool>* cancel,
                   const HttpLimits& limits) {
    GlobalInit();
    HttpResult result;
    const std::unique_ptr<CURL, decltype(&curl_easy_cleanup)> curl(curl_easy_init(),
                                                                   &curl_easy_cleanup);
    if (!curl) {
        result.errorText = "The HTTP library could not start a session.";
        return result;
    }
    Transfer t{curl.get(), receiver, cancel};
    char errorBuffer[CURL_ERROR_SIZE] = {};
    Configure(curl.get(), url, t, limits, errorBuffer);
    const CURLcode code = curl_easy_perform(curl.get());
    // A complete response without a body never reached the write function.
    if (code == CURLE_OK && !t.opened && !Open(t))
        t.stoppedByReceiver = true;
    result.opened = t.opened;
    if (code == CURLE_OK && !t.stoppedByReceiver) {
        result.outcome = HttpOutcome::Complete;
    } else if (t.stoppedByReceiver || code == CURLE_ABORTED_BY_CALLBACK) {
        result.outcome = HttpOutcome::Stopped;
    } else {
        result.outcome = HttpOutcome::Failed;
        result.errorText = errorBuffer[0] ? errorBuffer : curl_easy_strerror(code);
    }
    return result;
}

} // namespace vireo
