// The drive's name from the text fields of standard INQUIRY data.
#pragma once

#include <cstddef>

// Longest name: vendor (8), blank, product (16), blank, revision (4).
const size_t DRIVE_NAME_MAX = 30;

// Writes "vendor product revision" from INQUIRY data to out and returns the
// number of bytes written (at most DRIVE_NAME_MAX). A zero byte counts as
// a blank; each field loses its trailing blanks; both separating blanks are
// always written, even around empty fields; every other byte is copied as
// the drive sent it. No
// terminator is written: the caller passes a zero-filled buffer of at least
// DRIVE_NAME_MAX + 1 bytes. Bytes past `length` read as zero, as they do in
// the zero-filled reply buffer of a drive that sent fewer bytes.
size_t buildDriveName(const unsigned char* data, size_t length, char* out);
