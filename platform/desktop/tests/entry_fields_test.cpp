// The entry fields of the forms runtime: an editable list keeps what is typed, and text that
// arrives otherwise than by a key press meets the field's key filter.
#include "platform/desktop/entry_fields.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

using namespace kivo::desktop;

namespace {

TEST(EditableList, KeepsWhatIsTypedAndAddsNothing)
{
    // A completer completes only in the list that has the focus.
    QComboBox list;
    list.addItems({"100", "250", "500", "1000"});
    makeEditableList(&list);
    list.show();
    list.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&list));
    list.setFocus();
    ASSERT_TRUE(QTest::qWaitFor([&] { return list.hasFocus(); }));
    for (const char* typed : {"25", "5", "1"}) {
        SCOPED_TRACE(typed);
        list.setEditText({});
        QTest::keyClicks(&list, typed);
        EXPECT_EQ(list.currentText().toStdString(), typed);
        QTest::keyClick(&list, Qt::Key_Return);
        EXPECT_EQ(list.currentText().toStdString(), typed);
        EXPECT_EQ(list.count(), 4);
    }
}

// Ways in which text reaches a field without a key press of its own.
enum class Way { PasteKeys, MenuPaste, Drop, InputMethod };

const char* name(Way way)
{
    switch (way) {
    case Way::PasteKeys:
        return "paste keys";
    case Way::MenuPaste:
        return "context menu";
    case Way::Drop:
        return "drop";
    case Way::InputMethod:
        return "input method";
    }
    return "";
}

void bring(QWidget* field, QLineEdit* edit, Way way, const QString& text)
{
    switch (way) {
    case Way::PasteKeys:
        QGuiApplication::clipboard()->setText(text);
        QTest::keyClick(field, Qt::Key_V, Qt::ControlModifier);
        break;
    case Way::MenuPaste: {
        QGuiApplication::clipboard()->setText(text);
        QContextMenuEvent click(QContextMenuEvent::Mouse, QPoint(2, 2),
                                edit->mapToGlobal(QPoint(2, 2)));
        QCoreApplication::sendEvent(edit, &click);
        auto* menu = qobject_cast<QMenu*>(QApplication::activePopupWidget());
        ASSERT_NE(menu, nullptr);
        for (QAction* action : menu->actions()) {
            if (action->text().startsWith(QStringLiteral("&Paste"))) {
                action->trigger();
            }
        }
        menu->close();
        break;
    }
    case Way::Drop: {
        // A drop goes to the widget that took the drag when it entered.
        QMimeData data;
        data.setText(text);
        const QPoint at(edit->width() - 2, 2);
        QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(edit, &enter);
        QDropEvent drop(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(edit, &drop);
        break;
    }
    case Way::InputMethod: {
        QInputMethodEvent typed;
        typed.setCommitString(text);
        QCoreApplication::sendEvent(field, &typed);
        break;
    }
    }
}

class PastedText : public ::testing::Test {
protected:
    void SetUp() override
    {
        list.addItems({"250", "500"});
        makeEditableList(&list);
        window.resize(300, 100);
        edit.setGeometry(0, 0, 120, 24);
        list.setGeometry(0, 40, 120, 24);
        window.show();
        for (QWidget* field : {static_cast<QWidget*>(&edit), static_cast<QWidget*>(&list)}) {
            // Digits only, as the numeric fields' filter; every key offered is written down.
            new PastedTextFilter(field, [this](std::int16_t& key) {
                offered.push_back(key);
                if (key < '0' || key > '9') {
                    key = 0;
                }
            });
        }
    }

    QWidget window;
    QLineEdit edit{&window};
    QComboBox list{&window};
    std::vector<std::int16_t> offered;
};

TEST_F(PastedText, TakesOnlyWhatTheKeyFilterLetsBeTyped)
{
    for (const Way way : {Way::PasteKeys, Way::MenuPaste, Way::Drop, Way::InputMethod}) {
        for (const bool inList : {false, true}) {
            SCOPED_TRACE(std::string(name(way)) + (inList ? " into a list" : " into a box"));
            QWidget* field = inList ? static_cast<QWidget*>(&list) : &edit;
            QLineEdit* line = inList ? list.lineEdit() : &edit;

            // A refused character refuses the whole text: nothing of it goes in, and the
            // filter saw the characters up to the refused one.
            line->setText(QStringLiteral("7"));
            line->end(false);
            offered.clear();
            bring(field, line, way, QStringLiteral("1,2"));
            EXPECT_EQ(line->text().toStdString(), "7");
            EXPECT_EQ(offered, (std::vector<std::int16_t>{'1', ','}));

            // A text every character of which passes goes in whole.
            line->clear();
            bring(field, line, way, QStringLiteral("12"));
            EXPECT_EQ(line->text().toStdString(), "12");
        }
    }
}

TEST_F(PastedText, ALineBreakOrATextTooLongForTheFieldIsRefusedNotCut)
{
    struct Case {
        const char* text;
        int maxLength;
    };
    const Case cases[] = {{"12\r", 32767}, {"12\n", 32767}, {"123", 3}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        edit.setMaxLength(c.maxLength);
        edit.setText(QStringLiteral("7"));
        bring(&edit, &edit, Way::PasteKeys, QString::fromLatin1(c.text));
        EXPECT_EQ(edit.text().toStdString(), "7");
    }
    // In place of a selection the same text fits.
    edit.selectAll();
    bring(&edit, &edit, Way::PasteKeys, QStringLiteral("123"));
    EXPECT_EQ(edit.text().toStdString(), "123");
}

} // namespace
