// The speed the user chose for each drive. It is stored in the drive's
// section of the settings file ("lastSpeed", in KB/s) at the moment it is
// chosen, so that a crash or a power cut does not lose it; it is sent again
// at start when "RunSetSpeed" is on, and whenever the drive has been given a
// disc, since drives go back to their own default speed then.
#pragma once

#include <windows.h>

#include "drive/scsi_command.h"

class CdDrive;
class DriveList;
class SettingsStore;

class SpeedMemory {
public:
    explicit SpeedMemory(SettingsStore& settings) : m_settings(settings) {}
    SpeedMemory(const SpeedMemory&) = delete;
    SpeedMemory& operator=(const SpeedMemory&) = delete;

    // The user chose nKbps for the drive: it is put in force, sent, and
    // stored. A drive that is not ready for it (no disc) keeps the choice,
    // to be sent again when a disc comes. A drive that cannot take it (an
    // illegal request) keeps the speed it had; the user is told, and the
    // choice is neither in force nor stored. A file that cannot be written
    // is reported once; the speed is in force for this run all the same.
    // Returns how the drive answered.
    CommandOutcome Choose(CdDrive& drive, int nKbps);
    // At start, after discovery: with "RunSetSpeed" on, each drive's stored
    // speed is put in force and sent once; off, nothing is sent.
    void RestoreAtStart(const DriveList& drives);
    // The volumes of the letters in dwUnitMask arrived (a disc, or a drive
    // plugged in again): each of those drives gets its chosen speed again.
    void ReapplyToLetters(const DriveList& drives, DWORD dwUnitMask);

private:
    SettingsStore& m_settings;
};
