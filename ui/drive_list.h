// The detected drives, in discovery order, and their speed lists in the
// settings file. The list owns its CdDrive records; an index is the index
// of the drive list control and of the popup menu's drive items.
#pragma once

#include <vector>

#include "framework/afxwin.h"

class CdDrive;
class SettingsStore;

class DriveList {
public:
    DriveList() = default;
    ~DriveList();
    DriveList(const DriveList&) = delete;
    DriveList& operator=(const DriveList&) = delete;

    // Finds the CD-ROM drives and their letters, and gives each the speed
    // lists stored for it (empty ones when there are none).
    void Detect(SettingsStore& settings);
    // Writes the two speed lists of every drive whose lists differ from
    // what was last read or written, both keys in one write. Lists that
    // did not change are not written: a file that could not be read at
    // start keeps what it holds. False when a write failed.
    bool SaveSpeedLists(SettingsStore& settings);
    // Volumes came or went: each drive gets the letter it holds now.
    void MatchLettersAgain();
    // Deletes the records.
    void Clear();

    int GetCount() const;
    // The drive at this index, or null.
    CdDrive* GetAt(int nIndex) const;
    // The drive's label in the drive list and the menu: "[1:0] E:\ name".
    static CString Label(const CdDrive& drive);

private:
    // The two lists of drive i as the file holds them, encoded.
    struct StoredLists {
        CString names;
        CString kbSpeeds;
    };

    CObList m_drives{10};
    std::vector<StoredLists> m_stored;
};
