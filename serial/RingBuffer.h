// Receive ring of the serial link: an 8192-byte store that holds at most 8191 bytes (one
// slot always stays free) and never a zero byte, so that its content can always be taken as
// text. Every operation is atomic with respect to the others: the reader thread fills the
// ring while the GUI thread or a transfer thread empties or clears it.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <mutex>
#include <string>

class CRingBuffer {
public:
    static constexpr uint32_t kSize = 8192;

    CRingBuffer() { Clear(); }
    CRingBuffer(const CRingBuffer&) = delete;
    CRingBuffer& operator=(const CRingBuffer&) = delete;

    // Empties the ring and zeroes the whole store.
    void Clear();
    // Number of bytes held, 0..8191.
    uint32_t Count() const;
    // Stores one byte; 0 (and nothing changed) when the ring holds 8191 bytes.
    int Put(uint8_t byte);
    // Takes the oldest byte; 0 when the ring is empty.
    int Get(uint8_t& byte);

    // Stores one received chunk by the reader's rule: when the free space (8192 - Count) is
    // greater than the chunk's length, every non-zero byte is stored in order; otherwise the
    // ring is cleared and the chunk dropped as well. Returns the number of bytes stored.
    size_t PutBurst(const uint8_t* data, size_t length);
    // Appends everything held to text and empties the ring, as one step.
    void TakeAll(std::string& text);
    // Waits until the ring holds a byte or the time-out passes; true when a byte is held.
    bool WaitForData(std::chrono::milliseconds timeout) const;

private:
    uint32_t CountLocked() const { return (m_head - m_tail + kSize) % kSize; }
    void ClearLocked();

    uint8_t m_data[kSize];
    uint32_t m_head = 0;
    uint32_t m_tail = 0;
    mutable std::mutex m_lock;
    mutable std::condition_variable m_arrived;
};
