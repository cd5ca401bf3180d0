#include "KivoSoft/controls/Twips.h"
#include "KivoSoft/shell/CommParamsForm.h"
#include "KivoSoft/shell/MainForm.h"
#include "KivoSoft/shell/ShellPictures.h"
#include "KivoSoft/shell/frmPleaseWait.h"
#include "KivoSoft/shell/tests/shell_fixture.h"
#include "platform/automation/registry.h"
#include "platform/desktop/qt_desktop.h"

#include <QAccessible>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>

#include <optional>

#include <vector>

using namespace KivoSoft;
using namespace KivoSoft::testing;
using kivo::desktop::DesktopCall;

namespace {

// The main window of a test, shown, with its own single-instance lock.
class MainWindow : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        window = std::make_unique<MainForm>(uniqueInstanceName());
    }

    void TearDown() override
    {
        window.reset();
        ShellTest::TearDown();
    }

    void showWindow()
    {
        window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    }

    void activateWindow()
    {
        showWindow();
        window->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
    }

    // A menu item as a screen reader finds it.
    static QAccessibleInterface* menuItem(QMenu* menu, QAction* action)
    {
        QAccessibleInterface* list = QAccessible::queryAccessibleInterface(menu);
        for (int i = 0; list && i < list->childCount(); ++i) {
            if (list->child(i)->object() == action) {
                return list->child(i);
            }
        }
        return nullptr;
    }

    void writeGuiIni(const QByteArray& text) { writeBytes(path("KivoGui.ini"), text); }

    QPoint centreOf(const QWidget* control) const { return control->geometry().center(); }

    std::unique_ptr<MainForm> window;
};

TEST_F(MainWindow, CaptionSizeAndDesignTimeTexts)
{
    EXPECT_EQ(window->windowTitle(), QStringLiteral("    M  a  i  n         M  e  n  u"));
    EXPECT_EQ(window->windowTitle().size(), 33);
    EXPECT_EQ(window->objectName(), QStringLiteral("MainForm"));
    EXPECT_EQ(window->size(), QSize(11235 / 15, 7080 / 15));

    struct Tip {
        QWidget* control;
        const char* name;
        QString toolTip;
    };
    const QString help =
        QStringLiteral("Help,  Dravon Electronics Kivo product technical data web site");
    const Tip tips[] = {
        {window->Image2, "Image2",
         QStringLiteral("Run interactive program: real time interaction with Kivo unit")},
        {window->Picture1, "Picture1",
         QStringLiteral("Run Eeprom configurator: Configure voltage outputs, current limit and "
                        "other options")},
        {window->lblDefaultComPort, "lblDefaultComPort",
         QStringLiteral("Communication port settings change")},
        {window->Label1, "Label1", help},
        {window->Label2, "Label2", help},
        {window->cmdExit, "cmdExit", QString()},
        {window->cmdComPort, "cmdComPort", QString()},
        {window->lbl, "lbl", QString()},
        {window->Image3, "Image3", QString()},
    };
    for (const Tip& tip : tips) {
        SCOPED_TRACE(tip.name);
        EXPECT_EQ(tip.control->objectName(), QString::fromLatin1(tip.name));
        EXPECT_EQ(tip.control->toolTip(), tip.toolTip);
    }
    EXPECT_EQ(window->cmdComPort->text(), QStringLiteral("..."));
    EXPECT_TRUE(window->cmdExit->text().isEmpty());
    EXPECT_FALSE(window->cmdExit->icon().isNull());
    EXPECT_TRUE(window->Label1->text().isEmpty());
    EXPECT_EQ(window->Label2->text(), MainForm::ProductPageText);
    EXPECT_EQ(window->lblDefaultComPort->text(), QStringLiteral("Com. Port Setup"));
}

// The pictures are drawn at the size of the controls that show them, so none is stretched, and
// each shows more than a plain fill.
TEST_F(MainWindow, PicturesFitTheirControls)
{
    for (ImageControl* control : {window->Image2, window->Picture1, window->Image3}) {
        SCOPED_TRACE(control->objectName().toStdString());
        ASSERT_NE(control->picture(), nullptr);
        EXPECT_EQ(control->picture()->size(), control->size());
        const QImage& picture = *control->picture();
        EXPECT_NE(picture.pixel(0, 0), picture.pixel(picture.width() / 2, picture.height() / 2));
    }
    EXPECT_TRUE(ShellPictures::helpBadgeRect().contains(window->Label1->geometry()));
    EXPECT_GE(ShellPictures::mainBackground().width(), window->surface()->width());
}

TEST_F(MainWindow, MenuTableNamesCaptionsAndOrder)
{
    struct Entry {
        int depth;
        QString name;
        QString caption;
        bool operator==(const Entry&) const = default;
    };
    std::vector<Entry> found;
    std::function<void(const QList<QAction*>&, int)> walk = [&](const QList<QAction*>& actions,
                                                                int depth) {
        for (QAction* action : actions) {
            if (QMenu* menu = action->menu()) {
                found.push_back({depth, menu->objectName(), menu->title()});
                walk(menu->actions(), depth + 1);
            } else {
                found.push_back({depth, action->objectName(), action->text()});
            }
        }
    };
    walk(window->menuBar->actions(), 0);

    const std::vector<Entry> expected = {
        {0, "File", "&File"},
        {1, "Exit", "E&xit"},
        {0, "Setup", "&Setup"},
        {1, "Default", "&Eeprom Configurator"},
        {1, "CommParams", "&Com Port Settings"},
        {0, "Monitor", "&Monitor"},
        {1, "View", "&Kivo Interactive Program"},
        {0, "Help", "&Help"},
        {1, "KivoHelp", "&Kivo Help"},
        {1, "Contents", "C&ontents"},
        {1, "Index", "&Index"},
        {1, "Dravon", "&Dravon On The Web"},
        {2, "DravonHomepage", "Dravon &Homepage"},
        {2, "DravonUKHomepage", "Dravon &UK Homepage"},
        {2, "FyndelHomepage", "Fyndel Homepage"},
        {2, "KivoHomepage", "Kivo Home&page"},
        {1, "AboutKivo", "&About Kivo"},
    };
    ASSERT_EQ(found.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        SCOPED_TRACE(expected[i].name.toStdString());
        EXPECT_EQ(found[i], expected[i]);
    }
}

TEST_F(MainWindow, HelpCommandsOpenTheirTopics)
{
    showWindow();
    struct Case {
        const char* command;
        std::function<void()> run;
        QString topic;
    };
    const Case cases[] = {
        {"Help > Kivo Help", [&] { choose(window->KivoHelp); }, "GUI.html"},
        {"Label1", [&] { QTest::mouseClick(window->Label1, Qt::LeftButton); }, "GUI.html"},
        {"Help > Contents", [&] { choose(window->Contents); }, "Introduction.html"},
        {"Help > Index", [&] { choose(window->Index); }, "Introduction.html"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        desktop.clear();
        c.run();
        ASSERT_EQ(desktop.calls().size(), 1u);
        EXPECT_EQ(desktop.calls()[0].kind, DesktopCall::Kind::HelpTopic);
        EXPECT_EQ(desktop.calls()[0].text, c.topic);

        // The same command with the topic missing: the program's own message, nothing else.
        desktop.clear();
        desktop.queueHelpTopicAnswer(false);
        c.run();
        ASSERT_EQ(messages().size(), 1u);
        EXPECT_EQ(messages()[0].text,
                  QStringLiteral("The required help file not properly installed in your machine. "
                                 "Contact system support."));
        EXPECT_EQ(messages()[0].style, kivo::desktop::vbInformation + kivo::desktop::vbOKOnly);
        EXPECT_EQ(messages()[0].title, QStringLiteral("Dravon Electronics"));
    }
}

TEST_F(MainWindow, WebCommandsOpenTheirPagesAndIgnoreFailures)
{
    showWindow();
    struct Case {
        const char* command;
        std::function<void()> run;
        QString address;
    };
    const Case cases[] = {
        {"Label2", [&] { QTest::mouseClick(window->Label2, Qt::LeftButton); },
         MainForm::ProductPage},
        {"Dravon Homepage", [&] { choose(window->DravonHomepage); }, MainForm::MakerHomepage},
        {"Dravon UK Homepage", [&] { choose(window->DravonUKHomepage); },
         MainForm::MakerUKHomepage},
        {"Fyndel Homepage", [&] { choose(window->FyndelHomepage); },
         MainForm::FyndelHomepageAddress},
        {"Kivo Homepage", [&] { choose(window->KivoHomepage); }, MainForm::KivoHomepageAddress},
        {"RunBrowser", [&] { window->RunBrowser(QStringLiteral("https://a.example/"), 1); },
         QStringLiteral("https://a.example/")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        for (const bool opens : {true, false}) {
            desktop.clear();
            desktop.queueWebPageAnswer(opens);
            c.run();
            ASSERT_EQ(desktop.calls().size(), 1u) << "a failure is not reported";
            EXPECT_EQ(desktop.calls()[0].kind, DesktopCall::Kind::WebPage);
            EXPECT_EQ(desktop.calls()[0].text, c.address);
            EXPECT_TRUE(QUrl(c.address).host().endsWith(QStringLiteral(".example")));
        }
    }
}

// The pointer over the window: real moves, as the window system delivers them.
TEST_F(MainWindow, HoverMovesTheBorderAndTheCaption)
{
    showWindow();
    QWidget* surface = window->surface();
    const auto moveTo = [&](QPoint at) {
        QWidget* target = surface->childAt(at) ? surface->childAt(at) : surface;
        QTest::mouseMove(target, target->mapFrom(surface, at));
        QCoreApplication::processEvents();
    };
    const auto borders = [&] {
        return std::pair(window->Image2->BorderStyle(), window->Picture1->BorderStyle());
    };

    moveTo(centreOf(window->Image2));
    EXPECT_EQ(borders(), std::pair(1, 0));
    EXPECT_EQ(window->lbl->Caption(), QStringLiteral("Real-time Power Supply Interaction"));

    // Straight from one picture onto the other, with no move over the background between.
    moveTo(centreOf(window->Picture1));
    EXPECT_EQ(borders(), std::pair(0, 1));
    EXPECT_EQ(window->lbl->Caption(), QStringLiteral("Power Supply Eeprom Custom Configuration"));

    moveTo(centreOf(window->Image2));
    EXPECT_EQ(borders(), std::pair(1, 0));

    // Just right of a picture the pointer is on the background, yet on its right edge in twips.
    moveTo(QPoint(window->Image2->geometry().right() + 1, centreOf(window->Image2).y()));
    EXPECT_EQ(borders(), std::pair(1, 0));
    EXPECT_EQ(window->lbl->Caption(), QStringLiteral("S e l e c t   O p t i o n . . ."));

    moveTo(QPoint(window->Image2->geometry().right() + 2, centreOf(window->Image2).y()));
    EXPECT_EQ(borders(), std::pair(0, 0));
    EXPECT_EQ(window->lbl->Caption().size(), 31);
}

TEST_F(MainWindow, BackgroundHoverBoundsAreInclusive)
{
    for (ImageControl* control : {window->Image2, window->Picture1}) {
        SCOPED_TRACE(control->objectName().toStdString());
        const float left = static_cast<float>(control->x() * TwipsPerPixel);
        const float top = static_cast<float>(control->y() * TwipsPerPixel);
        const float right = left + static_cast<float>(control->width() * TwipsPerPixel);
        const float bottom = top + static_cast<float>(control->height() * TwipsPerPixel);
        const float midX = (left + right) / 2;
        const float midY = (top + bottom) / 2;
        struct Point {
            float x;
            float y;
            int border;
        };
        const Point points[] = {
            {left, top, 1},        {right, bottom, 1},
            {left, bottom, 1},     {right, top, 1},
            {midX, midY, 1},       {left - 1, midY, 0},
            {right + 1, midY, 0},  {midX, top - 1, 0},
            {midX, bottom + 1, 0}, {right + 1, bottom + 1, 0},
        };
        for (const Point& p : points) {
            SCOPED_TRACE(::testing::Message() << p.x << ", " << p.y);
            window->Image2->setBorderStyle(1 - p.border);
            window->Picture1->setBorderStyle(1 - p.border);
            window->lbl->setCaption(QStringLiteral("something else"));
            window->Form_MouseMove(0, 0, p.x, p.y);
            EXPECT_EQ(control->BorderStyle(), p.border);
            EXPECT_EQ(window->lbl->Caption(), MainForm::SelectOptionText);
        }
    }
}

TEST_F(MainWindow, MaximizingAndResizingSnapBackToTheNormalSize)
{
    showWindow();
    const QSize normal(11235 / 15, 7080 / 15);

    window->showMaximized();
    // Whether the window manager maximized it or not, the window ends up normal.
    QCoreApplication::processEvents();
    EXPECT_TRUE(eventually([&] { return !(window->windowState() & Qt::WindowMaximized); }, 5000));
    EXPECT_EQ(window->size(), normal);

    window->resize(900, 700);
    QCoreApplication::processEvents();
    EXPECT_EQ(window->size(), normal);

    // A minimized window is left alone, and comes back at its size.
    window->showMinimized();
    QCoreApplication::processEvents();
    window->showNormal();
    QCoreApplication::processEvents();
    EXPECT_EQ(window->size(), normal);
}

TEST_F(MainWindow, AnotherInstanceEndsTheLoadBeforeAnyStartUp)
{
    const QString name = uniqueInstanceName();
    kivo::desktop::SingleInstance running(name);
    ASSERT_TRUE(running.acquire());
    MainForm second(name);
    writeGuiIni("[PARAMS]\nport=/dev/ttyUSB3\n");

    EXPECT_EQ(second.Form_Load(), MainForm::Loaded::AnotherInstance);
    EXPECT_FALSE(second.isVisible());
    EXPECT_TRUE(desktop.calls().empty());
    // The start-up routine did not run.
    EXPECT_FALSE(KivoGlobals::DeviceLink);
    EXPECT_TRUE(KivoGlobals::DefaultComPort.isEmpty());
    EXPECT_EQ(second.lblDefaultComPort->text(), QStringLiteral("Com. Port Setup"));
}

TEST_F(MainWindow, LoadStartsUpAndShowsThePort)
{
    registerLinkLibrary();
    struct Case {
        QByteArray ini;
        QString label;
    };
    const Case cases[] = {
        {"[PARAMS]\nport=/dev/ttyUSB3\n", "Default Com Port: /dev/ttyUSB3"},
        {"[PARAMS]\n", "Default Com Port: N/A"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.ini.toStdString());
        KivoGlobals::DeviceLink.reset();
        writeGuiIni(c.ini);
        MainForm loaded(uniqueInstanceName());
        ASSERT_EQ(loaded.Form_Load(), MainForm::Loaded::Yes);
        EXPECT_TRUE(KivoGlobals::DeviceLink);
        EXPECT_EQ(loaded.lblDefaultComPort->text(), c.label);
        EXPECT_EQ(loaded.lbl->Caption(), QStringLiteral("S e l e c t   O p t i o n . . ."));
        EXPECT_EQ(loaded.lbl->BackColor(), 0xFFFFFFu);
        EXPECT_EQ(loaded.lbl->ForeColor1(), 0xFFFFFFu);
        EXPECT_EQ(loaded.lbl->ForeColor2(), 0u);
    }
}

TEST_F(MainWindow, StartUpWithoutTheLinkEndsTheLoad)
{
    writeGuiIni("[PARAMS]\nport=/dev/ttyUSB3\n");
    EXPECT_EQ(window->Form_Load(), MainForm::Loaded::StartupFailed);
    EXPECT_FALSE(KivoGlobals::DeviceLink);
    EXPECT_FALSE(window->isVisible());
    // The start-up routine has said why.
    EXPECT_EQ(messages().size(), 1u);
}

// Both port commands leave the label naming the port in use, with the wording after a change.
TEST_F(MainWindow, PortLabelFollowsEitherPortCommand)
{
    showWindow();
    writeGuiIni("[PARAMS]\nport=/dev/ttyS0\n");
    KivoGlobals::DefaultComPort = QStringLiteral("/dev/ttyS0");
    struct Case {
        const char* command;
        std::function<void()> run;
    };
    const Case cases[] = {
        {"cmdComPort", [&] { QTest::mouseClick(window->cmdComPort, Qt::LeftButton); }},
        {"Setup > Com Port Settings", [&] { choose(window->CommParams); }},
    };
    int n = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        const QString port = QStringLiteral("/dev/ttyUSB%1").arg(++n);
        whenModalShows([port](QWidget* modal) {
            auto* dialog = qobject_cast<CommParamsForm*>(modal);
            ASSERT_NE(dialog, nullptr);
            dialog->ComPort->setEditText(port);
            QTest::mouseClick(dialog->OKButton, Qt::LeftButton);
        });
        c.run();
        EXPECT_EQ(KivoGlobals::DefaultComPort, port);
        EXPECT_EQ(window->lblDefaultComPort->text(), QStringLiteral("Default Com Port : ") + port);

        whenModalShows([](QWidget* modal) {
            auto* dialog = qobject_cast<CommParamsForm*>(modal);
            ASSERT_NE(dialog, nullptr);
            dialog->ComPort->setEditText(QStringLiteral("/dev/ttyACM9"));
            QTest::mouseClick(dialog->CancelButton, Qt::LeftButton);
        });
        window->lblDefaultComPort->setText(QString());
        c.run();
        EXPECT_EQ(KivoGlobals::DefaultComPort, port);
        EXPECT_EQ(window->lblDefaultComPort->text(), QStringLiteral("Default Com Port : ") + port);
    }
}

TEST_F(MainWindow, AboutCommandShowsTheAboutBoxModal)
{
    showWindow();
    KivoGlobals::DeviceLink = CountedLink::create();
    QString caption;
    QString line;
    whenModalShows([&](QWidget* modal) {
        caption = modal->windowTitle();
        line = modal->findChild<QLabel*>(QStringLiteral("lblDisclaimer"))->text();
        QTest::mouseClick(modal->findChild<QPushButton*>(QStringLiteral("cmdOK")), Qt::LeftButton);
    });
    choose(window->AboutKivo);
    EXPECT_EQ(caption, QStringLiteral("About Kivo Software"));
    EXPECT_EQ(line, QString::fromLatin1(CountedLink::Version));
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// A screen reader's Press gets its answer before the command's modal window opens and waits:
// the menu commands, and the window's own commands that can open one.
TEST_F(MainWindow, AModalWindowOpensOnlyAfterTheScreenReadersPressHasReturned)
{
    showWindow();
    KivoGlobals::DeviceLink = CountedLink::create();
    // Help not installed: the help commands show a real message box.
    QTemporaryDir noHelp;
    ASSERT_TRUE(noHelp.isValid());
    kivo::desktop::QtDesktop qt;
    qt.setHelpFolder(noHelp.path());
    const kivo::desktop::ScopedDesktop realBoxes(qt);
    struct Case {
        const char* what;
        std::function<QAccessibleInterface*()> target;
        const char* modal;
    };
    const Case cases[] = {
        {"Setup > Com Port Settings", [&] { return menuItem(window->Setup, window->CommParams); },
         "CommParamsForm"},
        {"Help > About Kivo", [&] { return menuItem(window->Help, window->AboutKivo); },
         "frmAboutKivo"},
        {"Help > Kivo Help", [&] { return menuItem(window->Help, window->KivoHelp); },
         "QMessageBox"},
        {"the help badge", [&] { return QAccessible::queryAccessibleInterface(window->Label1); },
         "QMessageBox"},
        {"the port button",
         [&] { return QAccessible::queryAccessibleInterface(window->cmdComPort); },
         "CommParamsForm"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QAccessibleInterface* target = c.target();
        ASSERT_NE(target, nullptr);
        ASSERT_NE(target->actionInterface(), nullptr);
        bool inCall = true;
        std::optional<bool> openedInCall;
        QString opened;
        whenModalShows([&](QWidget* modal) {
            openedInCall = inCall;
            opened = QString::fromLatin1(modal->metaObject()->className()).section(u':', -1);
            qobject_cast<QDialog*>(modal)->reject();
        });
        target->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
        inCall = false;
        EXPECT_TRUE(eventually(
            [&] { return openedInCall.has_value() && !QApplication::activeModalWidget(); }, 5000));
        EXPECT_EQ(openedInCall, std::optional(false));
        EXPECT_EQ(opened.toStdString(), c.modal);
    }
}

// Tab goes through the window's commands as they lie, top to bottom and left to right, and each
// is named for a screen reader by what it does.
TEST_F(MainWindow, TabFollowsTheLayoutAndEveryCommandHasAName)
{
    activateWindow();
    MainForm& w = *window;
    EXPECT_EQ(tabWalk(w.Label1, 6), (std::vector<QWidget*>{w.Label1, w.Image2, w.Picture1, w.Label2,
                                                           w.cmdComPort, w.cmdExit, w.Label1}));
    struct Named {
        QObject* control;
        const char* name;
        QAccessible::Role role;
    };
    const Named named[] = {
        {w.Label1, "Kivo Help", QAccessible::Link},
        {w.Image2, "Kivo Interactive Program", QAccessible::Button},
        {w.Picture1, "Eeprom Configurator", QAccessible::Button},
        {w.Label2, "www.dravon.example/kivo", QAccessible::Link},
        {w.cmdComPort, "Com Port Settings", QAccessible::Button},
        {w.cmdExit, "Exit", QAccessible::Button},
        {w.lblDefaultComPort, "Com. Port Setup", QAccessible::StaticText},
    };
    for (const Named& n : named) {
        SCOPED_TRACE(n.name);
        EXPECT_EQ(accessibleName(n.control), n.name);
        EXPECT_EQ(QAccessible::queryAccessibleInterface(n.control)->role(), n.role);
    }
    // The caption's letters stand apart: the window is named for a screen reader apart from it.
    EXPECT_EQ(accessibleName(&w), "Main Menu");
    // The description is the tool tip.
    EXPECT_EQ(QAccessible::queryAccessibleInterface(w.Image2)->text(QAccessible::Description),
              w.Image2->toolTip());
}

// The pictures and the links run their command by Space, by Enter and by a screen reader's Press,
// as a click does.
TEST_F(MainWindow, PicturesAndLinksRunBySpaceEnterAndPress)
{
    QWidget monitor;
    QWidget config;
    Forms::setMonitorFormInstance([&] { return &monitor; });
    Forms::setSupplyConfigInstance([&] { return &config; });
    using Kind = DesktopCall::Kind;
    const auto lastCall = [this](Kind kind) {
        const auto calls = desktop.calls(kind);
        return calls.empty() ? QString() : calls.back().text;
    };
    struct Case {
        const char* what;
        QWidget* control;
        std::function<bool()> ran;
    };
    const Case cases[] = {
        {"Label1", window->Label1, [&] { return lastCall(Kind::HelpTopic) == "GUI.html"; }},
        {"Label2", window->Label2,
         [&] { return lastCall(Kind::WebPage) == MainForm::ProductPage; }},
        {"Image2", window->Image2, [&] { return monitor.isVisible(); }},
        {"Picture1", window->Picture1, [&] { return config.isVisible(); }},
    };
    struct Way {
        const char* what;
        std::function<void(QWidget*)> run;
    };
    const Way ways[] = {
        {"Space", [](QWidget* c) { QTest::keyClick(c, Qt::Key_Space); }},
        {"Enter", [](QWidget* c) { QTest::keyClick(c, Qt::Key_Return); }},
        {"Press",
         [](QWidget* c) {
             QAccessible::queryAccessibleInterface(c)->actionInterface()->doAction(
                 QAccessibleActionInterface::pressAction());
         }},
    };
    for (const Case& c : cases) {
        for (const Way& way : ways) {
            SCOPED_TRACE(std::string(c.what) + " by " + way.what);
            desktop.clear();
            monitor.hide();
            config.hide();
            activateWindow();
            c.control->setFocus();
            way.run(c.control);
            QCoreApplication::processEvents();
            EXPECT_TRUE(c.ran());
        }
    }
    Forms::setMonitorFormInstance({});
    Forms::setSupplyConfigInstance({});
}

TEST_F(MainWindow, MonitorAndConfiguratorCommandsLeadToTheirWindows)
{
    showWindow();
    // Without the windows handed in, nothing visible happens.
    for (QAction* command : {window->View, window->Default}) {
        choose(command);
        EXPECT_TRUE(window->isVisible());
    }
    QTest::mouseClick(window->Image2, Qt::LeftButton);
    QTest::mouseClick(window->Picture1, Qt::LeftButton);
    EXPECT_TRUE(window->isVisible());

    QWidget monitor;
    QWidget config;
    Forms::setMonitorFormInstance([&] { return &monitor; });
    Forms::setSupplyConfigInstance([&] { return &config; });

    QTest::mouseClick(window->Image2, Qt::LeftButton);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(monitor.isVisible());
    monitor.hide();
    window->show();

    choose(window->Default);
    EXPECT_FALSE(window->isVisible());
    EXPECT_TRUE(config.isVisible());
    config.hide();
    window->show();
    choose(window->View);
    EXPECT_TRUE(monitor.isVisible());
    EXPECT_FALSE(window->isVisible());
    Forms::setMonitorFormInstance({});
    Forms::setSupplyConfigInstance({});
}

TEST_F(MainWindow, ExitReleasesTheLinkAndEndsTheProgram)
{
    struct Case {
        const char* command;
        std::function<void()> run;
    };
    const Case cases[] = {
        {"cmdExit", [&] { QTest::mouseClick(window->cmdExit, Qt::LeftButton); }},
        {"File > Exit", [&] { choose(window->Exit); }},
        {"the window's close box", [&] { window->close(); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        showWindow();
        frmPleaseWait& wait = Forms::pleaseWait();
        wait.show();
        KivoGlobals::DeviceLink = CountedLink::create();
        ASSERT_EQ(CountedLink::live, 1);

        c.run();
        EXPECT_FALSE(KivoGlobals::DeviceLink);
        EXPECT_EQ(CountedLink::live, 0);
        EXPECT_FALSE(window->isVisible());
        EXPECT_FALSE(wait.isVisible());

        // Released twice is released.
        window->Form_Unload();
        EXPECT_FALSE(KivoGlobals::DeviceLink);
    }
}

// The program itself started while another instance holds the lock: it ends at once, with
// status 0. It would otherwise run the start-up routine, which with no link registered shows a
// modal message and waits, so the program would not end by itself.
TEST(ProgramInstance, ASecondStartEndsAtOnceWithStatusZero)
{
    QTemporaryDir runtime;
    ASSERT_TRUE(runtime.isValid());
    ASSERT_TRUE(QFile::setPermissions(
        runtime.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner));
    const QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
    kivo::desktop::SingleInstance first(QStringLiteral("Kivo"));
    const bool held = first.acquire();
    const QString lockFile = first.lockFilePath();
    if (savedRuntime.isNull()) {
        qunsetenv("XDG_RUNTIME_DIR");
    } else {
        qputenv("XDG_RUNTIME_DIR", savedRuntime);
    }
    ASSERT_TRUE(held);
    ASSERT_TRUE(lockFile.startsWith(runtime.path()));

    QProcess second;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime.path());
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    environment.insert(QStringLiteral("KIVO_REGISTRY"), runtime.filePath("no-registry"));
    second.setProcessEnvironment(environment);
    second.setProcessChannelMode(QProcess::MergedChannels);
    second.start(QStringLiteral(KIVO_EXECUTABLE), {});
    ASSERT_TRUE(second.waitForStarted(30000));
    const bool ended = second.waitForFinished(60000);
    if (!ended) {
        second.kill();
        second.waitForFinished(10000);
    }
    ASSERT_TRUE(ended) << "the second instance did not end";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0) << second.readAll().toStdString();
}

// The topics the windows open are shipped in the program folder and shown by the help viewer,
// and every link between them leads to a shipped topic.
TEST(HelpTopics, EveryTopicIsShippedAndItsLinksResolve)
{
    const QDir help(QStringLiteral(KIVO_PROGRAM_DIR "/help"));
    kivo::desktop::QtDesktop viewer;
    viewer.setHelpFolder(help.path());
    const QStringList topics = {"GUI.html", "Introduction.html", "KIP.html",
                                "GroupingOverview.html", "EC.html"};
    const QRegularExpression link(QStringLiteral("href=\"([^\"]+)\""));
    for (const QString& topic : topics) {
        SCOPED_TRACE(topic.toStdString());
        ASSERT_TRUE(viewer.showHelpTopic(topic));
        const QString text = QString::fromUtf8(readBytes(help.filePath(topic)));
        for (auto match = link.globalMatch(text); match.hasNext();) {
            const QString target = match.next().captured(1);
            EXPECT_TRUE(topics.contains(target)) << target.toStdString();
        }
    }
    EXPECT_FALSE(viewer.showHelpTopic(QStringLiteral("Missing.html")));
}

} // namespace
