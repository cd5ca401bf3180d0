#include "KivoSoft/monitor/MonitorForm.h"

#include "KivoSoft/controls/Twips.h"
#include "KivoSoft/model/INI.h"
#include "KivoSoft/monitor/AccessibleControls.h"
#include "KivoSoft/monitor/MonitorShared.h"
#include "KivoSoft/shell/CommParamsForm.h"
#include "KivoSoft/shell/Forms.h"
#include "KivoSoft/shell/MainForm.h"
#include "platform/desktop/desktop.h"
#include "platform/desktop/entry_fields.h"

#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QStyle>

#include <memory>
#include <utility>
#include <vector>

namespace KivoSoft {

namespace G = KivoGlobals;
using kivo::automation::byRef;
using kivo::automation::Int16Array;
using namespace kivo::basic;
using namespace kivo::desktop;
using namespace monitor;

namespace {

// The 22 logging periods: a number left-aligned in four characters, then the unit word.
const char* const kPeriods[] = {
    "2   Sec.", "3   Sec.", "4   Sec.", "5   Sec.", "6   Sec.", "7   Sec.", "8   Sec.", "9   Sec.",
    "10  Sec.", "20  Sec.", "30  Sec.", "40  Sec.", "50  Sec.", "1   Min.", "2   Min.", "5   Min.",
    "10  Min.", "30  Min.", "1   Hr.",  "5   Hr.",  "12  Hr.",  "24  Hr."};

void setBackColor(QWidget* widget, uint vbColour)
{
    // A check box fills its background from the button role, a label from the window role.
    setColour(widget, widget->backgroundRole(), vbColour);
    widget->setAutoFillBackground(true);
}

QPushButton* pictureButton(QWidget* parent, const char* name, QStyle::StandardPixmap picture,
                           const QString& toolTip)
{
    auto* button = new QPushButton(parent);
    button->setObjectName(QString::fromLatin1(name));
    button->setIcon(parent->style()->standardIcon(picture));
    if (!toolTip.isEmpty()) {
        button->setToolTip(toolTip);
        button->setAccessibleName(toolTip);
    }
    return button;
}

QLabel* label(QWidget* parent, const QString& caption, const QRect& where, const char* name = "")
{
    auto* l = new QLabel(caption, parent);
    if (*name) {
        l->setObjectName(QString::fromLatin1(name));
    }
    l->setGeometry(where);
    return l;
}

QString indexed(const char* name, int index)
{
    return QStringLiteral("%1(%2)").arg(QLatin1StringView(name)).arg(index);
}

QLabel* valueLabel(QWidget* parent, const QString& what, const QString& text, const QRect& where)
{
    auto* l = new ValueLabel(what, text, parent);
    l->setGeometry(where);
    return l;
}

// A box that shows a value: no input, so no stop of the Tab key. Its label names it (without the
// colon) and is its buddy.
QLineEdit* readOnlyBox(QWidget* parent, const QString& name, const QRect& where, QLabel* caption)
{
    auto* box = new QLineEdit(parent);
    box->setObjectName(name);
    box->setGeometry(where);
    box->setReadOnly(true);
    box->setFocusPolicy(Qt::NoFocus);
    caption->setBuddy(box);
    QString what = caption->text();
    if (what.endsWith(u':')) {
        what.chop(1);
    }
    box->setAccessibleName(what);
    return box;
}

std::unique_ptr<MonitorForm> instance;

} // namespace

// ---- The window
// ----------------------------------------------------------------------------------

MonitorForm::MonitorForm(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("MonitorForm"));
    setWindowTitle(QStringLiteral("Monitor"));
    QFont font(QStringLiteral("Verdana"));
    font.setPixelSize(10);
    setFont(font);
    buildControls();
    setTabChain();
    connectControls();
    applySize(CompactWidthTwips, CompactHeightTwips);
}

MonitorForm::~MonitorForm()
{
    stopAllTimers();
}

void MonitorForm::buildControls()
{
    // What the full size adds to the unit selection area. It is shown and enabled only at the
    // full size, so that the compact window offers the keyboard and the accessibility bus
    // nothing outside it.
    m_fullSizeArea = new QWidget(this);
    m_fullSizeArea->setGeometry(0, 0, twipsToPixels(FullWidthTwips),
                                twipsToPixels(FullHeightTwips));
    QWidget* const full = m_fullSizeArea;

    // Backgrounds of the window's areas: selection, unit lamps, panels, monitoring and the rest.
    const QRect areas[] = {{0, 0, 180, 184},     {0, 184, 180, 406}, {182, 0, 623, 366},
                           {182, 366, 623, 224}, {0, 0, 0, 0},       {0, 0, 0, 0},
                           {0, 0, 0, 0},         {0, 0, 0, 0},       {0, 0, 0, 0},
                           {0, 0, 0, 0},         {0, 0, 0, 0}};
    for (int i = 0; i <= 10; ++i) {
        Picture1[static_cast<std::size_t>(i)] =
            label(i >= 1 && i <= 3 ? full : this, {}, areas[i], "");
        Picture1[static_cast<std::size_t>(i)]->setObjectName(indexed("Picture1", i));
        if (areas[i].isEmpty()) {
            Picture1[static_cast<std::size_t>(i)]->hide();
        }
    }
    Picture2 = label(this, {}, {0, 0, 0, 0}, "Picture2");
    Picture2->hide();

    // ---- Unit selection area (the whole compact window)
    Label6 = label(this, QStringLiteral("Kivo Monitor-Interactive"), {6, 3, 170, 16}, "Label6");
    QFont heading = Label6->font();
    heading.setBold(true);
    heading.setPixelSize(11);
    Label6->setFont(heading);

    Label3D3 = new Label3D(this);
    Label3D3->setObjectName(QStringLiteral("Label3D3"));
    Label3D3->setGeometry(6, 21, 170, 20);
    Label3D3->setCaption(kSelectPrompt);
    Label3D3->setForeColor1(Navy);
    Label3D3->setForeColor2(Navy);

    UnitList = new QComboBox(this);
    UnitList->setObjectName(QStringLiteral("UnitList"));
    UnitList->setGeometry(6, 46, 54, 26);
    UnitList->setEditable(false);
    UnitList->installEventFilter(this);
    UnitList->setFocusPolicy(Qt::StrongFocus);

    cmdSelectUnit = pictureButton(this, "cmdSelectUnit", QStyle::SP_DialogOkButton,
                                  QStringLiteral("Select Kivo unit Identification number"));
    cmdSelectUnit->setGeometry(64, 45, 34, 28);
    cmdRefresh = pictureButton(this, "cmdRefresh", QStyle::SP_BrowserReload,
                               QStringLiteral("Instant Refresh screen controls"));
    cmdRefresh->setGeometry(102, 45, 34, 28);
    cmdEeprom = pictureButton(this, "cmdEeprom", QStyle::SP_FileDialogDetailedView,
                              QStringLiteral("Show Eeprom Configurator screen"));
    cmdEeprom->setGeometry(140, 45, 34, 28);
    cmdEeprom->installEventFilter(this);

    cmdComSettings = new ElidingButton(QStringLiteral("Com. Port Settings"), this);
    cmdComSettings->setObjectName(QStringLiteral("cmdComSettings"));
    cmdComSettings->setGeometry(6, 77, 168, 24);
    cmdComSettings->setToolTip(QStringLiteral("Communication port settings"));
    cmdComSettings->installEventFilter(this);

    cmdHelp = new QPushButton(QStringLiteral("Help"), this);
    cmdHelp->setObjectName(QStringLiteral("cmdHelp"));
    cmdHelp->setGeometry(6, 105, 54, 28);
    cmdHelp->setToolTip(QStringLiteral("Click to view Help"));
    cmdModuleNumering = new QPushButton(QStringLiteral("Help"), this);
    cmdModuleNumering->setObjectName(QStringLiteral("cmdModuleNumering"));
    cmdModuleNumering->setGeometry(6, 105, 54, 28);
    cmdModuleNumering->setToolTip(QStringLiteral("Click to view Help"));
    cmdErrorfile = pictureButton(this, "cmdErrorfile", QStyle::SP_FileDialogContentsView,
                                 QStringLiteral("If an error occurs, see detailed log file data."));
    cmdErrorfile->setGeometry(64, 105, 34, 28);
    cmdClose = pictureButton(this, "cmdClose", QStyle::SP_DialogCloseButton, {});
    cmdClose->setAccessibleName(QStringLiteral("Close"));
    cmdClose->setGeometry(140, 105, 34, 28);

    lblReady = label(this, ReadyText, {6, 138, 168, 18}, "lblReady");
    lblReady->setToolTip(QStringLiteral("Status bar message"));
    lblReady->setAlignment(Qt::AlignCenter);
    setBackColor(lblReady, 0xFFFFFF);
    setColour(lblReady, QPalette::WindowText, 0xFF0000);
    lblReady->setFrameShape(QFrame::Panel);
    lblReady->setFrameShadow(QFrame::Sunken);

    progressbar1 = new QProgressBar(this);
    progressbar1->setObjectName(QStringLiteral("progressbar1"));
    progressbar1->setGeometry(6, 160, 168, 14);
    progressbar1->setRange(0, 100);
    progressbar1->setTextVisible(false);
    progressbar1->setAccessibleName(QStringLiteral("Progress"));
    progressbar1->hide();

    // ---- Unit lamps, global switches and hours
    Frame7 = new QGroupBox(full);
    Frame7->setObjectName(QStringLiteral("Frame7"));
    Frame7->setGeometry(4, 186, 172, 184);
    Frame7->setAccessibleName(QStringLiteral("Unit status"));
    struct Lamp {
        PellarosBigSquareLed** led;
        const char* name;
        const char* caption;
        const char* toolTip;
    };
    const Lamp lamps[] = {
        {&PellarosACFail, "PellarosACFail", "AC Fail",
         "AC Fail - if power supply input voltage fails"},
        {&PellarosFanFail, "PellarosFanFail", "Fan Warning", "If fan  stops or is blocked"},
        {&PellarosOverTemp, "PellarosOverTemp", "Over Temp",
         "Unit Over temperature to protect unit of overheat"},
        {&PellarosGlobalDC, "PellarosGlobalDC", "Global DC", "if any module output fails"},
        {&PellarosErrorPicture, "PellarosErrorPicture", "General Status Indicator",
         "General flag Indicator depending on AC Fail, DC good, Fan fail and Over temperature"},
    };
    int y = 14;
    for (const Lamp& lamp : lamps) {
        auto* led = new PellarosBigSquareLed(Frame7);
        led->setObjectName(QString::fromLatin1(lamp.name));
        led->move(10, y);
        led->setToolTip(QString::fromLatin1(lamp.toolTip));
        // As the logs have it: a lamp that shows its first picture is "Ok".
        led->setStateTexts(QStringLiteral("Ok"), QStringLiteral("Fail"));
        *lamp.led = led;
        label(Frame7, QString::fromLatin1(lamp.caption), {44, y + 1, 124, 18})->setBuddy(led);
        y += 34;
    }

    PellarosOutputOnOff = new PellarosSunkenSwitch(full);
    PellarosOutputOnOff->setObjectName(QStringLiteral("PellarosOutputOnOff"));
    PellarosOutputOnOff->move(10, 376);
    PellarosOutputOnOff->setToolTip(QStringLiteral("Global Module outputs ON/ OFF switch"));
    label(full, QStringLiteral("All Outputs"), {52, 390, 80, 16})->setBuddy(PellarosOutputOnOff);
    PellarosGroupOnOff = new PellarosSunkenSwitch(full);
    PellarosGroupOnOff->setObjectName(QStringLiteral("PellarosGroupOnOff"));
    PellarosGroupOnOff->move(136, 376);
    PellarosGroupOnOff->setToolTip(QStringLiteral("Option for Module grouping (No use yet)"));
    PellarosGroupOnOff->setAccessibleName(QStringLiteral("Group switch"));

    Frame8 = new QGroupBox(QStringLiteral("Global Output"), full);
    Frame8->setObjectName(QStringLiteral("Frame8"));
    Frame8->setGeometry(4, 426, 84, 58);
    GOutputBtn = new QPushButton(QStringLiteral("Off"), Frame8);
    GOutputBtn->setObjectName(QStringLiteral("GOutputBtn"));
    GOutputBtn->setGeometry(8, 22, 68, 26);
    Frame4 = new QGroupBox(QStringLiteral("Group"), full);
    Frame4->setObjectName(QStringLiteral("Frame4"));
    Frame4->setGeometry(92, 426, 84, 58);
    GroupBtn = new QPushButton(QStringLiteral("Off"), Frame4);
    GroupBtn->setObjectName(QStringLiteral("GroupBtn"));
    GroupBtn->setGeometry(8, 22, 68, 26);
    nameUnitButtons();

    Label13 = label(full, QStringLiteral("Operating Hours:"), {6, 494, 170, 18}, "Label13");
    OH = readOnlyBox(full, QStringLiteral("OH"), {6, 514, 110, 24}, Label13);
    OH->setText(QStringLiteral("0"));

    // ---- The five module panels
    for (int slot = 1; slot <= 5; ++slot) {
        buildModulePanel(slot);
    }

    // ---- Monitoring
    Check1 = new TogglingCheckBox(QStringLiteral("&Auto-Refresh every"), full);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setGeometry(188, 372, 136, 24);
    Combo1 = new QComboBox(full);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setGeometry(326, 371, 84, 26);
    Combo1->setToolTip(QStringLiteral("Screen controls Refreshing period"));
    for (const char* period : kPeriods) {
        Combo1->addItem(QString::fromLatin1(period));
    }
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(65000);

    Check2 = new TogglingCheckBox(QStringLiteral("&Autosave"), full);
    Check2->setObjectName(QStringLiteral("Check2"));
    Check2->setGeometry(424, 372, 84, 24);
    setBackColor(Check2, 0xFFFFFF);
    Check2->setToolTip(
        QStringLiteral("If selected data in the above window is saved into the specified file"));
    txtFileName = new QLineEdit(QStringLiteral("Log.csv"), full);
    txtFileName->setObjectName(QStringLiteral("txtFileName"));
    txtFileName->setAccessibleName(QStringLiteral("Log file name"));
    txtFileName->setGeometry(512, 371, 200, 26);
    txtFileName->setToolTip(
        QStringLiteral("File name where data is saved when autosave option is selected"));
    cmdClear = pictureButton(full, "cmdClear", QStyle::SP_DialogResetButton,
                             QStringLiteral("Clear window text"));
    cmdClear->setGeometry(720, 370, 34, 28);

    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    Label11 = label(full, LogHeading, {190, 402, 606, 16}, "Label11");
    Label11->setFont(fixed);
    RichTextBox1 = new QPlainTextEdit(full);
    RichTextBox1->setObjectName(QStringLiteral("RichTextBox1"));
    RichTextBox1->setGeometry(188, 420, 612, 164);
    RichTextBox1->setReadOnly(true);
    RichTextBox1->setFont(fixed);
    RichTextBox1->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichTextBox1->setToolTip(QStringLiteral("Monitoring data collection window"));
    RichTextBox1->setAccessibleName(QStringLiteral("Screen log"));
    RichTextBox1->setTabChangesFocus(true);
    rtbNewLog = new TextBuffer(this);
    rtbNewLog->setObjectName(QStringLiteral("rtbNewLog"));

    for (int slot = 1; slot <= 5; ++slot) {
        auto* timer = new QTimer(this);
        timer->setObjectName(QStringLiteral("tmrMod%1").arg(slot));
        timer->setSingleShot(true);
        tmrMod[static_cast<std::size_t>(slot)] = timer;
    }
    m_leaveRetry = new QTimer(this);
    m_leaveRetry->setObjectName(QStringLiteral("LeaveRetry"));
    m_leaveRetry->setSingleShot(true);
    m_leaveRetry->setInterval(RecheckRetryMs);
}

void MonitorForm::buildModulePanel(int k)
{
    const auto i = static_cast<std::size_t>(k);
    // Every slot has the same controls: a screen reader tells them apart by this.
    const QString module = QStringLiteral("Module %1 ").arg(k);
    auto* panel =
        new QGroupBox(k >= 3 ? QStringLiteral("Slot %1").arg(k) : QString(), m_fullSizeArea);
    panel->setObjectName(indexed("s", k));
    panel->setGeometry(184 + (k - 1) * 124, 2, 121, 364);
    // The first two panels have no caption; their name says which slot they are.
    panel->setAccessibleName(QStringLiteral("Slot %1").arg(k));
    QFont small = font();
    small.setPixelSize(9);
    panel->setFont(small);
    s[i] = panel;

    Module[i] = new ModuleShape(panel);
    Module[i]->setObjectName(indexed("Module", k));
    Module[i]->setGeometry(2, 14, 117, 348);

    QLabel* title = label(panel, QStringLiteral("Module %1").arg(k), {6, 16, 108, 16});
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    title->setAlignment(Qt::AlignCenter);

    MMessage[i] =
        valueLabel(panel, module + QStringLiteral("status"), kModuleOff, {6, 32, 108, 28});
    MMessage[i]->setObjectName(indexed("MMessage", k));
    MMessage[i]->setAlignment(Qt::AlignCenter);
    MMessage[i]->setWordWrap(true);

    PellarosMG[i] = new PellarosLed(panel);
    PellarosMG[i]->setObjectName(indexed("PellarosMG", k));
    PellarosMG[i]->move(14, 62);
    PellarosMG[i]->setAccessibleName(module + QStringLiteral("good"));
    PellarosMG[i]->setStateTexts(QStringLiteral("Yes"), QStringLiteral("No"));
    PellarosOS[i] = new PellarosPushButton(panel);
    PellarosOS[i]->setObjectName(indexed("PellarosOS", k));
    PellarosOS[i]->move(76, 64);
    PellarosOS[i]->setAccessibleName(module + QStringLiteral("output"));

    label(panel, QStringLiteral("Voltmeter"), {6, 88, 108, 14});
    PellarosDisplay[i] = new KivoSoft::PellarosDisplay(panel);
    PellarosDisplay[i]->setObjectName(indexed("PellarosDisplay", k));
    PellarosDisplay[i]->move(16, 102);
    PellarosDisplay[i]->setAccessibleName(module + QStringLiteral("voltmeter"));
    label(panel, QStringLiteral("Ammeter"), {6, 142, 108, 14});
    PellarosDisplayCurr[i] = new KivoSoft::PellarosDisplay(panel);
    PellarosDisplayCurr[i]->setObjectName(indexed("PellarosDisplayCurr", k));
    PellarosDisplayCurr[i]->move(16, 156);
    PellarosDisplayCurr[i]->setAccessibleName(module + QStringLiteral("ammeter"));

    txtSP[i] = new QLineEdit(QStringLiteral("0"), panel);
    txtSP[i]->setObjectName(indexed("txtSP", k));
    txtSP[i]->setGeometry(6, 198, 48, 24);
    txtSP[i]->setAccessibleName(module + QStringLiteral("set point"));
    txtSP[i]->installEventFilter(this);
    // A pasted or dropped set point meets the key filter the typed one does.
    new kivo::desktop::PastedTextFilter(
        txtSP[i], [this, k](std::int16_t& keyAscii) { txtSP_KeyPress(k, keyAscii); });
    cmdDec[i] = pictureButton(panel, "", QStyle::SP_ArrowDown, QStringLiteral("Decrease voltage"));
    cmdDec[i]->setObjectName(indexed("cmdDec", k));
    cmdDec[i]->setGeometry(56, 198, 18, 24);
    cmdDec[i]->setAccessibleName(module + QStringLiteral("decrease voltage"));
    cmdInc[i] = pictureButton(panel, "", QStyle::SP_ArrowUp, QStringLiteral("Increase voltage"));
    cmdInc[i]->setObjectName(indexed("cmdInc", k));
    cmdInc[i]->setGeometry(74, 198, 18, 24);
    cmdInc[i]->setAccessibleName(module + QStringLiteral("increase voltage"));
    cmdSetVoltage[i] = pictureButton(panel, "", QStyle::SP_DialogApplyButton,
                                     QStringLiteral("Apply new voltage value"));
    cmdSetVoltage[i]->setObjectName(indexed("cmdSetVoltage", k));
    cmdSetVoltage[i]->setGeometry(92, 198, 18, 24);
    cmdSetVoltage[i]->setAccessibleName(module + QStringLiteral("apply voltage"));

    RV[i] = readOnlyBox(panel, indexed("RV", k), {6, 240, 104, 20},
                        label(panel, QStringLiteral("Volt. Range:"), {6, 226, 108, 14}));
    RC[i] = readOnlyBox(panel, indexed("RC", k), {70, 263, 40, 20},
                        label(panel, QStringLiteral("Max. Current:"), {6, 264, 66, 18}));
    GID[i] = readOnlyBox(panel, indexed("GID", k), {70, 285, 40, 20},
                         label(panel, QStringLiteral("Group ID:"), {6, 286, 66, 18}));
    for (QLineEdit* box : {RV[i], RC[i], GID[i]}) {
        box->setAccessibleName(module + box->accessibleName());
    }
    label(panel, QStringLiteral("Module Good LL:"), {5, 308, 78, 16});
    VLL[i] = valueLabel(panel, module + QStringLiteral("Module Good LL"), QStringLiteral("-"),
                        {83, 308, 27, 16});
    VLL[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    VLL[i]->setObjectName(indexed("VLL", k));
    VLL[i]->setToolTip(QStringLiteral("Module Good Low Limit Window Range"));
    label(panel, QStringLiteral("Module Good HL:"), {5, 324, 78, 16});
    VLH[i] = valueLabel(panel, module + QStringLiteral("Module Good HL"), QStringLiteral("-"),
                        {83, 324, 27, 16});
    VLH[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    VLH[i]->setObjectName(indexed("VLH", k));
    VLH[i]->setToolTip(QStringLiteral("Module Good High Limit Window Range"));
    CL[i] = valueLabel(panel, module + QStringLiteral("current limit"), QStringLiteral("-"),
                       {6, 341, 104, 16});
    CL[i]->setObjectName(indexed("CL", k));
}

void MonitorForm::setTabChain()
{
    std::vector<QWidget*> chain{UnitList,
                                cmdSelectUnit,
                                cmdRefresh,
                                cmdEeprom,
                                cmdComSettings,
                                cmdHelp,
                                cmdModuleNumering,
                                cmdErrorfile,
                                cmdClose,
                                PellarosOutputOnOff,
                                PellarosGroupOnOff,
                                GOutputBtn,
                                GroupBtn};
    for (int k = 1; k <= 5; ++k) {
        const auto i = static_cast<std::size_t>(k);
        chain.insert(chain.end(),
                     {PellarosOS[i], txtSP[i], cmdDec[i], cmdInc[i], cmdSetVoltage[i]});
    }
    chain.insert(chain.end(), {Check1, Combo1, Check2, txtFileName, cmdClear, RichTextBox1});
    for (std::size_t n = 1; n < chain.size(); ++n) {
        QWidget::setTabOrder(chain[n - 1], chain[n]);
    }
}

void MonitorForm::nameUnitButtons()
{
    GOutputBtn->setAccessibleName(Frame8->title() + u' ' + GOutputBtn->text());
    GroupBtn->setAccessibleName(Frame4->title() + u' ' + GroupBtn->text());
}

void MonitorForm::connectControls()
{
    connect(UnitList, &QComboBox::activated, this, [this] { UnitList_Click(); });
    connect(cmdSelectUnit, &QPushButton::clicked, this, [this] { cmdSelectUnit_Click(); });
    connect(cmdRefresh, &QPushButton::clicked, this, [this] { cmdRefresh_Click(); });
    connect(cmdComSettings, &QPushButton::clicked, this, [this] { cmdComSettings_Click(); });
    connect(cmdEeprom, &QPushButton::clicked, this, [this] { cmdEeprom_Click(); });
    connect(cmdHelp, &QPushButton::clicked, this, [this] { cmdHelp_Click(); });
    connect(cmdModuleNumering, &QPushButton::clicked, this, [this] { cmdModuleNumering_Click(); });
    connect(cmdErrorfile, &QPushButton::clicked, this, [this] { cmdErrorfile_Click(); });
    connect(cmdClose, &QPushButton::clicked, this, [this] { cmdClose_Click(); });
    connect(PellarosOutputOnOff, &TwoPictureIndicator::MouseClick, this,
            [this] { PellarosOutputOnOff_MouseClick(); });
    connect(GOutputBtn, &QPushButton::clicked, this, [this] { GOutputBtn_Click(); });
    connect(GroupBtn, &QPushButton::clicked, this, [this] { GroupBtn_Click(); });
    // A check box runs its handler whenever its value changes, by the mouse, the keyboard, an
    // accessibility action or the code; code that means to set a value without it blocks the
    // box's signals.
    connect(Check1, &QCheckBox::toggled, this, [this] { Check1_Click(); });
    connect(Check2, &QCheckBox::toggled, this, [this] { Check2_Click(); });
    connect(m_leaveRetry, &QTimer::timeout, this, [this] { finishLeavingMonitorMode(); });
    connect(cmdClear, &QPushButton::clicked, this, [this] { cmdClear_Click(); });
    connect(Timer2, &QTimer::timeout, this, [this] { Timer2_Timer(); });
    for (int k = 1; k <= 5; ++k) {
        const auto i = static_cast<std::size_t>(k);
        connect(PellarosOS[i], &TwoPictureIndicator::MouseClick, this,
                [this, k] { PellarosOS_MouseClick(k); });
        connect(cmdInc[i], &QPushButton::clicked, this, [this, k] { cmdInc_Click(k); });
        connect(cmdDec[i], &QPushButton::clicked, this, [this, k] { cmdDec_Click(k); });
        connect(cmdSetVoltage[i], &QPushButton::clicked, this,
                [this, k] { cmdSetVoltage_Click(k); });
        connect(tmrMod[i], &QTimer::timeout, this, [this, k] { recheckTick(k); });
    }
}
// ---- Load, sizes, navigation
// ---------------------------------------------------------------------

void MonitorForm::Form_Load()
{
    m_loaded = true;
    // A reload ends what an earlier selection left running: a recheck timer must never refresh a
    // unit that is no longer selected.
    for (int k = 1; k <= 5; ++k) {
        tmrMod[static_cast<std::size_t>(k)]->stop();
    }
    PellarosGroupOnOff->hide();
    PellarosGroupOnOff->setEnable(false);
    G::UnitSelected = false;
    cmdComSettings->setText(QStringLiteral("Default Com Port = ") + G::DefaultComPort);
    applySize(CompactWidthTwips, CompactHeightTwips);
    cmdHelp->show();
    cmdModuleNumering->hide();
    for (int k = 1; k <= 5; ++k) {
        setMessage(k, kModuleOff, Red);
        PellarosMG[static_cast<std::size_t>(k)]->setStatus(false);
    }
    for (int k = 1; k <= 5; ++k) {
        setBackColor(s[static_cast<std::size_t>(k)], ButtonFace);
        setBackColor(MMessage[static_cast<std::size_t>(k)], ButtonFace);
    }
    for (QWidget* w : std::initializer_list<QWidget*>{Frame7, this, Label13, Check1, cmdComSettings,
                                                      cmdModuleNumering}) {
        setBackColor(w, ButtonFace);
    }
    Label3D3->setBackColor(ButtonFace);
    for (QLabel* picture : Picture1) {
        setBackColor(picture, ButtonFace);
    }
    InitModulePanels();
    FillUnitList();
    // Refresh and monitor mode read the unit the window selected; before its first selection
    // there is none, and they are not offered.
    if (m_unitId.isEmpty()) {
        cmdRefresh->setEnabled(false);
        Check1->setEnabled(false);
    }
    Combo1->setCurrentIndex(Combo1->findText(QStringLiteral("5   Sec.")));
    Combo1->update();
}

void MonitorForm::InitModulePanels()
{
    Busy = false;
    UnitChosen = false;
    ArmRecheckTimers = false;
    for (int k = 1; k <= 5; ++k) {
        const auto i = static_cast<std::size_t>(k);
        PellarosMG[i]->setStatus(true);
        PellarosOS[i]->setStatus(false);
        setMessage(k, kModuleOff, Red);
        GID[i]->setText(QStringLiteral("0"));
        RV[i]->setText(QStringLiteral("0.0 - 0.0"));
        txtSP[i]->setText(QStringLiteral("0"));
    }
    PellarosOverTemp->setStatus(true);
    PellarosFanFail->setStatus(true);
    PellarosACFail->setStatus(true);
    OH->setText(QStringLiteral("0"));
    PellarosErrorPicture->setStatus(true);
    fillToolTips();
}

void MonitorForm::fillToolTips()
{
    auto tip = [](const char* key) {
        return INI::GetIniValue(QStringLiteral("MONITOR"), QString::fromLatin1(key),
                                G::TooltipsIniPath);
    };
    OH->setToolTip(tip("OH"));
    UnitList->setToolTip(tip("UnitList"));
    for (int k = 1; k <= 5; ++k) {
        const auto i = static_cast<std::size_t>(k);
        GID[i]->setToolTip(tip("GroupID"));
        RV[i]->setToolTip(tip("RatedVoltage"));
        RC[i]->setToolTip(tip("RatedCurrent"));
        PellarosOS[i]->setToolTip(tip("OutputState"));
        MMessage[i]->setToolTip(tip("OutputState"));
        txtSP[i]->setToolTip(tip("VoltageSetpoint"));
        PellarosDisplay[i]->setToolTip(tip("Voltage"));
        PellarosDisplayCurr[i]->setToolTip(tip("Current"));
    }
    GroupBtn->setToolTip(tip("GroupButton"));
    GOutputBtn->setToolTip(tip("GlobalOutputButton"));
}

void MonitorForm::FillUnitList()
{
    // The list keeps the window's font: at 4 points its IDs could not be read.
    if (UnitList->count() == 0) {
        for (int id = 1; id <= 32; ++id) {
            UnitList->addItem(QString::number(id));
        }
        UnitList->setCurrentIndex(0);
    }
}

void MonitorForm::applySize(int widthTwips, int heightTwips)
{
    kivo::desktop::keepFixedSize(*this,
                                 QSize(twipsToPixels(widthTwips), twipsToPixels(heightTwips)));
    // Disabled as well as hidden: a hidden control still takes a key sent to it and a screen
    // reader's action.
    const bool full = widthTwips == FullWidthTwips && heightTwips == FullHeightTwips;
    m_fullSizeArea->setVisible(full);
    m_fullSizeArea->setEnabled(full);
}

void MonitorForm::Form_Resize()
{
    if (G::UnitSelected) {
        applySize(FullWidthTwips, FullHeightTwips);
    } else {
        applySize(CompactWidthTwips, CompactHeightTwips);
    }
}

void MonitorForm::monitorUnitDoesNotRespond(int heightTwips, int widthTwips, const QString& caption)
{
    applySize(widthTwips, heightTwips);
    Form_Resize();
    Label3D3->setCaption(caption);
}

void MonitorForm::UnitList_Click()
{
    Form_Load();
}

void MonitorForm::stopAllTimers()
{
    Timer2->stop();
    m_leaveRetry->stop();
    for (int k = 1; k <= 5; ++k) {
        tmrMod[static_cast<std::size_t>(k)]->stop();
    }
}

void MonitorForm::resetToFreshState()
{
    stopAllTimers();
    CurrentUnit.reset();
    m_unitId.clear();
    ReadScaling = {};
    m_readPresence.clear();
    m_modulesAnswered = false;
    m_refreshFailed = false;
    m_skippedTicks = 0;
    m_unsavedRows.clear();
    LastSetPoint = {};
    m_leavePending = false;
    m_closePending = false;
    {
        // Back to the state after load, which no mode switch leads to.
        const QSignalBlocker mode(Check1);
        const QSignalBlocker autosave(Check2);
        Check1->setChecked(false);
        Check2->setChecked(false);
    }
    // A window loaded afresh offers the first unit; only a reload keeps the list's choice.
    UnitList->setCurrentIndex(0);
    txtFileName->setText(QStringLiteral("Log.csv"));
    RichTextBox1->clear();
    rtbNewLog->setText({});
    GOutputBtn->setText(QStringLiteral("Off"));
    GroupBtn->setText(QStringLiteral("Off"));
    nameUnitButtons();
    setWindowTitle(QStringLiteral("Monitor"));
    Label3D3->setCaption(kSelectPrompt);
    lblReady->setText(ReadyText);
    progressbar1->setValue(0);
    progressbar1->hide();
    for (QWidget* w : std::initializer_list<QWidget*>{
             UnitList, cmdSelectUnit, cmdRefresh, cmdComSettings, cmdEeprom, cmdErrorfile, cmdClose,
             Check1, Combo1, cmdClear, txtFileName, cmdHelp}) {
        w->setEnabled(true);
    }
    cmdErrorfile->show();
    PellarosOutputOnOff->setEnable(true);
    for (int k = 1; k <= 5; ++k) {
        const auto i = static_cast<std::size_t>(k);
        PellarosDisplay[i]->TextValue(1, QString());
        PellarosDisplayCurr[i]->TextValue(1, QString());
        Module[i]->setStyle(0x80000008, 1, 1);
        Module[i]->update();
        VLL[i]->setText(QStringLiteral("-"));
        VLH[i]->setText(QStringLiteral("-"));
        CL[i]->setText(QStringLiteral("-"));
        RC[i]->setText(QString());
        PellarosOS[i]->setEnable(true);
        for (QWidget* w :
             std::initializer_list<QWidget*>{txtSP[i], cmdInc[i], cmdDec[i], cmdSetVoltage[i]}) {
            w->setEnabled(true);
        }
    }
}

void MonitorForm::Form_Unload()
{
    resetToFreshState();
    m_loaded = false;
    hide();
    Forms::mainForm().show();
}

void MonitorForm::showEvent(QShowEvent* event)
{
    if (!m_loaded) {
        Form_Load();
    }
    QWidget::showEvent(event);
}

void MonitorForm::hideEvent(QHideEvent* event)
{
    // A window the program hides keeps no timer that could reach the port under another
    // window's action. Minimising hides it too, by the window system: monitoring goes on then.
    if (!event->spontaneous()) {
        stopAllTimers();
    }
    QWidget::hideEvent(event);
}

void MonitorForm::closeEvent(QCloseEvent* event)
{
    // While one of this window's actions has the port it pumps events, and the window system's
    // close box still arrives although the busy state disabled the window. Unloading then would
    // free the unit record and reset the selection under the action still on the stack, so the
    // close waits until the action is done and is carried out then.
    if (LinkInUse::holder().startsWith(QStringLiteral("MonitorForm."))) {
        event->ignore();
        if (!m_closePending) {
            m_closePending = true;
            LinkInUse::whenFree(this, [this] {
                // An unload meanwhile has done what the close asked for.
                if (std::exchange(m_closePending, false) && isVisible()) {
                    close();
                }
            });
        }
        return;
    }
    Form_QueryUnload();
    cmdClose_Click();
    event->accept();
}

void MonitorForm::cmdComSettings_Click()
{
    Forms::commParamsForm().showModal();
    cmdComSettings->setText(QStringLiteral("Default Com Port = ") + G::DefaultComPort);
}

void MonitorForm::cmdComSettings_LostFocus()
{
    if (!Forms::commParamsForm().isVisible() && width() == twipsToPixels(CompactWidthTwips)) {
        UnitList->setFocus();
    }
}

void MonitorForm::cmdEeprom_Click()
{
    // Until the program installs the configuration window there is nowhere to go, and this
    // window stays as it is rather than leave the program without a window.
    QWidget* config = Forms::supplyConfig();
    if (!config) {
        return;
    }
    stopAllTimers();
    hide();
    config->show();
}

void MonitorForm::cmdEeprom_LostFocus()
{
    const QWidget* config = Forms::supplyConfig();
    if (!config || !config->isVisible()) {
        cmdSelectUnit->setFocus();
    }
}

void MonitorForm::cmdHelp_Click()
{
    static_cast<void>(desktop().showHelpTopic(QStringLiteral("KIP.html")));
}

void MonitorForm::cmdModuleNumering_Click()
{
    static_cast<void>(desktop().showHelpTopic(QStringLiteral("KIP.html")));
}

void MonitorForm::cmdErrorfile_Click()
{
    G::ShowErrorLog();
}

void MonitorForm::cmdClose_Click()
{
    Timer2->stop();
    G::SliderDragging = false;
    Form_Unload();
}

bool MonitorForm::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (watched == UnitList) {
        // Typing and the wheel change nothing in the list: a unit is picked from its item list
        // only, which the mouse or the list-opening keys open. Tab is no key for the list but
        // the window's way on to the next control, so it still leaves.
        if (type == QEvent::KeyPress || type == QEvent::Wheel) {
            if (type == QEvent::KeyPress) {
                const auto* key = static_cast<QKeyEvent*>(event);
                int code = key->key();
                if (code == Qt::Key_Tab || code == Qt::Key_Backtab ||
                    kivo::desktop::opensItemList(*key)) {
                    return false;
                }
                UnitList_KeyDown(code);
            }
            return true;
        }
        return false;
    }
    if (type == QEvent::FocusOut && watched != m_focusOutDelivering) {
        // Focus that leaves with the whole window (a message box, another program) is no
        // lost focus of the control.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) {
            return false;
        }
        // The two buttons' rules keep the focus among the commands that are in view. Where the
        // user put the focus is left alone: a step of the Tab key (the tab chain follows the
        // window as it shows, and no order of it would let those rules send the focus back
        // without trapping it) and a click into a field, so that what is typed next goes there.
        const QWidget* next = QApplication::focusWidget();
        const bool intoField = reason == Qt::MouseFocusReason && next &&
                               next->testAttribute(Qt::WA_InputMethodEnabled);
        const bool usersMove =
            reason == Qt::TabFocusReason || reason == Qt::BacktabFocusReason || intoField;
        if (watched == cmdComSettings) {
            if (!usersMove) {
                cmdComSettings_LostFocus();
            }
        } else if (watched == cmdEeprom) {
            if (!usersMove) {
                cmdEeprom_LostFocus();
            }
        } else {
            for (int k = 1; k <= 5; ++k) {
                if (watched != txtSP[static_cast<std::size_t>(k)]) {
                    continue;
                }
                // The box's own focus-out (which takes its selection and its caret away) comes
                // first, so that a refused value keeps the focus and the selection it gives back.
                m_focusOutDelivering = watched;
                QCoreApplication::sendEvent(watched, event);
                m_focusOutDelivering = nullptr;
                txtSP_LostFocus(k);
                return true;
            }
        }
        return false;
    }
    if (type == QEvent::KeyPress) {
        for (int k = 1; k <= 5; ++k) {
            if (watched != txtSP[static_cast<std::size_t>(k)]) {
                continue;
            }
            auto* key = static_cast<QKeyEvent*>(event);
            if (key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) {
                txtSP_KeyDown(k, 13, 0);
                return true;
            }
            if (key->key() == Qt::Key_Backspace) {
                return false;
            }
            if (key->text().isEmpty() || !key->text()[0].isPrint()) {
                return false; // arrows, delete, tab: editing keys pass
            }
            std::int16_t ascii = static_cast<std::int16_t>(key->text()[0].unicode());
            txtSP_KeyPress(k, ascii);
            return ascii == 0;
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- Small helpers
// -------------------------------------------------------------------------------

void MonitorForm::setProgress(int value)
{
    progressbar1->setValue(value);
    lblReady->setText(PleaseWait);
    lblReady->repaint();
}

void MonitorForm::setReady(const QString& text)
{
    lblReady->setText(text);
    lblReady->repaint();
}

void MonitorForm::setMessage(int slot, const QString& caption, uint colour)
{
    const auto i = static_cast<std::size_t>(slot);
    MMessage[i]->setText(caption);
    setColour(MMessage[i], QPalette::WindowText, colour);
    m_messageColor[i] = colour;
}

void MonitorForm::setBlank(int slot)
{
    const auto i = static_cast<std::size_t>(slot);
    PellarosDisplay[i]->TextValue(1, QStringLiteral("0"));
    PellarosDisplayCurr[i]->TextValue(1, QStringLiteral("0"));
    txtSP[i]->setText(QStringLiteral("0"));
    RV[i]->setText(QStringLiteral("0.0 - 0.0"));
    RC[i]->setText(QStringLiteral("0"));
    Module[i]->setStyle(static_cast<uint>(G::SysColorWindowText.toLongLong()), 1, 4);
    Module[i]->Refresh();
}

void MonitorForm::disableSlotCommands(int slot)
{
    const auto i = static_cast<std::size_t>(slot);
    txtSP[i]->setEnabled(false);
    PellarosOS[i]->setEnable(false);
    cmdDec[i]->setEnabled(false);
    cmdInc[i]->setEnabled(false);
    cmdSetVoltage[i]->setEnabled(false);
}

void MonitorForm::updateErrorPicture()
{
    PellarosErrorPicture->setStatus(PellarosOverTemp->Status() && PellarosGlobalDC->Status() &&
                                    PellarosFanFail->Status() && PellarosACFail->Status());
}

void MonitorForm::lockForMonitorMode()
{
    for (int k = 1; k <= 5; ++k) {
        const auto i = static_cast<std::size_t>(k);
        txtSP[i]->setEnabled(false);
        cmdDec[i]->setEnabled(false);
        cmdInc[i]->setEnabled(false);
        cmdSetVoltage[i]->setEnabled(false);
        PellarosOS[i]->setEnable(false);
    }
    for (QWidget* w :
         std::initializer_list<QWidget*>{Combo1, cmdComSettings, cmdSelectUnit, cmdErrorfile,
                                         cmdClose, cmdRefresh, cmdEeprom, cmdClear, txtFileName}) {
        w->setEnabled(false);
    }
    PellarosOutputOnOff->setEnable(false);
}

void MonitorForm::enableInteractiveCommands()
{
    for (QWidget* w : std::initializer_list<QWidget*>{UnitList, cmdComSettings, cmdClose,
                                                      cmdSelectUnit, cmdErrorfile, cmdEeprom}) {
        w->setEnabled(true);
    }
    cmdRefresh->setEnabled(G::UnitSelected);
    PellarosOutputOnOff->setEnable(true);
}

void MonitorForm::recover(const char* handler, const QString& description)
{
    closePort();
    INI::SetBusyState(0);
    Busy = false;
    G::LoggingInProgress = false;
    G::SwitchEventsEnabled = true;
    const QString text = QStringLiteral("Run-time error in MonitorForm.%1 for Unit %2: %3")
                             .arg(QLatin1StringView(handler), m_unitId, description);
    G::LogError(text);
    G::LastErrorText = text;
    G::ErrorFlag = true;
    progressbar1->setValue(0);
    progressbar1->hide();
    cmdErrorfile->show();
    if (inMonitorMode()) {
        // Monitor mode keeps its locks; leaving it must stay possible.
        lockForMonitorMode();
    } else {
        enableInteractiveCommands();
    }
    Check1->setEnabled(true);
    setReady(ErrorText);
}

// ---- The one instance
// ----------------------------------------------------------------------------

MonitorForm& monitorFormInstance()
{
    if (!instance) {
        instance = std::make_unique<MonitorForm>();
    }
    return *instance;
}

void deleteMonitorForm()
{
    instance.reset();
}

} // namespace KivoSoft
