// The one message about a settings file that cannot be written.
#pragma once

#include <windows.h>

class SettingsStore;

// Tells the user, the first time in the life of `settings` only, that its
// file cannot be written and where that file is; later calls show nothing.
void ReportSettingsWriteFailure(HWND hOwner, SettingsStore& settings);
