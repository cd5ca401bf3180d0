// A fixture program folder for the model's tests: its own INI files, the globals reset, message
// boxes recorded, events counted, the user locale chosen per case.
#pragma once

#include "KivoSoft/model/KivoGlobals.h"
#include "platform/basic/basic.h"
#include "platform/desktop/let_events_run.h"
#include "platform/desktop/recording_desktop.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <initializer_list>
#include <optional>
#include <ostream>
#include <vector>

// Texts print as text in failure messages.
inline void PrintTo(const QString& text, std::ostream* os)
{
    *os << '"' << text.toStdString() << '"';
}
inline void PrintTo(const QStringList& texts, std::ostream* os)
{
    *os << '{';
    for (const QString& text : texts) {
        *os << " \"" << text.toStdString() << '"';
    }
    *os << " }";
}

namespace KivoSoft::testing {

inline const QLocale pointLocale(QLocale::English, QLocale::UnitedStates);
inline const QLocale commaLocale(QLocale::German, QLocale::Germany);

// Reads a whole file as UTF-8 text; "" when it cannot be read.
inline QString readText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

inline void writeText(const QString& path, const QString& text)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(text.toUtf8());
}

// The parts in order, one after the other.
template <class T> std::vector<T> joined(std::initializer_list<std::vector<T>> parts)
{
    std::vector<T> all;
    for (const std::vector<T>& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

// The labels of the configuration read's 25 steps, as its progress box shows them.
inline const char* const kSetupLabels[] = {
    "Get present modules................", "Get Module Good Status Byte........",
    "Get Unit Serial Number.............", "Get Unit Version...................",
    "Get Fan Fail Polarity..............", "Get Global DCGood Polarity.........",
    "Get O.T. Fail Polarity.............", "Get Default Global Output Polarity.",
    "Get Default Group State............", "Get Default Global Output State....",
    "Get Module Type....................", "Get Module Serial Number...........",
    "Get Module Version.................", "Get Programming Mode...............",
    "Get Default Output On Off Polarity.", "Get Default Output On Off State....",
    "Get Output Turn ON Delay...........", "Get Output Voltage Setpoint........",
    "Get Module Good Low Threshold......", "Get Module Good High Threshold.....",
    "Get Current Limit Mode.............", "Get Current Limit..................",
    "Get Current Limit ON Time..........", "Get Current Limit OFF Time.........",
    "Get Output State...................",
};

// The progress lines of the first `steps` steps, each line closed by the next one's "Ok".
inline QString setupProgress(int steps)
{
    QString text;
    for (int i = 0; i < steps; ++i) {
        text += "Ok\r\n" + QString(kSetupLabels[i]);
    }
    return text;
}

class ProgramFolderTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        KivoGlobals::ResetGlobals();
        KivoGlobals::setProgramFolder(folder.path());
        useLocale(pointLocale);
    }

    void TearDown() override
    {
        KivoGlobals::ResetGlobals();
        kivo::desktop::setEventsRunHook({});
    }

    // The user locale, and the separator start-up would have taken from it.
    void useLocale(const QLocale& locale)
    {
        userLocale.reset();
        userLocale.emplace(locale);
        KivoGlobals::DecimalSeparator = kivo::basic::decimalSeparator();
    }

    QString path(const QString& name) const { return folder.filePath(name); }
    void write(const QString& name, const QString& text) { writeText(path(name), text); }

    // The shipped scale.ini, as the program folder holds it.
    void copyShippedScaleIni()
    {
        QFile::remove(path("scale.ini"));
        ASSERT_TRUE(
            QFile::copy(QStringLiteral(KIVO_SOURCE_DIR "/ini/scale.ini"), path("scale.ini")));
        KivoGlobals::ScaleIniPath = path("scale.ini");
    }

    // The error log's lines without their date and time.
    QStringList logMessages() const
    {
        QStringList lines;
        for (const QString& line :
             readText(KivoGlobals::ErrorLogPath).split("\r\n", Qt::SkipEmptyParts)) {
            const qsizetype open = line.indexOf(" [");
            lines << line.mid(open + 2, line.size() - open - 3);
        }
        return lines;
    }

    std::vector<kivo::desktop::DesktopCall> messages() const
    {
        return desktop.calls(kivo::desktop::DesktopCall::Kind::MsgBox);
    }

    QTemporaryDir folder;
    kivo::desktop::RecordingDesktop desktop;
    kivo::desktop::ScopedDesktop installedDesktop{desktop};
    std::optional<kivo::basic::ScopedUserLocale> userLocale;
};

} // namespace KivoSoft::testing
