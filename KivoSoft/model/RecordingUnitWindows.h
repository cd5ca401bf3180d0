// UnitWindows for tests: keeps the progress text as a window would and records every call.
#pragma once

#include "KivoSoft/model/UnitWindows.h"

#include <QString>
#include <QStringList>

namespace KivoSoft {

class RecordingUnitWindows : public UnitWindows {
public:
    QString configProgressText() override { return progressText; }
    void setConfigProgressText(const QString& text) override;
    void selectConfigProgress() override;
    void setConfigModuleId(int slot, const QString& name) override;
    void setConfigCurrentLimitMinimum(int slot, std::int16_t value) override;
    void setConfigCurrentLimitMaximum(int slot, std::int16_t value) override;
    void setConfigMaxCurrentCaption(int slot, const QString& caption) override;
    void setConfigSetPointMinimum(int slot, std::int32_t value) override;
    void setConfigSetPointMaximum(int slot, std::int32_t value) override;
    void setConfigModulesOffCaption(const QString& caption) override;
    void monitorUnitDoesNotRespond(int heightTwips, int widthTwips,
                                   const QString& caption) override;

    // What RichTextBox1 holds; a test may put the window's own heading in first.
    QString progressText;
    // One line per call but the progress text reads, in order: "setConfigModuleId 3 KM-24V-6A",
    // "setConfigSetPointMaximum 1 60", "setConfigProgressText", "selectConfigProgress", ...
    QStringList calls;
};

} // namespace KivoSoft
