// A label of the monitor window that shows a value: a module's status, a limit.
#pragma once

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

} // namespace KivoSoft
