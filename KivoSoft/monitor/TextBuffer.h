// The monitor window's hidden text: the CSV monitor log as it grows between saves.
#pragma once

#include <QString>
#include <QWidget>

namespace KivoSoft {

// A text the window keeps without showing it: the CSV monitor log.
class TextBuffer : public QWidget {
    Q_OBJECT
public:
    explicit TextBuffer(QWidget* parent) : QWidget(parent) { hide(); }
    const QString& text() const { return m_text; }
    void setText(const QString& text) { m_text = text; }
    void append(const QString& text) { m_text += text; }

private:
    QString m_text;
};

} // namespace KivoSoft
