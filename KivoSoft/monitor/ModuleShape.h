// The outline drawn around a module panel of the monitor window.
#pragma once

#include <QWidget>

namespace KivoSoft {

// The outline drawn around a module panel: a border of a colour and width over a fill, the
// transparent one (1) or a downward diagonal hatch (5).
class ModuleShape : public QWidget {
    Q_OBJECT
public:
    explicit ModuleShape(QWidget* parent);

    uint BorderColor() const { return m_borderColor; }
    int FillStyle() const { return m_fillStyle; }
    int BorderWidth() const { return m_borderWidth; }
    void setStyle(uint borderColor, int fillStyle, int borderWidth);
    // Redraws at once.
    void Refresh() { repaint(); }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    uint m_borderColor = 0x80000008;
    int m_fillStyle = 1;
    int m_borderWidth = 1;
};

} // namespace KivoSoft
