// A fixture program folder for the model's tests: its own INI files, the globals reset, message
// boxes recorded, events counted, the user locale chosen per case.
#pragma once

#include "KivoSoft/controls/LetEventsRun.h"
#include "KivoSoft/model/KivoGlobals.h"
#include "platform/basic/basic.h"
#include "platform/desktop/recording_desktop.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <optional>
#include <ostream>

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
        setEventsRunHook({});
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
