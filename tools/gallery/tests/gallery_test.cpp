#include "KivoSoft/controls/ControlPictures.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

const QString Gallery = QString(KIVO_PROGRAM_DIR) + "/kivo-gallery";

int runGallery(const QStringList& arguments)
{
    QProcess process;
    process.start(Gallery, arguments);
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        return -1;
    }
    return process.exitCode();
}

TEST(Gallery, WritesEveryPictureAndEveryControlState)
{
    QTemporaryDir top;
    ASSERT_TRUE(top.isValid());
    const QString dir = top.filePath("new/sub"); // made when missing
    ASSERT_EQ(runGallery({dir}), 0);

    for (const auto& [name, picture] : KivoSoft::ControlPictures::catalogue()) {
        SCOPED_TRACE(name.toStdString());
        const QImage written(dir + "/" + name + ".png");
        ASSERT_FALSE(written.isNull());
        EXPECT_EQ(written.convertToFormat(QImage::Format_RGB32), *picture);
    }
    for (const char* name :
         {"widget-PellarosLed-StatusTrue", "widget-PellarosLed-StatusFalse",
          "widget-PellarosBigSquareLed-StatusFalse", "widget-PellarosSunkenSwitch-StatusTrue",
          "widget-PellarosPushButton-StatusFalse", "widget-PellarosDisplay-new",
          "widget-PellarosDisplay-style1-12.35", "widget-PellarosDisplay-style2-0.25",
          "widget-PellarosDisplay-style2-100.0", "widget-Label3D-Phase0", "widget-Label3D-Phase3",
          "widget-Label3D-BorderStyle1"}) {
        EXPECT_FALSE(QImage(dir + "/" + name + ".png").isNull()) << name;
    }
    // A control shown at its own size is its picture.
    EXPECT_EQ(
        QImage(dir + "/widget-PellarosLed-StatusTrue.png").convertToFormat(QImage::Format_RGB32),
        KivoSoft::ControlPictures::ledPictures()[0]);
}

TEST(Gallery, RefusesAMissingOrUnusableFolder)
{
    EXPECT_EQ(runGallery({}), 2);
    QTemporaryDir top;
    QFile file(top.filePath("plain-file"));
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    EXPECT_EQ(runGallery({top.filePath("plain-file/inside")}), 1);
}

} // namespace
