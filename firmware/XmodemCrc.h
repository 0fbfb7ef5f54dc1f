// CRC-16 of the image blocks (polynomial 0x1021, initial value 0, not reflected, no final
// XOR; "123456789" gives 0x31C3), computed through a 256-entry table that the owner of a
// transfer builds before it starts.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

using CrcTable = std::array<uint16_t, 256>;

void BuildCrcTable(CrcTable& table);
uint16_t BlockCrc(const CrcTable& table, const uint8_t* data, size_t length);
