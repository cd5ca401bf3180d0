// The window as the user sees it after reading unit 3: no caption cut off, no two controls on
// top of each other, everything inside its frame. With KIVO_CONFIG_SNAPSHOTS set to a folder,
// each module tab is also saved there as a picture to look at.
#include "KivoSoft/config/tests/config_fixture.h"

#include <QAbstractButton>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QPixmap>

using namespace KivoSoft;
using namespace KivoSoft::testing;

namespace {

class ConfigView : public ConfigTest {};

// The visible children of `parent` that carry a control (frames count as one control).
QList<QWidget*> visibleControls(QWidget* parent)
{
    QList<QWidget*> controls;
    for (QObject* child : parent->children()) {
        auto* widget = qobject_cast<QWidget*>(child);
        if (widget && !widget->isHidden() && !widget->objectName().isEmpty() &&
            widget->objectName() != "qt_tabwidget_stackedwidget" &&
            widget->objectName() != "qt_tabwidget_tabbar") {
            controls << widget;
        }
    }
    return controls;
}

void checkLayout(QWidget* parent, const QString& where)
{
    const QList<QWidget*> controls = visibleControls(parent);
    for (QWidget* control : controls) {
        const QString name = where + "/" + control->objectName();
        // A control wholly below a collapsed window is out of view, not cut.
        const bool outOfView = parent->isWindow() && control->y() >= parent->height();
        EXPECT_TRUE(outOfView || parent->rect().contains(control->geometry()))
            << name.toStdString() << " leaves its parent";
        QSize needed;
        if (auto* label = qobject_cast<QLabel*>(control); label && !label->wordWrap()) {
            needed = label->sizeHint();
        } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
            needed = button->sizeHint();
        }
        if (needed.isValid()) {
            EXPECT_LE(needed.width(), control->width() + 2) << name.toStdString() << " is cut off";
        }
        for (QWidget* other : controls) {
            if (other <= control || outOfView) {
                continue;
            }
            EXPECT_FALSE(control->geometry().intersects(other->geometry()))
                << name.toStdString() << " overlaps " << other->objectName().toStdString();
        }
        if (qobject_cast<QGroupBox*>(control) || control->objectName().startsWith("ModuleTab") ||
            control->objectName().startsWith("FieldsFrame")) {
            checkLayout(control, name);
        }
    }
}

TEST_F(ConfigView, NothingIsCutOffOrCoveredOnAnyTab)
{
    window->show();
    readUnit("3");
    ASSERT_FALSE(KivoGlobals::ErrorFlag);
    // The current-limit modes that show the most controls, so they are laid out too.
    window->optCurrentLimit[2]->setChecked(true); // module 1 latching
    window->optCurrentLimit[9]->setChecked(true); // module 3 hiccup

    const QString snapshots = qEnvironmentVariable("KIVO_CONFIG_SNAPSHOTS");
    checkLayout(window, "SupplyConfig");
    for (int t = 0; t < 5; ++t) {
        window->SSTab1->setCurrentIndex(t);
        checkLayout(window->ModuleTab[static_cast<std::size_t>(t)], QString("tab%1").arg(t));
        if (!snapshots.isEmpty()) {
            window->grab().save(QDir(snapshots).filePath(QString("config-tab%1.png").arg(t)));
        }
    }
    window->UnitList->setCurrentText("4");
    window->UnitList_Click(); // another unit: collapsed again
    if (!snapshots.isEmpty()) {
        window->grab().save(QDir(snapshots).filePath("config-collapsed.png"));
    }
    checkLayout(window, "collapsed");
}

} // namespace
