// The rules every window follows (installed for every widget test, as both programs' start-up
// installs them), the fixed-size rule, and the help viewer by keyboard and beside a modal window.
#include "platform/desktop/fixed_size.h"
#include "platform/desktop/qt_desktop.h"
#include "platform/desktop/window_rules.h"

#include "tests/support/access.h"
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
#include <memory>
#include <string>

using namespace kivo::desktop;

namespace {

using kivo::testsupport::accessibleName;
using kivo::testsupport::resizeFromOutside;
using kivo::testsupport::whenModalShows;

// Lets events run until `done` holds or a second has passed.
bool eventually(const std::function<bool()>& done)
{
    for (int i = 0; i < 100 && !done(); ++i) {
        QTest::qWait(10);
    }
    return done();
}

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

TEST(WindowRules, AComboBoxIsNamedByItsNameOrItsLabel)
{
    QWidget window;
    auto* label = new QLabel(QStringLiteral("&Port Number :"), &window);
    auto* labelled = new QComboBox(&window);
    auto* named = new QComboBox(&window);
    auto* plain = new QComboBox(&window);
    for (QComboBox* box : {labelled, named, plain}) {
        box->setEditable(true);
        box->addItems({QStringLiteral("/dev/ttyS0"), QStringLiteral("/dev/ttyS1")});
    }
    labelField(*label, *labelled);
    named->setAccessibleName(QStringLiteral("Unit list"));
    auto* list = new QComboBox(&window);
    list->addItems({QStringLiteral("1"), QStringLiteral("2")});
    list->setCurrentIndex(1);

    EXPECT_EQ(accessibleName(labelled), "Port Number :");
    EXPECT_EQ(accessibleName(labelled->lineEdit()), "Port Number :");
    EXPECT_EQ(accessibleName(named), "Unit list");
    // With neither, the box goes on being named by what it shows, as before.
    EXPECT_EQ(accessibleName(plain), "/dev/ttyS0");
    EXPECT_EQ(accessibleName(list), "2");

    // The rest is as Qt has it: the value, the list and the edit field, opening the list.
    QAccessibleInterface* box = QAccessible::queryAccessibleInterface(labelled);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(box->role(), QAccessible::ComboBox);
    EXPECT_EQ(box->text(QAccessible::Value).toStdString(), "/dev/ttyS0");
    ASSERT_EQ(box->childCount(), 2);
    EXPECT_EQ(box->child(0)->object(), labelled->view());
    EXPECT_EQ(box->child(1)->object(), labelled->lineEdit());
    EXPECT_EQ(box->indexOfChild(box->child(1)), 1);
    EXPECT_TRUE(box->state().editable);
    EXPECT_EQ(QAccessible::queryAccessibleInterface(list)->childCount(), 1);
    const auto labels = box->relations(QAccessible::Label);
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels[0].first->object(), label);

    window.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    ASSERT_NE(box->actionInterface(), nullptr);
    EXPECT_TRUE(
        box->actionInterface()->actionNames().contains(QAccessibleActionInterface::pressAction()));
    box->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_TRUE(labelled->view()->isVisible());
    EXPECT_TRUE(box->state().expanded);
    box->actionInterface()->doAction(QAccessibleActionInterface::pressAction());
    EXPECT_FALSE(labelled->view()->isVisible());
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
