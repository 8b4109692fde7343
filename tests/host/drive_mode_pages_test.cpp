// Values read from MODE SENSE(10) data at their offsets, with and without
// block descriptors. Data too short for a value is the fuzz target's.
#include <gtest/gtest.h>

#include <vector>

#include "drive/mode_pages.h"

namespace {

typedef int (*Reader)(const unsigned char*, size_t);

TEST(ModePages, ValuesAreBigEndianAndWholeBytes)
{
    std::vector<unsigned char> d(256, 0);
    d[8] = 0x2A;
    d[11] = 0x1A;                // spin-down, high bits kept (page 0x0D layout)
    d[14] = 0xFE;                // lock byte, all of it
    d[16] = 0x1B, d[17] = 0x90;  // maximum 7056
    d[22] = 0xFF, d[23] = 0xFF;  // current 65535
    EXPECT_EQ(modeCurrentSpeed(d.data(), d.size()), 65535);
    EXPECT_EQ(modeMaxSpeed(d.data(), d.size()), 7056);
    EXPECT_EQ(modeLockByte(d.data(), d.size()), 0xFE);
    EXPECT_EQ(modeSpindownByte(d.data(), d.size()), 0x1A);
    const struct {
        Reader read;
        int failure;
    } readers[] = {{modeCurrentSpeed, 0}, {modeMaxSpeed, 0}, {modeLockByte, -1}, {modeSpindownByte, 0xFF}};
    for (const auto& r : readers)
        EXPECT_EQ(r.read(nullptr, 256), r.failure) << "no data";
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

}  // namespace
