// Which section of the settings file holds a drive's lists and chosen
// speeds. Sections are named by the address a drive had when it was first
// given one, and record the drive's identity (key "identity"), so that a
// section follows its drive to any address, and two programs that number
// the drives differently (ASPI and the pass-through) find the same one.
#pragma once

#include <vector>

class CdDrive;
class SettingsStore;

// Gives each of `drives` a section (CdDrive::section), none of those the
// drives of `placed` already use:
// 1. the section named by its address that records its identity;
// 2. else the first section recording its identity (it moved);
// 3. else the section named by its address that records no identity at all
//    (written before identities were kept): it is adopted, and gets the
//    drive's identity at once;
// 4. else a new section, named by its address, or by "address#2" and on
//    where a section of that name belongs to another drive.
// A section recording another identity is never given to a drive.
void AssignSections(const std::vector<CdDrive*>& drives, const std::vector<CdDrive*>& placed, SettingsStore& settings);

// Writes the drive's identity into its section, unless the section records
// it already; false when the write failed.
bool StoreIdentity(SettingsStore& settings, const CdDrive& drive);
