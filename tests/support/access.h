// Widget tests: a window as the keyboard and a screen reader find it.
#pragma once

#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QStringList>
#include <QTest>
#include <QWidget>
#include <string>
#include <vector>

namespace kivo::testsupport {

// The name a screen reader gives `object`.
inline std::string accessibleName(QObject* object)
{
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(object);
    return iface ? iface->text(QAccessible::Name).toStdString() : "(no interface)";
}

// What a screen reader would get wrong of each combo box in `window`, one line a fault: a name
// other than the text the box shows (a box that shows nothing is named by what it is for), an
// item list that marks (as selected) another item than the
// one shown, or none when the text is no item's, and nothing said of what the box is for (no
// labelling label, no description). Empty when every box is right.
inline std::vector<std::string> comboBoxFaults(QWidget* window)
{
    std::vector<std::string> faults;
    for (QComboBox* box : window->findChildren<QComboBox*>()) {
        const std::string who = box->objectName().toStdString() + ": ";
        QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(box);
        const QString shown = box->isEditable() ? box->lineEdit()->text() : box->currentText();
        const QString name = iface->text(QAccessible::Name);
        if (!shown.isEmpty() && name != shown) {
            faults.push_back(who + "named \"" + name.toStdString() + "\" but shows \"" +
                             shown.toStdString() + "\"");
        }
        QStringList marked;
        QAccessibleInterface* list = iface->child(0);
        for (int i = 0; list && i < list->childCount(); ++i) {
            if (list->child(i)->state().selected) {
                marked << list->child(i)->text(QAccessible::Name);
            }
        }
        const bool anItem = box->findText(shown, Qt::MatchExactly | Qt::MatchCaseSensitive) >= 0;
        if (marked != (anItem ? QStringList{shown} : QStringList{})) {
            faults.push_back(who + "shows \"" + shown.toStdString() + "\" but its list marks \"" +
                             marked.join(QStringLiteral("\", \"")).toStdString() + "\"");
        }
        if (iface->relations(QAccessible::Label).isEmpty() &&
            iface->text(QAccessible::Description).isEmpty()) {
            faults.push_back(who + "says nothing of what it is for");
        }
    }
    return faults;
}

// Where the focus goes from `start` with `steps` presses of Tab (Shift+Tab when `back`), `start`
// first; the walk ends early where no control has the focus. The window must be active.
inline std::vector<QWidget*> tabWalk(QWidget* start, int steps, bool back = false)
{
    start->setFocus(Qt::TabFocusReason);
    std::vector<QWidget*> seen{QApplication::focusWidget()};
    for (int i = 0; i < steps && QApplication::focusWidget(); ++i) {
        QTest::keyClick(QApplication::focusWidget(), back ? Qt::Key_Backtab : Qt::Key_Tab,
                        back ? Qt::ShiftModifier : Qt::NoModifier);
        seen.push_back(QApplication::focusWidget());
    }
    return seen;
}

} // namespace kivo::testsupport
