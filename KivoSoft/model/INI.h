// The INI files beside the program, the busy state, and the module types' ranges from "scale.ini".
//
// Numbers in the INI files are written with "." whatever the locale. GetIniValue hands a number
// to the windows in the user's notation ("12.5" reads "12,5" where the separator is ","), so it
// can go straight into the locale-aware conversions of platform/basic; text values, such as a port
// path with dots, come back as written.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <utility>

class QWidget;

namespace KivoSoft::INI {

// The value of `key` in `section` of `file`, at most 254 characters; "N/A" when the key, the
// section or the file is missing or the value is empty. A number's "." becomes DecimalSeparator.
QString GetIniValue(const QString& section, const QString& key, const QString& file);

// The value as written in the file, at most 254 characters, "N/A" when missing or empty: for
// numbers read with "." (the start-up routine's serial settings).
QString GetIniText(const QString& section, const QString& key, const QString& file);

// Sets `key` in `section` of `file`, keeping the rest of the file. Returns "1" when written, else
// "0" after a message box that names the file.
QString WriteIniValue(const QString& section, const QString& key, const QString& value,
                      const QString& file);

// One section to write: its name and its keys with their values, in order.
struct IniSection {
    QString name;
    QList<std::pair<QString, QString>> entries;
};

// Sets every key of `sections` in `file`, one after the other as WriteIniValue does: a key that
// exists is replaced where it stands, a missing one is added to its section, and every other key,
// section and line stays. The first key that cannot be written ends the write with the message of
// a failed INI write (once) and false; the keys before it stay written.
bool WriteIniKeys(const QString& file, const QList<IniSection>& sections);

// The message a failed INI write shows (title "Error", critical icon): the fixed text and `file`.
void ReportIniWriteFailure(const QString& file);

// A number text in the user's notation from one in the files' notation, and back: only texts that
// are numbers change, and only when DecimalSeparator is known and is not ".".
QString ToUserNotation(const QString& text);
QString ToFileNotation(const QString& text);

// 0: normal pointer, the windows disabled by 1 enabled again with their keyboard focus where it
// was; 1: hourglass, `window` (the window whose action runs, active or not) and the active window
// disabled; 2: cursor hidden; 3: cursor shown. Those return true; any other mode does nothing and
// returns false.
bool SetBusyState(int mode, QWidget* window = nullptr);

// "MinVoltage" & " - " & "MaxVoltage" of a "scale.ini" section (TYPE3), as GetIniValue reads them.
QString GetVoltageRange(const QString& section);
// "MaxCurrent" of a "scale.ini" section.
QString GetMaxCurrent(const QString& section);

} // namespace KivoSoft::INI
