// The drive layer's pure functions: INQUIRY names, MODE SENSE(10) values, sense data, speed
// conversion, spin-down names. Short data and writes past the name are the fuzz targets'.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "drive/conversions.h"
#include "drive/identity.h"
#include "drive/inquiry.h"
#include "drive/medium.h"
#include "drive/mode_pages.h"
#include "drive/performance.h"
#include "drive/sense.h"

namespace {

typedef std::vector<unsigned char> Bytes;

// Vendor, product and revision at their full widths (8, 16, 4): fields lose trailing
// blanks, and zero bytes, which pad like blanks in every field; they keep everything else.
TEST(InquiryName, FieldsLoseTrailingBlanksOnly)
{
    const struct { std::string vendor, product, revision, expected; } rows[] = {
        /* 0 */ {"        ", "                ", "    ", "  "},
        /* 1 */ {"  AB    ", " CD  ROM        ", " 1  ", "  AB  CD  ROM  1"},
        /* 2 */ {"\xB9\xE2\xC7\xFD    ", "DRIVE\t          ", "1\t  ", "\xB9\xE2\xC7\xFD DRIVE\t 1\t"},
        /* 3 */ {std::string("AB\0\0\0\0\0\0", 8), std::string("X\0 Y\0\0\0\0\0\0\0\0\0\0\0\0", 16), std::string("1\0\0\0", 4), "AB X  Y 1"},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        Bytes data(96, 'Z');  // bytes past the revision do not count
        std::memcpy(&data[8], (rows[i].vendor + rows[i].product + rows[i].revision).data(), 28);
        char out[DRIVE_NAME_MAX + 1] = {};
        size_t n = buildDriveName(data.data(), data.size(), out);
        EXPECT_EQ(std::string(out, n), rows[i].expected) << "row " << i;
    }
}

// Page 0x2A (lock byte 6, maximum speed 8-9, current 14-15) or 0x0D
// (spin-down byte 3) after the 8-byte header and the block descriptors.
TEST(ModePages, BigEndianValuesAfterTheBlockDescriptors)
{
    const struct { unsigned descriptors; int current, maximum, lock, spindown; } rows[] = {  // descriptors: bytes 6-7
        {0, 65535, 7056, 0xFE, 0x1A}, {8, 1411, 7056, 0x03, 0x0A},
        {0x108, 0x1234, 0x5678, 0x21, 0x44},  // the high byte of the length counts
        {0xFFF0, 0, 0, -1, 0xFF},             // a length past the data: the failure values
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        const auto& r = rows[i];
        Bytes d(512, 0);
        auto put16 = [&](size_t at, unsigned v) {
            d[at] = static_cast<unsigned char>(v >> 8);
            d[at + 1] = static_cast<unsigned char>(v);
        };
        put16(6, r.descriptors);
        const size_t p = 8 + (r.descriptors < 0x1000 ? r.descriptors : 0);
        if (r.lock >= 0) {
            d[p + 3] = static_cast<unsigned char>(r.spindown);
            d[p + 6] = static_cast<unsigned char>(r.lock);
            put16(p + 8, r.maximum);
            put16(p + 14, r.current);
        }
        const std::vector<int> got = {int(modeBlockDescriptorLength(d.data(), d.size())),
                                      modeCurrentSpeed(d.data(), d.size()), modeMaxSpeed(d.data(), d.size()),
                                      modeLockByte(d.data(), d.size()), modeSpindownByte(d.data(), d.size())};
        EXPECT_EQ(got, (std::vector<int>{int(r.descriptors), r.current, r.maximum, r.lock, r.spindown})) << "row " << i;
    }
}

// Truncated, not rounded: every 16-bit speed is the quotient by 176; above,
// the float constant is slightly larger than 1/176.
TEST(KbpsToX, TruncatesTheQuotientBy176)
{
    for (uint32_t kbps = 0; kbps <= 0xFFFF; ++kbps)
        ASSERT_EQ(kbpsToX(kbps), static_cast<int>(kbps / 176)) << "kbps " << kbps;
    EXPECT_TRUE(kbpsToX(33554574) == 190650 && kbpsToX(33554575) == 190651 && kbpsToX(0xFFFFFFFFu) == 24403223);
}

// Fixed-format sense data, cut to length.
Bytes fixedSense(unsigned char response, unsigned char key, unsigned char additional, unsigned char asc, size_t length = 18)
{
    Bytes s = {response, 0, key, 0, 0, 0, 0, additional, 0, 0, 0, 0, asc, 0, 0, 0, 0, 0};
    s.resize(length);
    return s;
}

// A unit attention for a changed medium (key 6, ASC 28h) in either format;
// anything else, or data too short to tell, is not.
TEST(Sense, MediumChangedOnlyForKey6Asc28)
{
    const struct { const char* what; Bytes sense; bool changed; } rows[] = {
        /* 0 */ {"fixed, current", fixedSense(0x70, 0x06, 10, 0x28), true},
        /* 1 */ {"fixed, valid bit, deferred, key with flags", fixedSense(0xF1, 0x26, 10, 0x28), true},
        /* 2 */ {"fixed, 14 bytes", fixedSense(0x70, 0x06, 6, 0x28, 14), true},
        /* 3 */ {"descriptor", {0x72, 0x06, 0x28, 0x00, 0, 0, 0, 0}, true},
        /* 4 */ {"power on reset", fixedSense(0x70, 0x06, 10, 0x29), false},
        /* 5 */ {"illegal request, asc 28", fixedSense(0x70, 0x05, 10, 0x28), false},
        /* 6 */ {"fixed, cut before the asc", fixedSense(0x70, 0x06, 10, 0x28, 13), false},
        /* 7 */ {"fixed, additional length short of the asc", fixedSense(0x70, 0x06, 5, 0x28), false},
        /* 8 */ {"descriptor, cut", {0x72, 0x06, 0x28}, false},
        /* 9 */ {"vendor response code", fixedSense(0x7F, 0x06, 10, 0x28), false},
        /* 10 */ {"empty", {}, false},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i)
        EXPECT_EQ(isMediumChangedSense(rows[i].sense.data(), rows[i].sense.size()), rows[i].changed) << "row " << i << ": " << rows[i].what;
}

// Every spin-down code's name and back; nothing else is a name.
TEST(Spindown, NamesAndCodesOfEveryCodeAndNothingElse)
{
    EXPECT_EQ((spindownName(0) + spindownName(1) + spindownName(0xFFFFFF0Au) + spindownName(15)).str(), "VS125 ms1 min32 min");
    for (unsigned code = 1; code < 16; ++code)
        EXPECT_EQ(spindownCode(spindownName(code)), code) << "code " << code;
    for (unsigned code : {16u, 0x80u, 0xFFu})
        EXPECT_EQ(spindownName(code), "") << "code " << code;
    for (const char* text : {"1 Min", " 1 min", "1min", "", "125ms"})
        EXPECT_EQ(spindownCode(text), 0) << "\"" << text << "\"";
}

// GET PERFORMANCE data: a header whose length (after its own four bytes) may say more or
// less than the data holds, then 16-byte descriptors. Only whole descriptors inside both
// count; zero speeds and descriptors ending at LBA 0 are passed over; speeds come out
// distinct, fastest first, whatever their size.
TEST(Performance, SpeedsOfWholeDescriptorsFastestFirst)
{
    auto write = [](std::vector<unsigned long> descriptors, long lengthDelta, size_t cut) {
        Bytes d(8, 0);
        for (unsigned long v : descriptors)
            for (int shift = 24; shift >= 0; shift -= 8)
                d.push_back(static_cast<unsigned char>(v >> shift));
        const unsigned long length = d.size() - 4 + lengthDelta;
        for (int i = 0; i < 4; ++i)
            d[i] = static_cast<unsigned char>(length >> (24 - 8 * i));
        d.resize(d.size() - cut);
        return d;
    };
    typedef std::vector<unsigned> Speeds;
    const struct { const char* what; PerformanceType type; Bytes data; Speeds speeds; } rows[] = {
        {"write speeds", PerformanceType::WriteSpeed, write({0, 2295103, 5540, 5540, 0, 2295103, 22160, 22160, 0, 2295103, 11080, 0}, 0, 0), {22160, 11080, 5540}},
        {"zero, end LBA 0, twice the same", PerformanceType::WriteSpeed, write({0, 2295103, 0, 4, 0, 0, 8000, 8000, 0, 1, 7000, 0, 0, 9, 7000, 0}, 0, 0), {7000}},
        {"above 16 bits", PerformanceType::WriteSpeed, write({0, 12219391, 71920, 71920}, 0, 0), {71920}},
        {"length says more than the data", PerformanceType::WriteSpeed, write({0, 1, 1411, 0, 0, 1, 2822, 0}, 64, 4), {1411}},
        {"length says less", PerformanceType::WriteSpeed, write({0, 1, 1411, 0, 0, 1, 2822, 0}, -16, 0), {1411}},
        {"length past every field", PerformanceType::WriteSpeed, write({0, 1, 1411, 0}, 0x7FFFFFF0L, 0), {1411}},
        {"nominal: start and end", PerformanceType::Nominal, write({0, 5540, 2295103, 22160}, 0, 0), {22160, 5540}},
        {"nominal ending at 0", PerformanceType::Nominal, write({0, 5540, 0, 22160}, 0, 0), {}},
        {"header only", PerformanceType::WriteSpeed, write({}, 0, 0), {}},
        {"cut header", PerformanceType::WriteSpeed, write({}, 0, 1), {}},
    };
    for (const auto& row : rows)
        EXPECT_EQ(performanceSpeeds(row.data.data(), row.data.size(), row.type), row.speeds) << row.what;
}

// The current profile of a feature header, and the kinds of disc and their speeds.
TEST(Medium, ProfilesKindsAndSpeeds)
{
    const Bytes header = {0, 0, 0, 4, 0, 0, 0x00, 0x10};
    EXPECT_EQ(currentProfile(header.data(), header.size()), 0x10);
    EXPECT_EQ(currentProfile(header.data(), 7), -1) << "cut";
    const Bytes noProfile = {0, 0, 0, 3, 0, 0, 0x00, 0x10};
    EXPECT_EQ(currentProfile(noProfile.data(), noProfile.size()), -1) << "the length does not reach it";
    const std::pair<int, MediumKind> kinds[] = {{0x08, MediumKind::Cd}, {0x0A, MediumKind::Cd}, {0x10, MediumKind::Dvd},
        {0x2B, MediumKind::Dvd}, {0x51, MediumKind::Dvd}, {0x40, MediumKind::Bd}, {0x43, MediumKind::Bd},
        {0x00, MediumKind::None}, {0x02, MediumKind::None}, {0x2C, MediumKind::None}, {0x44, MediumKind::None}, {-1, MediumKind::None}};
    for (const auto& k : kinds)
        EXPECT_EQ(mediumKindOfProfile(k.first), k.second) << "profile " << k.first;
    EXPECT_EQ(speedText(11080, MediumKind::Dvd), "8X DVD (11080KB/S)");
    EXPECT_EQ(speedText(53940, MediumKind::Bd), "12X BD (53940KB/S)");
    EXPECT_EQ(speedText(1411, MediumKind::None), "8X (1411KB/S)");
    const std::pair<long, const char*> standby[] = {{0, "不待机"}, {600, "1 min"}, {19200, "32 min"}, {1800, "3 min"}, {45, "5 sec"}};
    for (const auto& t : standby)
        EXPECT_EQ(standbyText(t.first), t.second) << t.first;
    EXPECT_EQ(standbyTimerOfCode(11), 1200);
    EXPECT_EQ(standbyTimerOfCode(9), 0) << "not whole minutes";
}

// An identity's text keeps every byte of every field, whatever the settings file makes of
// blanks, '=', ';', brackets, quotes or bytes above 127; a text that is not one is refused.
TEST(Identity, TextKeepsEveryByteAndRefusesOthers)
{
    const DriveIdentity odd = {" A=B;", "[C D]\"", "\xB9\xE2|%", "\x01 S N "};
    DriveIdentity back;
    ASSERT_TRUE(parseIdentityText(identityText(odd), back));
    EXPECT_EQ(back, odd);
    EXPECT_EQ(identityText({"KSIM", "CD-ROM 52X", "1.00", ""}), "KSIM|CD-ROM%2052X|1.00|");
    for (const char* text : {"", "a|b|c", "a|b|c|d|e", "a|b|c|%4", "a|b|c|%zz"})
        EXPECT_FALSE(parseIdentityText(text, back)) << text;
    EXPECT_EQ(back, odd) << "left alone";
}

// The serial number page: as many bytes as its length says and the data holds, without
// surrounding blanks and zero bytes; another page, or too little data, gives none.
TEST(Identity, SerialNumberPage)
{
    const std::pair<Bytes, std::string> rows[] = {
        {{5, 0x80, 0, 6, ' ', 'S', 'N', '1', ' ', 0}, "SN1"},
        {{5, 0x80, 0, 200, 'A', 'B'}, "AB"},              // says more than it holds
        {{5, 0x80, 0, 1, 'A', 'B'}, "A"},                 // says less
        {{5, 0x83, 0, 2, 'A', 'B'}, ""},                  // another page
        {{5, 0x80, 0}, ""},
        {{5, 0x80, 0, 3, 0, ' ', 0}, ""},
    };
    for (const auto& row : rows)
        EXPECT_EQ(unitSerialNumber(row.first.data(), row.first.size()), row.second);
    Bytes inquiry(36, 0);
    std::memcpy(&inquiry[8], "V1      PRODUCT         R1  ", 28);
    EXPECT_EQ(identityFromInquiry(inquiry.data(), 20), (DriveIdentity{"V1", "PROD", "", ""})) << "cut";
}

}  // namespace
