// One detected CD-ROM drive and the commands the program sends it.
#pragma once

#include <windows.h>

#include "framework/collections.h"
#include "framework/cstring.h"
#include "framework/object.h"

struct ScsiCommand;

class CdDrive : public CObject {
public:
    // The letter of a drive that no volume matched; shown as "?:\".
    static constexpr char NO_LETTER = '?';

    CdDrive(BYTE adapter, BYTE target);
    ~CdDrive() override;
    CdDrive(const CdDrive&) = delete;
    CdDrive& operator=(const CdDrive&) = delete;

    // True when a volume gave this drive a letter 'A' to 'Z'.
    bool hasLetter() const;

    // Put a new list in place of the current one and delete the old one
    // (the record owns whatever lists it holds).
    void replaceKbSpeeds(CStringList* list);
    void replaceSpeedNames(CStringList* list);

    // Current read speed in KB/s; 0 on failure.
    int getSpeed() const;
    // Maximum read speed in KB/s; 0 on failure.
    int getMaxSpeed() const;
    // Sets the read speed; false below 176 KB/s (nothing is sent) or when
    // the drive refused it. A speed above 65535 asks for the maximum.
    bool setSpeed(int kbps) const;
    // The lock byte: bit 0 the tray can be locked, bit 1 it is locked;
    // -1 on failure.
    int getLock() const;
    // Prevents (1) or allows (0) removal of the medium; false on failure.
    bool setLock(BYTE prevent) const;
    // The inactivity timer multiplier byte as reported; 0xFF on failure.
    BYTE getSpindown() const;
    // Sets the inactivity timer multiplier; false on failure.
    bool setSpindown(BYTE code) const;
    // Sends chosenKbps again; false when no speed is chosen or the drive
    // refused it.
    bool reapplyChosenSpeed() const;

    // Sends one of the commands above. A drive that has just been given a
    // disc carries out none of them: it answers with a unit attention and
    // has gone back to its own default speed. The chosen speed is then sent
    // again, and the command once more (unless it set that very speed).
    bool execute(const ScsiCommand& command, const BYTE* cdb, BYTE* data) const;

    CString address;          // "%d:%d" of adapter and target; the INI section of the speed lists
    char letter;              // 'A' to 'Z' once matched, NO_LETTER before
    BYTE adapter;             // ASPI host adapter number
    BYTE target;              // SCSI target ID (the logical unit is always 0)
    CString name;             // vendor, product and revision from INQUIRY
    CStringList* kbSpeeds;    // speed list: KB/s as decimal text
    CStringList* speedNames;  // X factors parallel to kbSpeeds
    int chosenKbps;           // the speed the user chose, in force in this run; 0: none
};
