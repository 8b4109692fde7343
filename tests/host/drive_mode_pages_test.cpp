// Values read from MODE SENSE(10) data at their fixed offsets.
#include <gtest/gtest.h>

#include <vector>

#include "drive/mode_pages.h"

namespace {

// 256 bytes as the drive commands receive them: 8-byte header, page 0x2A.
std::vector<unsigned char> capabilitiesPage()
{
    std::vector<unsigned char> d(256, 0);
    d[1] = 0x22;  // mode data length
    d[8] = 0x2A;
    d[9] = 0x18;
    d[14] = 0x03;              // lock supported, locked
    d[16] = 0x1B, d[17] = 0x90; // maximum 7056
    d[22] = 0x05, d[23] = 0x83; // current 1411
    return d;
}

TEST(ModePages, CapabilitiesValuesAreBigEndianAtFixedOffsets)
{
    std::vector<unsigned char> d = capabilitiesPage();
    EXPECT_EQ(modeCurrentSpeed(d.data(), d.size()), 1411);
    EXPECT_EQ(modeMaxSpeed(d.data(), d.size()), 7056);
    EXPECT_EQ(modeLockByte(d.data(), d.size()), 0x03);
    d[22] = 0xFF, d[23] = 0xFF;
    d[14] = 0xFE;
    EXPECT_EQ(modeCurrentSpeed(d.data(), d.size()), 65535);
    EXPECT_EQ(modeLockByte(d.data(), d.size()), 0xFE) << "the whole byte is returned";
}

TEST(ModePages, ValuesFollowTheBlockDescriptors)
{
    // A drive that puts an 8-byte block descriptor before the page: every
    // value moves 8 bytes on; a bogus descriptor length that points past
    // the data gives the failure values instead of a read out of bounds.
    std::vector<unsigned char> d(256, 0);
    d[7] = 8;
    d[8] = 0x00, d[9] = 0x00, d[10] = 0x08;  // descriptor bytes
    d[11] = 0x44;
    d[14] = 0x21;
    d[19] = 0x0A;
    d[22] = 0x03;
    d[24] = 0x1B, d[25] = 0x90;
    d[30] = 0x05, d[31] = 0x83;
    EXPECT_EQ(modeBlockDescriptorLength(d.data(), d.size()), 8u);
    EXPECT_EQ(modeSpindownByte(d.data(), d.size()), 0x0A);
    EXPECT_EQ(modeLockByte(d.data(), d.size()), 0x03);
    EXPECT_EQ(modeMaxSpeed(d.data(), d.size()), 7056);
    EXPECT_EQ(modeCurrentSpeed(d.data(), d.size()), 1411);

    d[6] = 0xFF, d[7] = 0xF0;
    EXPECT_EQ(modeSpindownByte(d.data(), d.size()), 0xFF);
    EXPECT_EQ(modeLockByte(d.data(), d.size()), -1);
    EXPECT_EQ(modeMaxSpeed(d.data(), d.size()), 0);
    EXPECT_EQ(modeCurrentSpeed(d.data(), d.size()), 0);
}

TEST(ModePages, SpindownByteIsNotMasked)
{
    std::vector<unsigned char> d(256, 0);
    d[8] = 0x0D;
    d[11] = 0x1A;
    EXPECT_EQ(modeSpindownByte(d.data(), d.size()), 0x1A);
}

TEST(ModePages, DataTooShortGivesTheFailureValues)
{
    struct Row {
        size_t length;  // first length that holds the value
        int (*read)(const unsigned char*, size_t);
        int failure;
        const char* what;
    };
    const Row rows[] = {
        {24, modeCurrentSpeed, 0, "current speed"},
        {18, modeMaxSpeed, 0, "maximum speed"},
        {15, modeLockByte, -1, "lock byte"},
        {12, modeSpindownByte, 0xFF, "spin-down byte"},
    };
    std::vector<unsigned char> full = capabilitiesPage();
    full[11] = 0x07;
    for (const Row& r : rows) {
        for (size_t length = 0; length < r.length; ++length) {
            // Exactly `length` bytes, so that any read past them is caught.
            std::vector<unsigned char> d(full.begin(), full.begin() + static_cast<long>(length));
            EXPECT_EQ(r.read(d.data(), d.size()), r.failure) << r.what << ", length " << length;
        }
        std::vector<unsigned char> d(full.begin(), full.begin() + static_cast<long>(r.length));
        EXPECT_NE(r.read(d.data(), d.size()), r.failure) << r.what << ", length " << r.length;
        EXPECT_EQ(r.read(nullptr, 256), r.failure) << r.what << ", no data";
    }
}

}  // namespace
