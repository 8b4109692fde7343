// Speed detection: which read speeds a drive really accepts, found by asking
// it for speeds around every X factor and reading back what it selected. It
// runs on the drive worker's thread.
#pragma once

#include "drive/medium.h"

class CdDrive;
class CStringList;

// What detection reports while it runs.
class DetectionSink {
public:
    virtual ~DetectionSink() = default;
    // Before each value tried: the progress position, from 0 up to the
    // maximum speed. False stops the detection there.
    virtual bool Step(int nPos) = 0;
};

// For every X factor (of the kind of disc) from nMaxKbps's down to 1X,
// asks for the speeds within halfWidth KB/s around the factor, from the
// top, and records each factor the first time the drive reports it: its
// name and speed are appended to the two lists. False when the sink stopped
// it before the end.
bool detectSpeeds(CdDrive& drive, MediumKind kind, int nMaxKbps, unsigned halfWidth, DetectionSink& sink,
                  CStringList& names, CStringList& kbSpeeds);
