// The speed the user chose for each drive and each kind of disc. It is
// stored in the drive's section of the settings file ("lastSpeed" for CDs,
// "dvdLastSpeed" and "bdLastSpeed", in KB/s) at the moment it is chosen, so that a crash or a power cut does not lose it; it is sent again
// at start when "RunSetSpeed" is on, and whenever the drive has been given a
// disc, since drives go back to their own default speed then. Sending
// happens on the drive worker's thread; storing and telling the user on the
// window's.
#pragma once

#include <windows.h>

#include <functional>
#include <map>
#include <vector>

#include "drive/medium.h"
#include "drive/scsi_command.h"

class CdDrive;
class DriveList;
class DriveWorker;
class SettingsStore;

class SpeedMemory {
public:
    explicit SpeedMemory(SettingsStore& settings) : m_settings(settings) {}
    SpeedMemory(const SpeedMemory&) = delete;
    SpeedMemory& operator=(const SpeedMemory&) = delete;

    // When Choose reads the drive's speed back.
    enum class ReadBack { Always, WhenRefused };
    // What the window shows once a choice was answered: how the drive
    // answered, and the speed it runs at (0 where it was not read back).
    typedef std::function<void(CommandOutcome outcome, int nNowKbps)> ChoiceShown;
    // The user chose nKbps, a speed for `kind` of disc, for the drive: it is
    // stored at once (Store), sent on the worker (Send, then the speed read
    // back as readBack says), and once answered, a refusal is told
    // (Answered) and `shown` runs on the window's thread.
    void Choose(CdDrive& drive, MediumKind kind, int nKbps, DriveWorker& worker, ReadBack readBack,
                ChoiceShown shown);

    // The user chose nKbps for the drive: it is stored at once, so that
    // neither a kill nor a drive that never answers loses it, and returns
    // the number of the choice for Answered.
    unsigned Store(const CdDrive& drive, MediumKind kind, int nKbps);
    // On the worker's thread: the choice, a speed for `kind` of disc, is put
    // in force for that kind and sent when the drive still holds that kind
    // (else it stays chosen for the next such disc, and MediumChanged is
    // returned). A drive that cannot take it (an illegal request) keeps the
    // speed it had, and the choice is not in force. Returns how the drive
    // answered.
    static CommandOutcome Send(CdDrive& drive, MediumKind kind, int nKbps);
    // On the window's thread, once Send has answered choice nChoice: a
    // speed the drive refused is told to the user, and, unless a later
    // choice is on its way, the speed in force is stored again in its place.
    // A drive that is not ready for it (no disc) keeps it for the next disc.
    void Answered(const CdDrive& drive, MediumKind kind, unsigned nChoice, int nKbps, CommandOutcome outcome);
    // At start, after discovery: with "RunSetSpeed" on, each drive's stored
    // speed is put in force and sent once; off, nothing is sent.
    void RestoreAtStart(const DriveList& drives, DriveWorker& worker);
    // The same for drives found while the program runs.
    void Restore(const std::vector<CdDrive*>& drives, DriveWorker& worker);
    // On the worker's thread: the volumes of the letters in dwUnitMask
    // arrived (a disc, or a drive plugged in again): each of those drives
    // gets its chosen speed again.
    static void ReapplyToLetters(const std::vector<CdDrive*>& drives, DWORD dwUnitMask);

private:
    // Writes the speed as the drive's stored one for a kind (0: none); a
    // file that cannot be written is reported once.
    void Write(const CdDrive& drive, MediumKind kind, int nKbps);

    SettingsStore& m_settings;
    // The number of each drive's latest choice, whatever its kind.
    std::map<const CdDrive*, unsigned> m_latestChoice;
};
