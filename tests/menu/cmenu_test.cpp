// CMenu's handle maps: permanent objects from Attach, temporary wrappers from
// FromHandle, and who destroys the menu handle.
#include <gtest/gtest.h>
#include <windows.h>

#include "framework/menu.h"

namespace {

class CMenuMaps : public ::testing::Test {
protected:
    void TearDown() override { CMenu::DeleteTempMap(); }
};

TEST_F(CMenuMaps, AttachEntersThePermanentMapAndDestructionDestroysTheHandle)
{
    HMENU h = CreatePopupMenu();
    {
        CMenu menu;
        ASSERT_TRUE(menu.Attach(h));
        EXPECT_EQ(menu.m_hMenu, h);
        EXPECT_EQ(CMenu::FromHandlePermanent(h), &menu);
        EXPECT_EQ(CMenu::FromHandle(h), &menu);
    }
    EXPECT_EQ(CMenu::FromHandlePermanent(h), nullptr);
    EXPECT_FALSE(IsMenu(h));
}

TEST_F(CMenuMaps, AttachRefusesNullBoundAndSecondHandles)
{
    HMENU h1 = CreatePopupMenu();
    HMENU h2 = CreatePopupMenu();
    CMenu a;
    CMenu b;
    EXPECT_FALSE(a.Attach(nullptr));
    ASSERT_TRUE(a.Attach(h1));
    EXPECT_FALSE(a.Attach(h2)) << "already has a handle";
    EXPECT_FALSE(b.Attach(h1)) << "handle already bound";
    EXPECT_EQ(CMenu::FromHandlePermanent(h1), &a);
    EXPECT_TRUE(b.Attach(h2));
}

TEST_F(CMenuMaps, DetachLeavesTheHandleAlive)
{
    HMENU h = CreatePopupMenu();
    {
        CMenu menu;
        ASSERT_TRUE(menu.Attach(h));
        EXPECT_EQ(menu.Detach(), h);
        EXPECT_EQ(menu.m_hMenu, nullptr);
        EXPECT_EQ(CMenu::FromHandlePermanent(h), nullptr);
    }
    EXPECT_TRUE(IsMenu(h));
    DestroyMenu(h);
}

TEST_F(CMenuMaps, TemporaryWrappersNeverDestroyTheHandle)
{
    HMENU h = CreatePopupMenu();
    EXPECT_EQ(CMenu::FromHandle(nullptr), nullptr);
    EXPECT_EQ(CMenu::FromHandlePermanent(h), nullptr);
    CMenu* temp = CMenu::FromHandle(h);
    ASSERT_NE(temp, nullptr);
    EXPECT_EQ(temp->m_hMenu, h);
    EXPECT_EQ(CMenu::FromHandle(h), temp) << "one wrapper per handle until idle time";
    EXPECT_EQ(CMenu::FromHandlePermanent(h), nullptr) << "a wrapper is not a permanent object";
    CMenu::DeleteTempMap();
    EXPECT_TRUE(IsMenu(h));
    DestroyMenu(h);
}

TEST_F(CMenuMaps, AttachTakesOverFromATemporaryWrapper)
{
    HMENU h = CreatePopupMenu();
    CMenu::FromHandle(h);
    {
        CMenu menu;
        ASSERT_TRUE(menu.Attach(h));
        EXPECT_EQ(CMenu::FromHandle(h), &menu);
        CMenu::DeleteTempMap(); // must not touch the handle or the object
        EXPECT_TRUE(IsMenu(h));
        EXPECT_EQ(CMenu::FromHandlePermanent(h), &menu);
    }
    EXPECT_FALSE(IsMenu(h));
}

TEST_F(CMenuMaps, SubMenusComeAsTemporaryWrappersAndDieWithTheirParent)
{
    CMenu menu;
    ASSERT_TRUE(menu.CreatePopupMenu());
    HMENU sub = CreatePopupMenu();
    ASSERT_TRUE(menu.AppendMenu(MF_STRING, 10, "ten"));
    ASSERT_TRUE(menu.AppendMenu(MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "sub"));
    CMenu* wrapper = menu.GetSubMenu(1);
    ASSERT_NE(wrapper, nullptr);
    EXPECT_EQ(wrapper->m_hMenu, sub);
    EXPECT_EQ(CMenu::FromHandlePermanent(sub), nullptr);
    EXPECT_EQ(menu.GetSubMenu(0), nullptr);
    EXPECT_TRUE(menu.DestroyMenu());
    EXPECT_FALSE(menu.DestroyMenu());
    EXPECT_FALSE(IsMenu(sub));
}

} // namespace
