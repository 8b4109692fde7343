// Readers of the values the program takes from MODE SENSE(10) data.
//
// The data begins with the 8-byte mode parameter header. The page follows
// the header and any block descriptors, whose length the header gives in
// bytes 6-7; most drives send none, so the page usually starts at byte 8
// (the offsets below are those of that common layout). Each reader returns
// the command's failure value when the data is too short to hold the value.
#pragma once

#include <cstddef>

// Offsets in the returned data when no block descriptor is present.
const size_t MODE_OFFSET_LOCK = 14;          // page 0x2A byte 6
const size_t MODE_OFFSET_MAX_SPEED = 16;     // page 0x2A bytes 8-9
const size_t MODE_OFFSET_CURRENT_SPEED = 22; // page 0x2A bytes 14-15
const size_t MODE_OFFSET_SPINDOWN = 11;      // page 0x0D byte 3

// Length of the block descriptors announced in the header (0 when the data
// is too short to hold a header).
size_t modeBlockDescriptorLength(const unsigned char* data, size_t length);

// The code of the page the data holds (bits 0-5 of its first byte); -1
// when the data is too short to hold a page.
int modePageCode(const unsigned char* data, size_t length);

// Current read speed in KB/s (page 0x2A), 0 when absent.
int modeCurrentSpeed(const unsigned char* data, size_t length);

// Maximum read speed in KB/s (page 0x2A), 0 when absent.
int modeMaxSpeed(const unsigned char* data, size_t length);

// The whole lock byte (page 0x2A): bit 0 lock supported, bit 1 locked;
// -1 when absent.
int modeLockByte(const unsigned char* data, size_t length);

// The inactivity timer multiplier byte (page 0x0D), upper bits as sent;
// 0xFF when absent.
int modeSpindownByte(const unsigned char* data, size_t length);

// The read capabilities byte of page 0x2A (byte 2: bit 3 DVD-ROM, bit 4
// DVD-R, bit 5 DVD-RAM); -1 when absent.
int modeReadCapabilities(const unsigned char* data, size_t length);

// The standby timer of the power condition page (0x1A) in 100 ms units, 0
// when standby is off (byte 3 bit 0 clear); -1 when the data holds no such
// page (another page code, or too short for the timer, bytes 8-11).
long modeStandbyTimer(const unsigned char* data, size_t length);
