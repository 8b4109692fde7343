// The drive name built from INQUIRY data: fields, blanks, length, short data.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "drive/inquiry.h"

namespace {

// Standard INQUIRY data of 36 bytes with the three text fields; the fields
// must be given at their full widths (8, 16, 4).
std::vector<unsigned char> inquiryData(const std::string& vendor, const std::string& product,
                                       const std::string& revision)
{
    std::vector<unsigned char> data(36, 0);
    data[0] = 0x05;
    data[4] = 31;
    std::memcpy(&data[8], vendor.data(), vendor.size());
    std::memcpy(&data[16], product.data(), product.size());
    std::memcpy(&data[32], revision.data(), revision.size());
    return data;
}

std::string nameOf(const std::vector<unsigned char>& data, size_t length)
{
    char out[DRIVE_NAME_MAX + 1] = {};
    size_t n = buildDriveName(data.data(), length, out);
    return std::string(out, n);
}

struct NameRow {
    std::string vendor;
    std::string product;
    std::string revision;
    std::string expected;
};

TEST(InquiryName, FieldsLoseTrailingBlanksAndKeepEverythingElse)
{
    const NameRow rows[] = {
        // 0: four-letter vendor, ten-character product, three-character revision.
        {"ACME    ", "CDROM-5200      ", "1.0 ", "ACME CDROM-5200 1.0"},
        // 1: all-blank vendor: the name begins with the separating blank.
        {"        ", "DVD-ROM DDU1615 ", "B8S1", " DVD-ROM DDU1615 B8S1"},
        // 2: every field blank: only the two separators remain.
        {"        ", "                ", "    ", "  "},
        // 3: leading and inner blanks are the drive's own.
        {"  AB    ", " CD  ROM        ", " 1  ", "  AB  CD  ROM  1"},
        // 4: full fields: the longest name, 30 characters.
        {"VENDOR78", "PRODUCT890123456", "REV4", "VENDOR78 PRODUCT890123456 REV4"},
        // 5: empty product between two full fields.
        {"VENDOR78", "                ", "REV4", "VENDOR78  REV4"},
        // 6: bytes that are not blanks (double-byte text, tabs) are copied.
        {"\xB9\xE2\xC7\xFD    ", "DRIVE\t          ", "1\t  ", "\xB9\xE2\xC7\xFD DRIVE\t 1\t"},
        // 7: a zero byte is not a blank; it is copied and ends the text.
        {std::string("AB\0\0\0\0\0\0", 8), "X               ", "1   ", std::string("AB\0\0\0\0\0\0 X 1", 12)},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        const NameRow& r = rows[i];
        std::vector<unsigned char> data = inquiryData(r.vendor, r.product, r.revision);
        std::string got = nameOf(data, data.size());
        EXPECT_EQ(got, r.expected) << "row " << i;
        EXPECT_LE(got.size(), DRIVE_NAME_MAX) << "row " << i;
    }
}

TEST(InquiryName, WritesNoMoreThanThirtyBytesAndNoTerminator)
{
    std::vector<unsigned char> data(192, 'X');
    char out[40];
    std::memset(out, 0x7F, sizeof out);
    size_t n = buildDriveName(data.data(), data.size(), out);
    EXPECT_EQ(n, DRIVE_NAME_MAX);
    EXPECT_EQ(std::string(out, n), "XXXXXXXX XXXXXXXXXXXXXXXX XXXX");
    for (size_t i = n; i < sizeof out; ++i)
        EXPECT_EQ(out[i], 0x7F) << "byte " << i << " was written";
}

TEST(InquiryName, ShortDataReadsAsTheZeroFilledReplyBuffer)
{
    std::vector<unsigned char> full = inquiryData("ACME    ", "CDROM-5200      ", "1.0 ");
    for (size_t length = 0; length <= full.size(); ++length) {
        std::vector<unsigned char> truncated(full.begin(), full.begin() + static_cast<long>(length));
        std::vector<unsigned char> padded = truncated;
        padded.resize(192, 0);
        // The truncated copy lives in a buffer of exactly `length` bytes, so
        // a read past it is caught by the address sanitizer.
        EXPECT_EQ(nameOf(truncated, length), nameOf(padded, padded.size())) << "length " << length;
    }
    char out[DRIVE_NAME_MAX + 1] = {};
    EXPECT_EQ(buildDriveName(nullptr, 0, out), DRIVE_NAME_MAX);
    EXPECT_STREQ(out, "");
}

TEST(InquiryName, DataBeyondTheRevisionIsIgnored)
{
    std::vector<unsigned char> data = inquiryData("ACME    ", "CDROM-5200      ", "1.0 ");
    data.resize(192, 'Z');
    EXPECT_EQ(nameOf(data, data.size()), "ACME CDROM-5200 1.0");
}

}  // namespace
