#include "firmware/XmodemCrc.h"

void BuildCrcTable(CrcTable& table) {
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t v = i << 8;
        for (int bit = 0; bit < 8; ++bit) {
            v <<= 1;
            if (v & 0x10000)
                v ^= 0x1021;
        }
        table[i] = static_cast<uint16_t>(v & 0xFFFF);
    }
}

uint16_t BlockCrc(const CrcTable& table, const uint8_t* data, size_t length) {
    uint16_t crc = 0;
    for (size_t i = 0; i < length; ++i)
        crc = static_cast<uint16_t>(table[((crc >> 8) ^ data[i]) & 0xFF] ^ (crc << 8));
    return crc;
}
