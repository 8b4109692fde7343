// Speed and spin-down conversions shared by the drive commands and the
// user interface.
#pragma once

#include <cstdint>

#include "drive/medium.h"
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

// X factor of a speed for a kind of disc, truncated: CD (and no disc) as
// kbpsToX, DVD in 1385 KB/s, BD in 4495 KB/s.
int kbpsToX(uint32_t kbps, MediumKind kind);
// The text of a speed for a kind of disc: a CD's (and no disc's) as
// speedText, a DVD's "%dX DVD (%dKB/S)", a BD's "%dX BD (%dKB/S)".
CString speedText(int kbps, MediumKind kind);

// The spin-down codes that a standby timer in minutes can stand for: codes
// 10 ("1 min") to 15 ("32 min").
const unsigned char SPINDOWN_FIRST_MINUTES_CODE = 10;
// The standby timer (in 100 ms units) of such a code; 0 for any other code.
long standbyTimerOfCode(unsigned char code);
// A standby timer's text: the name of the code it stands for, "%d sec" or
// "%d min" of other times, "不待机" when standby is off (0).
CString standbyText(long units100ms);
