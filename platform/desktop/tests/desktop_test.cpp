#include "platform/desktop/busy_state.h"
#include "platform/desktop/desktop.h"
#include "platform/desktop/let_events_run.h"
#include "platform/desktop/qt_desktop.h"
#include "platform/desktop/recording_desktop.h"
#include "platform/desktop/single_instance.h"

#include "tests/support/modal.h"
#include <QAbstractButton>
#include <QApplication>
#include <QCoreApplication>
#include <QCursor>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QInputDialog>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QTimer>
#include <array>
#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <utility>

using namespace kivo::desktop;

namespace {

using kivo::testsupport::whenModalShows;

void writeFile(const QString& path, const QByteArray& contents)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

} // namespace

TEST(DesktopStyle, ButtonsAndIconOfAMessageBoxStyle)
{
    struct Case {
        int style;
        QList<MsgBoxResult> buttons;
        MsgBoxIcon icon;
    };
    const Case cases[] = {
        {vbOKOnly, {vbOK}, MsgBoxIcon::None},
        {vbCritical, {vbOK}, MsgBoxIcon::Critical},
        {vbOKCancel, {vbOK, vbCancel}, MsgBoxIcon::None},
        {vbYesNo + vbInformation, {vbYes, vbNo}, MsgBoxIcon::Information},
        {vbYesNoCancel + vbQuestion, {vbYes, vbNo, vbCancel}, MsgBoxIcon::Question},
        {vbAbortRetryIgnore + vbExclamation, {vbAbort, vbRetry, vbIgnore}, MsgBoxIcon::Exclamation},
        {vbRetryCancel, {vbRetry, vbCancel}, MsgBoxIcon::None},
        {9, {vbOK}, MsgBoxIcon::None},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        EXPECT_EQ(msgBoxButtons(c.style), c.buttons);
        EXPECT_EQ(msgBoxIcon(c.style), c.icon);
    }
}

TEST(DesktopStyle, FileFiltersBecomeQtNameFilters)
{
    struct Case {
        const char* filter;
        QStringList nameFilters;
    };
    const Case cases[] = {
        {"Text files (*.txt)|*.txt|All files (*.*)|*.*", {"Text files (*.txt)", "All files (*)"}},
        {"Logs|*.txt;*.csv", {"Logs (*.txt *.csv)"}},
        {"", {}},
        {"Orphan description", {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.filter);
        EXPECT_EQ(nameFilters(QString::fromLatin1(c.filter)), c.nameFilters);
    }
}

TEST(RecordingDesktop, RecordsEveryCallAndAnswersFromItsScript)
{
    RecordingDesktop recorder;
    Desktop* before = &desktop();
    {
        ScopedDesktop installed(recorder);
        ASSERT_EQ(&desktop(), &recorder);

        recorder.queueMsgBoxAnswer(vbNo);
        recorder.queueInputBoxAnswer("7");
        recorder.queueFileDialogAnswer(QStringLiteral("/tmp/units.txt"));
        recorder.queueHelpTopicAnswer(false);
        recorder.queueStartProgramAnswer(false);

        const FileDialogRequest save{FileDialogMode::Save, "Save Kivo Parameters to a file",
                                     "Text files (*.txt)|*.txt", "txt", ""};
        EXPECT_EQ(desktop().msgBox("Restart now?", vbYesNo + vbInformation, "EEPROM Configurator"),
                  vbNo);
        EXPECT_EQ(desktop().inputBox("New ID?", "Unit ID Changer", "1"), "7");
        EXPECT_EQ(desktop().fileDialog(save), QStringLiteral("/tmp/units.txt"));
        EXPECT_FALSE(desktop().showHelpTopic("GUI.html"));
        EXPECT_TRUE(desktop().openWebPage(QUrl("https://example.com/kivo")));
        EXPECT_TRUE(desktop().openFile("/tmp/error129.txt"));
        EXPECT_FALSE(desktop().startProgram("msinfo", {"-a", "b c"}));

        // With the script used up: first button, default text, cancel, success.
        EXPECT_EQ(desktop().msgBox("Sure?", vbYesNoCancel), vbYes);
        EXPECT_EQ(desktop().msgBox("Note"), vbOK);
        EXPECT_EQ(desktop().inputBox("ID?", "", "5"), "5");
        EXPECT_EQ(desktop().fileDialog(save), std::nullopt);
        EXPECT_TRUE(desktop().showHelpTopic("KIP.html"));
        EXPECT_TRUE(desktop().startProgram("viewer"));

        using Kind = DesktopCall::Kind;
        const std::vector<DesktopCall> expected = {
            {.kind = Kind::MsgBox,
             .text = "Restart now?",
             .title = "EEPROM Configurator",
             .style = vbYesNo + vbInformation},
            {.kind = Kind::InputBox,
             .text = "New ID?",
             .title = "Unit ID Changer",
             .defaultText = "1"},
            {.kind = Kind::FileDialog, .title = save.title, .fileDialog = save},
            {.kind = Kind::HelpTopic, .text = "GUI.html"},
            {.kind = Kind::WebPage, .text = "https://example.com/kivo"},
            {.kind = Kind::OpenFile, .text = "/tmp/error129.txt"},
            {.kind = Kind::StartProgram, .text = "msinfo", .arguments = {"-a", "b c"}},
            {.kind = Kind::MsgBox, .text = "Sure?", .style = vbYesNoCancel},
            {.kind = Kind::MsgBox, .text = "Note", .style = vbOKOnly},
            {.kind = Kind::InputBox, .text = "ID?", .defaultText = "5"},
            {.kind = Kind::FileDialog, .title = save.title, .fileDialog = save},
            {.kind = Kind::HelpTopic, .text = "KIP.html"},
            {.kind = Kind::StartProgram, .text = "viewer"},
        };
        EXPECT_EQ(recorder.calls(), expected);
        EXPECT_EQ(recorder.calls(Kind::MsgBox).size(), 3u);

        recorder.queueMsgBoxAnswer(vbCancel);
        recorder.clear();
        EXPECT_TRUE(recorder.calls().empty());
        EXPECT_EQ(desktop().msgBox("Again", vbOKCancel), vbOK); // the queued answer went too
    }
    EXPECT_EQ(&desktop(), before);
}

TEST(QtDesktop, MessageBoxShowsTitleTextIconAndAnswersTheButtonPressed)
{
    struct Case {
        int style;
        QString title;
        QString shownTitle;
        QMessageBox::Icon icon;
        QMessageBox::StandardButton press; // NoButton: press Escape
        MsgBoxResult result;
    };
    const Case cases[] = {
        {vbOKOnly, "", "KivoTest", QMessageBox::NoIcon, QMessageBox::Ok, vbOK},
        {vbOKOnly + vbCritical, "Error", "Error", QMessageBox::Critical, QMessageBox::NoButton,
         vbOK},
        {vbYesNo + vbInformation, "EEPROM Configurator", "EEPROM Configurator",
         QMessageBox::Information, QMessageBox::No, vbNo},
        {vbYesNoCancel + vbQuestion, "", "KivoTest", QMessageBox::Question, QMessageBox::Yes,
         vbYes},
        {vbOKCancel + vbExclamation, "Utility: Detect Unit ID", "Utility: Detect Unit ID",
         QMessageBox::Warning, QMessageBox::NoButton, vbCancel},
    };
    QtDesktop qt("KivoTest");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.style);
        QString shownTitle;
        QString shownText;
        QMessageBox::Icon shownIcon = QMessageBox::NoIcon;
        int buttonCount = 0;
        whenModalShows([&](QWidget* modal) {
            auto* box = qobject_cast<QMessageBox*>(modal);
            ASSERT_NE(box, nullptr);
            shownTitle = box->windowTitle();
            shownText = box->text();
            shownIcon = box->icon();
            buttonCount = int(box->buttons().size());
            if (c.press == QMessageBox::NoButton) {
                QTest::keyClick(box, Qt::Key_Escape);
            } else {
                box->button(c.press)->click();
            }
        });
        EXPECT_EQ(qt.msgBox("Unit 7 answers", c.style, c.title), c.result);
        EXPECT_EQ(shownTitle, c.shownTitle);
        EXPECT_EQ(shownText, "Unit 7 answers");
        EXPECT_EQ(shownIcon, c.icon);
        EXPECT_EQ(buttonCount, msgBoxButtons(c.style).size());
    }
}

TEST(QtDesktop, InputBoxGivesTheTextOnOkAndNothingOnCancel)
{
    QtDesktop qt("KivoTest");
    QString shownLabel;
    QString shownDefault;
    whenModalShows([&](QWidget* modal) {
        auto* dialog = qobject_cast<QInputDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        shownLabel = dialog->labelText();
        shownDefault = dialog->textValue();
        dialog->setTextValue("12");
        dialog->accept();
    });
    EXPECT_EQ(qt.inputBox("Enter the new unit ID", "Unit ID Changer", "1"), "12");
    EXPECT_EQ(shownLabel, "Enter the new unit ID");
    EXPECT_EQ(shownDefault, "1");

    whenModalShows([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    EXPECT_EQ(qt.inputBox("Enter the new unit ID", "", "1"), "");
}

TEST(QtDesktop, SaveDialogAddsTheSuffixAndCancelGivesNothing)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
    QtDesktop qt;
    const FileDialogRequest save{FileDialogMode::Save, "Save Kivo Parameters to a file",
                                 "Text files (*.txt)|*.txt|All files (*.*)|*.*", ".txt",
                                 folder.filePath("units")};
    QString shownTitle;
    QStringList shownFilters;
    whenModalShows([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        shownTitle = dialog->windowTitle();
        shownFilters = dialog->nameFilters();
        static_cast<QDialog*>(dialog)->accept(); // QFileDialog's own accept() is protected
    });
    EXPECT_EQ(qt.fileDialog(save), folder.filePath("units.txt"));
    EXPECT_EQ(shownTitle, save.title);
    EXPECT_EQ(shownFilters, QStringList({"Text files (*.txt)", "All files (*)"}));

    whenModalShows([](QWidget* modal) { qobject_cast<QDialog*>(modal)->reject(); });
    EXPECT_EQ(qt.fileDialog(save), std::nullopt);
}

TEST(QtDesktop, HelpViewerShowsAnExistingTopicAndReportsAMissingOne)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    ASSERT_TRUE(QDir(root.path()).mkdir("help"));
    const QString help = root.filePath("help");
    writeFile(help + "/GUI.html",
              "<html><head><title>Kivo main window</title></head><body>Menus</body></html>");
    writeFile(help + "/KIP.html", "<html><body>Monitor</body></html>");
    writeFile(root.filePath("Outside.html"), "<html><body>not help</body></html>");

    QtDesktop qt;
    qt.setHelpFolder(help);
    EXPECT_FALSE(qt.showHelpTopic("Missing.html"));
    EXPECT_EQ(qt.helpViewer(), nullptr);

    ASSERT_TRUE(qt.showHelpTopic("GUI.html"));
    QWidget* viewer = qt.helpViewer();
    ASSERT_NE(viewer, nullptr);
    EXPECT_TRUE(viewer->isVisible());
    EXPECT_EQ(viewer->windowTitle(), "Kivo main window");
    auto* browser = viewer->findChild<QTextBrowser*>();
    ASSERT_NE(browser, nullptr);
    EXPECT_EQ(browser->source(), QUrl::fromLocalFile(help + "/GUI.html"));
    EXPECT_TRUE(browser->toPlainText().contains("Menus"));

    // The same window shows the next topic; names that leave the help folder are refused.
    ASSERT_TRUE(qt.showHelpTopic("KIP.html"));
    EXPECT_EQ(qt.helpViewer(), viewer);
    EXPECT_EQ(viewer->windowTitle(), "KIP.html");
    for (const char* outside : {"../Outside.html", "", "..", "sub\\GUI.html"}) {
        SCOPED_TRACE(outside);
        EXPECT_FALSE(qt.showHelpTopic(QString::fromLatin1(outside)));
    }
    EXPECT_EQ(browser->source(), QUrl::fromLocalFile(help + "/KIP.html"));
}

// A link followed in the viewer shows its topic under that topic's title, and Back returns to
// the topic before it, title and all.
TEST(QtDesktop, HelpViewerTitleFollowsLinksAndBackReturns)
{
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString help = root.path();
    writeFile(help + "/GUI.html", "<html><head><title>Kivo main window</title></head><body>"
                                  "<p><a href=\"KIP.html\">The monitor</a></p></body></html>");
    writeFile(help + "/KIP.html", "<html><head><title>Monitor window</title></head><body>"
                                  "<p><a href=\"Plain.html\">More</a></p></body></html>");
    writeFile(help + "/Plain.html", "<html><body>No title of its own</body></html>");

    QtDesktop qt;
    qt.setHelpFolder(help);
    ASSERT_TRUE(qt.showHelpTopic("GUI.html"));
    QWidget* viewer = qt.helpViewer();
    ASSERT_NE(viewer, nullptr);
    auto* browser = viewer->findChild<QTextBrowser*>();
    ASSERT_NE(browser, nullptr);
    // The keyboard way to a link: Tab to it, Enter to follow it.
    const auto followLink = [browser] {
        QTest::keyClick(browser, Qt::Key_Tab);
        QTest::keyClick(browser, Qt::Key_Return);
    };
    // The title, then the file shown.
    using Shown = std::pair<std::string, std::string>;
    const auto shown = [&] {
        return Shown{viewer->windowTitle().toStdString(),
                     QFileInfo(browser->source().toLocalFile()).fileName().toStdString()};
    };

    followLink();
    EXPECT_EQ(shown(), (Shown{"Monitor window", "KIP.html"}));
    auto* back = viewer->findChild<QAbstractButton*>("Back");
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->text(), "&Back");
    EXPECT_TRUE(back->isEnabled());
    followLink();
    EXPECT_EQ(shown(), (Shown{"Plain.html", "Plain.html"}));

    QTest::mouseClick(back, Qt::LeftButton);
    EXPECT_EQ(shown(), (Shown{"Monitor window", "KIP.html"}));
    QTest::mouseClick(back, Qt::LeftButton);
    EXPECT_EQ(shown(), (Shown{"Kivo main window", "GUI.html"}));
    EXPECT_FALSE(back->isEnabled());

    // A topic the program asks for goes on from there; Back leads to the one shown before it.
    ASSERT_TRUE(qt.showHelpTopic("Plain.html"));
    EXPECT_EQ(shown(), (Shown{"Plain.html", "Plain.html"}));
    QTest::mouseClick(back, Qt::LeftButton);
    EXPECT_EQ(shown(), (Shown{"Kivo main window", "GUI.html"}));
}

TEST(LetEventsRun, CountsAndRunsTheInstalledHookInsteadOfTheEventLoop)
{
    int hookRuns = 0;
    bool queuedRan = false;
    QObject context;
    QMetaObject::invokeMethod(
        &context, [&] { queuedRan = true; }, Qt::QueuedConnection);
    const auto before = eventsRunCount();
    const EventsRunHook previous = setEventsRunHook([&] { ++hookRuns; });
    letEventsRun();
    letEventsRun();
    EXPECT_EQ(hookRuns, 2);
    EXPECT_FALSE(queuedRan);
    setEventsRunHook(previous);
    letEventsRun();
    EXPECT_TRUE(queuedRan);
    EXPECT_EQ(eventsRunCount(), before + 3);
}

class BusyStateTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
        for (QWidget* window : {&first, &second}) {
            window->resize(200, 100);
            window->show();
        }
        activate(first);
    }

    static void activate(QWidget& window)
    {
        window.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&window));
        ASSERT_EQ(QApplication::activeWindow(), &window);
    }

    static std::optional<Qt::CursorShape> cursor()
    {
        const QCursor* top = QGuiApplication::overrideCursor();
        return top ? std::optional(top->shape()) : std::nullopt;
    }

    QWidget first;
    QWidget second;
    BusyState busy;
};

TEST_F(BusyStateTest, HourglassDisablesTheActiveWindowUntilNormal)
{
    EXPECT_TRUE(busy.set(1));
    EXPECT_EQ(cursor(), Qt::WaitCursor);
    EXPECT_FALSE(first.isEnabled());
    EXPECT_TRUE(second.isEnabled());

    EXPECT_TRUE(busy.set(1)); // repeated: still one hourglass
    EXPECT_TRUE(busy.set(0));
    EXPECT_EQ(cursor(), std::nullopt);
    EXPECT_TRUE(first.isEnabled());

    EXPECT_TRUE(busy.set(0)); // normal again without a busy state: changes nothing
    EXPECT_EQ(cursor(), std::nullopt);
    EXPECT_TRUE(first.isEnabled());
}

TEST_F(BusyStateTest, NormalReEnablesTheDisabledWindowWhenAnotherIsActiveByThen)
{
    ASSERT_TRUE(busy.set(1));
    activate(second);
    ASSERT_TRUE(busy.set(0));
    EXPECT_TRUE(first.isEnabled());
    EXPECT_TRUE(second.isEnabled());

    // Two windows made busy one after the other both come back with one mode 0.
    activate(first);
    ASSERT_TRUE(busy.set(1));
    activate(second);
    ASSERT_TRUE(busy.set(1));
    EXPECT_FALSE(first.isEnabled());
    EXPECT_FALSE(second.isEnabled());
    ASSERT_TRUE(busy.set(0));
    EXPECT_TRUE(first.isEnabled());
    EXPECT_TRUE(second.isEnabled());
    EXPECT_EQ(cursor(), std::nullopt);
}

TEST_F(BusyStateTest, AWindowDisabledElsewhereStaysDisabled)
{
    first.setEnabled(false);
    ASSERT_TRUE(busy.set(1));
    ASSERT_TRUE(busy.set(0));
    EXPECT_FALSE(first.isEnabled());
    first.setEnabled(true);
}

TEST_F(BusyStateTest, HiddenCursorOutlastsTheHourglass)
{
    EXPECT_TRUE(busy.set(2));
    EXPECT_EQ(cursor(), Qt::BlankCursor);
    EXPECT_TRUE(busy.set(2));
    EXPECT_TRUE(busy.set(1));
    EXPECT_EQ(cursor(), Qt::BlankCursor);
    EXPECT_TRUE(busy.set(3)); // shown again: the hourglass is still on
    EXPECT_EQ(cursor(), Qt::WaitCursor);
    EXPECT_TRUE(busy.set(2));
    EXPECT_TRUE(busy.set(0));
    EXPECT_EQ(cursor(), Qt::BlankCursor);
    EXPECT_TRUE(first.isEnabled());
    EXPECT_TRUE(busy.set(3));
    EXPECT_EQ(cursor(), std::nullopt);
    EXPECT_TRUE(busy.set(3)); // shown twice: still one visible pointer, nothing to restore
    EXPECT_EQ(cursor(), std::nullopt);
}

TEST_F(BusyStateTest, UnknownModesChangeNothing)
{
    for (int mode : {7, 4, -1}) {
        SCOPED_TRACE(mode);
        EXPECT_FALSE(busy.set(mode));
        EXPECT_EQ(cursor(), std::nullopt);
        EXPECT_TRUE(first.isEnabled());
    }
    ASSERT_TRUE(busy.set(1));
    EXPECT_FALSE(busy.set(7));
    EXPECT_EQ(cursor(), Qt::WaitCursor);
    EXPECT_FALSE(first.isEnabled());
    ASSERT_TRUE(busy.set(0));
    EXPECT_FALSE(setBusyState(7)); // the program's own busy state
}

TEST_F(BusyStateTest, EndingTheBusyStateGivesBackWhatItHeld)
{
    {
        BusyState local;
        ASSERT_TRUE(local.set(1));
        ASSERT_TRUE(local.set(2));
        EXPECT_FALSE(first.isEnabled());
    }
    EXPECT_EQ(cursor(), std::nullopt);
    EXPECT_TRUE(first.isEnabled());
}

// The window of the action is disabled whether or not it is active: right after an input box
// closes, X11 has no active window until the window manager hands the focus back.
TEST_F(BusyStateTest, TheActionsWindowIsDisabledWhenNoWindowIsActive)
{
    QWidget box;
    box.resize(100, 50);
    box.show();
    activate(box);
    box.hide(); // the input box has gone, no window active yet
    QCoreApplication::processEvents();
    ASSERT_EQ(QApplication::activeWindow(), nullptr);

    QWidget* control = new QWidget(&first);
    ASSERT_TRUE(busy.set(1, control)); // any widget names its window
    EXPECT_FALSE(first.isEnabled());
    EXPECT_TRUE(second.isEnabled());
    ASSERT_TRUE(busy.set(0));
    EXPECT_TRUE(first.isEnabled());

    // A window that is not active but named is disabled beside the active one.
    activate(second);
    ASSERT_TRUE(busy.set(1, &first));
    EXPECT_FALSE(first.isEnabled());
    EXPECT_FALSE(second.isEnabled());
    ASSERT_TRUE(busy.set(0));
    EXPECT_TRUE(first.isEnabled());
    EXPECT_TRUE(second.isEnabled());
}

// After an action the keyboard focus is where it was, also when the action enables that control
// only after the busy state has ended; a focus placed by the action stands.
class BusyFocusTest : public BusyStateTest {
protected:
    void SetUp() override
    {
        for (QPushButton*& b : buttons) {
            b = new QPushButton(&first);
        }
        BusyStateTest::SetUp();
        buttons[1]->setFocus();
        ASSERT_EQ(QApplication::focusWidget(), buttons[1]);
    }
    std::array<QPushButton*, 3> buttons{};
};

TEST_F(BusyFocusTest, TheFocusComesBackToTheControlThatHadIt)
{
    ASSERT_TRUE(busy.set(1, &first));
    EXPECT_EQ(QApplication::focusWidget(), nullptr);
    ASSERT_TRUE(busy.set(0));
    EXPECT_EQ(QApplication::focusWidget(), buttons[1]);

    // Disabled by the action until after mode 0: it gets the focus once it is enabled again.
    ASSERT_TRUE(busy.set(1, &first));
    buttons[1]->setEnabled(false);
    ASSERT_TRUE(busy.set(0));
    EXPECT_EQ(QApplication::focusWidget(), nullptr);
    buttons[1]->setEnabled(true);
    EXPECT_EQ(QApplication::focusWidget(), buttons[1]);

    // Busy again before the focus came back: it still comes back after the second action.
    ASSERT_TRUE(busy.set(1, &first));
    buttons[1]->setEnabled(false);
    ASSERT_TRUE(busy.set(0));
    ASSERT_TRUE(busy.set(1, &first));
    ASSERT_TRUE(busy.set(0));
    buttons[1]->setEnabled(true);
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), buttons[1]);
}

TEST_F(BusyFocusTest, AFocusMoveOfTheActionStandsAndAHiddenControlPassesTheFocusOn)
{
    ASSERT_TRUE(busy.set(1, &first));
    buttons[1]->setEnabled(false);
    ASSERT_TRUE(busy.set(0));
    buttons[2]->setFocus(); // the action's own move
    buttons[1]->setEnabled(true);
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), buttons[2]);

    ASSERT_TRUE(busy.set(1, &first));
    buttons[2]->hide();
    ASSERT_TRUE(busy.set(0));
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::focusWidget(), buttons[0]); // the next of the tab chain, wrapped
}

TEST(BusyStateAlone, HourglassWithoutAnActiveWindow)
{
    ASSERT_EQ(QApplication::activeWindow(), nullptr);
    BusyState busy;
    EXPECT_TRUE(busy.set(1));
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    EXPECT_TRUE(busy.set(0));
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

namespace {

QString uniqueLockName(const char* test)
{
    return QStringLiteral("kivo-test-%1-%2").arg(QCoreApplication::applicationPid()).arg(test);
}

// The holder process, started and waiting with the lock taken (or refused).
struct Holder {
    QProcess process;

    QString start(const QString& name)
    {
        process.start(SINGLE_INSTANCE_HOLDER, {name});
        if (!process.waitForStarted(30000) || !process.waitForReadyRead(30000)) {
            return "no answer";
        }
        return QString::fromLatin1(process.readLine()).trimmed();
    }
    ~Holder()
    {
        if (process.state() != QProcess::NotRunning) {
            process.kill();
            process.waitForFinished(30000);
        }
    }
};

} // namespace

TEST(SingleInstance, HeldRefusedAndReleasedWithinOneProcess)
{
    const QString name = uniqueLockName("inproc");
    SingleInstance first(name);
    SingleInstance second(name);
    EXPECT_TRUE(first.lockFilePath().endsWith("/" + name + ".lock"));

    EXPECT_TRUE(first.acquire());
    EXPECT_TRUE(first.acquire()); // already held
    EXPECT_TRUE(first.isHeld());
    EXPECT_FALSE(second.acquire());
    EXPECT_FALSE(second.isHeld());

    first.release();
    EXPECT_FALSE(first.isHeld());
    EXPECT_TRUE(second.acquire());
    {
        SingleInstance third(name);
        EXPECT_FALSE(third.acquire());
    }
    second.release();
    {
        SingleInstance fourth(name);
        EXPECT_TRUE(fourth.acquire());
    } // its end releases
    EXPECT_TRUE(first.acquire());
}

TEST(SingleInstance, NamesWithSlashesStayInTheRuntimeFolder)
{
    SingleInstance lock(uniqueLockName("a/b"));
    EXPECT_FALSE(QFileInfo(lock.lockFilePath()).fileName().contains('/'));
    EXPECT_TRUE(lock.lockFilePath().endsWith("a_b.lock"));
}

TEST(SingleInstance, AnotherProcessHoldsTheLockUntilItEnds)
{
    const QString name = uniqueLockName("twoproc");
    SingleInstance here(name);
    {
        Holder holder;
        ASSERT_EQ(holder.start(name), "held");
        EXPECT_FALSE(here.acquire());

        Holder refused;
        EXPECT_EQ(refused.start(name), "refused");

        holder.process.closeWriteChannel();
        ASSERT_TRUE(holder.process.waitForFinished(30000));
        EXPECT_EQ(holder.process.exitCode(), 0);
    }
    EXPECT_TRUE(here.acquire());
    Holder later;
    EXPECT_EQ(later.start(name), "refused");
}

TEST(SingleInstance, ALockLeftByACrashedProcessIsTakenOver)
{
    const QString name = uniqueLockName("crash");
    Holder holder;
    ASSERT_EQ(holder.start(name), "held");
    holder.process.kill();
    ASSERT_TRUE(holder.process.waitForFinished(30000));
    ASSERT_TRUE(QFile::exists(SingleInstance(name).lockFilePath()));

    SingleInstance here(name);
    EXPECT_TRUE(here.acquire());
}
