// One detected CD-ROM drive and the commands the program sends it.
#pragma once

#include <windows.h>

#include "framework/collections.h"
#include "framework/cstring.h"
#include "framework/object.h"

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

    CString address;          // "%d:%d" of adapter and target; the INI section of the speed lists
    char letter;              // 'A' to 'Z' once matched, NO_LETTER before
    BYTE adapter;             // ASPI host adapter number
    BYTE target;              // SCSI target ID (the logical unit is always 0)
    CString name;             // vendor, product and revision from INQUIRY
    CStringList* kbSpeeds;    // speed list: KB/s as decimal text
    CStringList* speedNames;  // X factors parallel to kbSpeeds
};
