// Destroying a CDrawnMenu releases every entry, icon and CDrawnMenu
// sub-menu it owns exactly once, and nothing it does not own.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <vector>

#include "framework/record_sizes.h"
#include "menu/drawn_menu.h"
#include "tests/menu/canvas.h"

namespace {

std::vector<const void*> g_released;

int timesReleased(const void* p)
{
    return static_cast<int>(std::count(g_released.begin(), g_released.end(), p));
}

class CountedEntry : public CDrawnMenuCommandEntry {
public:
    CountedEntry(UINT id, const char* caption, HICON icon = nullptr) : CDrawnMenuCommandEntry(id, caption, icon) {}
    ~CountedEntry() override { g_released.push_back(this); }
};

class CountedBanner : public CDrawnMenuBannerEntry {
public:
    CountedBanner() : CDrawnMenuBannerEntry("TRELVIK", 24) {}
    ~CountedBanner() override { g_released.push_back(this); }
};

class CountedMenu : public CDrawnMenu {
public:
    CountedMenu() { Attach(::CreatePopupMenu()); }
    ~CountedMenu() override { g_released.push_back(this); }
};

class CountedPlainMenu : public CMenu {
public:
    ~CountedPlainMenu() override { g_released.push_back(this); }
};

class DrawnMenuRelease : public ::testing::Test {
protected:
    void SetUp() override { g_released.clear(); }
    void TearDown() override { CMenu::DeleteTempMap(); }

    // An entry with an icon of its own, remembered for the checks.
    CountedEntry* entry(UINT id, bool withIcon = true)
    {
        HICON icon = withIcon ? makeSolidIcon(16, RGB(200, 30, 30)) : nullptr;
        if (withIcon)
            m_icons.push_back(icon);
        CountedEntry* e = new CountedEntry(id, "entry", icon);
        m_entries.push_back(e);
        return e;
    }

    void expectAllReleasedOnce()
    {
        for (size_t i = 0; i < m_entries.size(); ++i)
            EXPECT_EQ(timesReleased(m_entries[i]), 1) << "entry " << i << " id " << m_entries[i];
        for (size_t i = 0; i < m_icons.size(); ++i)
            EXPECT_FALSE(iconAlive(m_icons[i])) << "icon " << i;
    }

    std::vector<const void*> m_entries;
    std::vector<HICON> m_icons;
};

TEST_F(DrawnMenuRelease, TopLevelWithTwoSubmenusReleasesEverythingOnce)
{
    CountedMenu* top = new CountedMenu;
    CountedMenu* drives = new CountedMenu;
    CountedMenu* speeds = new CountedMenu;
    CountedBanner* banner = new CountedBanner;
    m_entries.push_back(banner);

    ASSERT_TRUE(top->AppendBanner(banner));
    ASSERT_TRUE(top->AppendEntry(0, entry(32771)));
    ASSERT_TRUE(top->AppendEntry(0, entry(32777)));
    top->AppendDivider();
    for (UINT i = 0; i < 3; ++i)
        ASSERT_TRUE(drives->AppendEntry(0, entry(32800 + i, false)));
    ASSERT_TRUE(top->AppendSubmenu(0, drives, entry(32775)));
    for (UINT i = 0; i < 4; ++i)
        ASSERT_TRUE(speeds->AppendEntry(0, entry(32830 + i, i == 0)));
    speeds->AppendDivider();
    ASSERT_TRUE(top->AppendSubmenu(0, speeds, entry(32776)));
    top->AppendDivider();
    ASSERT_TRUE(top->AppendEntry(0, entry(32778)));
    HMENU hTop = top->m_hMenu;
    HMENU hDrives = drives->m_hMenu;
    HMENU hSpeeds = speeds->m_hMenu;

    delete top;

    expectAllReleasedOnce();
    EXPECT_EQ(timesReleased(drives), 1);
    EXPECT_EQ(timesReleased(speeds), 1);
    EXPECT_EQ(timesReleased(top), 1);
    EXPECT_FALSE(IsMenu(hTop));
    EXPECT_FALSE(IsMenu(hDrives));
    EXPECT_FALSE(IsMenu(hSpeeds));
    EXPECT_EQ(CMenu::FromHandlePermanent(hTop), nullptr);
    EXPECT_EQ(CMenu::FromHandlePermanent(hDrives), nullptr);
    EXPECT_EQ(CMenu::FromHandlePermanent(hSpeeds), nullptr);
}

TEST_F(DrawnMenuRelease, EntryOfAModifiedItemIsStillReleasedOnce)
{
    CountedMenu* top = new CountedMenu;
    CountedMenu* drives = new CountedMenu;
    ASSERT_TRUE(top->AppendEntry(0, entry(32771)));
    ASSERT_TRUE(top->AppendEntry(0, entry(32773)));
    ASSERT_TRUE(drives->AppendEntry(0, entry(32800, false)));
    ASSERT_TRUE(drives->AppendEntry(0, entry(32801, false)));
    ASSERT_TRUE(top->AppendSubmenu(0, drives, entry(32775)));

    // As the tray menu marks a chosen drive: by command, through the top
    // level, into a plain checked string item.
    ASSERT_TRUE(top->ModifyMenu(32801, MF_BYCOMMAND | MF_CHECKED, 32801, "[1] E:\\ drive"));
    ASSERT_TRUE(top->ModifyMenu(32771, MF_BYCOMMAND | MF_STRING, 32771, "plain"));
    MENUITEMINFOA mii;
    ZeroMemory(&mii, sizeof(mii));
    mii.cbSize = kMenuItemInfoV1Size;
    mii.fMask = MIIM_TYPE;
    ASSERT_TRUE(GetMenuItemInfoA(drives->m_hMenu, 1, TRUE, &mii));
    ASSERT_FALSE(mii.fType & MFT_OWNERDRAW) << "the item is no longer owner-drawn";

    delete top;

    expectAllReleasedOnce();
    EXPECT_EQ(timesReleased(drives), 1);
}

// A popup item that no longer names its sub-menu: replaced through
// ModifyMenu (Windows then destroys the old popup's handle, Wine keeps it as
// the item's sub-menu), or removed from the menu without destroying it.
TEST_F(DrawnMenuRelease, SubmenuOfAReplacedPopupItemIsStillReleasedOnce)
{
    for (int how = 0; how < 2; ++how) {
        g_released.clear();
        m_entries.clear();
        m_icons.clear();
        CountedMenu* top = new CountedMenu;
        CountedMenu* sub = new CountedMenu;
        ASSERT_TRUE(sub->AppendEntry(0, entry(32830)));
        ASSERT_TRUE(sub->AppendEntry(0, entry(32831)));
        ASSERT_TRUE(top->AppendSubmenu(0, sub, entry(32776)));
        ASSERT_TRUE(top->AppendEntry(0, entry(32778)));
        if (how == 0) {
            ASSERT_TRUE(top->ModifyMenu(0, MF_BYPOSITION | MF_STRING, 999, "no longer a popup"));
        } else {
            ASSERT_TRUE(RemoveMenu(top->m_hMenu, 0, MF_BYPOSITION));
            ASSERT_EQ(GetSubMenu(top->m_hMenu, 0), nullptr);
        }

        delete top;

        expectAllReleasedOnce();
        EXPECT_EQ(timesReleased(sub), 1) << (how == 0 ? "ModifyMenu" : "RemoveMenu");
    }
}

TEST_F(DrawnMenuRelease, EntryAppendedTwiceIsReleasedOnce)
{
    CountedMenu* top = new CountedMenu;
    CountedEntry* shared = entry(32771);
    ASSERT_TRUE(top->AppendEntry(0, shared));
    ASSERT_TRUE(top->AppendEntry(0, shared));
    delete top;
    expectAllReleasedOnce();
}

TEST_F(DrawnMenuRelease, LeavesAloneWhatItDoesNotOwn)
{
    struct Foreign {
        DWORD signature = 0x12345678;
        int value = 42;
    } foreign;
    HICON bystanderIcon = makeSolidIcon(16, RGB(0, 200, 0));
    CountedPlainMenu* plainSub = new CountedPlainMenu;
    ASSERT_TRUE(plainSub->CreatePopupMenu());
    HMENU rawPopup = CreatePopupMenu();

    CountedMenu* top = new CountedMenu;
    ASSERT_TRUE(top->AppendEntry(0, entry(1)));
    ASSERT_TRUE(AppendMenuA(top->m_hMenu, MF_STRING, 2, "plain item"));
    ASSERT_TRUE(AppendMenuA(top->m_hMenu, MF_OWNERDRAW, 3, reinterpret_cast<LPCSTR>(&foreign)));
    ASSERT_TRUE(top->AppendSubmenu(0, plainSub, entry(4)));
    ASSERT_TRUE(top->AppendSubmenu(0, CMenu::FromHandle(rawPopup), entry(5)));

    delete top;

    expectAllReleasedOnce();
    EXPECT_EQ(foreign.value, 42);
    EXPECT_TRUE(iconAlive(bystanderIcon));
    EXPECT_EQ(timesReleased(plainSub), 0) << "a plain CMenu sub-menu is not the parent's";
    EXPECT_EQ(CMenu::FromHandlePermanent(plainSub->m_hMenu), plainSub);
    CMenu::DeleteTempMap(); // the temporary wrapper of rawPopup goes; nothing else
    delete plainSub;
    EXPECT_EQ(timesReleased(plainSub), 1);
    DestroyIcon(bystanderIcon);
}

TEST_F(DrawnMenuRelease, RefusedEntryStaysTheCallers)
{
    CountedEntry* refused = entry(7);
    CountedEntry* refusedBanner = entry(8);
    CountedEntry* refusedLabel = entry(9);
    CountedMenu* refusedSub = new CountedMenu;
    {
        CDrawnMenu unattached;
        EXPECT_FALSE(unattached.AppendEntry(0, refused));
        EXPECT_FALSE(unattached.AppendBanner(refusedBanner));
        EXPECT_FALSE(unattached.AppendSubmenu(0, refusedSub, refusedLabel));
        EXPECT_FALSE(unattached.AppendEntry(0, nullptr));
        EXPECT_FALSE(unattached.AppendBanner(nullptr));
        EXPECT_FALSE(unattached.AppendSubmenu(0, nullptr, refusedLabel));
        unattached.AppendDivider(); // nothing to append to: its own entry is deleted at once
    }
    EXPECT_EQ(timesReleased(refused), 0);
    EXPECT_EQ(timesReleased(refusedBanner), 0);
    EXPECT_EQ(timesReleased(refusedLabel), 0);
    EXPECT_EQ(timesReleased(refusedSub), 0);
    EXPECT_TRUE(iconAlive(refused->m_hIcon));
    delete refused;
    delete refusedBanner;
    delete refusedLabel;
    delete refusedSub;
    expectAllReleasedOnce();
}

} // namespace
