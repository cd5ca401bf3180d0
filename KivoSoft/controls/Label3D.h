// Label3D: a caption drawn twice, a back layer and a front layer one pixel (15 twips) apart along a
// diagonal, so that the text looks raised or shadowed.
//
// The main window places one as its prompt line and sets the caption, the background and both
// text colours, by the typed setters or by name:
//
//     lbl->setCaption("...");                  // or lbl->setProperty("Caption", "...")
//     lbl->setProperty("BackColor", 0x8000000Fu);
//
// Colours are 32-bit values in the form &H00BBGGRR; a value with the top bit set names a system
// colour by its index in the low byte (0x8000000F the button face, which is the colour behind
// dialogs here). The layers are plain-text labels that wrap at the control's width.
//
// Every accepted set ends with PropertyChanged(name) for the container; a refused one changes
// nothing and sends nothing. Only the front layer's mouse events are passed on, as Click,
// DblClick, MouseDown, MouseMove and MouseUp. ReadProperties() and WriteProperties() load and
// save the properties with the window's layout.
#pragma once

#include <QFont>
#include <QLabel>
#include <QString>
#include <QVariantMap>
#include <QWidget>

namespace KivoSoft {

class Label3D : public QWidget {
    Q_OBJECT
    Q_CLASSINFO("Enabled", "Returns/sets a value that determines whether an object can respond "
                           "to user-generated events.")
    Q_CLASSINFO("Font", "Returns a Font object.")
    Q_CLASSINFO("Refresh", "Forces a complete repaint of a object.")
    Q_CLASSINFO("ForeColor1",
                "Returns/sets the foreground color used to display text and graphics in an object.")
    Q_CLASSINFO("ForeColor2",
                "Returns/sets the foreground color used to display text and graphics in an object.")
    Q_CLASSINFO("Caption", "Returns/sets the text displayed in an object's title bar or below an "
                           "object's icon.")
    Q_CLASSINFO("Alignment",
                "Returns/sets the alignment of a CheckBox or OptionButton, or a control's text.")
    Q_CLASSINFO("BackColor",
                "Returns/sets the background color used to display text and graphics in an object.")
    Q_CLASSINFO("BorderStyle", "Restituisce o imposta lo stile del bordo di un oggetto.")
    Q_CLASSINFO("Click", "Occurs when the user presses and then releases a mouse button over an "
                         "object.")
    Q_CLASSINFO("DblClick", "Occurs when the user presses and releases a mouse button and then "
                            "presses and releases it again over an object.")
    Q_CLASSINFO("MouseDown",
                "Occurs when the user presses the mouse button while an object has the focus.")
    Q_CLASSINFO("MouseMove", "Occurs when the user moves the mouse.")
    Q_CLASSINFO("MouseUp",
                "Occurs when the user releases the mouse button while an object has the focus.")
    Q_PROPERTY(bool Enabled READ Enabled WRITE setLayersEnabled)
    Q_PROPERTY(QFont Font READ Font WRITE setLayersFont)
    Q_PROPERTY(uint ForeColor1 READ ForeColor1 WRITE setForeColor1)
    Q_PROPERTY(uint ForeColor2 READ ForeColor2 WRITE setForeColor2)
    Q_PROPERTY(QString Caption READ Caption WRITE setCaption)
    Q_PROPERTY(int Alignment READ Alignment WRITE setAlignment)
    Q_PROPERTY(int Phase READ Phase WRITE setPhase)
    Q_PROPERTY(uint BackColor READ BackColor WRITE setBackColor)
    Q_PROPERTY(int BorderStyle READ BorderStyle WRITE setBorderStyle)
public:
    // Why a set was refused. Through the property system a refused write simply leaves the value
    // as it was.
    enum class SetError { None, Overflow, InvalidValue };

    // Alignment: 0 left, 1 right, 2 centre. BorderStyle: 0 none, 1 a single line.
    enum { AlignLeft = 0, AlignRight = 1, AlignCenter = 2 };
    enum { BorderNone = 0, BorderSingle = 1 };

    static constexpr uint SystemButtonFace = 0x8000000F;
    // The smallest width and height: 100 twips.
    static constexpr int MinimumSideTwips = 100;

    explicit Label3D(QWidget* parent = nullptr);

    // Whether the layers respond to the mouse (the back layer's state); the control itself stays
    // enabled. Sets both layers.
    bool Enabled() const;
    void setLayersEnabled(bool enabled);

    // The back layer's font; a new instance follows its container's font. Sets both layers.
    QFont Font() const;
    void setLayersFont(const QFont& font);

    // Text colour of the back layer (ForeColor1) and of the front layer (ForeColor2).
    uint ForeColor1() const { return m_foreColor1; }
    void setForeColor1(uint colour);
    uint ForeColor2() const { return m_foreColor2; }
    void setForeColor2(uint colour);

    // The back layer's text. Sets both layers.
    QString Caption() const;
    void setCaption(const QString& caption);

    // Sets both layers. Outside -32768..32767: Overflow; not 0, 1 or 2: InvalidValue.
    int Alignment() const { return m_alignment; }
    SetError setAlignment(int alignment);

    // 0: back layer below right of the front; 1: below left; 2: above right; 3: above left.
    // 4 to 255 are stored and leave the layers where they are. Outside 0..255: Overflow.
    int Phase() const { return m_phase; }
    SetError setPhase(int phase);

    // The colour behind both layers.
    uint BackColor() const { return m_backColor; }
    void setBackColor(uint colour);

    // A frame around the front layer only. Outside -32768..32767: Overflow; not 0 or 1:
    // InvalidValue.
    int BorderStyle() const { return m_borderStyle; }
    SetError setBorderStyle(int style);

    // Repaints the whole control at once.
    Q_INVOKABLE void Refresh();

    // Loads the persisted properties under their names ("Enabled", "ForeColor1", "ForeColor2",
    // "Caption", "Alignment", "Font", "BorderStyle", "Phase", "BackColor"); a missing key takes
    // its default (True, black, white, "Label3D", 0, the container's font, 0, 0, button face),
    // then lays the layers out once. Sends no PropertyChanged.
    void ReadProperties(const QVariantMap& properties);
    // The properties to persist; a value equal to its default is left out.
    QVariantMap WriteProperties() const;

    QLabel* Label1() const { return m_back; }
    QLabel* Label2() const { return m_front; }

    QSize sizeHint() const override;

    // A colour value of the form above as the colour it stands for.
    static QColor toColor(uint colour, const QPalette& palette);

signals:
    // Mouse events of the front layer. Button: 1 left, 2 right, 4 middle (for MouseMove the
    // buttons held); Shift: 1 Shift, 2 Ctrl, 4 Alt; X and Y in twips from the front layer's
    // top left corner.
    void Click();
    void DblClick();
    void MouseDown(short Button, short Shift, float X, float Y);
    void MouseMove(short Button, short Shift, float X, float Y);
    void MouseUp(short Button, short Shift, float X, float Y);

    // An accepted property set, with the property's name.
    void PropertyChanged(const QString& PropertyName);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void layOut();
    void applyForeColor(QLabel* label, uint colour);
    void applyAlignment(int alignment);
    void applyBorderStyle(int style);
    QFont ambientFont() const;
    bool mouseEventFromFront(QEvent* event);

    QLabel* m_back;
    QLabel* m_front;
    uint m_foreColor1 = 0;
    uint m_foreColor2 = 0x00FFFFFF;
    int m_alignment = AlignLeft;
    int m_phase = 0;
    uint m_backColor = SystemButtonFace;
    int m_borderStyle = BorderNone;
    bool m_frontPressed = false;
};

} // namespace KivoSoft
