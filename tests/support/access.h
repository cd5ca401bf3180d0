// Widget tests: a window as the keyboard and a screen reader find it.
#pragma once

#include <QAccessible>
#include <QApplication>
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
