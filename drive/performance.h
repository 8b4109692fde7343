// The speeds a drive offers for the disc it holds, from GET PERFORMANCE data.
#pragma once

#include <cstddef>
#include <vector>

// The two kinds of performance data the program asks for.
enum class PerformanceType {
    Nominal = 0x00,     // 16-byte descriptors: start LBA, start performance, end LBA, end performance
    WriteSpeed = 0x03,  // 16-byte descriptors: flags, end LBA (bytes 4-7), read speed (8-11), write speed (12-15)
};

// The read speeds in KB/s that the data lists, distinct and fastest first:
// the read speed of each write speed descriptor, or the start and end
// performance of each nominal one. The 8-byte header's length (bytes 0-3,
// the bytes after itself) counts only as far as the data goes, and only
// whole descriptors are read; a descriptor whose end LBA is 0 describes no
// disc and is passed over, as is a speed of 0. Empty when nothing is left.
std::vector<unsigned> performanceSpeeds(const unsigned char* data, size_t length, PerformanceType type);
