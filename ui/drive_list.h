// The detected drives, in the order they were found, and their speed lists
// in the settings file. The list owns its CdDrive records; an index is the
// index of the drive list control and of the popup menu's drive items.
// Drives come and go while the program runs: a drive found later is added
// at the end, and one that goes keeps its record, shown as gone, until it
// comes back (wherever it is then). Records are deleted only at the end,
// so that a command queued for a drive never meets a freed record.
#pragma once

#include <vector>

#include "drive/medium.h"
#include "drive/transport_choice.h"
#include "framework/afxwin.h"

class CdDrive;
class ScsiTransport;
class SettingsStore;

class DriveList {
public:
    DriveList() = default;
    ~DriveList();
    DriveList(const DriveList&) = delete;
    DriveList& operator=(const DriveList&) = delete;

    // On the drive worker's thread: finds the CD-ROM drives through the
    // transport the settings choose, and their letters, as new records in
    // `found`, which Adopt takes over.
    void Find(TransportChoice choice, CObList& found);
    // On the drive worker's thread: true when the letters of CD-ROM volumes
    // changed since the last time, for a transport that reaches the drives
    // through them (ASPI announces nothing).
    bool LettersChanged();
    // A drive found again: its record, and the address it is at now.
    struct Moved {
        CdDrive* pDrive;
        CString address;
        bool bReturned;  // it was gone
    };
    // On the drive worker's thread, after volumes came or went: the drives
    // the transport reaches now. A drive of the list found again (by
    // identity, at its own address first) moves to where it was found, with
    // its letter, and is present (`moved`); one not found is gone. The
    // others are new records in `found`, which Adopt takes over.
    void FindAgain(CObList& found, std::vector<Moved>& moved);
    // The transport the settings file chooses.
    static TransportChoice ChosenTransport(SettingsStore& settings);
    // Takes over the records found, gives each a section of the settings
    // file (see AssignSections) and the speed lists stored there (empty
    // ones when there are none); `found` is left empty.
    void Adopt(CObList& found, SettingsStore& settings);
    // The window shows a drive found again at its new address.
    static void ShowMoved(const std::vector<Moved>& moved);
    // Writes the two speed lists of every kind of disc of every drive whose
    // lists differ from what was last read or written, both keys in one
    // write. Lists that did not change are not written: a file that could
    // not be read at start keeps what it holds. False when a write failed.
    bool SaveSpeedLists(SettingsStore& settings);
    // The drives, in order.
    std::vector<CdDrive*> All() const;
    // On the drive worker's thread: every record it found.
    const std::vector<CdDrive*>& Known() const { return m_known; }
    // Deletes the records.
    void Clear();

    int GetCount() const;
    // The drive at this index, or null.
    CdDrive* GetAt(int nIndex) const;
    // The drive's label in the drive list and the menu: "[1:0] E:\ name",
    // and "(已移除)" after it while the drive is gone.
    static CString Label(const CdDrive& drive);

    // The kinds of disc a drive keeps lists for: CD, DVD, BD.
    static const int kListKinds = 3;

private:
    // The two lists of a kind as the file holds them, encoded.
    struct StoredLists {
        CString names;
        CString kbSpeeds;
    };
    struct Stored {
        StoredLists lists[kListKinds];
    };
    static StoredLists Encoded(const CdDrive& drive, MediumKind kind);

    CObList m_drives{10};
    std::vector<Stored> m_stored;  // drive i's, as the file holds them
    // Every record, for the worker's thread only: those it found, whether
    // or not the window has taken them over yet.
    std::vector<CdDrive*> m_known;
    ScsiTransport* m_pLink = nullptr;  // the drives are reached through (worker's)
    DWORD m_dwLetters = 0;             // CD-ROM letters when last asked
};
