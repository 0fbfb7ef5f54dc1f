#include "tests/support/HttpTestServer.h"

#include <arpa/inet.h>
#include <cstdlib>
#include <netinet/in.h>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <unistd.h>

namespace vireo::test {

namespace {

constexpr char kBasePath[] = "/download/software/vireo_manager/";

bool SendAll(int fd, const char* data, size_t size) {
    while (size > 0) {
        const ssize_t n = send(fd, data, size, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

// The request line's path, once the whole head has arrived; empty when the client gave up.
std::string ReadRequestPath(int fd) {
    std::string head;
    char buffer[1024];
    while (head.find("\r\n\r\n") == std::string::npos && head.size() < 65536) {
        const ssize_t n = recv(fd, buffer, sizeof(buffer), 0);
        if (n <= 0)
            return {};
        head.append(buffer, static_cast<size_t>(n));
    }
    const size_t start = head.find(' ');
    const size_t end = head.find(' ', start + 1);
    return start == std::string::npos || end == std::string::npos
               ? std::string()
               : head.substr(start + 1, end - start - 1);
}

const char* Reason(int status) {
    return status == 200 ? "OK" : status == 404 ? "Not Found" : "Error";
}

} // namespace

CHttpTestServer::CHttpTestServer() {
    m_listen = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = 0; // a free port, chosen by the system
    socklen_t length = sizeof(address);
    if (m_listen < 0 || bind(m_listen, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        listen(m_listen, 16) != 0 ||
        getsockname(m_listen, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        pipe(m_wake) != 0)
        throw std::runtime_error("the test HTTP server cannot listen");
    m_port = ntohs(address.sin_port);
    m_thread = std::thread([this] { Serve(); });
}

CHttpTestServer::~CHttpTestServer() {
    (void)!write(m_wake[1], "x", 1);
    m_thread.join();
    close(m_listen);
    close(m_wake[0]);
    close(m_wake[1]);
}

std::string CHttpTestServer::HostPort() const {
    return "127.0.0.1:" + std::to_string(m_port);
}

std::string CHttpTestServer::BaseAddress() const {
    return "http://" + HostPort() + kBasePath;
}

void CHttpTestServer::Set(const std::string& path, HttpReply reply) {
    const std::lock_guard<std::mutex> guard(m_lock);
    m_replies[path] = std::move(reply);
}

void CHttpTestServer::SetFile(const std::string& name, HttpReply reply) {
    Set(kBasePath + name, std::move(reply));
}

std::vector<std::string> CHttpTestServer::Requests() const {
    const std::lock_guard<std::mutex> guard(m_lock);
    return m_requests;
}

void CHttpTestServer::Serve() {
    for (;;) {
        pollfd fds[2] = {{m_listen, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (poll(fds, 2, -1) < 0)
            continue;
        if (fds[1].revents)
            return;
        const int client = accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0)
            continue;
        Answer(client);
        close(client);
    }
}

void CHttpTestServer::Answer(int client) {
    const std::string path = ReadRequestPath(client);
    if (path.empty())
        return;
    HttpReply reply;
    {
        const std::lock_guard<std::mutex> guard(m_lock);
        m_requests.push_back(path);
        const auto found = m_replies.find(path);
        if (found != m_replies.end())
            reply = found->second;
        else
            reply = {404, "<html><body><h1>404 Not Found</h1></body></html>\n"};
    }
    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " + Reason(reply.status) +
                       "\r\nContent-Type: application/octet-stream\r\nConnection: close\r\n";
    if (reply.announcedLength != -1)
        head +=
            "Content-Length: " +
            std::to_string(reply.announcedLength == -2 ? static_cast<long long>(reply.body.size())
                                                       : reply.announcedLength) +
            "\r\n";
    head += "\r\n";
    const size_t sent =
        reply.stallAfter < 0 ? reply.body.size() : static_cast<size_t>(reply.stallAfter);
    if (!SendAll(client, head.data(), head.size()) || !SendAll(client, reply.body.data(), sent))
        return;
    if (reply.stallAfter < 0)
        return;
    // Stalled: keep the connection open and silent until the client gives up or the server
    // is stopped.
    pollfd fds[2] = {{client, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
    char sink[256];
    while (poll(fds, 2, -1) >= 0 && !fds[1].revents) {
        if (recv(client, sink, sizeof(sink), 0) <= 0)
            return;
    }
}

CUpdateHostOverride::CUpdateHostOverride(const std::string& hostPort) {
    if (const char* previous = std::getenv("VIREO_UPDATE_HOST")) {
        m_previous = previous;
        m_hadPrevious = true;
    }
    setenv("VIREO_UPDATE_HOST", hostPort.c_str(), 1);
}

CUpdateHostOverride::~CUpdateHostOverride() {
    if (m_hadPrevious)
        setenv("VIREO_UPDATE_HOST", m_previous.c_str(), 1);
    else
        unsetenv("VIREO_UPDATE_HOST");
}

} // namespace vireo::test
