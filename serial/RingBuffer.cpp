#include "serial/RingBuffer.h"

#include <cstring>

void CRingBuffer::ClearLocked() {
    m_head = 0;
    m_tail = 0;
    std::memset(m_data, 0, sizeof(m_data));
}

void CRingBuffer::Clear() {
    std::lock_guard<std::mutex> guard(m_lock);
    ClearLocked();
}

uint32_t CRingBuffer::Count() const {
    std::lock_guard<std::mutex> guard(m_lock);
    return CountLocked();
}

int CRingBuffer::Put(uint8_t byte) {
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (CountLocked() == kSize - 1)
            return 0;
        m_data[m_head] = byte;
        m_head = (m_head + 1) % kSize;
    }
    m_arrived.notify_all();
    return 1;
}

int CRingBuffer::Get(uint8_t& byte) {
    std::lock_guard<std::mutex> guard(m_lock);
    if (CountLocked() == 0)
        return 0;
    byte = m_data[m_tail];
    m_tail = (m_tail + 1) % kSize;
    return 1;
}

size_t CRingBuffer::PutBurst(const uint8_t* data, size_t length) {
    size_t stored = 0;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (kSize - CountLocked() > length) {
            for (size_t i = 0; i < length; ++i) {
                if (data[i] == 0)
                    continue;
                m_data[m_head] = data[i];
                m_head = (m_head + 1) % kSize;
                ++stored;
            }
        } else {
            ClearLocked();
        }
    }
    if (stored > 0)
        m_arrived.notify_all();
    return stored;
}

void CRingBuffer::TakeAll(std::string& text) {
    std::lock_guard<std::mutex> guard(m_lock);
    while (m_tail != m_head) {
        text.push_back(static_cast<char>(m_data[m_tail]));
        m_tail = (m_tail + 1) % kSize;
    }
}

bool CRingBuffer::WaitForData(std::chrono::milliseconds timeout) const {
    std::unique_lock<std::mutex> guard(m_lock);
    return m_arrived.wait_for(guard, timeout, [this] { return CountLocked() > 0; });
}
