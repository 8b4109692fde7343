// Speed and spin-down conversions shared by the drive commands and the
// user interface.
#pragma once

#include <cstdint>

#include "framework/cstring.h"

// 1X in KB/s.
const int KBPS_PER_X = 176;

// Slightly more than 1/176 (bit pattern 0x3BBA2E8C, 3050403 / 2^29).
const float KBPS_TO_X_FACTOR = 0.0056818184f;

// X factor of a speed in KB/s, truncated: kbps * KBPS_TO_X_FACTOR toward
// zero, which equals kbps / 176 for every speed below 33,554,575 and so for
// every speed a drive can report (1411 gives 8).
int kbpsToX(uint32_t kbps);

// Display name of a spin-down code ("VS", "125 ms" ... "32 min"); only the
// low 8 bits count, and codes above 15 (the failure value 0xFF among them)
// give the empty string.
CString spindownName(unsigned code);

// Code of a display name, compared exactly (case and blanks count) with the
// names of codes 1 to 15; any other text, "VS" included, gives 0.
unsigned char spindownCode(const CString& name);

// The text a speed is shown by, "%dX (%dKB/S)" of its X factor and itself:
// "8X (1411KB/S)" for 1411 KB/s.
CString speedText(int kbps);
