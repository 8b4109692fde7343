// The drive name built from INQUIRY data: fields and their blanks. Lengths,
// short data and writes past the name are the fuzz target's to check.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "drive/inquiry.h"

namespace {

TEST(InquiryName, FieldsLoseTrailingBlanksAndKeepEverythingElse)
{
    const struct {
        std::string vendor, product, revision;  // at their full widths (8, 16, 4)
        std::string expected;
    } rows[] = {
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
        // 7: zero bytes pad like blanks, in every field.
        {std::string("AB\0\0\0\0\0\0", 8), std::string("X\0 Y\0\0\0\0\0\0\0\0\0\0\0\0", 16),
         std::string("1\0\0\0", 4), "AB X  Y 1"},
    };
    for (size_t i = 0; i < sizeof rows / sizeof rows[0]; ++i) {
        std::vector<unsigned char> data(96, 'Z');  // bytes past the revision do not count
        data[0] = 0x05;
        std::memcpy(&data[8], rows[i].vendor.data(), 8);
        std::memcpy(&data[16], rows[i].product.data(), 16);
        std::memcpy(&data[32], rows[i].revision.data(), 4);
        char out[DRIVE_NAME_MAX + 1] = {};
        size_t n = buildDriveName(data.data(), data.size(), out);
        EXPECT_EQ(std::string(out, n), rows[i].expected) << "row " << i;
    }
    char out[DRIVE_NAME_MAX + 1] = {};
    EXPECT_EQ(buildDriveName(nullptr, 0, out), 2u) << "no data reads as zeros, which pad";
    EXPECT_STREQ(out, "  ");
}

}  // namespace
