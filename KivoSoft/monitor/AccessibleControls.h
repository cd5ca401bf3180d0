// Two controls of the monitor window that tell a screen reader more than Qt's own would.
#pragma once

#include <QCheckBox>
#include <QLabel>
#include <QString>

namespace KivoSoft {

// A label that shows a value. A screen reader reads what it is with what it shows ("Module 2
// status: Module Good"), so the same label of every slot is told apart, and hears of each new
// text as it comes.
class ValueLabel final : public QLabel {
    Q_OBJECT
public:
    ValueLabel(const QString& what, const QString& text, QWidget* parent);
    const QString& what() const { return m_what; }

private:
    QString m_what;
};

// A check box whose handler may take a while (a read of the unit, a message). Its accessible
// Toggle answers at once and changes the value right after, as a click does; Qt's own would
// keep the caller waiting for the whole handler.
class TogglingCheckBox final : public QCheckBox {
    Q_OBJECT
public:
    TogglingCheckBox(const QString& text, QWidget* parent);
};

} // namespace KivoSoft
