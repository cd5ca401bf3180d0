// The window's two sizes and what each one shows, on every path that sets the size: a unit that
// stops answering under a refresh or a logging tick, a failed selection, and a size forced from
// outside. Full, the window shows everything; compact, it offers the keyboard, the mouse and a
// screen reader nothing outside the unit selection area.
#include "KivoSoft/monitor/tests/monitor_fixture.h"
#include "tests/support/access.h"
#include "tests/support/eventually.h"
#include "tests/support/outside_resize.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include <vector>

using namespace KivoSoft;
using namespace KivoSoft::testing;
using kivo::unitsim::Fault;

namespace {

class Sizes : public MonitorTest {
protected:
    void TearDown() override
    {
        form->hide();
        MonitorTest::TearDown();
    }

    // Unit 3 stops answering altogether, or answers again.
    void silent(bool on)
    {
        sim().server().faults().clear();
        if (on) {
            sim().server().faults().add({.uid = 3, .times = Fault::always});
        }
    }

    // What the full size adds to the selection area: the panels, the unit lamps and switches,
    // monitoring and its log.
    std::vector<QWidget*> fullSizeControls() const
    {
        std::vector<QWidget*> controls{
            form->Frame7,      form->PellarosGlobalDC, form->PellarosOutputOnOff,
            form->GOutputBtn,  form->GroupBtn,         form->OH,
            form->Check1,      form->Combo1,           form->Check2,
            form->txtFileName, form->cmdClear,         form->RichTextBox1};
        for (int k = 1; k <= 5; ++k) {
            const auto i = static_cast<std::size_t>(k);
            controls.insert(controls.end(), {form->s[i], form->MMessage[i], form->PellarosOS[i],
                                             form->PellarosDisplay[i], form->txtSP[i]});
        }
        return controls;
    }

    void expectFull()
    {
        EXPECT_EQ(form->size(), QSize(805, 590));
        for (QWidget* w : fullSizeControls()) {
            EXPECT_TRUE(w->isVisible()) << w->objectName().toStdString();
        }
    }

    bool inSelectionArea(QWidget* w) const
    {
        return QRect(QPoint(0, 0), QSize(179, 183))
            .contains(QRect(w->mapTo(form, QPoint(0, 0)), w->size()));
    }

    // Compact, and nothing outside the selection area takes the focus, a key or an action.
    void expectCompact()
    {
        EXPECT_EQ(form->size(), QSize(179, 183));
        for (QWidget* w : fullSizeControls()) {
            SCOPED_TRACE(w->objectName().toStdString());
            EXPECT_FALSE(w->isVisible());
            w->setFocus(Qt::OtherFocusReason);
            EXPECT_FALSE(w->hasFocus());
            QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
            ASSERT_NE(iface, nullptr);
            EXPECT_TRUE(iface->state().invisible);
            // A combo box keeps Qt's list-opening action, but its list does not stay open (below).
            QAccessibleActionInterface* actions = iface->actionInterface();
            if (actions && !qobject_cast<QComboBox*>(w)) {
                EXPECT_TRUE(actions->actionNames().isEmpty())
                    << actions->actionNames().join(' ').toStdString();
            }
        }
        for (const bool back : {false, true}) {
            for (QWidget* w : kivo::testsupport::tabWalk(form->cmdClose, 20, back)) {
                ASSERT_NE(w, nullptr);
                EXPECT_TRUE(inSelectionArea(w)) << w->objectName().toStdString();
            }
        }
        for (QWidget* w : fullSizeControls()) {
            if (auto* box = qobject_cast<QComboBox*>(w)) {
                QAccessible::queryAccessibleInterface(box)->actionInterface()->doAction(
                    QAccessibleActionInterface::showMenuAction());
                QTest::qWait(20);
                EXPECT_FALSE(box->view()->isVisible()) << w->objectName().toStdString();
            }
        }
    }
};

TEST_F(Sizes, AUnitThatFallsSilentKeepsTheFullWindowAndMonitorModeCanBeLeft)
{
    showActive();
    selectUnitThree();
    silent(true);
    QTest::mouseClick(form->cmdRefresh, Qt::LeftButton);
    EXPECT_EQ(windows.calls.size(), 1u); // the no-response size came, and went
    EXPECT_EQ(form->lblReady->text(), MonitorForm::ErrorText);
    {
        SCOPED_TRACE("refresh");
        expectFull();
    }

    // In monitor mode, after a tick that found the unit silent, and after one that read it again.
    for (const bool answersAgain : {false, true}) {
        SCOPED_TRACE(answersAgain ? "answers again" : "still silent");
        silent(false);
        QTest::mouseClick(form->Check1, Qt::LeftButton);
        ASSERT_TRUE(form->Timer2->isActive());
        silent(true);
        form->Timer2_Timer();
        expectFull();
        if (answersAgain) {
            silent(false);
            const auto rows = form->rtbNewLog->text().count(QStringLiteral("\r\n"));
            form->Timer2_Timer();
            EXPECT_FALSE(form->lastRefreshFailed());
            EXPECT_EQ(form->rtbNewLog->text().count(QStringLiteral("\r\n")), rows + 1);
            expectFull();
        }
        EXPECT_TRUE(form->Check1->isEnabled());
        QTest::mouseClick(form->Check1, Qt::LeftButton);
        EXPECT_FALSE(form->Check1->isChecked());
        EXPECT_FALSE(form->Timer2->isActive());
        EXPECT_EQ(form->windowTitle(), MonitorForm::InteractiveCaption);
    }
}

TEST_F(Sizes, AFailedSelectionOffersNothingOutsideTheSelectionArea)
{
    showActive();
    // The unit answers, but its global status read with an error reply.
    sim().server().faults().add(
        {.uid = 3, .cid = 0x0C, .kind = Fault::ErrorReply, .times = Fault::always});
    select(3);
    ASSERT_FALSE(KivoGlobals::UnitSelected);
    EXPECT_TRUE(windows.calls.isEmpty()); // no answer is not the failure here
    expectCompact();

    // Neither Space sent to the unseen global output button nor its press action sends anything.
    requests(false);
    QTest::keyClick(form->GOutputBtn, Qt::Key_Space);
    QAccessible::queryAccessibleInterface(form->GOutputBtn)
        ->actionInterface()
        ->doAction(QAccessibleActionInterface::pressAction());
    QCoreApplication::processEvents();
    EXPECT_TRUE(requests(false).empty());
    EXPECT_EQ(form->GOutputBtn->text(), "Off");
}

TEST_F(Sizes, ASizeForcedFromOutsideEndsInTheWindowsSizeWithWhatItShows)
{
    struct Case {
        const char* name;
        bool answers;
        QSize forced;
    };
    const Case cases[] = {
        {"full", true, QSize(179, 183)},
        {"compact after a failed selection", false, QSize(700, 500)},
    };
    showActive();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim().server().faults().clear();
        if (!c.answers) {
            sim().server().faults().add(
                {.uid = 3, .cid = 0x0C, .kind = Fault::ErrorReply, .times = Fault::always});
        }
        select(3);
        ASSERT_EQ(KivoGlobals::UnitSelected, c.answers);
        const QSize size = form->size();
        ASSERT_TRUE(kivo::testsupport::resizeFromOutside(*form, c.forced));
        EXPECT_TRUE(kivo::testsupport::eventually([&] { return form->size() == size; }));
        if (c.answers) {
            expectFull();
        } else {
            expectCompact();
        }
    }
}

} // namespace
