#include "serial/RingBuffer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

// The ring is filled after its indices went round once, so that its head wraps before its tail.
TEST(RingBuffer, AFullRingRefusesAndKeepsOrderAcrossTheWrap) {
    CRingBuffer ring;
    uint8_t b = 0;
    for (int i = 0; i < 8000; ++i) {
        ring.Put('x');
        ring.Get(b);
    }
    for (uint32_t i = 0; i < CRingBuffer::kSize - 1; ++i)
        ASSERT_EQ(1, ring.Put(static_cast<uint8_t>('a' + i % 26)));
    EXPECT_EQ(0, ring.Put('X'));
    EXPECT_EQ(8191u, ring.Count());
    std::string text;
    ring.TakeAll(text);
    ASSERT_EQ(8191u, text.size());
    EXPECT_EQ("abcdefghij", text.substr(0, 10)); // the refused byte overwrote nothing
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

} // namespace
