// A streaming HTTP GET for the update server. The build chooses the implementation: libcurl
// where it is available (it honours http_proxy, https_proxy and no_proxy), and otherwise one
// that fails every request with a plain reason, so that the rest of the web update compiles
// and behaves sanely in a build without an HTTP library.
//
// Threads: HttpGet may run on any thread; the receiver is called on the calling thread.
#pragma once

#include <atomic>
#include <cstddef>
#include <string>

namespace vireo {

struct HttpLimits {
    long connectTimeoutSec = 15; // name lookup and connect
    long stallTimeSec = 30;      // a body that delivers nothing for this long fails
};

class IHttpReceiver {
public:
    virtual ~IHttpReceiver() = default;
    // The response has begun: its status and the length the server announced (-1 when it
    // announced none). Called once, before the first OnData. false ends the transfer.
    virtual bool OnOpen(long status, long long length) = 0;
    // The next piece of the body, in whatever sizes the connection delivers. false ends it.
    virtual bool OnData(const char* data, size_t size) = 0;
};

enum class HttpOutcome {
    Complete, // the whole body was delivered (OnOpen was called)
    Failed,   // the request or the body failed; errorText says why
    Stopped,  // the receiver or the cancel flag ended it
};

struct HttpResult {
    HttpOutcome outcome = HttpOutcome::Failed;
    bool opened = false;   // OnOpen was called before the end
    std::string errorText; // the HTTP library's own text for a failure
};

// GETs url. cancel, when given, is checked during the whole transfer (connect included) and
// ends it within about a second of being set.
HttpResult HttpGet(const std::string& url, IHttpReceiver& receiver, const std::atomic<bool>* cancel,
                   const HttpLimits& limits = {});

// false in a build without an HTTP library.
bool HttpAvailable();

} // namespace vireo
