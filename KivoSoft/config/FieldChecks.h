// The checks a window runs when the focus is about to leave one of its entry fields, in the order
// the forms runtime runs its Validate events.
//
// A field is added with its check (true: the value may stand) and an optional focus-lost step
// that runs once the check let the focus go. When the focus moves from a field to another control
// of the same window the check runs; a refusal puts the focus back into the field, and a command
// button's click that arrives while a field refuses is dropped:
//
//     m_checks.add(vsp[m], [this, m] { bool cancel = false; vsp_Validate(m, cancel);
//                                      return !cancel; },
//                  [this, m] { vsp_LostFocus(m); });
//     m_checks.guardClick(cmdApply, [this] { cmdApply_Click(); });
//
// The focus going to another window (a message box, the port dialog, the desktop) runs nothing,
// so a check that shows a message is not run again by its own message box.
#pragma once

#include <QObject>
#include <QPointer>

#include <functional>
#include <vector>

class QAbstractButton;
class QWidget;

namespace KivoSoft {

class FieldChecks : public QObject {
    Q_OBJECT
public:
    using Check = std::function<bool()>;
    using Step = std::function<void()>;

    // `window` is the window whose controls count as "another control of the window".
    explicit FieldChecks(QWidget* window);

    void add(QWidget* field, Check check, Step lostFocus = {});

    // Connects `button`'s click to `handler`, dropping clicks made while a field refuses.
    void guardClick(QAbstractButton* button, std::function<void()> handler);

    // The focus is about to leave the field that holds it for another control of the window:
    // runs its check and, when the check lets the focus go, its focus-lost step. Returns whether
    // the focus may go; a refusing field gets the focus back. True when no field is being left.
    bool leave();

    // The field whose check refused last and that holds the focus again; nullptr when none.
    QWidget* refusing() const { return m_refusing; }
    // The field that holds the focus (the one a leave() would check); nullptr when none.
    QWidget* current() const { return m_current; }

    // Forgets the field being edited and any refusal (the window was reset or reloaded).
    void reset();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    struct Field {
        QWidget* widget;
        Check check;
        Step lostFocus;
    };
    const Field* find(const QObject* widget) const;
    bool runLeave(const Field& field);

    QWidget* m_window;
    std::vector<Field> m_fields;
    QPointer<QWidget> m_current;
    QPointer<QWidget> m_refusing;
    bool m_checking = false;
};

} // namespace KivoSoft
