// Entry fields as the forms runtime had them: an editable drop-down list keeps what the user
// types, and a field whose typed keys pass a key filter takes no text past that filter by
// another way.
//
//     kivo::desktop::makeEditableList(times);                  // "25" stays "25", never "250"
//     new kivo::desktop::PastedTextFilter(box, [](std::int16_t& key) { numericOnly(key); });
#pragma once

#include <QObject>

#include <cstdint>
#include <functional>

class QComboBox;
class QKeyEvent;
class QLineEdit;
class QWidget;

namespace kivo::desktop {

// Makes `list` an editable drop-down list whose text is exactly what was typed or picked: no
// completion, and nothing typed is added to its items.
void makeEditableList(QComboBox* list);

// Whether `event` is one of the keys that open a drop-down list's item list (F4, Alt+Down,
// Alt+Up, Space). A list that takes no typing still lets these through, so a keyboard user can
// pick an item: the pick then comes as the same activation as a click on the item.
bool opensItemList(const QKeyEvent& event);

// Text that reaches `field` (a QLineEdit or an editable QComboBox) without a key press of its
// own: a paste (the paste keys, the context menu's Paste, the middle button), a drop, and the
// text an input method commits. Each character is offered in turn to `filter`, the field's
// key-press handler, as a typed key would be; when the filter refuses one (sets its code to 0,
// after its own message), or one is no text (Enter, backspace, a line break the filter lets
// pass), nothing of the text is inserted and the field stays as it was. A text that would make
// the field longer than its maximum length is refused as well, rather than cut. The filter lives
// as long as the field.
class PastedTextFilter : public QObject {
    Q_OBJECT
public:
    using KeyFilter = std::function<void(std::int16_t& keyAscii)>;
    PastedTextFilter(QWidget* field, KeyFilter filter);

    // Whether `text`, put in place of the field's selection (`replacesSelection`) or added to
    // its text, passes the rule above. A refused character's message has been shown.
    bool accepts(const QString& text, bool replacesSelection = true) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    // True when `event` brings text the rule refuses (the event is then dropped).
    bool takeOnlyAccepted(QObject* watched, QEvent* event);
    void showContextMenu(const QPoint& globalPos);

    QWidget* m_field;
    QLineEdit* m_edit;
    KeyFilter m_filter;
};

} // namespace kivo::desktop
