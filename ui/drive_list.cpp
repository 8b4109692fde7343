#include "ui/drive_list.h"

#include <algorithm>

#include "drive/cd_drive.h"
#include "drive/discovery.h"
#include "settings/settings_store.h"
#include "ui/drive_sections.h"

namespace {

// The keys of each kind's lists in the drive's section: a CD's as they have
// always been, a DVD's and a BD's beside them, which older builds ignore.
const struct ListKeys {
    MediumKind kind;
    const char* names;
    const char* kbSpeeds;
} kListKeys[DriveList::kListKinds] = {
    {MediumKind::Cd, "speedNames", "kbSpeeds"},
    {MediumKind::Dvd, "dvdSpeedNames", "dvdKbSpeeds"},
    {MediumKind::Bd, "bdSpeedNames", "bdKbSpeeds"},
};
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
    m_pLink = detectDrives(&found, choice);
    matchDriveLetters(&found);
    for (POSITION pos = found.GetHeadPosition(); pos != nullptr;)
        m_known.push_back(static_cast<CdDrive*>(found.GetNext(pos)));
    m_dwLetters = cdRomLetterMask();
}

bool DriveList::LettersChanged()
{
    if (m_pLink == nullptr || !m_pLink->reachesByVolume())
        return false;
    const DWORD dwLetters = cdRomLetterMask();
    const bool bChanged = dwLetters != m_dwLetters;
    m_dwLetters = dwLetters;
    return bChanged;
}

void DriveList::FindAgain(CObList& found, std::vector<Moved>& moved)
{
    CObList fresh(10);
    if (m_pLink != nullptr)
        detectDrivesAgain(*m_pLink, &fresh);
    m_dwLetters = cdRomLetterMask();
    std::vector<CdDrive*> unclaimed = m_known;
    while (!fresh.IsEmpty()) {
        POSITION head = fresh.GetHeadPosition();
        CdDrive* pFound = static_cast<CdDrive*>(fresh.GetAt(head));
        fresh.RemoveAt(head);
        // The same drive: its identity, at the same address where two share one.
        auto same = [&](bool bSameAddress) {
            return std::find_if(unclaimed.begin(), unclaimed.end(), [&](CdDrive* p) {
                return p->identity == pFound->identity && (!bSameAddress || p->at() == pFound->at());
            });
        };
        auto it = same(true);
        if (it == unclaimed.end())
            it = same(false);
        if (it == unclaimed.end()) {
            m_known.push_back(pFound);
            found.AddTail(pFound);
            continue;
        }
        CdDrive* pDrive = *it;
        unclaimed.erase(it);
        moved.push_back({pDrive, addressText(pFound->at()), !pDrive->present()});
        pDrive->moveTo(pFound->at());
        pDrive->setLetter(pFound->letter());
        pDrive->setPresent(true);
        delete pFound;
    }
    for (CdDrive* pGone : unclaimed) {
        pGone->setPresent(false);
        pGone->setLetter(CdDrive::NO_LETTER);
    }
}

void DriveList::ShowMoved(const std::vector<Moved>& moved)
{
    for (const Moved& m : moved)
        m.pDrive->address = m.address;
}

void DriveList::Adopt(CObList& found, SettingsStore& settings)
{
    std::vector<CdDrive*> fresh;
    for (POSITION pos = found.GetHeadPosition(); pos != nullptr;)
        fresh.push_back(static_cast<CdDrive*>(found.GetNext(pos)));
    found.RemoveAll();
    AssignSections(fresh, All(), settings);
    for (CdDrive* pDrive : fresh) {
        Stored stored;
        for (int k = 0; k < kListKinds; ++k) {
            const ListKeys& keys = kListKeys[k];
            pDrive->replaceLists(keys.kind, settings.getStringList(pDrive->section, keys.names, ""),
                                 settings.getStringList(pDrive->section, keys.kbSpeeds, ""));
            stored.lists[k] = Encoded(*pDrive, keys.kind);
        }
        m_stored.push_back(stored);
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

DriveList::StoredLists DriveList::Encoded(const CdDrive& drive, MediumKind kind)
{
    const CdDrive::SpeedLists lists = drive.listsFor(kind);
    return {lists.names != nullptr ? encodeStringList(*lists.names) : CString(),
            lists.kbSpeeds != nullptr ? encodeStringList(*lists.kbSpeeds) : CString()};
}

bool DriveList::SaveSpeedLists(SettingsStore& settings)
{
    bool bAllWritten = true;
    for (int i = 0; i < GetCount() && i < static_cast<int>(m_stored.size()); ++i) {
        const CdDrive* pDrive = GetAt(i);
        for (int k = 0; k < kListKinds; ++k) {
            StoredLists now = Encoded(*pDrive, kListKeys[k].kind);
            StoredLists& stored = m_stored[i].lists[k];
            if (now.names == stored.names && now.kbSpeeds == stored.kbSpeeds)
                continue;
            const char* keys[] = {kListKeys[k].names, kListKeys[k].kbSpeeds};
            const char* values[] = {now.names, now.kbSpeeds};
            if (StoreIdentity(settings, *pDrive) && settings.writeKeys(pDrive->section, keys, values, 2))
                stored = now;
            else
                bAllWritten = false;
        }
    }
    return bAllWritten;
}

void DriveList::Clear()
{
    for (POSITION pos = m_drives.GetHeadPosition(); pos != nullptr;)
        delete static_cast<CdDrive*>(m_drives.GetNext(pos));
    m_drives.RemoveAll();
    m_stored.clear();
    m_known.clear();
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
    strItem.Format("[%s] %c:\\ %s%s", drive.address.GetString(), drive.letter(), drive.name.GetString(),
                   drive.present() ? "" : " (已移除)");
    return strItem;
}
