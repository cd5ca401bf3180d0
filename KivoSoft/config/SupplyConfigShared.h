// What the configuration window's source files share: its fixed texts and its number rules.
#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace KivoSoft::config {

// The title of the field messages.
inline const QString FieldTitle = QStringLiteral("Dravon Electronics");
// Every failed step of a write shows this one text (the port is the usual cause); the step that
// failed follows on a line of its own.
inline const QString WriteFailureText = QStringLiteral(
    "I could not open COM port, may be because is already open, close the program and try again.");
inline const QString WriteFailureTitle = QStringLiteral("Kivo Monitor");

// The time lists take at most this many characters; their key filter drops a digit or point
// beyond it.
inline constexpr int TimeTextLength = 5;

// One rule for every number the user types, shows or has written: the whole text read in the
// user's locale (its decimal separator). Nothing for a text that is not a number.
std::optional<double> userNumber(const QString& text);
// A unit ID text as the 16-bit unit number; nothing when it is not one.
std::optional<std::int16_t> unitNumber(const QString& text);
// A number as messages show bounds: general format, "." whatever the locale.
QString boundText(double value);

} // namespace KivoSoft::config
