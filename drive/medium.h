// The kind of disc a drive holds, from the current profile that GET
// CONFIGURATION reports, and the speed of 1X for each kind.
#pragma once

#include <cstddef>

enum class MediumKind {
    None,  // no disc, or one the program does not know
    Cd,
    Dvd,
    Bd,
};

// The current profile in GET CONFIGURATION data (feature header bytes 6-7);
// -1 when the data is too short to hold the header or its length field
// (bytes 0-3, what follows them) does not reach the profile.
int currentProfile(const unsigned char* data, size_t length);

// The kind of a profile: CD-ROM, CD-R and CD-RW (08h-0Ah) are CDs; the DVD
// profiles (10h-2Bh) and HD DVD (50h-5Ah) DVDs; BD-ROM, BD-R and BD-RE
// (40h-43h) BDs; anything else (no profile, 0000h) is None.
MediumKind mediumKindOfProfile(int profile);

// KB/s of 1X: 176 for a CD (and for no disc, where the CD speeds apply),
// 1385 for a DVD, 4495 for a BD.
int kbpsPerX(MediumKind kind);

// The kind whose speeds apply to a disc: a CD's where there is no disc.
inline MediumKind speedKind(MediumKind kind)
{
    return kind == MediumKind::None ? MediumKind::Cd : kind;
}
