// What tells one drive from another wherever it is plugged in: the vendor,
// product and revision of its INQUIRY data and the unit serial number of
// its serial number page (VPD page 80h), where it has one.
#pragma once

#include <cstddef>
#include <string>

struct DriveIdentity {
    std::string vendor;    // each field without its trailing blanks, as the name shows it
    std::string product;
    std::string revision;
    std::string serial;    // without surrounding blanks; empty when the drive has none

    bool operator==(const DriveIdentity& other) const
    {
        return vendor == other.vendor && product == other.product && revision == other.revision &&
               serial == other.serial;
    }
    bool operator!=(const DriveIdentity& other) const { return !(*this == other); }
};

// Vendor, product and revision of standard INQUIRY data (bytes past the
// data read as zero; a zero byte is a blank).
DriveIdentity identityFromInquiry(const unsigned char* data, size_t length);

// The unit serial number of VPD page 80h data: the bytes the page length
// (byte 3) announces, as far as the data holds them, without surrounding
// blanks and zero bytes; empty when the data is not that page.
std::string unitSerialNumber(const unsigned char* data, size_t length);

// The identity as the settings file keeps it: the four fields joined by
// '|', every byte the file could not hold as itself (blanks, controls,
// bytes above 127, and % | = ; [ ] ") written as %XX.
std::string identityText(const DriveIdentity& identity);

// Back from that text; false, leaving `out` alone, for a text that is not
// one (not four fields, or a broken escape).
bool parseIdentityText(const std::string& text, DriveIdentity& out);
