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

void DriveList::Detect(SettingsStore& settings)
{
    CString strTransport = settings.getStringValue("System", kKeyTransport, "");
    detectDrives(&m_drives, parseTransportChoice(strTransport));
    matchDriveLetters(&m_drives);
    for (POSITION pos = m_drives.GetHeadPosition(); pos != nullptr;) {
        CdDrive* pDrive = static_cast<CdDrive*>(m_drives.GetNext(pos));
        pDrive->replaceSpeedNames(settings.getStringList(pDrive->address, kKeySpeedNames, ""));
        pDrive->replaceKbSpeeds(settings.getStringList(pDrive->address, kKeyKbSpeeds, ""));
    }
}

void DriveList::SaveSpeedLists(SettingsStore& settings) const
{
    for (POSITION pos = m_drives.GetHeadPosition(); pos != nullptr;) {
        const CdDrive* pDrive = static_cast<const CdDrive*>(m_drives.GetNext(pos));
        if (pDrive->speedNames != nullptr)
            settings.writeStringList(pDrive->address, kKeySpeedNames, *pDrive->speedNames);
        if (pDrive->kbSpeeds != nullptr)
            settings.writeStringList(pDrive->address, kKeyKbSpeeds, *pDrive->kbSpeeds);
    }
}

void DriveList::Clear()
{
    for (POSITION pos = m_drives.GetHeadPosition(); pos != nullptr;)
        delete static_cast<CdDrive*>(m_drives.GetNext(pos));
    m_drives.RemoveAll();
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
    strItem.Format("[%s] %c:\\ %s", drive.address.GetString(), drive.letter, drive.name.GetString());
    return strItem;
}
