#include "tests/support/PtyPeer.h"
#include "platform/PortMap.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <poll.h>
#include <stdexcept>
#include <termios.h>
#include <unistd.h>

namespace vireo::test {

CTempPortDir::CTempPortDir() {
    if (const char* prev = std::getenv("VIREO_PORT_DIR")) {
        m_previous = prev;
        m_hadPrevious = true;
    }
    char templ[] = "/tmp/vireo-ports-XXXXXX";
    if (!mkdtemp(templ))
        throw std::runtime_error("mkdtemp failed");
    m_path = templ;
    setenv("VIREO_PORT_DIR", m_path.c_str(), 1);
    setenv("VIREO_REGISTERED_PORTS_ONLY", "1", 1);
}

CTempPortDir::~CTempPortDir() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
    if (m_hadPrevious)
        setenv("VIREO_PORT_DIR", m_previous.c_str(), 1);
    else
        unsetenv("VIREO_PORT_DIR");
    unsetenv("VIREO_REGISTERED_PORTS_ONLY");
}

CPtyPeer::CPtyPeer(int comNumber) : m_comNumber(comNumber) {
    m_master = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
        throw std::runtime_error("cannot open a pseudo-terminal");
    m_slavePath = ptsname(m_master);
    // Keeping a slave open ourselves means the master never sees a hang-up when the tool
    // closes and reopens its port.
    m_ownSlave = ::open(m_slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    termios t{};
    tcgetattr(m_ownSlave, &t);
    cfmakeraw(&t);
    tcsetattr(m_ownSlave, TCSANOW, &t);
    fcntl(m_master, F_SETFL, fcntl(m_master, F_GETFL) | O_NONBLOCK);
    if (pipe(m_wake) != 0)
        throw std::runtime_error("pipe failed");
    std::filesystem::create_directories(vireo::PortDirectory());
    m_link = vireo::PortDirectory() + "/" + vireo::PortName(comNumber);
    std::filesystem::remove(m_link);
    std::filesystem::create_symlink(m_slavePath, m_link);
    m_thread = std::thread(&CPtyPeer::Run, this);
}

CPtyPeer::~CPtyPeer() {
    [[maybe_unused]] ssize_t n = ::write(m_wake[1], "x", 1);
    m_thread.join();
    std::error_code ec;
    std::filesystem::remove(m_link, ec);
    for (int fd : {m_master, m_ownSlave, m_wake[0], m_wake[1]})
        if (fd >= 0)
            ::close(fd);
}

void CPtyPeer::SetResponder(Responder responder) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_responder = std::move(responder);
}

void CPtyPeer::Send(const std::string& bytes) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_master >= 0 && !bytes.empty()) [[maybe_unused]]
        ssize_t n = ::write(m_master, bytes.data(), bytes.size());
}

std::string CPtyPeer::Received() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_received;
}

void CPtyPeer::ClearReceived() {
    std::lock_guard<std::mutex> guard(m_lock);
    m_received.clear();
}

bool CPtyPeer::WaitForReceived(const std::string& needle, int timeoutMs) const {
    std::unique_lock<std::mutex> guard(m_lock);
    return m_changed.wait_for(guard, std::chrono::milliseconds(timeoutMs),
                              [&] { return m_received.find(needle) != std::string::npos; });
}

void CPtyPeer::HangUp() {
    std::lock_guard<std::mutex> guard(m_lock);
    if (m_ownSlave >= 0)
        ::close(m_ownSlave);
    m_ownSlave = -1;
    if (m_master >= 0)
        ::close(m_master);
    m_master = -1;
}

void CPtyPeer::HangUpAfter(const std::string& line) {
    std::lock_guard<std::mutex> guard(m_lock);
    m_hangUpAfter = line;
}

void CPtyPeer::Run() {
    char buf[4096];
    for (;;) {
        int master;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            master = m_master;
        }
        pollfd fds[2] = {{master, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        // A master with no slave open reports POLLHUP; wait briefly instead of spinning.
        if (poll(fds, 2, 50) < 0 && errno != EINTR)
            return;
        if (fds[1].revents)
            return;
        if (!(fds[0].revents & POLLIN))
            continue;
        const ssize_t n = ::read(master, buf, sizeof(buf));
        if (n <= 0)
            continue;
        std::string reply;
        bool hangUp = false;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            m_received.append(buf, static_cast<size_t>(n));
            for (ssize_t i = 0; i < n; ++i) {
                const char c = buf[i];
                if (c == '\r' || c == '\n') {
                    if (!m_line.empty() && m_responder)
                        reply += m_responder(m_line);
                    hangUp = hangUp || (!m_line.empty() && m_line == m_hangUpAfter);
                    m_line.clear();
                } else {
                    m_line.push_back(c);
                }
            }
        }
        m_changed.notify_all();
        Send(reply);
        if (hangUp)
            HangUp();
    }
}

} // namespace vireo::test
