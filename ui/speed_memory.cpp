#include "ui/speed_memory.h"

#include "drive/cd_drive.h"
#include "drive/conversions.h"
#include "framework/afxwin.h"
#include "settings/settings_store.h"
#include "settings/speed_entry.h"
#include "settings/startup_options.h"
#include "ui/drive_list.h"
#include "ui/settings_notice.h"

namespace {

// The KB/s value rather than the entry's name or position: it is what the
// drive is sent, and it stays right when the list is edited or holds two
// entries of one name. A build that does not know the key ignores it.
const char kKeyLastSpeed[] = "lastSpeed";

}  // namespace

CommandOutcome SpeedMemory::Choose(CdDrive& drive, int nKbps)
{
    const int nBefore = drive.chosenKbps;
    drive.chosenKbps = nKbps;
    CommandOutcome outcome = drive.setSpeed(nKbps);
    CWnd* pMain = AfxGetMainWnd();
    HWND hOwner = pMain != nullptr ? pMain->m_hWnd : nullptr;
    if (outcome == CommandOutcome::Refused) {
        drive.chosenKbps = nBefore;
        CString strText;
        strText.Format("光驱拒绝了所选的速度 %s，它仍以原来的速度运行。", speedText(nKbps).GetString());
        ::MessageBoxA(hOwner, strText, "提示", MB_ICONINFORMATION | MB_OK);
        return outcome;
    }
    CString strKbps;
    strKbps.Format("%d", nKbps);
    if (!m_settings.writeString(drive.address, kKeyLastSpeed, strKbps))
        ReportSettingsWriteFailure(hOwner, m_settings);
    return outcome;
}

void SpeedMemory::RestoreAtStart(const DriveList& drives)
{
    if (m_settings.getBool(kSystemSection, kKeyRunSetSpeed, kRunSetSpeedDefault) == 0)
        return;
    for (int i = 0; i < drives.GetCount(); ++i) {
        CdDrive* pDrive = drives.GetAt(i);
        int nKbps = speedEntryToInt(m_settings.getStringValue(pDrive->address, kKeyLastSpeed, ""));
        if (nKbps < KBPS_PER_X)
            continue;
        pDrive->chosenKbps = nKbps;
        // A drive that cannot take the stored speed keeps its own; the
        // stored value stays for the user to change.
        if (pDrive->setSpeed(nKbps) == CommandOutcome::Refused)
            pDrive->chosenKbps = 0;
    }
}

void SpeedMemory::ReapplyToLetters(const DriveList& drives, DWORD dwUnitMask)
{
    for (int i = 0; i < drives.GetCount(); ++i) {
        CdDrive* pDrive = drives.GetAt(i);
        if (pDrive->hasLetter() && (dwUnitMask & (DWORD(1) << (pDrive->letter - 'A'))) != 0)
            pDrive->reapplyChosenSpeed();
    }
}
