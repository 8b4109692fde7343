// One detected CD-ROM drive and the commands the program sends it.
//
// The commands are sent from one thread, which owns the command state; the
// user-interface thread owns the name and the speed lists. The letter, the
// chosen speed and whether the drive answers are read and written from
// both.
#pragma once

#include <windows.h>

#include <atomic>
#include <vector>

#include "drive/drive_address.h"
#include "drive/identity.h"
#include "drive/medium.h"
#include "drive/scsi_command.h"
#include "framework/collections.h"
#include "framework/cstring.h"
#include "framework/object.h"

class ScsiTransport;

class CdDrive : public CObject {
public:
    // The letter of a drive that no volume matched; shown as "?:\".
    static constexpr char NO_LETTER = '?';

    // The drive's spin-down time, from the page it reports it in.
    struct Spindown {
        enum Source {
            Failed,       // it could not be read
            Inactivity,   // the CD parameters page (0x0D) of older drives
            Standby,      // the power condition page (0x1A) of current ones
            NotReported,  // the drive has neither page
        };
        Source source = Failed;
        // Inactivity: the multiplier byte as reported; Standby: the timer in
        // 100 ms units, 0 when standby is off.
        long value = 0;
    };

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
    // The disc the drive held when it was last asked; a drive that reads
    // CDs only holds a CD.
    MediumKind medium() const { return m_medium; }
    // The speed the user chose for a kind of disc (no disc: a CD's), in
    // force in this run; 0: none.
    int chosenKbps(MediumKind kind) const { return m_nChosenKbps[chosenIndex(kind)]; }
    void setChosenKbps(MediumKind kind, int kbps) { m_nChosenKbps[chosenIndex(kind)] = kbps; }
    // The same for the disc the drive holds.
    int chosenKbps() const { return chosenKbps(medium()); }
    void setChosenKbps(int kbps) { setChosenKbps(medium(), kbps); }
    // False once a command went unanswered, until the drive answers one.
    bool answering() const { return m_bAnswering; }
    // False while the drive is gone (unplugged): it is sent nothing.
    bool present() const { return m_bPresent; }
    void setPresent(bool bPresent) { m_bPresent = bPresent; }
    // The drive was found again at another address (on the thread that
    // sends the commands).
    void moveTo(const DriveAddress& at) { m_at = at; }

    // The speed lists kept for a kind of disc, and the word its speeds are
    // shown with: CD (also for no disc), without one; "DVD"; "BD".
    struct SpeedLists {
        CStringList* names;
        CStringList* kbSpeeds;
        const char* label;
    };
    SpeedLists listsFor(MediumKind kind) const;
    // Puts new lists in place of a kind's and deletes the old ones (the
    // record owns whatever lists it holds); a list already in place stays.
    void replaceLists(MediumKind kind, CStringList* names, CStringList* kbSpeeds);

    // Current read speed in KB/s; 0 on failure. A drive that has gone back
    // to a speed of its own since the chosen speed was sent (it was given a
    // disc, and nothing announced it) gets the chosen speed again, once,
    // and the speed it then runs at is returned.
    int getSpeed();
    // Maximum read speed in KB/s; 0 on failure.
    int getMaxSpeed();
    // Sets the read speed for the disc held: SET STREAMING for a DVD or a
    // BD, SET CD SPEED otherwise (where a speed above 65535 asks for the
    // maximum). Failed below 1X of the disc (nothing is sent).
    CommandOutcome setSpeed(int kbps);
    // Asks a drive that reads DVDs which disc it holds (GET CONFIGURATION);
    // a drive that reads CDs only, or will not tell, holds a CD. The kind
    // it holds now. With bFollowNewDisc, a drive that tells of a disc where
    // it held none, or of another kind of disc, was given one that nothing
    // announced, and has gone back to its own speed: it gets the chosen
    // speed for that disc again, once.
    MediumKind readMedium(bool bFollowNewDisc = false);
    // The read speeds the drive offers for the disc it holds (GET
    // PERFORMANCE: its write speed descriptors, else its nominal
    // performance), fastest first; empty when it tells none, and for a
    // drive that reads CDs only (it is not asked).
    std::vector<unsigned> offeredSpeeds();
    // The lock byte: bit 0 the tray can be locked, bit 1 it is locked;
    // -1 on failure.
    int getLock();
    // Prevents (1) or allows (0) removal of the medium; false on failure.
    bool setLock(BYTE prevent);
    // The spin-down time: from the CD parameters page, or where the drive
    // has none, from the power condition page. A page the drive refused is
    // not asked for again.
    Spindown getSpindown();
    // Sets spin-down code `code` (1-15): the inactivity multiplier, or, for
    // a drive with the power condition page instead, the standby timer of
    // a code of whole minutes (10-15). False on failure, and when the drive
    // has neither page (nothing is sent).
    bool setSpindown(BYTE code);
    // Sends chosenKbps again; false when no speed is chosen or the drive
    // refused it.
    bool reapplyChosenSpeed();

    // Sends one of the commands above. A drive that has just been given a
    // disc carries out none of them: it answers with a unit attention and
    // has gone back to its own default speed. The chosen speed is then sent
    // again, and the command once more (unless it set that very speed).
    CommandOutcome execute(const ScsiCommand& command, const BYTE* cdb, BYTE* data);

    CString address;          // addressText of the drive's address, as the window shows it
    CString section;          // the INI section of its lists (the window's thread's)
    CString name;             // vendor, product and revision from INQUIRY
    DriveIdentity identity;   // set when the drive is found, never changed
    CStringList* kbSpeeds;    // CD speed list: KB/s as decimal text
    CStringList* speedNames;  // X factors parallel to kbSpeeds
    CStringList* dvdKbSpeeds;    // the same for DVDs, in X of 1385 KB/s
    CStringList* dvdSpeedNames;
    CStringList* bdKbSpeeds;     // and for BDs, in X of 4495 KB/s
    CStringList* bdSpeedNames;

private:
    // Sends one command, unless the drive left one unanswered earlier in
    // this action; keeps track of whether it answers.
    CommandOutcome send(const ScsiCommand& command, const BYTE* cdb, BYTE* data);
    // MODE SENSE of page 0x2A into data; on success the page tells whether
    // the drive reads DVDs.
    bool readCapabilities(const ScsiCommand& command, BYTE* data);
    static int chosenIndex(MediumKind kind) { return kind == MediumKind::Dvd ? 1 : kind == MediumKind::Bd ? 2 : 0; }
    // Sends the speed command for the disc held (SET STREAMING for a DVD or a
    // BD, else SET CD SPEED) for kbps, through execute or send: with or
    // without the unit attention's handling.
    typedef CommandOutcome (CdDrive::*SendFunction)(const ScsiCommand&, const BYTE*, BYTE*);
    CommandOutcome sendSpeed(int kbps, SendFunction how);
    // A current speed just read: the first one after the chosen speed was
    // sent is the one the drive runs at with it; a later one that differs
    // means the drive went back to a speed of its own.
    bool speedLeftChosen(int kbps);

    ScsiTransport& m_link;
    DriveAddress m_at;
    std::atomic<char> m_letter{NO_LETTER};
    std::atomic<int> m_nChosenKbps[3] = {{0}, {0}, {0}};  // CD, DVD, BD
    std::atomic<MediumKind> m_medium{MediumKind::Cd};
    // Learned from the drive's answers: it reads DVDs; it will not tell its
    // disc; the page its spin-down time is in (Failed: not known yet).
    bool m_bReadsDvd = false;
    bool m_bTellsMedium = true;
    bool m_bMediumKnown = false;  // it told its disc once
    Spindown::Source m_spindownPage = Spindown::Failed;
    std::atomic<bool> m_bAnswering{true};
    std::atomic<bool> m_bPresent{true};
    // The action in which a command went unanswered; 0: none.
    unsigned m_nSilentAction = 0;
    // The current speed first read after the chosen speed was sent, while
    // the chosen speed is the one in force; -1 until that first read.
    bool m_bWatchingSpeed = false;
    int m_nSpeedWithChosen = -1;
};
