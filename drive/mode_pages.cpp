#include "drive/mode_pages.h"

#include "drive/byte_order.h"

namespace {

const size_t MODE_HEADER_LENGTH = 8;

// Where a value at `offset` of the common layout lies in this data, shifted
// past the block descriptors; false when the data does not hold it.
bool locate(const unsigned char* data, size_t length, size_t offset, size_t width, size_t& at)
{
    if (data == nullptr)
        return false;
    at = offset + modeBlockDescriptorLength(data, length);
    return length >= width && at <= length - width;
}

}  // namespace

size_t modeBlockDescriptorLength(const unsigned char* data, size_t length)
{
    if (data == nullptr || length < MODE_HEADER_LENGTH)
        return 0;
    return readBigEndian16(data + 6);
}

int modePageCode(const unsigned char* data, size_t length)
{
    size_t at;
    if (!locate(data, length, MODE_HEADER_LENGTH, 1, at))
        return -1;
    return data[at] & 0x3F;
}

int modeCurrentSpeed(const unsigned char* data, size_t length)
{
    size_t at;
    if (!locate(data, length, MODE_OFFSET_CURRENT_SPEED, 2, at))
        return 0;
    return static_cast<int>(readBigEndian16(data + at));
}

int modeMaxSpeed(const unsigned char* data, size_t length)
{
    size_t at;
    if (!locate(data, length, MODE_OFFSET_MAX_SPEED, 2, at))
        return 0;
    return static_cast<int>(readBigEndian16(data + at));
}

int modeLockByte(const unsigned char* data, size_t length)
{
    size_t at;
    if (!locate(data, length, MODE_OFFSET_LOCK, 1, at))
        return -1;
    return data[at];
}

int modeSpindownByte(const unsigned char* data, size_t length)
{
    size_t at;
    if (!locate(data, length, MODE_OFFSET_SPINDOWN, 1, at))
        return 0xFF;
    return data[at];
}

int modeReadCapabilities(const unsigned char* data, size_t length)
{
    size_t at;
    if (modePageCode(data, length) != 0x2A || !locate(data, length, MODE_HEADER_LENGTH + 2, 1, at))
        return -1;
    return data[at];
}

long modeStandbyTimer(const unsigned char* data, size_t length)
{
    size_t flags, timer;
    if (modePageCode(data, length) != 0x1A || !locate(data, length, MODE_HEADER_LENGTH + 3, 1, flags) ||
        !locate(data, length, MODE_HEADER_LENGTH + 8, 4, timer))
        return -1;
    if ((data[flags] & 0x01) == 0)
        return 0;
    return static_cast<long>(readBigEndian32(data + timer));
}
