// The rules every window follows (installed for every widget test, as both programs' start-up
// installs them), the fixed-size rule, and the help viewer by keyboard and beside a modal window.
#include "platform/desktop/fixed_size.h"
#include "platform/desktop/qt_desktop.h"
#include "platform/desktop/window_rules.h"

#include "tests/support/access.h"
#include "tests/support/eventually.h"
#include "tests/support/modal.h"
#include "tests/support/outside_resize.h"
#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QWindow>
#include <functional>
#include <gtest/gtest.h>
#include <initializer_list>
#include <memory>
#include <string>

using namespace kivo::desktop;

namespace {

using kivo::testsupport::eventually;

using kivo::testsupport::accessibleName;
using kivo::testsupport::resizeFromOutside;
using kivo::testsupport::whenModalShows;

// A window with two command buttons, a check box and a text field; as a dialog, OK is its
// default button.
struct Window {
    explicit Window(bool dialog)
    {
        window = dialog ? new QDialog : new QWidget;
        owned.reset(window);
        ok = new QPushButton(QStringLiteral("OK"), window);
        cancel = new QPushButton(QStringLiteral("Cancel"), window);
        check = new QCheckBox(QStringLiteral("Option"), window);
        field = new QLineEdit(window);
        auto* layout = new QVBoxLayout(window);
        for (QWidget* control : {static_cast<QWidget*>(field), static_cast<QWidget*>(check),
                                 static_cast<QWidget*>(ok), static_cast<QWidget*>(cancel)}) {
            layout->addWidget(control);
        }
        if (dialog) {
            ok->setDefault(true);
            // As the port dialog and the about box had it: Enter on this one went to OK.
            cancel->setAutoDefault(false);
        }
        QObject::connect(ok, &QPushButton::clicked, [this] { pressed += "OK "; });
        QObject::connect(cancel, &QPushButton::clicked, [this] { pressed += "Cancel "; });
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window));
    }

    QWidget* window;
    std::unique_ptr<QWidget> owned;
    QPushButton* ok;
    QPushButton* cancel;
    QCheckBox* check;
    QLineEdit* field;
    QString pressed;
};

TEST(WindowRules, EnterPressesTheFocusedCommandButtonElseTheDefaultOne)
{
    struct Case {
        const char* what;
        bool dialog;
        std::function<QWidget*(Window&)> focus;
        int key;
        Qt::KeyboardModifiers modifiers;
        const char* pressed;
    };
    const auto ok = [](Window& w) -> QWidget* { return w.ok; };
    const auto cancel = [](Window& w) -> QWidget* { return w.cancel; };
    const auto field = [](Window& w) -> QWidget* { return w.field; };
    const auto check = [](Window& w) -> QWidget* { return w.check; };
    const Case cases[] = {
        {"window, Return on a button", false, cancel, Qt::Key_Return, Qt::NoModifier, "Cancel "},
        {"window, keypad Enter on a button", false, ok, Qt::Key_Enter, Qt::KeypadModifier, "OK "},
        {"window, Return in a field", false, field, Qt::Key_Return, Qt::NoModifier, ""},
        {"window, Ctrl+Return on a button", false, ok, Qt::Key_Return, Qt::ControlModifier, ""},
        {"dialog, Return on the other button", true, cancel, Qt::Key_Return, Qt::NoModifier,
         "Cancel "},
        {"dialog, Return on the default button", true, ok, Qt::Key_Return, Qt::NoModifier, "OK "},
        {"dialog, Return in a field", true, field, Qt::Key_Return, Qt::NoModifier, "OK "},
        {"dialog, Return on a check box", true, check, Qt::Key_Return, Qt::NoModifier, "OK "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Window w(c.dialog);
        QWidget* focused = c.focus(w);
        focused->setFocus();
        QTest::keyClick(focused, static_cast<Qt::Key>(c.key), c.modifiers);
        EXPECT_EQ(w.pressed.toStdString(), c.pressed);
        EXPECT_FALSE(w.check->isChecked());
    }
}

// Holding Enter down presses the button once, as holding Space does.
TEST(WindowRules, AHeldEnterPressesOnce)
{
    Window w(false);
    w.cancel->setFocus();
    QTest::keyPress(w.cancel, Qt::Key_Return);
    for (int repeat = 0; repeat < 3; ++repeat) {
        QKeyEvent again(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"),
                        true);
        QApplication::sendEvent(w.cancel, &again);
    }
    QTest::keyRelease(w.cancel, Qt::Key_Return);
    EXPECT_EQ(w.pressed.toStdString(), "Cancel ");
}

// The kinds of list box the windows have: one labelled by the label before it, one that only its
// tool tip says what it is for, and an editable one with its label.
struct Lists {
    Lists()
    {
        unitLabel = new QLabel(QStringLiteral("&Unit ID :"), &window);
        units = new QComboBox(&window);
        units->addItems({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3")});
        labelField(*unitLabel, *units);
        periods = new QComboBox(&window);
        periods->addItems({QStringLiteral("1 Sec."), QStringLiteral("5 Sec.")});
        periods->setToolTip(QStringLiteral("Refreshing period"));
        portLabel = new QLabel(QStringLiteral("Port Number :"), &window);
        ports = new QComboBox(&window);
        ports->setEditable(true);
        ports->addItems({QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyS1")});
        labelField(*portLabel, *ports);
        auto* layout = new QVBoxLayout(&window);
        for (QWidget* control :
             std::initializer_list<QWidget*>{unitLabel, units, periods, portLabel, ports}) {
            layout->addWidget(control);
        }
    }

    void show()
    {
        window.show();
        window.activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(&window));
    }

    QWidget window;
    QLabel* unitLabel;
    QComboBox* units;
    QComboBox* periods;
    QLabel* portLabel;
    QComboBox* ports;
};

QAccessibleInterface* accessible(QObject* object)
{
    return QAccessible::queryAccessibleInterface(object);
}

// The items of `box`'s list a screen reader finds marked as selected.
std::string markedItems(QComboBox* box)
{
    QStringList marked;
    QAccessibleInterface* list = accessible(box)->child(0);
    for (int i = 0; list && i < list->childCount(); ++i) {
        if (list->child(i)->state().selected) {
            marked << list->child(i)->text(QAccessible::Name);
        }
    }
    return marked.join(QStringLiteral(", ")).toStdString();
}

// Qt's way: a box is named by what it shows; its label (a labelled-by relation) and its tool tip
// (the description) say what it is for. An editable box's edit field is named by the label.
TEST(WindowRules, AComboBoxIsNamedByWhatItShowsAndLabelledByWhatItIsFor)
{
    Lists w;
    struct Case {
        const char* what;
        QComboBox* box;
        const char* name;
        QLabel* label;
        const char* description;
    };
    const Case cases[] = {
        {"labelled", w.units, "1", w.unitLabel, ""},
        {"with a tool tip", w.periods, "1 Sec.", nullptr, "Refreshing period"},
        {"editable, labelled", w.ports, "/dev/ttyS0", w.portLabel, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QAccessibleInterface* box = accessible(c.box);
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(box->role(), QAccessible::ComboBox);
        EXPECT_EQ(box->text(QAccessible::Name).toStdString(), c.name);
        EXPECT_EQ(box->text(QAccessible::Value).toStdString(), c.name);
        EXPECT_EQ(box->text(QAccessible::Description).toStdString(), c.description);
        const auto labels = box->relations(QAccessible::Label);
        ASSERT_EQ(labels.size(), c.label ? 1 : 0);
        if (c.label) {
            EXPECT_EQ(labels[0].first->object(), c.label);
        }
    }
    EXPECT_EQ(accessibleName(w.ports->lineEdit()), "Port Number :");

    // A box that shows nothing is named by what it is for: its label, else its accessible name.
    w.units->clear();
    EXPECT_EQ(accessibleName(w.units), "Unit ID :");
    auto* named = new QComboBox(&w.window);
    named->setAccessibleName(QStringLiteral("Unit list"));
    EXPECT_EQ(accessibleName(named), "Unit list");

    // The rest is as Qt has it: the list and the edit field, opening the list.
    QAccessibleInterface* box = accessible(w.ports);
    ASSERT_EQ(box->childCount(), 2);
    EXPECT_EQ(box->child(0)->object(), w.ports->view());
    EXPECT_EQ(box->child(1)->object(), w.ports->lineEdit());
    EXPECT_EQ(box->indexOfChild(box->child(1)), 1);
    EXPECT_TRUE(box->child(1)->state().editable);
    EXPECT_EQ(box->focusChild()->object(), w.ports->lineEdit());
    EXPECT_EQ(accessible(w.periods)->childCount(), 1);

    w.show();
    ASSERT_NE(box->actionInterface(), nullptr);
    EXPECT_TRUE(
        box->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    box->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(w.ports->view()->isVisible());
    EXPECT_TRUE(box->state().expanded);
    box->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_FALSE(w.ports->view()->isVisible());
}

// Opens `box`'s list, moves its highlight `down` items on and picks it with Enter, or leaves the
// list with Escape.
void pickByKeyboard(QComboBox* box, int down, bool pick = true)
{
    box->showPopup();
    ASSERT_TRUE(eventually([&] { return box->view()->isVisible(); }));
    for (int i = 0; i < down; ++i) {
        QTest::keyClick(box->view(), Qt::Key_Down);
    }
    QTest::keyClick(box->view(), pick ? Qt::Key_Return : Qt::Key_Escape);
    ASSERT_TRUE(eventually([&] { return !box->view()->isVisible(); }));
    QCoreApplication::processEvents();
}

// Whatever changes what a box shows, its name and its list follow: the list marks the item shown,
// or none for a text that is no item's, also before the list was ever open.
TEST(WindowRules, AComboBoxAndItsListSayWhatItShowsAfterEveryChange)
{
    struct Case {
        const char* what;
        std::function<QComboBox*(Lists&)> change;
        const char* shown;
        bool anItem;
    };
    const Case cases[] = {
        {"as built", [](Lists& w) { return w.units; }, "1", true},
        {"set by the program",
         [](Lists& w) {
             w.units->setCurrentIndex(2);
             return w.units;
         },
         "3", true},
        {"picked from the open list by the keyboard",
         [](Lists& w) {
             pickByKeyboard(w.units, 1);
             return w.units;
         },
         "2", true},
        {"picked from the open list by the mouse",
         [](Lists& w) {
             w.periods->showPopup();
             EXPECT_TRUE(eventually([&] { return w.periods->view()->isVisible(); }));
             // The list takes no click until a double click's time has passed since it opened.
             QTest::qWait(QApplication::doubleClickInterval() + 100);
             QAbstractItemView* list = w.periods->view();
             QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                               list->visualRect(list->model()->index(1, 0)).center());
             EXPECT_TRUE(eventually([&] { return !list->isVisible(); }));
             QCoreApplication::processEvents();
             return w.periods;
         },
         "5 Sec.", true},
        {"highlight moved in the open list, then Escape",
         [](Lists& w) {
             pickByKeyboard(w.units, 2, false);
             return w.units;
         },
         "1", true},
        {"picked, the window closed, set back by the program and shown again",
         [](Lists& w) {
             pickByKeyboard(w.units, 2);
             w.window.hide();
             w.units->setCurrentIndex(0);
             w.show();
             return w.units;
         },
         "1", true},
        {"emptied and filled again",
         [](Lists& w) {
             w.units->setCurrentIndex(2);
             w.units->clear();
             w.units->addItems({QStringLiteral("7"), QStringLiteral("8")});
             return w.units;
         },
         "7", true},
        {"editable, an item's text set by the program",
         [](Lists& w) {
             w.ports->setEditText(QStringLiteral("/dev/ttyS1"));
             return w.ports;
         },
         "/dev/ttyS1", true},
        {"editable, a text typed that is no item's",
         [](Lists& w) {
             w.ports->lineEdit()->selectAll();
             QTest::keyClicks(w.ports->lineEdit(), QStringLiteral("/dev/ttyS"));
             return w.ports;
         },
         "/dev/ttyS", false},
        {"editable, an item of the text shown added after it",
         [](Lists& w) {
             w.ports->setEditText(QStringLiteral("/dev/ttyUSB0"));
             w.ports->addItem(QStringLiteral("/dev/ttyUSB0"));
             return w.ports;
         },
         "/dev/ttyUSB0", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Lists w;
        w.show();
        QComboBox* box = c.change(w);
        EXPECT_EQ(box->currentText().toStdString(), c.shown);
        EXPECT_EQ(accessibleName(box), c.shown);
        EXPECT_EQ(markedItems(box), c.anItem ? c.shown : "");
        EXPECT_EQ(kivo::testsupport::comboBoxFaults(&w.window), std::vector<std::string>{});
    }
}

// ---- Fixed size
// ---------------------------------------------------------------------------------

TEST(FixedSize, ASizeChangedFromOutsideOrAMaximizeGoesBack)
{
    QSize wanted(200, 100);
    QWidget window;
    FixedSizeRule rule(window, [&] { keepFixedSize(window, wanted); });
    keepFixedSize(window, wanted);
    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));

    ASSERT_TRUE(resizeFromOutside(window, QSize(400, 300)));
    EXPECT_TRUE(eventually([&] { return window.size() == wanted; })) << window.width();

    window.showMaximized();
    EXPECT_TRUE(eventually(
        [&] { return window.windowState() == Qt::WindowNoState && window.size() == wanted; }));

    // The rule follows the size the window wants now, limits and all.
    wanted = QSize(300, 150);
    keepFixedSize(window, wanted);
    EXPECT_EQ(window.size(), wanted);
    EXPECT_EQ(window.minimumSize(), wanted);
    EXPECT_EQ(window.maximumSize(), wanted);

    // A minimized window is left as it is.
    window.showMinimized();
    wanted = QSize(250, 120);
    keepFixedSize(window, wanted);
    EXPECT_NE(window.size(), wanted);
}

// ---- Help viewer
// --------------------------------------------------------------------------------

class HelpViewer : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        write("GUI.html", "<html><head><title>Kivo main window</title></head><body>"
                          "<p><a href=\"KIP.html\">The monitor</a></p></body></html>");
        write("KIP.html", "<html><head><title>Monitor window</title></head><body>Monitor"
                          "</body></html>");
        qt.setHelpFolder(root.path());
    }

    void write(const char* name, const QByteArray& text)
    {
        QFile file(QDir(root.path()).filePath(QString::fromLatin1(name)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(text);
    }

    QTextBrowser* browser() const { return qt.helpViewer()->findChild<QTextBrowser*>(); }
    QPushButton* button(const char* name) const
    {
        return qt.helpViewer()->findChild<QPushButton*>(QString::fromLatin1(name));
    }
    std::string shown() const { return qt.helpViewer()->windowTitle().toStdString(); }

    QTemporaryDir root;
    QtDesktop qt;
};

TEST_F(HelpViewer, EscapeClosesItWhereverTheFocusIs)
{
    for (const char* focus : {"Topic", "Back"}) {
        SCOPED_TRACE(focus);
        ASSERT_TRUE(qt.showHelpTopic(QStringLiteral("GUI.html")));
        QWidget* viewer = qt.helpViewer();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(viewer));
        QTest::keyClick(browser(), Qt::Key_Tab);
        QTest::keyClick(browser(), Qt::Key_Return);
        ASSERT_EQ(shown(), "Monitor window");
        QWidget* control = viewer->findChild<QWidget*>(QString::fromLatin1(focus));
        ASSERT_NE(control, nullptr);
        control->setFocus();
        QTest::keyClick(control, Qt::Key_Escape);
        EXPECT_FALSE(viewer->isVisible());
    }
    EXPECT_EQ(accessibleName(browser()), "Help topic");
}

// The viewer takes clicks while a modal dialog is up, whether it was open before the dialog or
// the dialog's own Help showed it.
TEST_F(HelpViewer, StaysUsableWhileAModalDialogIsUp)
{
    for (const bool openBefore : {true, false}) {
        SCOPED_TRACE(openBefore ? "open before the dialog" : "shown from the dialog");
        QWidget owner;
        owner.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&owner));
        if (openBefore) {
            ASSERT_TRUE(qt.showHelpTopic(QStringLiteral("GUI.html")));
        }
        QDialog dialog(&owner);
        std::string afterLink;
        std::string afterBack;
        whenModalShows([&](QWidget* modal) {
            ASSERT_EQ(modal, &dialog);
            if (!openBefore) {
                ASSERT_TRUE(qt.showHelpTopic(QStringLiteral("GUI.html")));
            }
            ASSERT_TRUE(QTest::qWaitForWindowExposed(qt.helpViewer()));
            // Let the viewer learn of the dialog; then the keyboard way to a link, and Back, both
            // through the window system, which keeps input from a window a modal one blocks.
            QTest::qWait(20);
            QWindow* window = qt.helpViewer()->windowHandle();
            browser()->setFocus();
            QTest::keyClick(window, Qt::Key_Tab);
            QTest::keyClick(window, Qt::Key_Return);
            afterLink = shown();
            QPushButton* back = button("Back");
            QTest::mouseClick(window, Qt::LeftButton, {},
                              back->mapTo(qt.helpViewer(), back->rect().center()));
            afterBack = shown();
            // The dialog itself still answers.
            dialog.reject();
        });
        dialog.exec();
        EXPECT_EQ(afterLink, "Monitor window");
        EXPECT_EQ(afterBack, "Kivo main window");
        // With the dialog gone the viewer is a window of its own again.
        ASSERT_TRUE(qt.showHelpTopic(QStringLiteral("KIP.html")));
        EXPECT_EQ(qt.helpViewer()->windowHandle()->transientParent(), nullptr);
        qt.helpViewer()->close();
    }
}

} // namespace
