// kivo-gallery DIR: writes every picture of the indicator controls, and the controls themselves
// in each of their states, as PNG files into DIR, so that a person can look at them.
//
//   <Control>-<index>.png         each picture of the picture lists, as the controls hold it
//   PellarosDisplay-initial.png   the olive blank of a new display
//   PellarosDisplay-panel.png     the panel behind the digits
//   widget-<Control>-...png       a control at its usual size in one state
//
// Runs without a display: with no display server it picks Qt's offscreen platform.
#include "KivoSoft/controls/ControlPictures.h"
#include "KivoSoft/controls/Label3D.h"
#include "KivoSoft/controls/PellarosDisplay.h"
#include "KivoSoft/controls/TwoPictureIndicators.h"
#include "platform/basic/basic.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QTextStream>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace {

using namespace KivoSoft;

class Writer {
public:
    explicit Writer(QDir dir) : m_dir(std::move(dir)) {}

    bool save(const QImage& image, const QString& name)
    {
        const QString path = m_dir.filePath(name + ".png");
        if (!image.save(path, "PNG")) {
            QTextStream(stderr) << "kivo-gallery: cannot write " << path << "\n";
            m_failed = true;
            return false;
        }
        ++m_written;
        return true;
    }

    bool saveWidget(QWidget& widget, const QString& name)
    {
        return save(widget.grab().toImage(), "widget-" + name);
    }

    int written() const { return m_written; }
    bool failed() const { return m_failed; }

private:
    QDir m_dir;
    int m_written = 0;
    bool m_failed = false;
};

template <typename Indicator> void writeIndicator(Writer& writer, const QString& name)
{
    Indicator indicator;
    indicator.setStatus(true);
    writer.saveWidget(indicator, name + "-StatusTrue");
    indicator.setStatus(false);
    writer.saveWidget(indicator, name + "-StatusFalse");
    // The windows size their instances freely; the picture stretches.
    indicator.resize(indicator.sizeHint() * 2);
    indicator.setStatus(true);
    writer.saveWidget(indicator, name + "-StatusTrue-stretched");
}

void writeDisplays(Writer& writer)
{
    kivo::basic::programDecimalSeparator = ".";
    PellarosDisplay display;
    writer.saveWidget(display, "PellarosDisplay-new");
    for (short style : {short(1), short(2)}) {
        for (const char* text : {"12.35", "0.25", "100.0"}) {
            display.TextValue(style, text);
            writer.saveWidget(display, QString("PellarosDisplay-style%1-%2").arg(style).arg(text));
        }
    }
}

void writeCaptions(Writer& writer)
{
    Label3D label;
    label.resize(300, 24);
    QFont font = label.Font();
    font.setPointSize(11);
    font.setBold(true);
    label.setLayersFont(font);
    label.setCaption("Select a window from the menu");
    for (int phase = 0; phase <= 3; ++phase) {
        label.setPhase(phase);
        writer.saveWidget(label, QString("Label3D-Phase%1").arg(phase));
    }
    label.setPhase(0);
    label.setBorderStyle(Label3D::BorderSingle);
    writer.saveWidget(label, "Label3D-BorderStyle1");
    label.setBorderStyle(Label3D::BorderNone);
    label.setLayersEnabled(false);
    writer.saveWidget(label, "Label3D-disabled");
}

} // namespace

int main(int argc, char** argv)
{
    if (!std::getenv("QT_QPA_PLATFORM") && !std::getenv("DISPLAY") &&
        !std::getenv("WAYLAND_DISPLAY")) {
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    }
    QApplication app(argc, argv);
    const QStringList args = QCoreApplication::arguments();
    if (args.size() != 2) {
        QTextStream(stderr) << "usage: kivo-gallery DIR\n";
        return 2;
    }
    QDir dir(args.at(1));
    if (!dir.mkpath(".")) {
        QTextStream(stderr) << "kivo-gallery: cannot create " << args.at(1) << "\n";
        return 1;
    }

    Writer writer(dir);
    for (const auto& [name, picture] : ControlPictures::catalogue()) {
        writer.save(*picture, name);
    }
    writeIndicator<PellarosLed>(writer, "PellarosLed");
    writeIndicator<PellarosBigSquareLed>(writer, "PellarosBigSquareLed");
    writeIndicator<PellarosSunkenSwitch>(writer, "PellarosSunkenSwitch");
    writeIndicator<PellarosPushButton>(writer, "PellarosPushButton");
    writeDisplays(writer);
    writeCaptions(writer);

    if (writer.failed()) {
        return 1;
    }
    QTextStream(stdout) << "wrote " << writer.written() << " pictures to " << dir.absolutePath()
                        << "\n";
    return 0;
}
