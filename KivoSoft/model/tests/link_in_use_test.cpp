// The program-wide guard around the port.
#include "KivoSoft/model/LinkInUse.h"

#include <gtest/gtest.h>

#include <optional>

using KivoSoft::LinkInUse;

TEST(LinkInUse, OneHolderAtATimeAndFreeOnEveryExit)
{
    ASSERT_FALSE(LinkInUse::taken());
    {
        LinkInUse outer(QStringLiteral("selection"));
        ASSERT_TRUE(outer.held());
        EXPECT_EQ(LinkInUse::holder(), QStringLiteral("selection"));

        // A tick pumped during the action finds it taken and leaves the holder as it was.
        LinkInUse tick(QStringLiteral("tmrMod1"));
        EXPECT_FALSE(tick.held());
        EXPECT_FALSE(tick);
        EXPECT_EQ(LinkInUse::holder(), QStringLiteral("selection"));
    }
    // The refused scope's end did not free it early, and the holder's end freed it.
    EXPECT_FALSE(LinkInUse::taken());
    EXPECT_TRUE(LinkInUse::holder().isEmpty());

    // An exception leaving the handler frees it too.
    try {
        LinkInUse link(QStringLiteral("apply"));
        throw 1;
    } catch (int) {
    }
    EXPECT_FALSE(LinkInUse::taken());
}

TEST(LinkInUse, EarlyReleaseAndMemberHolder)
{
    LinkInUse action(QStringLiteral("apply"));
    ASSERT_TRUE(action.held());
    action.release();
    EXPECT_FALSE(LinkInUse::taken());
    action.release(); // twice is harmless and frees nobody else's hold

    // A window that keeps the port for its life holds one as a member.
    std::optional<LinkInUse> dialog;
    dialog.emplace(QStringLiteral("frmModuleGrouping"));
    EXPECT_TRUE(dialog->held());
    action.release();
    EXPECT_TRUE(LinkInUse::taken());
    dialog.reset();
    EXPECT_FALSE(LinkInUse::taken());
}
