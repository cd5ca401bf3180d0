// What the monitor window's source files share: its fixed texts and colours, the link's calls
// on the one link object, and the guarded device action of a handler.
#pragma once

#include "KivoSoft/model/DeviceLink.h"
#include "KivoSoft/model/KivoGlobals.h"
#include "KivoSoft/model/LinkInUse.h"
#include "KivoSoft/monitor/MonitorForm.h"
#include "platform/basic/basic.h"

#include <QPalette>
#include <QString>
#include <QWidget>

#include <cstdint>
#include <exception>
#include <initializer_list>
#include <utility>
#include <vector>

namespace KivoSoft::monitor {

inline constexpr uint Red = 255;
inline constexpr uint Green = 0xFF00;
inline constexpr uint Black = 0;
inline constexpr uint Navy = 0x800000;
inline constexpr uint ButtonFace = 0x8000000F;

inline const QString kOk = QStringLiteral("CMD_OK");
inline const QString kNotPresent = QStringLiteral("Not Present");
inline const QString kModuleOff = QStringLiteral("Module Off");
inline const QString kModuleGood = QStringLiteral("Module Good");
inline const QString kSelectPrompt = QStringLiteral("Please Select Unit...");
inline const QString kDravon = QStringLiteral("Dravon Electronics");

inline QString status(const kivo::automation::CallResult& result)
{
    return linkStatus(result);
}

// The link's calls by name, on the one link object.
template <class... Args> QString link(const char* operation, Args&&... args)
{
    return status(
        kivo::automation::call(KivoGlobals::DeviceLink, operation, std::forward<Args>(args)...));
}

inline QString openPort()
{
    return link("OpenPort", KivoGlobals::DefaultComPort.toStdString());
}

inline void closePort()
{
    kivo::automation::call(KivoGlobals::DeviceLink, "ClosePort");
}

inline QString bitString(const kivo::automation::Int16Array& bits, int count)
{
    QString text;
    const std::vector<std::int16_t> values = bits.values();
    for (int k = 0; k < count && k < static_cast<int>(values.size()); ++k) {
        text += QString::number(values[static_cast<std::size_t>(k)]);
    }
    return text;
}

// A measured value onto its meter, only when the measurement returned one: a failed measurement
// leaves its count at 0, which is no reading, and the meter keeps the reading it shows.
inline void showMeasurement(KivoSoft::PellarosDisplay* meter, const QString& result,
                            const QString& text)
{
    if (result == kOk) {
        meter->TextValue(1, text);
    }
}

inline QString digit(const QString& digits, int slot)
{
    return kivo::basic::Mid(digits, slot, 1);
}

// Disables those of `widgets` that are enabled, for the life of the scope, and enables them again.
class DisabledMeanwhile {
public:
    DisabledMeanwhile(bool disable, std::initializer_list<QWidget*> widgets)
    {
        for (QWidget* widget : widgets) {
            if (disable && widget->isEnabled()) {
                widget->setEnabled(false);
                m_disabled.push_back(widget);
            }
        }
    }
    ~DisabledMeanwhile()
    {
        for (QWidget* widget : m_disabled) {
            widget->setEnabled(true);
        }
    }
    DisabledMeanwhile(const DisabledMeanwhile&) = delete;
    DisabledMeanwhile& operator=(const DisabledMeanwhile&) = delete;

private:
    std::vector<QWidget*> m_disabled;
};

inline void setColour(QWidget* widget, QPalette::ColorRole role, uint vbColour)
{
    QPalette palette = widget->palette();
    palette.setColor(role, Label3D::toColor(vbColour, palette));
    widget->setPalette(palette);
}

} // namespace KivoSoft::monitor

namespace KivoSoft {

template <class Body, class AfterFailure>
void MonitorForm::asDeviceAction(const char* handler, Body body, AfterFailure afterFailure)
{
    LinkInUse guard(QStringLiteral("MonitorForm.") + QLatin1String(handler));
    if (!guard) {
        return;
    }
    try {
        body();
    } catch (const std::exception& failure) {
        recover(handler, QString::fromStdString(failure.what()));
        afterFailure();
    }
}

} // namespace KivoSoft
