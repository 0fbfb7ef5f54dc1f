#include "serial/Transcript.h"
#include "serial/TranscriptFormat.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace {

std::string WallClockNow() {
    const auto now = std::chrono::system_clock::now();
    const std::time_t seconds = std::chrono::system_clock::to_time_t(now);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch());
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &seconds);
#else
    localtime_r(&seconds, &local);
#endif
    char text[48];
    const size_t n = std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    std::snprintf(text + n, sizeof text - n, ".%03d", static_cast<int>(ms.count() % 1000));
    return text;
}

std::string Header(const std::string& program) {
    return "# Traffic transcript of " + program + "\n# Started " + WallClockNow() +
           " (local time); each record begins with the seconds since then.\n"
           "# -> sent to the module, <- received from it, == port event, -- transcript "
           "event\n";
}

std::mutex g_activeLock;
std::shared_ptr<CTranscript> g_active;
// Lets a port skip the lock while nothing records, which is nearly always.
std::atomic<bool> g_anyActive{false};

} // namespace

// The file of a transcript, written only by its writer thread.
class CTranscript::Writer {
public:
    explicit Writer(std::FILE* file) : m_file(file) {}
    ~Writer() { std::fclose(m_file); }
    Writer(const Writer&) = delete;
    Writer& operator=(const Writer&) = delete;

    // Appends whole records; false on a write error (LastError says which).
    bool Write(const std::string& text) {
        if (std::fwrite(text.data(), 1, text.size(), m_file) != text.size() ||
            std::fflush(m_file) != 0) {
            m_errno = errno;
            return false;
        }
        for (size_t pos = 0; (pos = text.find('\n', pos)) != std::string::npos;) {
            m_recordEnds.push_back(m_end + static_cast<int64_t>(++pos));
            if (m_recordEnds.size() > kKeptEnds)
                m_recordEnds.pop_front();
        }
        m_end += static_cast<int64_t>(text.size());
        return true;
    }
    std::string LastError() const { return std::strerror(m_errno); }

    // After a failed Write: drops the torn record and puts line in its place. A file size
    // limit or a full disk may leave no room for it there: then it goes back some whole
    // records further, so that the file still ends by saying why.
    void WriteCut(const std::string& line) {
        if (WriteAt(m_end, line))
            return;
        const int64_t room = static_cast<int64_t>(line.size());
        for (auto end = m_recordEnds.rbegin(); end != m_recordEnds.rend(); ++end) {
            if (*end + room <= m_end) {
                WriteAt(*end, line);
                return;
            }
        }
    }

private:
    static constexpr size_t kKeptEnds = 64;

    bool WriteAt(int64_t offset, const std::string& line) {
#ifdef _WIN32
        [[maybe_unused]] const int cut = _chsize_s(_fileno(m_file), offset);
#else
        [[maybe_unused]] const int cut = ftruncate(fileno(m_file), static_cast<off_t>(offset));
#endif
        std::clearerr(m_file);
        return std::fseek(m_file, static_cast<long>(offset), SEEK_SET) == 0 &&
               std::fwrite(line.data(), 1, line.size(), m_file) == line.size() &&
               std::fflush(m_file) == 0;
    }

    std::FILE* m_file;
    int m_errno = 0;
    int64_t m_end = 0; // where the last whole write ended
    std::deque<int64_t> m_recordEnds;
};

CTranscript::CTranscript(std::string path, size_t queueLimit)
    : m_path(std::move(path)), m_queueLimit(queueLimit) {}

CTranscript::~CTranscript() {
    Stop();
}

std::shared_ptr<CTranscript> CTranscript::Start(const std::string& path, const std::string& program,
                                                std::string& error, size_t queueLimit) {
    std::FILE* file = path.empty() ? nullptr : std::fopen(path.c_str(), "wb");
    if (!file) {
        error = std::strerror(path.empty() ? ENOENT : errno);
        return nullptr;
    }
    // Each batch goes out in one write with no buffer of stdio's: a failed write then leaves
    // nothing behind that a later write would add to the file.
    std::setvbuf(file, nullptr, _IONBF, 0);
    auto writer = std::make_unique<Writer>(file);
    std::shared_ptr<CTranscript> transcript(new CTranscript(path, queueLimit));
    try {
        transcript->m_thread = std::thread(&CTranscript::WriterThread, transcript.get(),
                                           std::move(writer), Header(program));
    } catch (const std::system_error& e) {
        error = e.what();
        return nullptr;
    }
    return transcript;
}

int64_t CTranscript::NowUs() const {
    return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() -
                                                                 m_start)
        .count();
}

void CTranscript::Push(Kind kind, int port, const char* bytes, size_t length) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (!m_recording || m_stopping)
            return;
        const int64_t at = NowUs();
        if (m_queuedBytes + length > m_queueLimit) {
            m_droppedBytes += length;
            return;
        }
        if (m_droppedBytes > 0) {
            m_queue.push_back({Kind::Note, 0, at,
                               std::to_string(m_droppedBytes) +
                                   " bytes not recorded (the transcript fell behind)"});
            m_droppedBytes = 0;
        }
        m_queue.push_back({kind, port, at, std::string(bytes, length)});
        m_queuedBytes += length;
        // The writer comes by itself every kWritePeriod: waking it for each record would
        // cost the line a thread switch per block. Only a large backlog calls it early.
        if (m_queuedBytes < kWakeBytes || m_queuedBytes - length >= kWakeBytes)
            return;
    }
    m_wake.notify_one();
}

void CTranscript::Sent(int port, const void* bytes, size_t length) {
    Push(Kind::Sent, port, static_cast<const char*>(bytes), length);
}

void CTranscript::Received(int port, const void* bytes, size_t length) {
    Push(Kind::Received, port, static_cast<const char*>(bytes), length);
}

void CTranscript::Note(int port, const std::string& text) {
    Push(Kind::Note, port, text.data(), text.size());
}

void CTranscript::Stop() {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (m_droppedBytes > 0 && !m_stopping) {
            m_queue.push_back(
                {Kind::Note, 0, NowUs(), std::to_string(m_droppedBytes) + " bytes not recorded"});
            m_droppedBytes = 0;
        }
        m_stopping = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable())
        m_thread.join();
}

bool CTranscript::Recording() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_recording && !m_stopping;
}

std::string CTranscript::Error() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return m_error;
}

bool CTranscript::TakeBatch(std::deque<Event>& batch) {
    std::unique_lock<std::mutex> guard(m_lock);
    m_wake.wait_for(guard, kWritePeriod,
                    [this] { return m_queuedBytes >= kWakeBytes || m_stopping; });
    batch.swap(m_queue);
    m_queuedBytes = 0;
    return !m_stopping;
}

void CTranscript::WriterThread(std::unique_ptr<Writer> writer, std::string header) {
    if (!writer->Write(header)) {
        Cut(*writer);
        return;
    }
    CTranscriptFormat format;
    std::string out;
    std::deque<Event> batch;
    for (bool more = true; more;) {
        more = TakeBatch(batch);
        for (const Event& e : batch) {
            const auto* bytes = reinterpret_cast<const uint8_t*>(e.bytes.data());
            if (e.kind == Kind::Sent)
                format.Sent(e.atUs, e.port, bytes, e.bytes.size(), out);
            else if (e.kind == Kind::Received)
                format.Received(e.atUs, e.port, bytes, e.bytes.size(), out);
            else
                format.Note(e.atUs, e.port, e.bytes, out);
        }
        batch.clear();
        format.Flush(NowUs(), !more, out);
        if (!more)
            format.Note(NowUs(), 0, "transcript ends", out);
        if (!out.empty() && !writer->Write(out)) {
            Cut(*writer);
            return;
        }
        out.clear();
    }
}

void CTranscript::Cut(Writer& writer) {
    const std::string why = writer.LastError();
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_recording = false;
        m_error = why;
        m_queue.clear();
        m_queuedBytes = 0;
    }
    writer.WriteCut(FormatTranscriptTime(NowUs()) + " -- transcript cut: " + why +
                    "; nothing after this was recorded\n");
}

void SetActiveTranscript(std::shared_ptr<CTranscript> transcript) {
    std::shared_ptr<CTranscript> previous;
    {
        std::lock_guard<std::mutex> guard(g_activeLock);
        previous = std::move(g_active);
        g_active = std::move(transcript);
        g_anyActive = g_active != nullptr;
    }
    // previous may be the last reference: its writer is joined here, outside the lock.
}

std::shared_ptr<CTranscript> ActiveTranscript() {
    if (!g_anyActive.load(std::memory_order_acquire))
        return nullptr;
    std::lock_guard<std::mutex> guard(g_activeLock);
    return g_active;
}
