// Reading the sense data a drive returns with CHECK CONDITION, in either
// of its formats: fixed (response code 70h or 71h: sense key in byte 2,
// additional sense code and qualifier in bytes 12-13) or descriptor (72h or
// 73h: the three in bytes 1-3).
#pragma once

#include <cstddef>

// The sense keys the program tells apart.
const unsigned char SENSE_KEY_NOT_READY = 0x02;
const unsigned char SENSE_KEY_ILLEGAL_REQUEST = 0x05;
const unsigned char SENSE_KEY_UNIT_ATTENTION = 0x06;

struct SenseCode {
    unsigned char key = 0;   // sense key, 0-15
    unsigned char asc = 0;   // additional sense code
    unsigned char ascq = 0;  // its qualifier
};

// False, leaving code alone, when the bytes hold no sense data of either
// format: too short for the fields, another response code, or a fixed
// format whose additional length does not reach the additional sense code.
bool readSenseCode(const unsigned char* data, size_t length, SenseCode& code);

// A unit attention for a changed medium (sense key 6, additional sense code
// 28h): the drive has just been given a disc (and, like most drives, went
// back to its own default speed), and did not carry the command out.
bool isMediumChangedSense(const unsigned char* data, size_t length);
