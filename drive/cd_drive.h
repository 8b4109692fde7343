// One detected CD-ROM drive and the commands the program sends it.
//
// The commands are sent from one thread, which owns the command state; the
// user-interface thread owns the name and the speed lists. The letter, the
// chosen speed and whether the drive answers are read and written from
// both.
#pragma once

#include <windows.h>

#include <atomic>

#include "drive/drive_address.h"
#include "drive/scsi_command.h"
#include "framework/collections.h"
#include "framework/cstring.h"
#include "framework/object.h"

class ScsiTransport;

class CdDrive : public CObject {
public:
    // The letter of a drive that no volume matched; shown as "?:\".
    static constexpr char NO_LETTER = '?';
    // What getSpindown gives for a drive that has no CD parameters page:
    // it does not report an inactivity timer at all.
    static constexpr int SPINDOWN_NOT_REPORTED = -2;
    // getSpindown's failure value.
    static constexpr int SPINDOWN_FAILED = 0xFF;

    // The drive at `at`, reached through `link` for as long as it lives.
    CdDrive(ScsiTransport& link, const DriveAddress& at);
    ~CdDrive() override;
    CdDrive(const CdDrive&) = delete;
    CdDrive& operator=(const CdDrive&) = delete;

    // Commands are sent in actions: a refresh, one choice of the user. A
    // drive that left one command unanswered is sent nothing more in the
    // same action, so that an action waits for it once at most.
    static void beginAction();

    const DriveAddress& at() const { return m_at; }
    // 'A' to 'Z' once a volume matched the drive, NO_LETTER before.
    char letter() const { return m_letter; }
    void setLetter(char letter) { m_letter = letter; }
    // True when a volume gave this drive a letter 'A' to 'Z'.
    bool hasLetter() const;
    // The speed the user chose, in force in this run; 0: none.
    int chosenKbps() const { return m_nChosenKbps; }
    void setChosenKbps(int kbps) { m_nChosenKbps = kbps; }
    // False once a command went unanswered, until the drive answers one.
    bool answering() const { return m_bAnswering; }

    // Put a new list in place of the current one and delete the old one
    // (the record owns whatever lists it holds).
    void replaceKbSpeeds(CStringList* list);
    void replaceSpeedNames(CStringList* list);

    // Current read speed in KB/s; 0 on failure. A drive that has gone back
    // to a speed of its own since the chosen speed was sent (it was given a
    // disc, and nothing announced it) gets the chosen speed again, once,
    // and the speed it then runs at is returned.
    int getSpeed();
    // Maximum read speed in KB/s; 0 on failure.
    int getMaxSpeed();
    // Sets the read speed; Failed below 176 KB/s (nothing is sent). A speed
    // above 65535 asks for the maximum.
    CommandOutcome setSpeed(int kbps);
    // The lock byte: bit 0 the tray can be locked, bit 1 it is locked;
    // -1 on failure.
    int getLock();
    // Prevents (1) or allows (0) removal of the medium; false on failure.
    bool setLock(BYTE prevent);
    // The inactivity timer multiplier byte as reported; SPINDOWN_FAILED on
    // failure, SPINDOWN_NOT_REPORTED when the drive has no such page.
    int getSpindown();
    // Sets the inactivity timer multiplier; false on failure.
    bool setSpindown(BYTE code);
    // Sends chosenKbps again; false when no speed is chosen or the drive
    // refused it.
    bool reapplyChosenSpeed();

    // Sends one of the commands above. A drive that has just been given a
    // disc carries out none of them: it answers with a unit attention and
    // has gone back to its own default speed. The chosen speed is then sent
    // again, and the command once more (unless it set that very speed).
    CommandOutcome execute(const ScsiCommand& command, const BYTE* cdb, BYTE* data);

    CString address;          // addressText of the drive's address; the INI section of its lists
    CString name;             // vendor, product and revision from INQUIRY
    CStringList* kbSpeeds;    // speed list: KB/s as decimal text
    CStringList* speedNames;  // X factors parallel to kbSpeeds

private:
    // Sends one command, unless the drive left one unanswered earlier in
    // this action; keeps track of whether it answers.
    CommandOutcome send(const ScsiCommand& command, const BYTE* cdb, BYTE* data);
    // Sends SET CD SPEED for kbps, without the unit attention's retry.
    CommandOutcome sendSpeed(int kbps);
    // A current speed just read: the first one after the chosen speed was
    // sent is the one the drive runs at with it; a later one that differs
    // means the drive went back to a speed of its own.
    bool speedLeftChosen(int kbps);

    ScsiTransport& m_link;
    DriveAddress m_at;
    std::atomic<char> m_letter{NO_LETTER};
    std::atomic<int> m_nChosenKbps{0};
    std::atomic<bool> m_bAnswering{true};
    // The action in which a command went unanswered; 0: none.
    unsigned m_nSilentAction = 0;
    // The current speed first read after the chosen speed was sent, while
    // the chosen speed is the one in force; -1 until that first read.
    bool m_bWatchingSpeed = false;
    int m_nSpeedWithChosen = -1;
};
