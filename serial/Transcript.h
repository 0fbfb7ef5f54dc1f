// A traffic transcript: a file that records every byte the serial ports send and receive,
// with times and a readable rendering (see TranscriptFormat.h), so that a fault on the bench
// can be understood from the file alone.
//
// Recording never slows the line: Sent, Received and Note only copy the bytes into a queue;
// a writer thread of the transcript formats them and writes the file. When the writer falls
// behind by more than the queue limit, further bytes are dropped and the file says how many.
// When the file cannot be written (disk full, file size limit), recording stops, the session
// goes on, and the file's last line says that it was cut.
//
// Threads: Sent, Received, Note, Recording and Error may be called from any thread at any
// time, also during and after Stop. Start and Stop belong to the owner.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

class CTranscript {
public:
    static constexpr size_t kDefaultQueueLimit = size_t{4} << 20;

    // Creates (or empties) the file at path and starts recording; program (name and version)
    // goes into the file's header. nullptr when the file cannot be created, with the reason
    // in error.
    static std::shared_ptr<CTranscript> Start(const std::string& path, const std::string& program,
                                              std::string& error,
                                              size_t queueLimit = kDefaultQueueLimit);
    ~CTranscript();
    CTranscript(const CTranscript&) = delete;
    CTranscript& operator=(const CTranscript&) = delete;

    // port is n of COM<n> (0: none).
    void Sent(int port, const void* bytes, size_t length);
    void Received(int port, const void* bytes, size_t length);
    void Note(int port, const std::string& text);
    // Writes what is queued and a closing line, and closes the file. Later records are
    // ignored. Idempotent.
    void Stop();

    // False once stopped or cut.
    bool Recording() const;
    // Why the file was cut; empty while it was not.
    std::string Error() const;
    const std::string& Path() const { return m_path; }

private:
    enum class Kind { Sent, Received, Note };
    struct Event {
        Kind kind;
        int port;
        int64_t atUs;
        std::string bytes;
    };
    class Writer;

    CTranscript(std::string path, size_t queueLimit);
    void Push(Kind kind, int port, const char* bytes, size_t length);
    int64_t NowUs() const;
    void WriterThread(std::unique_ptr<Writer> writer, std::string header);
    // After a write error: stops recording and ends the file with a line that says why.
    void Cut(Writer& writer);
    // Waits for the next write period (or a large backlog, or Stop) and takes the queued
    // events; false once stopping.
    bool TakeBatch(std::deque<Event>& batch);

    // The writer writes what has come every period; it is shorter than the gap that ends a
    // held record, so that such a record is written soon after its gap.
    static constexpr std::chrono::milliseconds kWritePeriod{50};
    static constexpr size_t kWakeBytes = 64 * 1024;

    const std::string m_path;
    const size_t m_queueLimit;
    const std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    mutable std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<Event> m_queue;
    size_t m_queuedBytes = 0;
    uint64_t m_droppedBytes = 0;
    bool m_stopping = false;
    bool m_recording = true;
    std::string m_error;
    std::thread m_thread;
};

// The transcript that every CSerialPort records into; nullptr for none. Any thread.
void SetActiveTranscript(std::shared_ptr<CTranscript> transcript);
std::shared_ptr<CTranscript> ActiveTranscript();
