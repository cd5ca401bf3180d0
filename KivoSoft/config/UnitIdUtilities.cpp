#include "KivoSoft/config/UnitIdUtilities.h"

#include "KivoSoft/model/DeviceLink.h"
#include "KivoSoft/model/INI.h"
#include "KivoSoft/model/KivoGlobals.h"
#include "KivoSoft/model/LinkInUse.h"
#include "KivoSoft/shell/Forms.h"
#include "KivoSoft/shell/frmPleaseWait.h"
#include "platform/basic/basic.h"
#include "platform/desktop/desktop.h"
#include "platform/desktop/let_events_run.h"

#include <string>

namespace KivoSoft::UnitIdUtilities {

namespace G = KivoGlobals;
using kivo::automation::byRef;
using namespace kivo::desktop;

namespace {

const QString kOk = QStringLiteral("CMD_OK");
const QString kChangerTitle = QStringLiteral("Unit ID Changer");
const QString kDetectTitle = QStringLiteral("Utility: Detect Unit ID");

void openPort()
{
    // Not tested: a port that does not open fails the unit operation, which reports it.
    kivo::automation::call(G::DeviceLink, "OpenPort", G::DefaultComPort.toStdString());
}

void closePort()
{
    kivo::automation::call(G::DeviceLink, "ClosePort");
}

// Asks for a unit ID until the reply is one from 1 to 32. Nothing (0, Cancel, an empty reply or
// one without a leading number) ends the operation; a number beyond 16 bits throws RuntimeError.
std::optional<std::int16_t> askForUnitId(const QString& prompt, const QString& title,
                                         const QString& defaultText)
{
    for (;;) {
        const QString reply = desktop().inputBox(prompt, title, defaultText);
        const std::int16_t id = kivo::basic::CInt(kivo::basic::Val(reply)).value();
        if (id == 0) {
            return std::nullopt;
        }
        if (id >= 1 && id <= 32) {
            return id;
        }
    }
}

// The scan's wait box and busy state, both given back on every way out of the scan.
class ScanScope {
public:
    explicit ScanScope(QWidget* window) : m_wait(Forms::pleaseWait())
    {
        INI::SetBusyState(1, window);
        m_wait.lblProgress->clear();
        m_wait.showNow();
    }
    ~ScanScope() { end(); }
    ScanScope(const ScanScope&) = delete;
    ScanScope& operator=(const ScanScope&) = delete;

    frmPleaseWait& wait() { return m_wait; }

    void end()
    {
        if (m_ended) {
            return;
        }
        m_ended = true;
        m_wait.hide();
        INI::SetBusyState(0);
    }

private:
    frmPleaseWait& m_wait;
    bool m_ended = false;
};

} // namespace

QString scanProgressText(std::int16_t id, std::int16_t highest)
{
    const double percent = kivo::basic::Round(static_cast<double>(id) / highest * 100, 2);
    return QStringLiteral("Scanning... Testing UnitID = %1 to %2  (%3 %)")
        .arg(id)
        .arg(highest)
        .arg(kivo::basic::CStr(percent));
}

void cmdDetectUnitID_Click(QWidget* window)
{
    LinkInUse link(DetectHolder);
    if (!link.held()) {
        return;
    }
    if (desktop().msgBox(QStringLiteral("Please make sure only the proper unit is connected (One "
                                        "unit at the time) and click Ok when ready..."),
                         vbOKCancel, kDetectTitle) == vbCancel) {
        return;
    }
    try {
        const std::optional<std::int16_t> highest =
            askForUnitId(QStringLiteral("Enter maximum number to Scan Unit ID (1 - 32) ?"),
                         kDetectTitle, QStringLiteral("3"));
        if (!highest) {
            return;
        }
        std::int16_t id = 1;
        bool found = false;
        {
            ScanScope scan(window);
            openPort();
            while (id <= *highest && !found) {
                kivo::desktop::letEventsRun();
                scan.wait().showProgress(scanProgressText(id, *highest));
                std::int16_t answered = 0;
                const QString status = callLink("GetUnitID", id, byRef(answered));
                if (status == kOk) {
                    found = true;
                } else {
                    ++id;
                }
                kivo::desktop::letEventsRun();
            }
            closePort();
        }
        link.release();
        if (found) {
            desktop().msgBox(QStringLiteral("Unit Id for this Unit is = %1").arg(id),
                             vbInformation + vbOKOnly,
                             QStringLiteral("Utilities, Kivo Unit Detect UnitID"));
        } else {
            desktop().msgBox(
                QStringLiteral("Unit did not respond from UnitID 1 to %1").arg(*highest), vbOKOnly);
        }
    } catch (const kivo::basic::RuntimeError&) {
        // An unexpected failure ends the scan silently; the port goes, even if never opened.
        closePort();
    }
}

void cmdChangeToNewUnitID_Click()
{
    LinkInUse link(ChangeHolder);
    if (!link.held()) {
        return;
    }
    try {
        const std::optional<std::int16_t> current =
            askForUnitId(QStringLiteral("Please Enter UnitID to be changed (1-32): "),
                         kChangerTitle, QStringLiteral("1"));
        if (!current) {
            return;
        }
        const std::optional<std::int16_t> wanted =
            askForUnitId(QStringLiteral("Please Enter The NEW UnitID (1-32): "), kChangerTitle,
                         QStringLiteral("1"));
        if (!wanted) {
            return;
        }
        openPort();
        // The same ID again is still sent: the unit writes its setting either way.
        std::int16_t newId = *wanted;
        const QString status = callLink("SetNewUnitID", *current, byRef(newId));
        if (status == kOk) {
            desktop().msgBox(
                QStringLiteral("The changes made will not take effect until the supply to the "
                               "unit is recycled.\r\nTo avoid unexpected operation please "
                               "recycle the supply before continuing."),
                vbInformation + vbOKOnly, QStringLiteral("EEPROM Configurator"));
        } else {
            desktop().msgBox(QStringLiteral("Error trying to change Unit ID, please make the "
                                            "unit is connected and the unit ID corresponds "
                                            "that specific unit"),
                             vbCritical + vbOKOnly, kChangerTitle);
        }
        closePort();
    } catch (const kivo::basic::RuntimeError&) {
        closePort();
    }
}

void cmdDllFileVersion_Click()
{
    const QString version = callLink("WhoAmI");
    desktop().msgBox(version, vbInformation + vbOKOnly, QStringLiteral("Dll file information"));
}

} // namespace KivoSoft::UnitIdUtilities
