// A small HTTP/1.1 server on the loopback interface for tests of the web update. It listens
// on a port the system picks, answers one request per connection from a table of scripted
// replies, and can misbehave on purpose: wrong status, a body shorter than its announced
// length, a stall in the middle of the body.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace vireo::test {

struct HttpReply {
    int status = 200;
    std::string body;
    long long announcedLength = -2; // -2: the body's size; -1: no Content-Length at all
    long long stallAfter = -1;      // send this many body bytes, then nothing until the end
};

class CHttpTestServer {
public:
    CHttpTestServer(); // starts listening and serving
    ~CHttpTestServer();
    CHttpTestServer(const CHttpTestServer&) = delete;
    CHttpTestServer& operator=(const CHttpTestServer&) = delete;

    int Port() const { return m_port; }
    // "127.0.0.1:<port>", for VIREO_UPDATE_HOST.
    std::string HostPort() const;
    // The base address "http://127.0.0.1:<port>/download/software/vireo_manager/".
    std::string BaseAddress() const;

    // The reply to a request for path (as it appears in the request line). Paths without a
    // reply get a 404 error page.
    void Set(const std::string& path, HttpReply reply);
    // Shorthand for a file under the update base path.
    void SetFile(const std::string& name, HttpReply reply);
    std::vector<std::string> Requests() const;

private:
    void Serve();
    void Answer(int client);

    int m_listen = -1;
    int m_wake[2] = {-1, -1};
    int m_port = 0;
    mutable std::mutex m_lock;
    std::map<std::string, HttpReply> m_replies;
    std::vector<std::string> m_requests;
    std::thread m_thread;
};

// Sets VIREO_UPDATE_HOST for the lifetime of the object, and restores it afterwards.
class CUpdateHostOverride {
public:
    explicit CUpdateHostOverride(const std::string& hostPort);
    ~CUpdateHostOverride();

private:
    std::string m_previous;
    bool m_hadPrevious = false;
};

} // namespace vireo::test
