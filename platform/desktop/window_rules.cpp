#include "platform/desktop/window_rules.h"

#include "platform/desktop/window_focus.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>

namespace kivo::desktop {

namespace {

class EnterPressesFocusedButton final : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        const auto* key = static_cast<const QKeyEvent*>(event);
        const bool enter = key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
        const Qt::KeyboardModifiers modifiers = key->modifiers() & ~Qt::KeypadModifier;
        if (!enter || modifiers != Qt::NoModifier) {
            return false;
        }
        // The key goes to the focus widget first and then up its parents: only the button itself
        // takes it.
        auto* button = qobject_cast<QPushButton*>(watched);
        if (!button || !button->hasFocus() || !button->isEnabled()) {
            return false;
        }
        // As with Space, holding the key down presses the button once.
        if (!key->isAutoRepeat()) {
            button->click();
        }
        return true;
    }
};

// Qt names a combo box by the text it shows; the label whose buddy it is (a labelled-by relation)
// and its tool tip (the description) say what it is for. Its item list, though, marks the item
// shown only once the list has been open, and from then on the item picked last, whatever the
// box shows later. So every box's list is kept on the item the box shows, from the moment a
// screen reader first asks for the box: the list's selected item is the box's current item, or for
// an editable box the item whose text stands in its edit field (none when the text is no item's).
// While the list is open its highlight is the user's and is left alone.
class ListFollowsShownItem final : public QObject {
public:
    static void attach(QComboBox* box)
    {
        if (!box->findChild<QObject*>(objectNameOf(), Qt::FindDirectChildrenOnly)) {
            new ListFollowsShownItem(box);
        }
    }

protected:
    // Closing the list drops a highlight the user moved without picking; only once the closing
    // is over, as a pick takes the list's current item after the list has gone.
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Hide && watched == m_box->view()) {
            QMetaObject::invokeMethod(this, &ListFollowsShownItem::follow, Qt::QueuedConnection);
        }
        return false;
    }

private:
    explicit ListFollowsShownItem(QComboBox* box) : QObject(box), m_box(box)
    {
        setObjectName(objectNameOf());
        const auto follow = [this] { this->follow(); };
        connect(box, &QComboBox::currentIndexChanged, this, follow);
        connect(box, &QComboBox::currentTextChanged, this, follow);
        QAbstractItemModel* items = box->model();
        connect(items, &QAbstractItemModel::rowsInserted, this, follow);
        connect(items, &QAbstractItemModel::rowsRemoved, this, follow);
        connect(items, &QAbstractItemModel::modelReset, this, follow);
        connect(items, &QAbstractItemModel::dataChanged, this, follow);
        box->view()->installEventFilter(this);
        this->follow();
    }

    static QString objectNameOf() { return QStringLiteral("kivo_list_follows_shown_item"); }

    QModelIndex shownItem() const
    {
        int row = m_box->currentIndex();
        if (m_box->isEditable() && (row < 0 || m_box->itemText(row) != m_box->currentText())) {
            row = m_box->findText(m_box->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
        }
        return row < 0 ? QModelIndex()
                       : m_box->model()->index(row, m_box->modelColumn(), m_box->rootModelIndex());
    }

    void follow()
    {
        QAbstractItemView* list = m_box->view();
        QItemSelectionModel* selection = list ? list->selectionModel() : nullptr;
        if (!selection || list->isVisible()) {
            return;
        }
        // Quietly: the box itself tells the bus of its change, a move of the list's current item
        // would be taken for the user's highlight (QComboBox::highlighted), and the first time
        // runs while Qt is still making the box's interface, where no event may go out.
        // Selected, not current: Qt reports a list's current item as focused, and a closed list
        // has no focus to report. Opening the list makes the item current.
        const QSignalBlocker quiet(selection);
        const QModelIndex shown = shownItem();
        selection->clear();
        if (shown.isValid()) {
            selection->select(shown, QItemSelectionModel::ClearAndSelect);
        }
    }

    QComboBox* m_box;
};

// Makes no interface of its own: Qt's combo box interface serves, with its list kept in step.
QAccessibleInterface* followShownItem(const QString& className, QObject* object)
{
    if (className == u"QComboBox" && object && object->isWidgetType()) {
        ListFollowsShownItem::attach(static_cast<QComboBox*>(object));
    }
    return nullptr;
}

} // namespace

void installWindowRules()
{
    // One filter for the application's lifetime; it goes with the application.
    static QPointer<QObject> enterRule;
    if (!enterRule && qApp) {
        enterRule = new EnterPressesFocusedButton(qApp);
        qApp->installEventFilter(enterRule);
    }
    // Installing the same factory twice keeps one.
    QAccessible::installFactory(followShownItem);
    installFocusKeeping();
}

void labelField(QLabel& label, QWidget& field)
{
    label.setBuddy(&field);
    if (auto* box = qobject_cast<QComboBox*>(&field); box && box->lineEdit()) {
        box->lineEdit()->setAccessibleName(withoutMnemonic(label.text()));
    }
}

QString withoutMnemonic(const QString& text)
{
    QString name;
    name.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&') {
            if (i + 1 < text.size() && text[i + 1] == u'&') {
                name += u'&';
                ++i;
            }
            continue;
        }
        name += text[i];
    }
    return name;
}

} // namespace kivo::desktop
