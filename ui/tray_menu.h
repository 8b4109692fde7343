// The popup menu of the notification icon: a drawn menu with a banner, the
// window and door commands, a sub-menu that chooses the menu drive and a
// sub-menu of that drive's speeds. It keeps which drive and which speed
// item are chosen, and carries out the choice. The menu is made again
// whenever the menu drive changes and before it opens, so that the speed
// sub-menu always shows the menu drive's lists as they are.
#pragma once

#include "framework/afxwin.h"
#include "menu/drawn_menu.h"

class CdDrive;
class CDrawnMenu;
class DriveList;
class DriveWorker;
class SpeedMemory;

// The menu's commands.
enum : UINT {
    ID_TRAY_SHOWHIDE = 32771,
    ID_TRAY_EJECT = 32773,
    ID_TRAY_CLOSE = 32774,
    ID_TRAY_SELECT_DRIVE = 32775,
    ID_TRAY_SET_SPEED = 32776,
    ID_TRAY_OPTIONS = 32777,
    ID_TRAY_EXIT = 32778,
    ID_TRAY_ABOUT = 101,
    ID_TRAY_DRIVE_FIRST = 32800,
    ID_TRAY_DRIVE_LAST = 32829,
    ID_TRAY_SPEED_FIRST = 32830,
    // Every speed item the menu lists is handled; the range is wide enough
    // for any list a user can build (the X factor runs up to 200).
    ID_TRAY_SPEED_LAST = ID_TRAY_SPEED_FIRST + 511,
};

class CTrayMenu {
public:
    CTrayMenu(const DriveList& drives, SpeedMemory& speeds, DriveWorker& worker);
    ~CTrayMenu();
    CTrayMenu(const CTrayMenu&) = delete;
    CTrayMenu& operator=(const CTrayMenu&) = delete;

    // Builds the menu at start: the first drive is the menu drive, its speed
    // in force checked.
    void Build();
    // Opens the menu at the cursor, owned by pOwner, until it closes.
    void Track(CWnd* pOwner);
    // The drive item nID was chosen: it becomes the menu drive, checked.
    void OnDriveCommand(UINT nID);
    // The speed item nID was chosen: it is checked, and the entry of the
    // menu drive's list at that index is sent to become its chosen speed.
    // A speed the drive refuses leaves the item of the speed it runs at
    // checked.
    void OnSpeedCommand(UINT nID);
    // The menu's handle (null before Build).
    HMENU GetSafeHmenu() const { return m_pMenu != nullptr ? m_pMenu->m_hMenu : nullptr; }
    void MeasureItem(LPMEASUREITEMSTRUCT lpMeasureItemStruct);
    // The drive the Eject, Close and speed commands act on, or null.
    CdDrive* GetMenuDrive() const;
    // Frees the menu with the window that shows it.
    void Destroy();

private:
    // Makes the items for the current menu drive.
    void BuildItems();
    // Makes the menu again and checks the chosen drive and the menu drive's
    // speed in force.
    void Rebuild();
    // The checked speed item follows the menu drive's speed in force, which
    // the panel may have changed; it stays on the item chosen when that
    // item's speed is the one in force.
    void FollowChosenSpeed();
    // Replaces the item nID by a plain, checked or unchecked, text item.
    void SetItem(UINT nID, bool bChecked, const CString& strText);
    // Checks the speed item nChecked (0: none) of the menu drive's list,
    // and no other.
    void CheckSpeed(const CdDrive& drive, UINT nChecked);

    const DriveList& m_drives;
    SpeedMemory& m_speeds;
    DriveWorker& m_worker;
    CDrawnMenu* m_pMenu = nullptr;
    UINT m_nDriveCmd = ID_TRAY_DRIVE_FIRST;
    // The check mark shows only on a drive the user chose.
    bool m_bDriveChosen = false;
    UINT m_nSpeedCmd = 0;
};
