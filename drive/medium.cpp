#include "drive/medium.h"

#include "drive/byte_order.h"

namespace {

const size_t kHeaderLength = 8;
// The header's length field counts the bytes after itself (bytes 4 on).
const size_t kLengthFieldEnd = 4;

}  // namespace

int currentProfile(const unsigned char* data, size_t length)
{
    if (data == nullptr || length < kHeaderLength)
        return -1;
    const unsigned long announced = readBigEndian32(data);
    if (announced < kHeaderLength - kLengthFieldEnd)
        return -1;
    return static_cast<int>(readBigEndian16(data + 6));
}

MediumKind mediumKindOfProfile(int profile)
{
    if (profile >= 0x08 && profile <= 0x0A)
        return MediumKind::Cd;
    if ((profile >= 0x10 && profile <= 0x2B) || (profile >= 0x50 && profile <= 0x5A))
        return MediumKind::Dvd;
    if (profile >= 0x40 && profile <= 0x43)
        return MediumKind::Bd;
    return MediumKind::None;
}

int kbpsPerX(MediumKind kind)
{
    switch (kind) {
    case MediumKind::Dvd:
        return 1385;
    case MediumKind::Bd:
        return 4495;
    case MediumKind::None:
    case MediumKind::Cd:
        break;
    }
    return 176;
}
