#include "ui/speed_memory.h"

#include <memory>

#include "drive/cd_drive.h"
#include "drive/conversions.h"
#include "framework/afxwin.h"
#include "settings/settings_store.h"
#include "settings/speed_entry.h"
#include "settings/startup_options.h"
#include "ui/drive_list.h"
#include "ui/drive_sections.h"
#include "ui/drive_worker.h"
#include "ui/settings_notice.h"

namespace {

// The KB/s value rather than the entry's name or position: it is what the
// drive is sent, and it stays right when the list is edited or holds two
// entries of one name. A build that does not know a key ignores it.
const char* LastSpeedKey(MediumKind kind)
{
    return kind == MediumKind::Dvd ? "dvdLastSpeed" : kind == MediumKind::Bd ? "bdLastSpeed" : "lastSpeed";
}

const MediumKind kSpeedKinds[] = {MediumKind::Cd, MediumKind::Dvd, MediumKind::Bd};

HWND MainWindow()
{
    CWnd* pMain = AfxGetMainWnd();
    return pMain != nullptr ? pMain->m_hWnd : nullptr;
}

}  // namespace

CommandOutcome SpeedMemory::Send(CdDrive& drive, MediumKind kind, int nKbps)
{
    const int nBefore = drive.chosenKbps(kind);
    drive.setChosenKbps(kind, nKbps);
    if (speedKind(drive.readMedium()) != kind)
        return CommandOutcome::MediumChanged;
    CommandOutcome outcome = drive.setSpeed(nKbps);
    if (outcome == CommandOutcome::Refused)
        drive.setChosenKbps(kind, nBefore);
    return outcome;
}

void SpeedMemory::Choose(CdDrive& drive, MediumKind kind, int nKbps, DriveWorker& worker, ReadBack readBack,
                         ChoiceShown shown)
{
    struct Answer {
        CommandOutcome outcome = CommandOutcome::Failed;
        int nNow = 0;
    };
    auto answer = std::make_shared<Answer>();
    CdDrive* pDrive = &drive;
    const unsigned nChoice = Store(drive, kind, nKbps);
    worker.Post(
        [pDrive, kind, nKbps, readBack, answer] {
            answer->outcome = Send(*pDrive, kind, nKbps);
            if (readBack == ReadBack::Always || answer->outcome == CommandOutcome::Refused)
                answer->nNow = pDrive->getSpeed();
        },
        [this, pDrive, kind, nChoice, nKbps, answer, shown] {
            Answered(*pDrive, kind, nChoice, nKbps, answer->outcome);
            shown(answer->outcome, answer->nNow);
        });
}

unsigned SpeedMemory::Store(const CdDrive& drive, MediumKind kind, int nKbps)
{
    Write(drive, kind, nKbps);
    return ++m_latestChoice[&drive];
}

void SpeedMemory::Answered(const CdDrive& drive, MediumKind kind, unsigned nChoice, int nKbps,
                           CommandOutcome outcome)
{
    if (outcome != CommandOutcome::Refused)
        return;
    if (m_latestChoice[&drive] == nChoice)
        Write(drive, kind, drive.chosenKbps(kind));
    CString strText;
    strText.Format("光驱拒绝了所选的速度 %s，它仍以原来的速度运行。", speedText(nKbps, kind).GetString());
    ::MessageBoxA(MainWindow(), strText, "提示", MB_ICONINFORMATION | MB_OK);
}

void SpeedMemory::Write(const CdDrive& drive, MediumKind kind, int nKbps)
{
    CString strKbps;
    if (nKbps > 0)
        strKbps.Format("%d", nKbps);
    if (!StoreIdentity(m_settings, drive) || !m_settings.writeString(drive.section, LastSpeedKey(kind), strKbps))
        ReportSettingsWriteFailure(MainWindow(), m_settings);
}

void SpeedMemory::RestoreAtStart(const DriveList& drives, DriveWorker& worker)
{
    Restore(drives.All(), worker);
}

void SpeedMemory::Restore(const std::vector<CdDrive*>& drives, DriveWorker& worker)
{
    if (m_settings.getBool(kSystemSection, kKeyRunSetSpeed, kRunSetSpeedDefault) == 0)
        return;
    struct Stored {
        CdDrive* pDrive;
        int nKbps[3];  // CD, DVD, BD
    };
    std::vector<Stored> stored;
    for (CdDrive* pDrive : drives) {
        Stored s = {pDrive, {0, 0, 0}};
        bool bAny = false;
        for (int k = 0; k < 3; ++k) {
            const int nKbps = speedEntryToInt(m_settings.getStringValue(s.pDrive->section, LastSpeedKey(kSpeedKinds[k]), ""));
            s.nKbps[k] = nKbps >= kbpsPerX(kSpeedKinds[k]) ? nKbps : 0;
            bAny = bAny || s.nKbps[k] != 0;
        }
        if (bAny)
            stored.push_back(s);
    }
    if (stored.empty())
        return;
    worker.Post([stored] {
        for (const Stored& s : stored) {
            for (int k = 0; k < 3; ++k)
                s.pDrive->setChosenKbps(kSpeedKinds[k], s.nKbps[k]);
            // The speed for the disc the drive holds is sent; one it cannot
            // take is not in force, and the stored value stays for the user
            // to change. Only a drive with speeds stored for DVDs or BDs is
            // asked what it holds (its capabilities page tells whether it
            // reads DVDs): any other gets its CD speed.
            if (s.nKbps[1] != 0 || s.nKbps[2] != 0)
                s.pDrive->getMaxSpeed();
            const MediumKind kind = speedKind(s.pDrive->readMedium());
            const int nKbps = s.pDrive->chosenKbps(kind);
            if (nKbps != 0 && s.pDrive->setSpeed(nKbps) == CommandOutcome::Refused)
                s.pDrive->setChosenKbps(kind, 0);
        }
    });
}

void SpeedMemory::ReapplyToLetters(const std::vector<CdDrive*>& drives, DWORD dwUnitMask)
{
    for (CdDrive* pDrive : drives) {
        if (pDrive->hasLetter() && (dwUnitMask & (DWORD(1) << (pDrive->letter() - 'A'))) != 0)
            pDrive->reapplyChosenSpeed();
    }
}
