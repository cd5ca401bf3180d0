// The program-wide guard around the port.
#include "KivoSoft/model/LinkInUse.h"

#include <QCoreApplication>
#include <QObject>

#include <gtest/gtest.h>

#include <memory>
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

TEST(LinkInUse, WhenFreeRunsOnceFromTheEventLoopAfterEveryHolderIsDone)
{
    QObject context;
    int ran = 0;
    {
        LinkInUse action(QStringLiteral("refresh"));
        LinkInUse::whenFree(&context, [&ran] { ++ran; });
        QCoreApplication::processEvents(); // the action pumps events: too early
        EXPECT_EQ(ran, 0);
        action.release();
        EXPECT_EQ(ran, 0); // not inside the handler that gives the guard back
    }
    {
        // Another action took the guard before the event loop came round: it waits for that one.
        LinkInUse tick(QStringLiteral("tick"));
        QCoreApplication::processEvents();
        EXPECT_EQ(ran, 0);
    }
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, 1);

    // With the guard free it still waits for the event loop.
    LinkInUse::whenFree(&context, [&ran] { ++ran; });
    EXPECT_EQ(ran, 1);
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, 2);

    // Nothing runs for a context that is gone, whether it went under the action or after it.
    for (const bool goneUnderTheAction : {true, false}) {
        auto gone = std::make_unique<QObject>();
        {
            LinkInUse action(QStringLiteral("apply"));
            LinkInUse::whenFree(gone.get(), [&ran] { ++ran; });
            if (goneUnderTheAction) {
                gone.reset();
            }
        }
        gone.reset();
        QCoreApplication::processEvents();
        EXPECT_EQ(ran, 2) << goneUnderTheAction;
    }
}
