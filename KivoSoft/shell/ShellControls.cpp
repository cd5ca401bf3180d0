#include "KivoSoft/shell/ShellControls.h"

#include "KivoSoft/controls/EventCodes.h"
#include "KivoSoft/controls/Twips.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

namespace KivoSoft {

namespace {

constexpr const char* CommandProperty = "kivoCommand";

bool isCommand(const QWidget& control)
{
    return control.property(CommandProperty).toBool();
}

// Space and Enter on a command raise its Click, as a click does (a held key once). Returns
// whether the key was the command's.
template <class Control> bool pressedByKey(Control& control, const QKeyEvent& event)
{
    if (!isCommand(control) || !isClickKey(event)) {
        return false;
    }
    if (!event.isAutoRepeat()) {
        emit control.Click();
    }
    return true;
}

// Where the keyboard is: dots over a light line, seen over whatever the control shows (the
// pictures, the dark header of the window).
void paintFocusFrame(QWidget& control)
{
    if (!control.hasFocus()) {
        return;
    }
    QPainter painter(&control);
    const QRect frame = control.rect().adjusted(1, 1, -2, -2);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(Qt::white, 1));
    painter.drawRect(frame);
    painter.setPen(QPen(Qt::black, 1, Qt::DotLine));
    painter.drawRect(frame);
}

// A command as a screen reader finds it: its name, its tool tip as the description, and Press,
// which raises Click once the call that asked for it has returned.
class AccessibleCommand final : public QAccessibleWidget {
public:
    AccessibleCommand(QWidget* control, QAccessible::Role role) : QAccessibleWidget(control, role)
    {
    }

    QStringList actionNames() const override
    {
        return QStringList{pressAction()} + QAccessibleWidget::actionNames();
    }

    void doAction(const QString& action) override
    {
        if (action != pressAction()) {
            QAccessibleWidget::doAction(action);
            return;
        }
        // Whether the command may act is asked when it runs: a modal window may have come up
        // in between.
        QPointer<QWidget> control(widget());
        QMetaObject::invokeMethod(
            widget(),
            [control] {
                if (control && control->isEnabled()) {
                    QMetaObject::invokeMethod(control, "Click");
                }
            },
            Qt::QueuedConnection);
    }

    QStringList keyBindingsForAction(const QString& action) const override
    {
        return action == pressAction() ? QStringList{QStringLiteral("Space")}
                                       : QAccessibleWidget::keyBindingsForAction(action);
    }
};

QAccessibleInterface* commandInterface(const QString& className, QObject* object)
{
    const bool image = className == u"KivoSoft::ImageControl";
    const bool label = className == u"KivoSoft::ClickLabel";
    if ((image || label) && isCommand(*static_cast<QWidget*>(object))) {
        return new AccessibleCommand(static_cast<QWidget*>(object),
                                     label ? QAccessible::Link : QAccessible::Button);
    }
    return nullptr;
}

} // namespace

void offerAsCommand(QWidget& control, const QString& name)
{
    static const bool installed = [] {
        QAccessible::installFactory(commandInterface);
        return true;
    }();
    static_cast<void>(installed);
    control.setProperty(CommandProperty, true);
    control.setFocusPolicy(Qt::TabFocus);
    control.setAccessibleName(name);
}

ImageControl::ImageControl(const QImage* picture, QWidget* parent) : PictureElement(parent)
{
    setPicture(picture);
    // Mouse moves arrive without a button held, as the hover feedback needs them.
    setMouseTracking(true);
    connect(this, &PictureElement::clicked, this, &ImageControl::Click);
}

void ImageControl::setBorderStyle(int style)
{
    if (style == m_borderStyle) {
        return;
    }
    m_borderStyle = style;
    update();
}

void ImageControl::paintEvent(QPaintEvent* event)
{
    PictureElement::paintEvent(event);
    if (m_borderStyle != BorderFixedSingle) {
        paintFocusFrame(*this);
        return;
    }
    QPainter painter(this);
    painter.setPen(QPen(Qt::black, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    painter.end();
    paintFocusFrame(*this);
}

void ImageControl::keyPressEvent(QKeyEvent* event)
{
    if (!pressedByKey(*this, *event)) {
        PictureElement::keyPressEvent(event);
    }
}

void ImageControl::mouseMoveEvent(QMouseEvent* event)
{
    emit MouseMove(mouseButtonCode(event->buttons()), shiftCode(event->modifiers()),
                   static_cast<float>(event->position().x() * TwipsPerPixel),
                   static_cast<float>(event->position().y() * TwipsPerPixel));
}

ClickLabel::ClickLabel(const QString& text, QWidget* parent) : QLabel(text, parent)
{
    setCursor(Qt::PointingHandCursor);
}

void ClickLabel::paintEvent(QPaintEvent* event)
{
    QLabel::paintEvent(event);
    paintFocusFrame(*this);
}

void ClickLabel::keyPressEvent(QKeyEvent* event)
{
    if (!pressedByKey(*this, *event)) {
        QLabel::keyPressEvent(event);
    }
}

void ClickLabel::mousePressEvent(QMouseEvent* event)
{
    m_pressed = event->button() == Qt::LeftButton;
    event->accept();
}

void ClickLabel::mouseReleaseEvent(QMouseEvent* event)
{
    const bool click = m_pressed && event->button() == Qt::LeftButton &&
                       rect().contains(event->position().toPoint());
    m_pressed = false;
    if (click) {
        emit Click();
    }
}

} // namespace KivoSoft
