// Speed detection: which read speeds a drive really accepts, found by asking
// it for speeds around every X factor and reading back what it selected.
#pragma once

class CdDrive;

// What detection reports while it runs, and the one question it asks.
class DetectionSink {
public:
    virtual ~DetectionSink() = default;
    // The maximum speed could not be read: true to read it again.
    virtual bool RetryMaxSpeed() = 0;
    // Once, before the first step: the progress runs from 0 to nMaxKbps.
    virtual void SetProgressRange(int nMaxKbps) = 0;
    // Before each value tried: the progress position. Detection runs on the
    // user-interface thread; this is where the windows get their turn.
    virtual void Step(int nPos) = 0;
};

// For every X factor from the drive's maximum down to 1X, asks for the
// speeds within halfWidth KB/s around the factor, from the top, and
// records each factor the first time the drive reports it; the lists found
// then become the drive's speed lists. A detection started from inside
// another (through Step) works on lists of its own until it puts them in
// place.
void detectSpeeds(CdDrive& drive, unsigned halfWidth, DetectionSink& sink);
