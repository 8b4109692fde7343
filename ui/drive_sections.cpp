#include "ui/drive_sections.h"

#include <algorithm>
#include <string>

#include "drive/cd_drive.h"
#include "settings/settings_store.h"

namespace {

const char kKeyIdentity[] = "identity";
const char kSystemSection[] = "System";

struct Section {
    CString name;
    bool bHasIdentity = false;
    DriveIdentity identity;
    bool bUsed = false;
};

std::vector<Section> ReadSections(SettingsStore& settings, const std::vector<CdDrive*>& placed)
{
    std::vector<Section> sections;
    CStringList names(10);
    settings.getSectionNames(names);
    for (POSITION pos = names.GetHeadPosition(); pos != nullptr;) {
        Section s;
        s.name = names.GetNext(pos);
        if (s.name.CompareNoCase(kSystemSection) == 0)
            continue;
        const CString text = settings.getStringValue(s.name, kKeyIdentity, "");
        s.bHasIdentity = !text.IsEmpty() && parseIdentityText(text.GetString(), s.identity);
        // A recorded identity that cannot be read belongs to no drive here.
        if (!text.IsEmpty() && !s.bHasIdentity)
            s.bUsed = true;
        for (const CdDrive* pDrive : placed)
            s.bUsed = s.bUsed || s.name.CompareNoCase(pDrive->section) == 0;
        sections.push_back(s);
    }
    return sections;
}

Section* Find(std::vector<Section>& sections, const char* name)
{
    for (Section& s : sections) {
        if (s.name.CompareNoCase(name) == 0)
            return &s;
    }
    return nullptr;
}

// A name for a new section: the address, or the address with "#2", "#3"
// and on, the first that no section has.
CString NewSectionName(std::vector<Section>& sections, const CString& address)
{
    CString name = address;
    for (int n = 2; Find(sections, name) != nullptr; ++n)
        name.Format("%s#%d", address.GetString(), n);
    return name;
}

void Give(CdDrive& drive, Section& section)
{
    drive.section = section.name;
    section.bUsed = true;
}

}  // namespace

void AssignSections(const std::vector<CdDrive*>& drives, const std::vector<CdDrive*>& placed, SettingsStore& settings)
{
    std::vector<Section> sections = ReadSections(settings, placed);
    std::vector<CdDrive*> left = drives;
    auto assign = [&](auto pick) {
        for (auto it = left.begin(); it != left.end();) {
            Section* pSection = pick(**it);
            if (pSection != nullptr) {
                Give(**it, *pSection);
                it = left.erase(it);
            } else {
                ++it;
            }
        }
    };
    assign([&](const CdDrive& d) -> Section* {
        Section* s = Find(sections, d.address);
        return s != nullptr && !s->bUsed && s->bHasIdentity && s->identity == d.identity ? s : nullptr;
    });
    assign([&](const CdDrive& d) -> Section* {
        for (Section& s : sections)
            if (!s.bUsed && s.bHasIdentity && s.identity == d.identity)
                return &s;
        return nullptr;
    });
    assign([&](CdDrive& d) -> Section* {
        Section* s = Find(sections, d.address);
        if (s == nullptr || s->bUsed || s->bHasIdentity)
            return nullptr;
        d.section = s->name;
        StoreIdentity(settings, d);
        return s;
    });
    for (CdDrive* pDrive : left) {
        Section fresh;
        fresh.name = NewSectionName(sections, pDrive->address);
        sections.push_back(fresh);
        Give(*pDrive, sections.back());
    }
}

bool StoreIdentity(SettingsStore& settings, const CdDrive& drive)
{
    const std::string text = identityText(drive.identity);
    if (settings.getStringValue(drive.section, kKeyIdentity, "") == text.c_str())
        return true;
    return settings.writeString(drive.section, kKeyIdentity, text.c_str());
}
