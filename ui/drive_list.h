// The detected drives, in discovery order, and their speed lists in the
// settings file. The list owns its CdDrive records; an index is the index
// of the drive list control and of the popup menu's drive items.
#pragma once

#include <vector>

#include "drive/medium.h"
#include "drive/transport_choice.h"
#include "framework/afxwin.h"

class CdDrive;
class SettingsStore;

class DriveList {
public:
    DriveList() = default;
    ~DriveList();
    DriveList(const DriveList&) = delete;
    DriveList& operator=(const DriveList&) = delete;

    // On the drive worker's thread: finds the CD-ROM drives through the
    // transport the settings choose, and their letters, as new records in
    // `found`, which the caller owns until it hands them to Adopt.
    static void Find(TransportChoice choice, CObList& found);
    // The transport the settings file chooses.
    static TransportChoice ChosenTransport(SettingsStore& settings);
    // Takes over the records found and gives each the speed lists stored
    // for it (empty ones when there are none); `found` is left empty.
    void Adopt(CObList& found, SettingsStore& settings);
    // Writes the two speed lists of every kind of disc of every drive whose
    // lists differ from what was last read or written, both keys in one
    // write. Lists that did not change are not written: a file that could
    // not be read at start keeps what it holds. False when a write failed.
    bool SaveSpeedLists(SettingsStore& settings);
    // On the drive worker's thread: volumes came or went, and each drive
    // gets the letter it holds now.
    void MatchLettersAgain();
    // The drives, in order.
    std::vector<CdDrive*> All() const;
    // Deletes the records.
    void Clear();

    int GetCount() const;
    // The drive at this index, or null.
    CdDrive* GetAt(int nIndex) const;
    // The drive's label in the drive list and the menu: "[1:0] E:\ name".
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
};
