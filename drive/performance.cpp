#include "drive/performance.h"

#include <algorithm>

#include "drive/byte_order.h"

namespace {

const size_t kHeaderLength = 8;
const size_t kDescriptorLength = 16;

void addSpeed(std::vector<unsigned>& speeds, unsigned long kbps)
{
    if (kbps != 0 && std::find(speeds.begin(), speeds.end(), kbps) == speeds.end())
        speeds.push_back(static_cast<unsigned>(kbps));
}

}  // namespace

std::vector<unsigned> performanceSpeeds(const unsigned char* data, size_t length, PerformanceType type)
{
    std::vector<unsigned> speeds;
    if (data == nullptr || length < kHeaderLength)
        return speeds;
    // The data ends where the header says or where the reply ends, whichever comes first.
    const unsigned long announced = readBigEndian32(data);
    const size_t end = announced < length - 4 ? static_cast<size_t>(announced) + 4 : length;
    for (size_t at = kHeaderLength; at + kDescriptorLength <= end; at += kDescriptorLength) {
        const unsigned char* d = data + at;
        if (type == PerformanceType::WriteSpeed) {
            if (readBigEndian32(d + 4) != 0)
                addSpeed(speeds, readBigEndian32(d + 8));
        } else if (readBigEndian32(d + 8) != 0) {
            addSpeed(speeds, readBigEndian32(d + 12));
            addSpeed(speeds, readBigEndian32(d + 4));
        }
    }
    std::sort(speeds.begin(), speeds.end(), [](unsigned a, unsigned b) { return a > b; });
    return speeds;
}
