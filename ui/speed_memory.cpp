#include "ui/speed_memory.h"

#include "drive/cd_drive.h"
#include "drive/conversions.h"
#include "framework/afxwin.h"
#include "settings/settings_store.h"
#include "settings/speed_entry.h"
#include "settings/startup_options.h"
#include "ui/drive_list.h"
#include "ui/drive_worker.h"
#include "ui/settings_notice.h"

namespace {

// The KB/s value rather than the entry's name or position: it is what the
// drive is sent, and it stays right when the list is edited or holds two
// entries of one name. A build that does not know the key ignores it.
const char kKeyLastSpeed[] = "lastSpeed";

HWND MainWindow()
{
    CWnd* pMain = AfxGetMainWnd();
    return pMain != nullptr ? pMain->m_hWnd : nullptr;
}

}  // namespace

CommandOutcome SpeedMemory::Send(CdDrive& drive, int nKbps)
{
    const int nBefore = drive.chosenKbps();
    drive.setChosenKbps(nKbps);
    CommandOutcome outcome = drive.setSpeed(nKbps);
    if (outcome == CommandOutcome::Refused)
        drive.setChosenKbps(nBefore);
    return outcome;
}

unsigned SpeedMemory::Store(const CdDrive& drive, int nKbps)
{
    Write(drive, nKbps);
    return ++m_latestChoice[&drive];
}

void SpeedMemory::Answered(const CdDrive& drive, unsigned nChoice, int nKbps, CommandOutcome outcome)
{
    if (outcome != CommandOutcome::Refused)
        return;
    if (m_latestChoice[&drive] == nChoice)
        Write(drive, drive.chosenKbps());
    CString strText;
    strText.Format("光驱拒绝了所选的速度 %s，它仍以原来的速度运行。", speedText(nKbps).GetString());
    ::MessageBoxA(MainWindow(), strText, "提示", MB_ICONINFORMATION | MB_OK);
}

void SpeedMemory::Write(const CdDrive& drive, int nKbps)
{
    CString strKbps;
    if (nKbps >= KBPS_PER_X)
        strKbps.Format("%d", nKbps);
    if (!m_settings.writeString(drive.address, kKeyLastSpeed, strKbps))
        ReportSettingsWriteFailure(MainWindow(), m_settings);
}

void SpeedMemory::RestoreAtStart(const DriveList& drives, DriveWorker& worker)
{
    if (m_settings.getBool(kSystemSection, kKeyRunSetSpeed, kRunSetSpeedDefault) == 0)
        return;
    std::vector<std::pair<CdDrive*, int>> stored;
    for (int i = 0; i < drives.GetCount(); ++i) {
        CdDrive* pDrive = drives.GetAt(i);
        int nKbps = speedEntryToInt(m_settings.getStringValue(pDrive->address, kKeyLastSpeed, ""));
        if (nKbps >= KBPS_PER_X)
            stored.emplace_back(pDrive, nKbps);
    }
    if (stored.empty())
        return;
    worker.Post([stored] {
        for (const auto& drive : stored) {
            drive.first->setChosenKbps(drive.second);
            // A drive that cannot take the stored speed keeps its own; the
            // stored value stays for the user to change.
            if (drive.first->setSpeed(drive.second) == CommandOutcome::Refused)
                drive.first->setChosenKbps(0);
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
