// CMenu's handle maps: permanent objects from Attach, temporary wrappers from
// FromHandle, and who destroys the menu handle.
#include <gtest/gtest.h>
#include <windows.h>

#include "framework/menu.h"

TEST(CMenuMaps, PermanentObjectsOwnTheirHandle)
{
    HMENU h = CreatePopupMenu();
    HMENU h2 = CreatePopupMenu();
    CMenu::FromHandle(h); // a temporary wrapper that Attach takes over from
    {
        CMenu menu;
        CMenu other;
        EXPECT_FALSE(menu.Attach(nullptr));
        ASSERT_TRUE(menu.Attach(h));
        EXPECT_FALSE(menu.Attach(h2)) << "already has a handle";
        EXPECT_FALSE(other.Attach(h)) << "handle already bound";
        EXPECT_EQ(CMenu::FromHandle(h), &menu);
        CMenu::DeleteTempMap(); // touches neither the handle nor the object
        EXPECT_TRUE(IsMenu(h));
        EXPECT_EQ(CMenu::FromHandlePermanent(h), &menu);
        ASSERT_TRUE(other.Attach(h2));
        EXPECT_EQ(other.Detach(), h2);
        EXPECT_EQ(other.m_hMenu, nullptr);
        EXPECT_EQ(CMenu::FromHandlePermanent(h2), nullptr) << "detached";
    }
    EXPECT_EQ(CMenu::FromHandlePermanent(h), nullptr);
    EXPECT_FALSE(IsMenu(h)) << "destroyed with its object";
    EXPECT_TRUE(IsMenu(h2)) << "detached handles stay alive";
    DestroyMenu(h2);
}

TEST(CMenuMaps, TemporaryWrappersNeverDestroyTheHandle)
{
    CMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    HMENU sub = CreatePopupMenu();
    ASSERT_TRUE(menu.AppendMenu(MF_STRING, 10, "ten"));
    ASSERT_TRUE(menu.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "sub"));
    EXPECT_EQ(CMenu::FromHandle(nullptr), nullptr);
    EXPECT_EQ(CMenu::FromHandle(::GetSubMenu(menu.m_hMenu, 0)), nullptr);
    CMenu* wrapper = CMenu::FromHandle(::GetSubMenu(menu.m_hMenu, 1));
    ASSERT_NE(wrapper, nullptr);
    EXPECT_EQ(wrapper->m_hMenu, sub);
    EXPECT_EQ(CMenu::FromHandle(sub), wrapper) << "one wrapper per handle until idle time";
    EXPECT_EQ(CMenu::FromHandlePermanent(sub), nullptr) << "a wrapper is not a permanent object";
    CMenu::DeleteTempMap();
    EXPECT_TRUE(IsMenu(sub));
    EXPECT_TRUE(menu.DestroyMenu());
    EXPECT_FALSE(menu.DestroyMenu());
    EXPECT_FALSE(IsMenu(sub)) << "destroyed with its parent";
}
