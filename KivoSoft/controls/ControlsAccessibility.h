// What the kit's controls tell a screen reader, voice control or outside automation.
//
// The controls draw themselves from pictures and text layers, so Qt's own accessibility would
// see only those parts: unnamed pictures, or a caption twice. Their own interfaces show each
// control as one object, without its parts:
//
//   - a switch (PellarosSunkenSwitch, PellarosPushButton) as a check box, checked while its Status
//     is True, with the Press action (what a click does) while it is enabled;
//   - a lamp (PellarosLed, PellarosBigSquareLed) as a label, checked while its Status is True,
//     whose text is what its state means (TwoPictureIndicator::stateText());
//   - a display (PellarosDisplay) as a label whose text is what it shows ("12.00");
//   - a caption (Label3D) as a label named by its caption.
//
// A window names its instances with setAccessibleName() (or a label's buddy). The state or the
// reading is the accessible value text, and, since Qt's bridge to the bus carries no value text
// for labels, it follows the name as well: "Module 2 voltmeter: 12.00", "AC Fail: Ok". The
// interfaces follow the controls as they change; the controls call notifyShownChanged() so that
// a screen reader hears of it.
#pragma once

#include <QString>

class QWidget;

namespace KivoSoft {

// Makes Qt's accessibility use the kit's interfaces; every control's constructor calls it.
void installControlsAccessibility();

// Tells the accessibility bus, while one listens, that `control` shows something else now:
// `before` is the text it showed until now.
void notifyShownChanged(QWidget* control, const QString& before);

} // namespace KivoSoft
