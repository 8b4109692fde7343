// Runs loadASPI in a fresh process of this test program, started in a
// folder of its own that holds a copy of the program and, when asked, one
// wnaspi32.dll: the only way to try loading against a library other than
// the one beside the tests.
#pragma once

#include <string>
#include <vector>

#include "message_box_watch.h"

struct LoadProbeResult {
    bool ran = false;      // the probe ran and reported
    bool loaded = false;   // what loadASPI returned
    bool freed = false;    // what freeASPI returned afterwards
    std::vector<SeenMessageBox> boxes;
    std::vector<std::string> traces;
};

// library: path of the wnaspi32.dll to put beside the probe, or empty for
// none.
LoadProbeResult runLoadProbe(const std::string& library);

// Folder of this test program (with a trailing backslash).
std::string programFolder();
