#include "ui/drive_list.h"

#include "drive/cd_drive.h"
#include "drive/discovery.h"
#include "settings/settings_store.h"

namespace {

const char kKeySpeedNames[] = "speedNames";
const char kKeyKbSpeeds[] = "kbSpeeds";
// [System] Transport=auto|aspi|passthrough: the SCSI transport to use.
const char kKeyTransport[] = "Transport";

}  // namespace

DriveList::~DriveList()
{
    Clear();
}

TransportChoice DriveList::ChosenTransport(SettingsStore& settings)
{
    return parseTransportChoice(settings.getStringValue("System", kKeyTransport, ""));
}

void DriveList::Find(TransportChoice choice, CObList& found)
{
    detectDrives(&found, choice);
    matchDriveLetters(&found);
}

void DriveList::Adopt(CObList& found, SettingsStore& settings)
{
    while (!found.IsEmpty()) {
        POSITION head = found.GetHeadPosition();
        CdDrive* pDrive = static_cast<CdDrive*>(found.GetAt(head));
        found.RemoveAt(head);
        pDrive->replaceSpeedNames(settings.getStringList(pDrive->address, kKeySpeedNames, ""));
        pDrive->replaceKbSpeeds(settings.getStringList(pDrive->address, kKeyKbSpeeds, ""));
        m_stored.push_back({encodeStringList(*pDrive->speedNames), encodeStringList(*pDrive->kbSpeeds)});
        m_drives.AddTail(pDrive);
    }
}

std::vector<CdDrive*> DriveList::All() const
{
    std::vector<CdDrive*> all;
    for (POSITION pos = m_drives.GetHeadPosition(); pos != nullptr;)
        all.push_back(static_cast<CdDrive*>(m_drives.GetNext(pos)));
    return all;
}

bool DriveList::SaveSpeedLists(SettingsStore& settings)
{
    bool bAllWritten = true;
    for (int i = 0; i < GetCount() && i < static_cast<int>(m_stored.size()); ++i) {
        const CdDrive* pDrive = GetAt(i);
        StoredLists now = {pDrive->speedNames != nullptr ? encodeStringList(*pDrive->speedNames) : CString(),
                           pDrive->kbSpeeds != nullptr ? encodeStringList(*pDrive->kbSpeeds) : CString()};
        if (now.names == m_stored[i].names && now.kbSpeeds == m_stored[i].kbSpeeds)
            continue;
        const char* keys[] = {kKeySpeedNames, kKeyKbSpeeds};
        const char* values[] = {now.names, now.kbSpeeds};
        if (settings.writeKeys(pDrive->address, keys, values, 2))
            m_stored[i] = now;
        else
            bAllWritten = false;
    }
    return bAllWritten;
}

void DriveList::MatchLettersAgain()
{
    matchDriveLettersAgain(&m_drives);
}

void DriveList::Clear()
{
    for (POSITION pos = m_drives.GetHeadPosition(); pos != nullptr;)
        delete static_cast<CdDrive*>(m_drives.GetNext(pos));
    m_drives.RemoveAll();
    m_stored.clear();
}

int DriveList::GetCount() const
{
    return m_drives.GetCount();
}

CdDrive* DriveList::GetAt(int nIndex) const
{
    if (nIndex < 0)
        return nullptr;
    POSITION pos = m_drives.FindIndex(nIndex);
    return pos != nullptr ? static_cast<CdDrive*>(m_drives.GetAt(pos)) : nullptr;
}

CString DriveList::Label(const CdDrive& drive)
{
    CString strItem;
    strItem.Format("[%s] %c:\\ %s", drive.address.GetString(), drive.letter(), drive.name.GetString());
    return strItem;
}
