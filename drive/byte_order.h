// Big-endian fields of SCSI command blocks and returned data.
#pragma once

#include <cstddef>

// The 16-bit value at p, most significant byte first.
inline unsigned readBigEndian16(const unsigned char* p)
{
    return (static_cast<unsigned>(p[0]) << 8) | p[1];
}

// Stores the low 16 bits of value at p, most significant byte first;
// higher bits are dropped.
inline void writeBigEndian16(unsigned char* p, unsigned value)
{
    p[0] = static_cast<unsigned char>((value >> 8) & 0xFF);
    p[1] = static_cast<unsigned char>(value & 0xFF);
}

// The 32-bit value at p, most significant byte first.
inline unsigned long readBigEndian32(const unsigned char* p)
{
    return (static_cast<unsigned long>(readBigEndian16(p)) << 16) | readBigEndian16(p + 2);
}

// Stores the low 32 bits of value at p, most significant byte first.
inline void writeBigEndian32(unsigned char* p, unsigned long value)
{
    writeBigEndian16(p, static_cast<unsigned>((value >> 16) & 0xFFFF));
    writeBigEndian16(p + 2, static_cast<unsigned>(value & 0xFFFF));
}
