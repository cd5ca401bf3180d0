// The checks a window runs when the focus is about to leave one of its entry fields, in the order
// the forms runtime runs its Validate events.
//
// A field is added with its check (true: the value may stand) and an optional focus-lost step
// that runs once the check let the focus go. When the focus moves from a field to another control
// of the same window the check runs; a refusal puts the focus back into the field, and a command
// button's click waits for the field being left:
//
//     m_checks.add(vsp[m], [this, m] { bool cancel = false; vsp_Validate(m, cancel);
//                                      return !cancel; },
//                  [this, m] { vsp_LostFocus(m); });
//     m_checks.guardClick(cmdApply, [this] { cmdApply_Click(); });
//
// No click is dropped without a word: a guarded click runs the check of the field being left
// (its message says why the click does nothing), except the click whose own press took the
// focus from the field, whose check has just refused with its message.
//
// One leave runs the check and the focus-lost step once, however the focus goes. A leave the
// focus does not follow at once (a click on a button that takes no focus, a mnemonic, a change of
// tab) is run there and then; the focus going on from the field afterwards, also after the busy
// state has taken it away and given it back, is the same leave and runs nothing. A change of the
// field's value makes it a field being edited again, checked at its next leave; so does the
// focus coming back to it from another control of the window.
//
// The focus going to another window (a message box, the port dialog, the desktop) runs nothing,
// so a check that shows a message is not run again by its own message box; neither does a field
// that is being hidden (its tab or frame put away), and a hidden field never gets the focus back:
// the window clears the refusal when it reloads (reset) and keeps a refusing field's tab in front.
#pragma once

#include <QObject>
#include <QPointer>
#include <QVariant>

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

    // Connects `button`'s click to `handler`; the click first leaves the field being edited.
    void guardClick(QAbstractButton* button, std::function<void()> handler);

    // The focus is about to leave the field being edited for another control of the window:
    // runs its check and, when the check lets the focus go, its focus-lost step. Returns whether
    // the focus may go; a refusing field gets the focus back. True when no field is being left
    // (also when the field is out of sight) and when the field's leave has run already for the
    // value it holds. A field that still holds the focus afterwards stays current().
    bool leave();

    // The field whose check refused last and that holds the focus again; nullptr when none.
    QWidget* refusing() const { return m_refusing; }
    // The field that holds the focus (the one a leave() would check); nullptr when none.
    QWidget* current() const { return m_current; }

    // Forgets the field being edited and any refusal (the window was reset or reloaded).
    void reset();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private slots:
    // The value of a field changed (its user property's notify signal).
    void valueEdited();

private:
    struct Field {
        QWidget* widget;
        Check check;
        Step lostFocus;
    };
    const Field* find(const QObject* widget) const;
    // `takenBy`: the control whose mouse press takes the focus from the field, if any.
    bool runLeave(const Field& field, QWidget* takenBy = nullptr);
    // Whether `field` is the one whose leave ran while it kept the focus, and holds the same value.
    bool hasBeenLeft(const Field& field) const;
    void forgetLeave();

    QWidget* m_window;
    std::vector<Field> m_fields;
    QPointer<QWidget> m_current;
    QPointer<QWidget> m_refusing;
    // The control whose press moved the focus out of a field that then refused, and the guarded
    // button whose click that press leads to.
    QPointer<QWidget> m_refusedBy;
    QPointer<QAbstractButton> m_clickRefused;
    // The field whose leave ran while the focus stayed in it, and the value it was left with.
    QPointer<QWidget> m_left;
    QVariant m_leftValue;
    bool m_checking = false;
};

} // namespace KivoSoft
