// The start-up options of the settings file's System section, each with the
// one default that every reader uses: the options dialog shows a missing
// key as the program acts on it.
#pragma once

const char kSystemSection[] = "System";

// Start hidden in the notification area. Off unless asked for: a start by
// hand shows the window.
const char kKeyRunMin[] = "RunMin";
const int kRunMinDefault = 0;

// Send each drive's stored speed ("lastSpeed" of its section) at start. On
// when the key is missing: a file holds a stored speed only when the user
// chose one, so restoring it is what that user asked for, and a file of a
// build before stored speeds has none, so nothing is sent.
const char kKeyRunSetSpeed[] = "RunSetSpeed";
const int kRunSetSpeedDefault = 1;
