// The rules every window of the program follows alike: Enter presses the command button that has
// the focus, a window of fixed size goes back to it whatever resized it, and a unit list that
// takes no typing is still picked from by the keyboard.
#include "KivoSoft/config/SupplyConfig.h"
#include "KivoSoft/config/frmModuleGrouping.h"
#include "KivoSoft/controls/Twips.h"
#include "KivoSoft/model/tests/model_fixture.h"
#include "KivoSoft/monitor/MonitorForm.h"
#include "KivoSoft/shell/CommParamsForm.h"
#include "KivoSoft/shell/Forms.h"
#include "KivoSoft/shell/MainForm.h"
#include "tests/support/eventually.h"
#include "tests/support/modal.h"
#include "tests/support/outside_resize.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QTest>

#include <functional>
#include <optional>
#include <string>

using namespace KivoSoft;
using namespace KivoSoft::testing;
using kivo::desktop::DesktopCall;
using kivo::testsupport::resizeFromOutside;
using kivo::testsupport::whenModalShows;

namespace {

class EveryWindow : public ProgramFolderTest {
protected:
    void TearDown() override
    {
        deleteSupplyConfig();
        deleteMonitorForm();
        Forms::deleteAll();
        ProgramFolderTest::TearDown();
    }

    // Shows `window` active, as the user has it in front.
    static bool activate(QWidget& window)
    {
        window.show();
        window.raise();
        window.activateWindow();
        return QTest::qWaitForWindowActive(&window);
    }

    // The port dialog's next showing, closed at once; whether it came.
    static std::shared_ptr<bool> portDialogComes()
    {
        auto came = std::make_shared<bool>(false);
        whenModalShows([came](QWidget* modal) {
            *came = qobject_cast<CommParamsForm*>(modal) != nullptr;
            qobject_cast<QDialog*>(modal)->reject();
        });
        return came;
    }

    std::string lastHelpTopic() const
    {
        const auto topics = desktop.calls(DesktopCall::Kind::HelpTopic);
        return topics.empty() ? std::string() : topics.back().text.toStdString();
    }
};

// Enter on a focused command button does what its click does, in each of the program's windows.
TEST_F(EveryWindow, EnterPressesTheFocusedCommandButtonInEveryWindow)
{
    SupplyConfig& config = supplyConfigInstance();
    frmModuleGrouping grouping(&config);
    struct Case {
        const char* window;
        std::function<QWidget&()> show;
        std::function<QPushButton*()> button;
        // Arranged before Enter; then whether the click's effect came.
        std::function<std::function<bool()>()> expect;
    };
    const auto portDialog = [] {
        auto came = portDialogComes();
        return std::function<bool()>([came] { return *came; });
    };
    const auto help = [this](const char* topic) {
        return [this, topic] {
            return std::function<bool()>([this, topic] { return lastHelpTopic() == topic; });
        };
    };
    const Case cases[] = {
        {"main window", []() -> QWidget& { return Forms::mainForm(); },
         [] { return Forms::mainForm().cmdComPort; }, portDialog},
        {"monitor window", []() -> QWidget& { return monitorFormInstance(); },
         [] { return monitorFormInstance().cmdHelp; }, help("KIP.html")},
        {"monitor window, port button", []() -> QWidget& { return monitorFormInstance(); },
         [] { return monitorFormInstance().cmdComSettings; }, portDialog},
        {"configuration window", [&]() -> QWidget& { return config; },
         [&] { return config.cmdComSettings; }, portDialog},
        {"grouping dialog", [&]() -> QWidget& { return grouping; },
         [&] { return grouping.cmdHelp; }, help("GroupingOverview.html")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.window);
        ASSERT_TRUE(activate(c.show()));
        QPushButton* button = c.button();
        ASSERT_TRUE(button->isVisible());
        button->setFocus();
        const std::function<bool()> came = c.expect();
        QTest::keyClick(button, Qt::Key_Return);
        EXPECT_TRUE(came());
    }
}

// A window of fixed size that something outside resized (a window manager that ignores the
// fixed-size hints, xdotool with none running) goes back to its size, in each of its sizes.
TEST_F(EveryWindow, AWindowResizedFromOutsideGoesBackToItsSize)
{
    struct Case {
        const char* window;
        std::function<QWidget&()> show;
        QSize twips;
    };
    const auto monitor = [](bool full) {
        return [full]() -> QWidget& {
            KivoGlobals::UnitSelected = full;
            monitorFormInstance().Form_Resize();
            return monitorFormInstance();
        };
    };
    const auto config = [](bool expanded) {
        return [expanded]() -> QWidget& {
            KivoGlobals::ConfigExpanded = expanded;
            supplyConfigInstance().Form_Resize();
            return supplyConfigInstance();
        };
    };
    const Case cases[] = {
        {"main window",
         []() -> QWidget& { return Forms::mainForm(); },
         {MainForm::NormalWidthTwips, MainForm::NormalHeightTwips}},
        {"monitor, compact",
         monitor(false),
         {MonitorForm::CompactWidthTwips, MonitorForm::CompactHeightTwips}},
        {"monitor, full",
         monitor(true),
         {MonitorForm::FullWidthTwips, MonitorForm::FullHeightTwips}},
        {"configuration window, collapsed",
         config(false),
         {SupplyConfig::WidthTwips, SupplyConfig::CollapsedHeightTwips}},
        {"configuration window, expanded",
         config(true),
         {SupplyConfig::WidthTwips, SupplyConfig::ExpandedHeightTwips}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.window);
        QWidget& window = c.show();
        window.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
        const QSize size(twipsToPixels(c.twips.width()), twipsToPixels(c.twips.height()));
        ASSERT_EQ(window.size(), size);
        // Smaller and larger, within the test screen (800 x 600, which the full monitor exceeds).
        for (const QSize outside :
             {size - QSize(20, 20), size.boundedTo({790, 590}) + QSize(5, 5)}) {
            ASSERT_TRUE(resizeFromOutside(window, outside));
            EXPECT_TRUE(kivo::testsupport::eventually([&] { return window.size() == size; }))
                << outside.width() << " x " << outside.height();
        }
        window.hide();
    }
}

// The unit lists take no typing (a typed digit or arrow changes nothing), yet a keyboard user
// picks a unit as the mouse does: a list-opening key shows the items, and Enter on one picks it
// with the same activation as a click.
TEST_F(EveryWindow, AUnitListIsPickedFromByTheKeyboardButTakesNoTyping)
{
    struct Case {
        const char* window;
        std::function<QWidget&()> show;
        std::function<QComboBox*()> list;
    };
    const Case cases[] = {
        {"monitor window", []() -> QWidget& { return monitorFormInstance(); },
         [] { return monitorFormInstance().UnitList; }},
        {"configuration window", []() -> QWidget& { return supplyConfigInstance(); },
         [] { return static_cast<QComboBox*>(supplyConfigInstance().UnitList); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.window);
        ASSERT_TRUE(activate(c.show()));
        QComboBox* list = c.list();
        int picks = 0;
        const auto counted = QObject::connect(list, &QComboBox::activated, [&picks] { ++picks; });
        list->setFocus();
        const QString before = list->currentText();
        for (const Qt::Key typed : {Qt::Key_7, Qt::Key_Down, Qt::Key_End}) {
            QTest::keyClick(list, typed);
        }
        EXPECT_EQ(list->currentText(), before);
        EXPECT_FALSE(list->view()->isVisible());

        for (const auto& [key, modifiers] :
             {std::pair{Qt::Key_Down, Qt::AltModifier}, std::pair{Qt::Key_F4, Qt::NoModifier},
              std::pair{Qt::Key_Space, Qt::NoModifier}}) {
            QTest::keyClick(list, key, modifiers);
            ASSERT_TRUE(kivo::testsupport::eventually([&] { return list->view()->isVisible(); }))
                << key;
            QTest::keyClick(list->view(), Qt::Key_Escape);
            ASSERT_TRUE(kivo::testsupport::eventually([&] { return !list->view()->isVisible(); }))
                << key;
        }
        EXPECT_EQ(picks, 0);

        QTest::keyClick(list, Qt::Key_Down, Qt::AltModifier);
        ASSERT_TRUE(kivo::testsupport::eventually([&] { return list->view()->isVisible(); }));
        QAbstractItemView* items = list->view();
        items->setCurrentIndex(items->model()->index(2, 0));
        QTest::keyClick(items, Qt::Key_Return);
        EXPECT_TRUE(kivo::testsupport::eventually([&] { return !list->view()->isVisible(); }));
        EXPECT_EQ(list->currentText(), QStringLiteral("3"));
        EXPECT_EQ(picks, 1);
        QObject::disconnect(counted);
        c.show().hide();
    }
}

} // namespace
