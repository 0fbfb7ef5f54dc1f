#include "serial/RingBuffer.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

TEST(RingBuffer, FullRingRefusesAndStaysUnchanged) {
    CRingBuffer ring;
    for (uint32_t i = 0; i < CRingBuffer::kSize - 1; ++i)
        ASSERT_EQ(1, ring.Put(static_cast<uint8_t>('a' + i % 26)));
    EXPECT_EQ(0, ring.Put('X'));
    EXPECT_EQ(8191u, ring.Count());
    uint8_t first = 0;
    ASSERT_EQ(1, ring.Get(first));
    EXPECT_EQ('a', first); // the refused byte did not overwrite the oldest one
}

TEST(RingBuffer, CountStaysRightWhenIndicesWrap) {
    CRingBuffer ring;
    uint8_t b = 0;
    for (int i = 0; i < 8000; ++i) {
        ring.Put('x');
        ring.Get(b);
    }
    for (int i = 0; i < 500; ++i)
        ring.Put(static_cast<uint8_t>('0' + i % 10));
    EXPECT_EQ(500u, ring.Count()); // head has wrapped past 8191, tail has not
    std::string text;
    ring.TakeAll(text);
    ASSERT_EQ(500u, text.size());
    EXPECT_EQ("0123456789", text.substr(0, 10));
    EXPECT_EQ(0, ring.Get(b));
}

// Zero bytes never enter; a burst that does not fit empties the ring and is dropped too.
TEST(RingBuffer, BurstsDropZeroBytesAndAnOverflowEmptiesTheRing) {
    CRingBuffer ring;
    const uint8_t zeros[] = {'A', 0, 'B', 0, 0, 'C'};
    EXPECT_EQ(3u, ring.PutBurst(zeros, sizeof(zeros)));
    std::string text;
    ring.TakeAll(text);
    EXPECT_EQ("ABC", text);
    std::vector<uint8_t> held(8000, 'h'), chunk(192, 'c');
    ASSERT_EQ(8000u, ring.PutBurst(held.data(), held.size()));
    EXPECT_EQ(0u, ring.PutBurst(chunk.data(), chunk.size())); // 192 free: one too few
    EXPECT_EQ(0u, ring.Count());
    ring.PutBurst(held.data(), held.size());
    EXPECT_EQ(191u, ring.PutBurst(chunk.data(), 191));
    EXPECT_EQ(8191u, ring.Count());
}

// One producer bursts while a consumer takes and clears: no byte is duplicated or
// reordered, and the indices stay consistent.
TEST(RingBuffer, ConcurrentBurstsTakesAndClearsStayConsistent) {
    CRingBuffer ring;
    std::thread producer([&] {
        uint8_t chunk[64];
        for (int round = 0; round < 2000; ++round) {
            for (int i = 0; i < 64; ++i)
                chunk[i] = static_cast<uint8_t>('a' + i % 26);
            ring.PutBurst(chunk, sizeof(chunk));
        }
    });
    std::string taken;
    for (int i = 0; i < 2000; ++i) {
        ring.TakeAll(taken);
        if (i % 100 == 0)
            ring.Clear();
        EXPECT_LE(ring.Count(), 8191u);
    }
    producer.join();
    ring.TakeAll(taken);
    for (char c : taken)
        ASSERT_TRUE(c >= 'a' && c <= 'z');
}

} // namespace
