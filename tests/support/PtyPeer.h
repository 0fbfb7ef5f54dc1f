// A scripted peer on the master side of a pseudo-terminal whose slave is registered as
// COM<n> in a private port directory. It records every byte the tool writes and can answer
// each received line through a responder.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace vireo::test {

// Points VIREO_PORT_DIR at a fresh temporary directory for the lifetime of the object, and
// keeps real serial devices out of the port map meanwhile.
class CTempPortDir {
public:
    CTempPortDir();
    ~CTempPortDir();
    const std::string& Path() const { return m_path; }

private:
    std::string m_path;
    std::string m_previous;
    bool m_hadPrevious = false;
};

class CPtyPeer {
public:
    // Given one received line (without its CR/LF), returns the bytes to send back.
    using Responder = std::function<std::string(const std::string& line)>;

    explicit CPtyPeer(int comNumber = 1);
    ~CPtyPeer();

    const std::string& SlavePath() const { return m_slavePath; }
    int ComNumber() const { return m_comNumber; }

    void SetResponder(Responder responder);
    // Sends bytes to the tool now.
    void Send(const std::string& bytes);
    // Everything the tool wrote so far.
    std::string Received() const;
    void ClearReceived();
    // Waits until the received bytes contain needle; false after the time-out.
    bool WaitForReceived(const std::string& needle, int timeoutMs = 5000) const;
    // Closes the master: the tool's side sees a hang-up.
    void HangUp();
    // Hangs up right after answering the given line.
    void HangUpAfter(const std::string& line);

private:
    void Run();

    int m_comNumber;
    int m_master = -1;
    int m_ownSlave = -1;
    int m_wake[2] = {-1, -1};
    std::string m_slavePath;
    std::string m_link;
    std::thread m_thread;
    mutable std::mutex m_lock;
    mutable std::condition_variable m_changed;
    std::string m_received;
    std::string m_line;
    Responder m_responder;
    std::string m_hangUpAfter;
};

} // namespace vireo::test
