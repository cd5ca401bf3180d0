// The monitor window's timed monitoring: monitor mode, the logging tick, the screen log, the CSV
// monitor log and its autosave.
#include "KivoSoft/monitor/MonitorForm.h"

#include "KivoSoft/model/INI.h"
#include "KivoSoft/monitor/MonitorShared.h"
#include "platform/desktop/desktop.h"
#include "platform/desktop/let_events_run.h"

#include <QFile>
#include <QScopedValueRollback>
#include <QScrollBar>
#include <QTextCursor>

namespace KivoSoft {

namespace G = KivoGlobals;
using kivo::automation::byRef;
using kivo::automation::Int16Array;
using namespace kivo::basic;
using namespace kivo::desktop;
using namespace monitor;

namespace {

QString okFail(bool value)
{
    return value ? QStringLiteral("Ok") : QStringLiteral("Fail");
}

// A number shown in the user's notation, as a file or CSV field: "." as the decimal point, no
// grouping. Texts that are not numbers stay as they are.
QString csvNumber(QString text)
{
    if (!IsNumeric(text)) {
        return text;
    }
    const QLocale locale = userLocale();
    text.remove(locale.groupSeparator());
    const QString separator = decimalSeparator();
    if (separator != QStringLiteral(".")) {
        text.replace(separator, QStringLiteral("."));
    }
    return text;
}

QString padded(const QString& text, int width)
{
    return text.leftJustified(width, u' ');
}

} // namespace

QString MonitorForm::screenMeterText(const QString& text)
{
    if (text.size() == 4) {
        return QStringLiteral("  ") + text;
    }
    if (text.size() == 1) {
        return QStringLiteral("  0.00");
    }
    return text;
}

QString MonitorForm::logFilePath() const
{
    return G::programFolder() + u'/' + txtFileName->text();
}

// ---- Timed monitoring
// ----------------------------------------------------------------------------

void MonitorForm::Check1_Click()
{
    LinkInUse guard(QStringLiteral("MonitorForm.Check1"));
    // Monitor mode needs a unit the window has selected.
    if (m_unitId.isEmpty()) {
        const QSignalBlocker blocker(Check1);
        Check1->setChecked(false);
        return;
    }
    if (!guard) {
        if (!Check1->isChecked()) {
            // Ending monitor mode needs no port: no tick starts from now on, and the rest of the
            // switch runs as soon as the action that has the port is done.
            Timer2->stop();
            m_leavePending = true;
            m_leaveRetry->start();
        } else {
            // Starting it reads the unit at once: it cannot while another action has the port.
            const QSignalBlocker blocker(Check1);
            Check1->setChecked(false);
        }
        return;
    }
    m_leavePending = false;
    m_leaveRetry->stop();
    try {
        INI::SetBusyState(1, this);
        if (Check1->isChecked()) {
            Check1->setEnabled(false);
            setWindowTitle(MonitorCaption);
            lockForMonitorMode();
            progressbar1->show();
            progressbar1->setValue(2);
            setReady(MonitorModeText);
            G::LogPeriodUnit = Trim(Mid(Combo1->currentText(), 5));
            Timer2->stop();
            G::LogElapsedMs = 0;
            const double value = Val(Trim(Combo1->currentText().left(2)));
            bool known = true;
            if (G::LogPeriodUnit == QStringLiteral("Sec.")) {
                G::LogPeriodSeconds = value;
                Timer2->setInterval(static_cast<int>(Round(value * 1000)));
            } else if (G::LogPeriodUnit == QStringLiteral("Min.")) {
                G::LogPeriodSeconds = value * 60;
                Timer2->setInterval(60000);
            } else if (G::LogPeriodUnit == QStringLiteral("Hr.")) {
                G::LogPeriodSeconds = value * 3600;
                Timer2->setInterval(60000);
            } else {
                known = false;
            }
            if (known) {
                Timer2->start();
            }
        } else {
            Check1->setEnabled(false);
            setWindowTitle(InteractiveCaption);
            Timer2->stop();
            progressbar1->show();
            progressbar1->setValue(10);
            setReady(PleaseWait);
            for (int value : {40, 60, 75, 98}) {
                G::Pause(0.1);
                progressbar1->setValue(value);
            }
            for (QWidget* w : std::initializer_list<QWidget*>{Combo1, cmdComSettings, cmdSelectUnit,
                                                              cmdErrorfile, cmdClose, cmdRefresh,
                                                              cmdEeprom, cmdClear}) {
                w->setEnabled(true);
            }
            PellarosOutputOnOff->setEnable(true);
            txtFileName->setEnabled(!Check2->isChecked());
            progressbar1->hide();
            progressbar1->setValue(0);
            setReady(ReadyText);
            Check1->setEnabled(true);
        }
        refreshHoldingLink();
        WriteLogHeader();
        INI::SetBusyState(0);
    } catch (const std::exception& failure) {
        recover("Check1", QString::fromStdString(failure.what()));
    }
}

void MonitorForm::WriteLogHeader()
{
    if (rtbNewLog->text().isEmpty()) {
        rtbNewLog->setText(monitorLogHeader());
    }
}

QString MonitorForm::monitorLogHeader()
{
    QString header = QStringLiteral("Date,Time,UnitID,OverTemp,FanFail,FanWarn,AC OK,Global DC "
                                    "Good,Global Current Limit,Global OVP,Operating Hours,");
    for (int k = 1; k <= 5; ++k) {
        header += QStringLiteral("Module %1 Good, Module %1 Volts, Module %1 Amps,").arg(k);
    }
    return header;
}

void MonitorForm::Timer2_Timer()
{
    G::LogElapsedMs += Timer2->interval();
    const double periodMs = G::LogPeriodSeconds * 1000;
    if (periodMs <= 0 || std::fmod(G::LogElapsedMs, periodMs) != 0) {
        return;
    }
    if (Busy || LinkInUse::taken()) {
        ++m_skippedTicks;
        return;
    }
    {
        LinkInUse guard(QStringLiteral("MonitorForm.Timer2"));
        const QScopedValueRollback<bool> timed(m_timedRead, true);
        // The window stays usable through a tick in monitor mode; the unit buttons would start
        // an action of their own meanwhile.
        const DisabledMeanwhile unitButtons(inMonitorMode(), {GOutputBtn, GroupBtn});
        try {
            logTick();
        } catch (const std::exception& failure) {
            recover("Timer2", QString::fromStdString(failure.what()));
            desktop().msgBox(QString::fromStdString(failure.what()), vbCritical + vbOKOnly,
                             G::ProgramTitle);
        }
    }
    finishLeavingMonitorMode();
}

void MonitorForm::finishLeavingMonitorMode()
{
    if (!m_leavePending) {
        return;
    }
    if (LinkInUse::taken()) {
        m_leaveRetry->start();
        return;
    }
    Check1_Click();
}

void MonitorForm::logTick()
{
    G::LoggingInProgress = true;
    kivo::desktop::letEventsRun();
    setReady(MonitorModeText);
    refreshHoldingLink();
    setReady(m_refreshFailed ? ErrorText : MonitorModeText);
    lockForMonitorMode();
    kivo::desktop::letEventsRun();
    if (m_refreshFailed) {
        // No row from values this tick did not read.
        G::LoggingInProgress = false;
        return;
    }

    const QString fan = okFail(PellarosFanFail->Status());
    const QString dc = okFail(PellarosGlobalDC->Status());
    const QString ot = okFail(PellarosOverTemp->Status());
    const KivoData& unit = *CurrentUnit;
    const QString fanWarning = okFail(unit.FanWarning);
    const QString ac = okFail(unit.ACFail);
    const QString currentLimit = okFail(unit.GlobalCurrentLimit);
    const QString ovp = okFail(unit.ModuleGood == QStringLiteral("00000000"));
    // The unit read, whatever the list shows now.
    const QString& unitText = m_unitId;
    const QDateTime when = G::now();

    QString entry = QStringLiteral("\r\n") + padded(Trim(Format(when, u"DD/MM,HH:MM:SS")), 16) +
                    padded(unitText, 6) + padded(fan, 6) + padded(dc, 6) + padded(ot, 5);
    for (int k = 1; k <= 5; ++k) {
        if (digit(G::OutputStates, k) != QStringLiteral("1")) {
            continue;
        }
        const auto i = static_cast<std::size_t>(k);
        entry += QString::number(k) + QStringLiteral("  ") +
                 screenMeterText(PellarosDisplay[i]->strValue()) + QStringLiteral("  ") +
                 screenMeterText(PellarosDisplayCurr[i]->strValue()) + QStringLiteral("\r\n") +
                 QString(63, u' ');
        kivo::desktop::letEventsRun();
    }
    // The box shows its text with plain line ends; the entry keeps its own.
    QString shown = entry;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTextCursor end(RichTextBox1->document());
    end.movePosition(QTextCursor::End);
    end.insertText(shown);

    // The CSV row: a field after every value, the hours without grouping, numbers with ".".
    const QString comma = QStringLiteral(",");
    QString row = Trim(Format(when, u"DD/MM/YYYY,HH:MM:SS")) + comma + unitText + comma + ot +
                  comma + fan + comma + fanWarning + comma + ac + comma + dc + comma +
                  currentLimit + comma + ovp + comma + csvNumber(OH->text()) + comma;
    for (int k = 1; k <= 5; ++k) {
        const auto i = static_cast<std::size_t>(k);
        row += okFail(PellarosMG[i]->Status()) + comma + csvNumber(PellarosDisplay[i]->strValue()) +
               comma + csvNumber(PellarosDisplayCurr[i]->strValue()) + comma;
    }
    rtbNewLog->append(QStringLiteral("\r\n") + row);
    m_unsavedRows << row;

    // Its end in view, without the focus or a key that could reach another program.
    RichTextBox1->verticalScrollBar()->setValue(RichTextBox1->verticalScrollBar()->maximum());
    RichTextBox1->update();
    G::LoggingInProgress = false;
    if (Check2->isChecked()) {
        saveLog();
    }
}

void MonitorForm::saveLog()
{
    // The name is checked again before each save: it may have changed since autosave began.
    if (!ValidateLogFileName()) {
        return;
    }
    const QString path = logFilePath();
    QFile file(path);
    const bool fresh = !file.exists() || file.size() == 0;
    QString text;
    if (fresh) {
        text = monitorLogHeader();
    }
    for (const QString& row : m_unsavedRows) {
        text += QStringLiteral("\r\n") + row;
    }
    const QByteArray bytes = text.toUtf8();
    // Rows are added to what the file holds; nothing on disk is ever removed.
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append) || file.write(bytes) != bytes.size() ||
        !file.flush()) {
        desktop().msgBox(G::programFolder() + u'/' + txtFileName->text() +
                             QStringLiteral(" is not accessible or read only.") +
                             QStringLiteral("\r\n") +
                             QStringLiteral("Please close this file if it is open."),
                         vbCritical + vbOKOnly, G::ProgramTitle);
        return; // the rows stay in the buffer for the next tick
    }
    m_unsavedRows.clear();
}

void MonitorForm::Check2_Click()
{
    if (Check2->isChecked()) {
        if (ValidateLogFileName()) {
            txtFileName->setEnabled(false);
        }
        WriteLogHeader();
    } else {
        txtFileName->setEnabled(!inMonitorMode());
    }
}

bool MonitorForm::ValidateLogFileName()
{
    if (!Check2->isChecked()) {
        return false;
    }
    const QString name = txtFileName->text();
    QString message;
    if (name.isEmpty()) {
        message = QStringLiteral("Please specify a log file name.");
    } else {
        for (const QChar c : QStringLiteral("/\\:*?\"<>|")) {
            if (name.contains(c)) {
                message = QStringLiteral("Invalid log file name or path.") +
                          QStringLiteral("\r\n") +
                          QStringLiteral("Log file can be saved only in ") + G::programFolder();
                break;
            }
        }
        if (message.isEmpty()) {
            const qsizetype dot = name.indexOf(u'.');
            const QString extension = dot < 0 ? name : name.mid(dot + 1);
            if (extension != QStringLiteral("txt") && extension != QStringLiteral("csv")) {
                message = QStringLiteral("Invalid log file name or path.") +
                          QStringLiteral("\r\n") +
                          QStringLiteral("You can specify only text or csv files to log power "
                                         "supply status.");
            }
        }
    }
    if (message.isEmpty()) {
        return true;
    }
    desktop().msgBox(message, vbOKOnly, G::ProgramTitle);
    Check2->setChecked(false); // which runs Check2_Click
    if (txtFileName->isEnabled()) {
        txtFileName->setFocus();
    }
    return false;
}

void MonitorForm::cmdClear_Click()
{
    RichTextBox1->setPlainText(QString());
    rtbNewLog->setText(QString());
    m_unsavedRows.clear();
}
} // namespace KivoSoft
