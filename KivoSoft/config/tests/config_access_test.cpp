// The window for a user at the keyboard and for a screen reader: which window an action makes
// busy and where the focus is afterwards, also while the grouping dialog loads.
#include "KivoSoft/config/frmModuleGrouping.h"
#include "KivoSoft/config/tests/config_fixture.h"
#include "KivoSoft/shell/MainForm.h"
#include "tests/support/modal.h"

#include <QApplication>
#include <QTest>

using namespace KivoSoft;
using namespace KivoSoft::testing;
namespace G = KivoSoft::KivoGlobals;

namespace {

class ConfigAccess : public ConfigTest {
protected:
    void TearDown() override
    {
        Forms::mainForm().hide();
        ConfigTest::TearDown();
    }

    void showActive()
    {
        window->show();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window));
    }

    // As right after an input box closed: no window of the program is active.
    static void leaveNoWindowActive()
    {
        QWidget box;
        box.resize(100, 40);
        box.show();
        box.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&box));
        box.hide();
        QCoreApplication::processEvents();
        ASSERT_EQ(QApplication::activeWindow(), nullptr);
    }
};

TEST_F(ConfigAccess, EveryActionMakesItsWindowBusyAlsoWithNoWindowActive)
{
    window->show();
    bool enabledDuringACall = false;
    int calls = 0;
    beforeCall = [&](const QString&) {
        ++calls;
        enabledDuringACall = enabledDuringACall || window->isEnabled();
    };
    struct Case {
        const char* name;
        std::function<void()> act;
    };
    const Case cases[] = {
        {"Start", [&] { readUnit("3"); }},
        {"the unit options' Apply",
         [&] {
             window->optFanFail[0]->setChecked(true);
             window->cmdApply_Click();
         }},
        {"a module's Apply",
         [&] {
             window->vsp[1]->setText("12.5");
             window->cmdApplyCLM_Click(tabOf(1));
         }},
        {"Detect Unit ID",
         [&] {
             desktop.queueInputBoxAnswer("1");
             window->cmdDetectUnitID_Click();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        leaveNoWindowActive();
        enabledDuringACall = false;
        calls = 0;
        c.act();
        EXPECT_GT(calls, 0);
        EXPECT_FALSE(enabledDuringACall);
        EXPECT_TRUE(window->isEnabled());
    }
    EXPECT_EQ(window->ReadUnitId, "3");
}

TEST_F(ConfigAccess, TheWindowTakesNoClickUntilTheGroupingDialogIsGone)
{
    readUnit("3");
    window->show();
    bool loading = false;
    bool enabledWhileLoading = true;
    beforeCall = [&](const QString& operation) {
        if (!loading && operation == "GetPresentModules" &&
            LinkInUse::holder() == frmModuleGrouping::LinkHolder) {
            // The dialog talks to the unit before it is up: the title bar's close box now.
            loading = true;
            enabledWhileLoading = window->isEnabled();
            window->close();
        }
    };
    bool stayedWhileShown = false;
    kivo::testsupport::whenModalShows([&](QWidget* dialog) {
        window->close();
        stayedWhileShown = window->isVisible() && window->isLoaded();
        dialog->close();
    });
    QTest::mouseClick(window->cmdModueGrouping, Qt::LeftButton);

    EXPECT_TRUE(loading);
    EXPECT_FALSE(enabledWhileLoading);
    EXPECT_TRUE(stayedWhileShown);
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(window->ReadUnitId, "3");
    EXPECT_TRUE(window->isEnabled());
    EXPECT_FALSE(LinkInUse::taken());

    // Gone, the dialog holds nothing back: the close box unloads again.
    window->close();
    EXPECT_FALSE(window->isVisible());
}

TEST_F(ConfigAccess, TheFocusIsBackWhereItWasAfterAnActionUnlessTheActionMovesIt)
{
    showActive();
    readUnit("3");
    struct Case {
        const char* name;
        QAbstractButton* button;
        std::function<void()> before;
        QWidget* focusAfter;
    };
    const Case cases[] = {
        {"Start", window->SelectButton, [] {}, window->SelectButton},
        {"Detect Unit ID", window->cmdDetectUnitID, [&] { desktop.queueInputBoxAnswer("1"); },
         window->cmdDetectUnitID},
        {"Module Groups", window->cmdModueGrouping,
         [] { kivo::testsupport::whenModalShows([](QWidget* dialog) { dialog->close(); }); },
         window->cmdModueGrouping},
        // The unit options' Apply sends the focus to Start itself.
        {"Apply", window->cmdApply, [&] { window->optFanFail[0]->setChecked(true); },
         window->SelectButton},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.before();
        QTest::mouseClick(c.button, Qt::LeftButton);
        QCoreApplication::processEvents();
        EXPECT_EQ(window->focusWidget(), c.focusAfter);
    }
}

} // namespace
