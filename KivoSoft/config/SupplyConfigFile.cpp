// The parameter file: the window copied into the unit's record, and the records of all 32 unit
// IDs written to the file the user chose. The frame holding Save and Load is never shown.
#include "KivoSoft/config/SupplyConfig.h"

#include "KivoSoft/config/SupplyConfigShared.h"
#include "platform/desktop/let_events_run.h"
#include "KivoSoft/model/INI.h"
#include "KivoSoft/model/KivoGlobals.h"
#include "platform/basic/basic.h"
#include "platform/desktop/desktop.h"

namespace KivoSoft {

namespace G = KivoGlobals;
using namespace kivo::basic;
using namespace config;

namespace {

std::size_t at(int index)
{
    return static_cast<std::size_t>(index);
}

} // namespace

void SupplyConfig::Save_Click()
{
    G::SelectedUnitId = UnitList->currentText();
    G::FileDialogMode = QStringLiteral("SAVE");
    if (!ShowParameterFileDialog() || G::FileDialogMode == QStringLiteral("CANCEL")) {
        return;
    }
    G::ParameterFilePath = CommonDialog1FileName;
    if (!StoreFormInKivo(G::SelectedUnitId)) {
        return;
    }
    for (int id = 1; id <= 32; ++id) {
        const QString key = QString::number(id);
        std::shared_ptr<KivoData>& record = KivoColl[key];
        if (!record) {
            record = std::make_shared<KivoData>();
        }
        record->WriteKivoFile(key);
        kivo::desktop::letEventsRun();
    }
    G::ConfigMode = QStringLiteral("CONFIG");
}

void SupplyConfig::Load_Click()
{
    using namespace kivo::desktop;
    desktop().msgBox(QStringLiteral("under correction ..."), vbOKOnly, G::ProgramTitle);
}

bool SupplyConfig::ShowParameterFileDialog()
{
    using namespace kivo::desktop;
    FileDialogRequest request;
    request.filter = QStringLiteral("Text files (*.txt)|*.txt|All files (*.*)|*.*");
    request.defaultSuffix = QStringLiteral("txt");
    if (G::FileDialogMode == QStringLiteral("LOAD")) {
        request.mode = kivo::desktop::FileDialogMode::Open;
        request.title = QStringLiteral("Load Kivo Parameters from a file");
    } else {
        request.mode = kivo::desktop::FileDialogMode::Save;
        request.title = QStringLiteral("Save Kivo Parameters to a file");
    }
    const std::optional<QString> chosen = desktop().fileDialog(request);
    if (!chosen) {
        G::FileDialogMode = QStringLiteral("CANCEL");
        return true;
    }
    // A dialog that ended without a name failed; an older name is not used instead.
    if (Trim(*chosen).isEmpty()) {
        return false;
    }
    CommonDialog1FileName = *chosen;
    return true;
}

bool SupplyConfig::StoreFormInKivo(const QString& key)
{
    using namespace kivo::desktop;
    std::shared_ptr<KivoData>& stored = KivoColl[key];
    if (!stored) {
        stored = std::make_shared<KivoData>();
    }
    // Everything is copied into a draft first; the record changes only when all of it can be
    // stored, so the file never holds a half-copied unit.
    KivoData r = *stored;
    r.UnitID = PSID->text();
    r.SerialNumber = SerialNumber->text();
    r.Version1 = MajVersion->text();
    r.Version2 = MinVersion->text();
    r.FanFail = !optFanFail[1]->isChecked();
    r.GlobalDC = !optGlobalDC[1]->isChecked();
    r.OverTemp = !optOverTemp[1]->isChecked();
    r.GlobalOnOff = !optGlobalOnOff[1]->isChecked();
    r.GlobalOutput = !optGlobal[1]->isChecked();
    QString present;
    for (int m = 1; m <= 5; ++m) {
        present += SSTab1->isTabEnabled(5 - m) ? u'1' : u'0';
    }
    r.PresentModule = present + QStringLiteral("000");

    const QString one = QStringLiteral("1");
    const QString zero = QStringLiteral("0");
    for (int m = 1; m <= 5; ++m) {
        const auto i = at(m);
        r.MC[m] = txtModuleID[i]->text();
        r.MMV[m] = txtVersionMajor[i]->text();
        r.MMinV[m] = TxtVersionMinor[i]->text();
        r.PM[m] = OptProgMode[2 * i - 1]->isChecked() ? one : zero;
        r.P[m] = optPolarity[2 * i - 1]->isChecked() ? one : zero;
        r.StartUpState[m] = optStartupState[2 * i - 1]->isChecked() ? one : zero;
        r.VHL[m] = hl[i]->text();
        r.VLL[m] = ll[i]->text();
        r.StartUpDelay[m] = startupdelay[i]->text();
        static const char* const modes[] = {"Normal", "Latching", "Hiccup"};
        for (int k = 0; k < 3; ++k) {
            if (optCurrentLimit[at(3 * m - 2 + k)]->isChecked()) {
                r.CLM[m] = QString::fromLatin1(modes[k]);
            }
        }
        if (optCurrentLimit[at(15 + m)]->isChecked()) {
            r.CLM[m] = QStringLiteral("CurrentShare");
        }
    }
    for (int m = 1; m <= 5; ++m) {
        const auto i = at(m);
        if (r.MC[m].isEmpty()) {
            continue;
        }
        // The module type's own rating, not a rounded one.
        const QString maximum =
            INI::GetIniValue(r.ModuleType[m], QStringLiteral("MaxCurrent"), G::ScaleIniPath);
        const std::optional<double> rating = userNumber(maximum);
        const std::optional<double> entry = userNumber(CurrentLimit[i]->text());
        if (!rating || !entry || *entry > *rating) {
            desktop().msgBox(QStringLiteral("Current Limit Out Of Range For Module%1 or Module "
                                            "Type not defined")
                                 .arg(m),
                             vbOKOnly, G::ProgramTitle);
            return false;
        }
        r.CL[m] = CurrentLimit[i]->text();
    }
    for (int m = 1; m <= 5; ++m) {
        r.AT[m] = cboxActivationTime[at(m)]->currentText();
    }
    for (int m = 1; m <= 5; ++m) {
        r.RT[m] = cboxResetTime[at(m)]->currentText();
        // The file carries the enable-reset flag the window shows.
        r.ER[m] = EnableReset[at(m)]->isChecked() ? one : zero;
    }
    *stored = r;
    return true;
}

} // namespace KivoSoft
