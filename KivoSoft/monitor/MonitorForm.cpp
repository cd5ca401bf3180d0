#include "KivoSoft/monitor/MonitorForm.h"

#include "KivoSoft/controls/Twips.h"
#include "KivoSoft/model/DeviceLink.h"
#include "KivoSoft/model/INI.h"
#include "KivoSoft/model/KivoGlobals.h"
#include "KivoSoft/model/LinkInUse.h"
#include "KivoSoft/shell/CommParamsForm.h"
#include "KivoSoft/shell/Forms.h"
#include "KivoSoft/shell/MainForm.h"
#include "platform/basic/basic.h"
#include "platform/desktop/desktop.h"
#include "platform/desktop/let_events_run.h"

#include <QCloseEvent>
#include <QFile>
#include <QFontDatabase>
#include <QKeyEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStylePainter>
#include <QTextCursor>
#include <QTextDocument>

#include <cmath>
#include <memory>

namespace KivoSoft {

namespace G = KivoGlobals;
using kivo::automation::byRef;
using kivo::automation::Int16Array;
using namespace kivo::basic;
using namespace kivo::desktop;

namespace {

constexpr uint Red = 255;
constexpr uint Green = 0xFF00;
constexpr uint Black = 0;
constexpr uint Navy = 0x800000;
constexpr uint ButtonFace = 0x8000000F;

const QString kOk = QStringLiteral("CMD_OK");
const QString kNotPresent = QStringLiteral("Not Present");
const QString kModuleOff = QStringLiteral("Module Off");
const QString kModuleGood = QStringLiteral("Module Good");
const QString kSelectPrompt = QStringLiteral("Please Select Unit...");
const QString kDravon = QStringLiteral("Dravon Electronics");

// The 22 logging periods: a number left-aligned in four characters, then the unit word.
const char* const kPeriods[] = {
    "2   Sec.", "3   Sec.", "4   Sec.", "5   Sec.", "6   Sec.", "7   Sec.", "8   Sec.", "9   Sec.",
    "10  Sec.", "20  Sec.", "30  Sec.", "40  Sec.", "50  Sec.", "1   Min.", "2   Min.", "5   Min.",
    "10  Min.", "30  Min.", "1   Hr.",  "5   Hr.",  "12  Hr.",  "24  Hr."};

QString status(const kivo::automation::CallResult& result)
{
    return linkStatus(result);
}

// The link's calls by name, on the one link object.
template <class... Args> QString link(const char* operation, Args&&... args)
{
    return status(kivo::automation::call(G::DeviceLink, operation, std::forward<Args>(args)...));
}

QString openPort()
{
    return link("OpenPort", G::DefaultComPort.toStdString());
}

void closePort()
{
    kivo::automation::call(G::DeviceLink, "ClosePort");
}

QString bitString(const Int16Array& bits, int count)
{
    QString text;
    const std::vector<std::int16_t> values = bits.values();
    for (int k = 0; k < count && k < static_cast<int>(values.size()); ++k) {
        text += QString::number(values[static_cast<std::size_t>(k)]);
    }
    return text;
}

QString digit(const QString& digits, int slot)
{
    return Mid(digits, slot, 1);
}

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

void setColour(QWidget* widget, QPalette::ColorRole role, uint vbColour)
{
    QPalette palette = widget->palette();
    palette.setColor(role, Label3D::toColor(vbColour, palette));
    widget->setPalette(palette);
}

void setBackColor(QWidget* widget, uint vbColour)
{
    setColour(widget, QPalette::Window, vbColour);
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

std::unique_ptr<MonitorForm> instance;

} // namespace

// ---- The outline of a module panel
// ---------------------------------------------------------------

ModuleShape::ModuleShape(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void ModuleShape::setStyle(uint borderColor, int fillStyle, int borderWidth)
{
    m_borderColor = borderColor;
    m_fillStyle = fillStyle;
    m_borderWidth = borderWidth;
}

void ModuleShape::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QColor colour = Label3D::toColor(m_borderColor, palette());
    if (m_fillStyle == 5) {
        painter.fillRect(rect(), QBrush(colour, Qt::BDiagPattern));
    }
    QPen pen(colour, m_borderWidth);
    pen.setJoinStyle(Qt::MiterJoin);
    painter.setPen(pen);
    const int inset = m_borderWidth / 2;
    painter.drawRect(rect().adjusted(inset, inset, -inset - 1, -inset - 1));
}

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
    connectControls();
    applySize(CompactWidthTwips, CompactHeightTwips);
}

MonitorForm::~MonitorForm()
{
    stopAllTimers();
}

void MonitorForm::buildControls()
{
    // Backgrounds of the window's areas: selection, unit lamps, panels, monitoring and the rest.
    const QRect areas[] = {{0, 0, 180, 184},     {0, 184, 180, 406}, {182, 0, 623, 366},
                           {182, 366, 623, 224}, {0, 0, 0, 0},       {0, 0, 0, 0},
                           {0, 0, 0, 0},         {0, 0, 0, 0},       {0, 0, 0, 0},
                           {0, 0, 0, 0},         {0, 0, 0, 0}};
    for (int i = 0; i <= 10; ++i) {
        Picture1[static_cast<std::size_t>(i)] = label(this, {}, areas[i], "");
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
    progressbar1->hide();

    // ---- Unit lamps, global switches and hours
    Frame7 = new QGroupBox(this);
    Frame7->setObjectName(QStringLiteral("Frame7"));
    Frame7->setGeometry(4, 186, 172, 184);
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
        *lamp.led = led;
        label(Frame7, QString::fromLatin1(lamp.caption), {44, y + 1, 124, 18});
        y += 34;
    }

    PellarosOutputOnOff = new PellarosSunkenSwitch(this);
    PellarosOutputOnOff->setObjectName(QStringLiteral("PellarosOutputOnOff"));
    PellarosOutputOnOff->move(10, 376);
    PellarosOutputOnOff->setToolTip(QStringLiteral("Global Module outputs ON/ OFF switch"));
    label(this, QStringLiteral("All Outputs"), {52, 390, 80, 16});
    PellarosGroupOnOff = new PellarosSunkenSwitch(this);
    PellarosGroupOnOff->setObjectName(QStringLiteral("PellarosGroupOnOff"));
    PellarosGroupOnOff->move(136, 376);
    PellarosGroupOnOff->setToolTip(QStringLiteral("Option for Module grouping (No use yet)"));

    Frame8 = new QGroupBox(QStringLiteral("Global Output"), this);
    Frame8->setObjectName(QStringLiteral("Frame8"));
    Frame8->setGeometry(4, 426, 84, 58);
    GOutputBtn = new QPushButton(QStringLiteral("Off"), Frame8);
    GOutputBtn->setObjectName(QStringLiteral("GOutputBtn"));
    GOutputBtn->setGeometry(8, 22, 68, 26);
    Frame4 = new QGroupBox(QStringLiteral("Group"), this);
    Frame4->setObjectName(QStringLiteral("Frame4"));
    Frame4->setGeometry(92, 426, 84, 58);
    GroupBtn = new QPushButton(QStringLiteral("Off"), Frame4);
    GroupBtn->setObjectName(QStringLiteral("GroupBtn"));
    GroupBtn->setGeometry(8, 22, 68, 26);

    Label13 = label(this, QStringLiteral("Operating Hours:"), {6, 494, 170, 18}, "Label13");
    OH = new QLineEdit(QStringLiteral("0"), this);
    OH->setObjectName(QStringLiteral("OH"));
    OH->setGeometry(6, 514, 110, 24);
    OH->setReadOnly(true);

    // ---- The five module panels
    for (int slot = 1; slot <= 5; ++slot) {
        buildModulePanel(slot);
    }

    // ---- Monitoring
    Check1 = new QCheckBox(QStringLiteral("&Auto-Refresh every"), this);
    Check1->setObjectName(QStringLiteral("Check1"));
    Check1->setGeometry(188, 372, 136, 24);
    Combo1 = new QComboBox(this);
    Combo1->setObjectName(QStringLiteral("Combo1"));
    Combo1->setGeometry(326, 371, 84, 26);
    Combo1->setToolTip(QStringLiteral("Screen controls Refreshing period"));
    for (const char* period : kPeriods) {
        Combo1->addItem(QString::fromLatin1(period));
    }
    Timer2 = new QTimer(this);
    Timer2->setObjectName(QStringLiteral("Timer2"));
    Timer2->setInterval(65000);

    Check2 = new QCheckBox(QStringLiteral("&Autosave"), this);
    Check2->setObjectName(QStringLiteral("Check2"));
    Check2->setGeometry(424, 372, 84, 24);
    setBackColor(Check2, 0xFFFFFF);
    Check2->setToolTip(
        QStringLiteral("If selected data in the above window is saved into the specified file"));
    txtFileName = new QLineEdit(QStringLiteral("Log.csv"), this);
    txtFileName->setObjectName(QStringLiteral("txtFileName"));
    txtFileName->setGeometry(512, 371, 200, 26);
    txtFileName->setToolTip(
        QStringLiteral("File name where data is saved when autosave option is selected"));
    cmdClear = pictureButton(this, "cmdClear", QStyle::SP_DialogResetButton,
                             QStringLiteral("Clear window text"));
    cmdClear->setGeometry(720, 370, 34, 28);

    const QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    Label11 = label(this, LogHeading, {190, 402, 606, 16}, "Label11");
    Label11->setFont(fixed);
    RichTextBox1 = new QPlainTextEdit(this);
    RichTextBox1->setObjectName(QStringLiteral("RichTextBox1"));
    RichTextBox1->setGeometry(188, 420, 612, 164);
    RichTextBox1->setReadOnly(true);
    RichTextBox1->setFont(fixed);
    RichTextBox1->setLineWrapMode(QPlainTextEdit::NoWrap);
    RichTextBox1->setToolTip(QStringLiteral("Monitoring data collection window"));
    rtbNewLog = new TextBuffer(this);
    rtbNewLog->setObjectName(QStringLiteral("rtbNewLog"));

    for (int slot = 1; slot <= 5; ++slot) {
        auto* timer = new QTimer(this);
        timer->setObjectName(QStringLiteral("tmrMod%1").arg(slot));
        timer->setSingleShot(true);
        tmrMod[static_cast<std::size_t>(slot)] = timer;
    }
}

void MonitorForm::buildModulePanel(int k)
{
    const auto i = static_cast<std::size_t>(k);
    auto* panel = new QGroupBox(k >= 3 ? QStringLiteral("Slot %1").arg(k) : QString(), this);
    panel->setObjectName(indexed("s", k));
    panel->setGeometry(184 + (k - 1) * 124, 2, 121, 364);
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

    MMessage[i] = label(panel, kModuleOff, {6, 32, 108, 28});
    MMessage[i]->setObjectName(indexed("MMessage", k));
    MMessage[i]->setAlignment(Qt::AlignCenter);
    MMessage[i]->setWordWrap(true);

    PellarosMG[i] = new PellarosLed(panel);
    PellarosMG[i]->setObjectName(indexed("PellarosMG", k));
    PellarosMG[i]->move(14, 62);
    PellarosOS[i] = new PellarosPushButton(panel);
    PellarosOS[i]->setObjectName(indexed("PellarosOS", k));
    PellarosOS[i]->move(76, 64);

    label(panel, QStringLiteral("Voltmeter"), {6, 88, 108, 14});
    PellarosDisplay[i] = new KivoSoft::PellarosDisplay(panel);
    PellarosDisplay[i]->setObjectName(indexed("PellarosDisplay", k));
    PellarosDisplay[i]->move(16, 102);
    label(panel, QStringLiteral("Ammeter"), {6, 142, 108, 14});
    PellarosDisplayCurr[i] = new KivoSoft::PellarosDisplay(panel);
    PellarosDisplayCurr[i]->setObjectName(indexed("PellarosDisplayCurr", k));
    PellarosDisplayCurr[i]->move(16, 156);

    txtSP[i] = new QLineEdit(QStringLiteral("0"), panel);
    txtSP[i]->setObjectName(indexed("txtSP", k));
    txtSP[i]->setGeometry(6, 198, 48, 24);
    txtSP[i]->installEventFilter(this);
    cmdDec[i] = pictureButton(panel, "", QStyle::SP_ArrowDown, QStringLiteral("Decrease voltage"));
    cmdDec[i]->setObjectName(indexed("cmdDec", k));
    cmdDec[i]->setGeometry(56, 198, 18, 24);
    cmdInc[i] = pictureButton(panel, "", QStyle::SP_ArrowUp, QStringLiteral("Increase voltage"));
    cmdInc[i]->setObjectName(indexed("cmdInc", k));
    cmdInc[i]->setGeometry(74, 198, 18, 24);
    cmdSetVoltage[i] = pictureButton(panel, "", QStyle::SP_DialogApplyButton,
                                     QStringLiteral("Apply new voltage value"));
    cmdSetVoltage[i]->setObjectName(indexed("cmdSetVoltage", k));
    cmdSetVoltage[i]->setGeometry(92, 198, 18, 24);

    label(panel, QStringLiteral("Volt. Range:"), {6, 226, 108, 14});
    RV[i] = new QLineEdit(panel);
    RV[i]->setObjectName(indexed("RV", k));
    RV[i]->setGeometry(6, 240, 104, 20);
    RV[i]->setReadOnly(true);
    label(panel, QStringLiteral("Max. Current:"), {6, 264, 66, 18});
    RC[i] = new QLineEdit(panel);
    RC[i]->setObjectName(indexed("RC", k));
    RC[i]->setGeometry(70, 263, 40, 20);
    RC[i]->setReadOnly(true);
    label(panel, QStringLiteral("Group ID:"), {6, 286, 66, 18});
    GID[i] = new QLineEdit(panel);
    GID[i]->setObjectName(indexed("GID", k));
    GID[i]->setGeometry(70, 285, 40, 20);
    GID[i]->setReadOnly(true);
    label(panel, QStringLiteral("Module Good LL:"), {5, 308, 78, 16});
    VLL[i] = label(panel, QStringLiteral("-"), {83, 308, 27, 16});
    VLL[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    VLL[i]->setObjectName(indexed("VLL", k));
    VLL[i]->setToolTip(QStringLiteral("Module Good Low Limit Window Range"));
    label(panel, QStringLiteral("Module Good HL:"), {5, 324, 78, 16});
    VLH[i] = label(panel, QStringLiteral("-"), {83, 324, 27, 16});
    VLH[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    VLH[i]->setObjectName(indexed("VLH", k));
    VLH[i]->setToolTip(QStringLiteral("Module Good High Limit Window Range"));
    CL[i] = label(panel, QStringLiteral("-"), {6, 341, 104, 16});
    CL[i]->setObjectName(indexed("CL", k));
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
    connect(Check1, &QCheckBox::clicked, this, [this] { Check1_Click(); });
    connect(Check2, &QCheckBox::clicked, this, [this] { Check2_Click(); });
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

QString ElidingButton::shownText() const
{
    QStyleOptionButton option;
    initStyleOption(&option);
    const int room = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this).width();
    return fontMetrics().elidedText(text(), Qt::ElideMiddle, room);
}

void ElidingButton::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    option.text = shownText();
    painter.drawControl(QStyle::CE_PushButton, option);
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
    setFixedSize(twipsToPixels(widthTwips), twipsToPixels(heightTwips));
}

void MonitorForm::Form_Resize()
{
    const Qt::WindowStates enlarged = Qt::WindowMaximized | Qt::WindowFullScreen;
    if (windowState() & enlarged) {
        setWindowState(windowState() & ~enlarged);
    }
    if (windowState() & Qt::WindowMinimized) {
        return;
    }
    if (G::UnitSelected) {
        applySize(FullWidthTwips, FullHeightTwips);
    } else {
        applySize(CompactWidthTwips, CompactHeightTwips);
    }
}

void MonitorForm::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange) {
        QMetaObject::invokeMethod(
            this, [this] { Form_Resize(); }, Qt::QueuedConnection);
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
    for (int k = 1; k <= 5; ++k) {
        tmrMod[static_cast<std::size_t>(k)]->stop();
    }
}

void MonitorForm::resetToFreshState()
{
    stopAllTimers();
    CurrentUnit.reset();
    m_unitId.clear();
    m_refreshFailed = false;
    m_skippedTicks = 0;
    m_unsavedRows.clear();
    LastSetPoint = {};
    Check1->setChecked(false);
    Check2->setChecked(false);
    txtFileName->setText(QStringLiteral("Log.csv"));
    RichTextBox1->clear();
    rtbNewLog->setText({});
    GOutputBtn->setText(QStringLiteral("Off"));
    GroupBtn->setText(QStringLiteral("Off"));
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
    // close box does what it does on a disabled window: nothing. Close works again afterwards.
    if (LinkInUse::holder().startsWith(QStringLiteral("MonitorForm."))) {
        event->ignore();
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
        // The list is used with the mouse only: typing and the wheel change nothing. Tab is no
        // key for the list but the window's way on to the next control, so it still leaves.
        if (type == QEvent::KeyPress || type == QEvent::Wheel) {
            if (type == QEvent::KeyPress) {
                int code = static_cast<QKeyEvent*>(event)->key();
                if (code == Qt::Key_Tab || code == Qt::Key_Backtab) {
                    return false;
                }
                UnitList_KeyDown(code);
            }
            return true;
        }
        return false;
    }
    if (type == QEvent::FocusOut) {
        // Focus that leaves with the whole window (a message box, another program) is no
        // lost focus of the control.
        const Qt::FocusReason reason = static_cast<QFocusEvent*>(event)->reason();
        if (reason == Qt::ActiveWindowFocusReason || reason == Qt::PopupFocusReason) {
            return false;
        }
        if (watched == cmdComSettings) {
            cmdComSettings_LostFocus();
        } else if (watched == cmdEeprom) {
            cmdEeprom_LostFocus();
        } else {
            for (int k = 1; k <= 5; ++k) {
                if (watched == txtSP[static_cast<std::size_t>(k)]) {
                    txtSP_LostFocus(k);
                }
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

template <class Body, class AfterFailure>
void MonitorForm::asDeviceAction(const char* handler, Body body, AfterFailure afterFailure)
{
    LinkInUse guard(QStringLiteral("MonitorForm.") + QLatin1String(handler));
    if (!guard) {
        return;
    }
    try {
        body();
    } catch (const std::exception& failure) {
        recover(handler, QString::fromStdString(failure.what()));
        afterFailure();
    }
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
    if (Check1->isChecked()) {
        // Monitor mode keeps its locks; leaving it must stay possible.
        lockForMonitorMode();
    } else {
        enableInteractiveCommands();
    }
    Check1->setEnabled(true);
    setReady(ErrorText);
}

QString MonitorForm::logFilePath() const
{
    return G::programFolder() + u'/' + txtFileName->text();
}

// ---- Shared rules
// --------------------------------------------------------------------------------

std::optional<bool> MonitorForm::limitTest(const QString& lo, const QString& hi, const QString& v)
{
    const Result<double> low = CDbl(lo);
    const Result<double> high = CDbl(hi);
    if (!low || !high) {
        return std::nullopt;
    }
    if (low.value() == 0 && high.value() == 0) {
        return true;
    }
    const Result<double> value = CDbl(v);
    return value && low.value() <= value.value() && value.value() <= high.value();
}

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

QString MonitorForm::hoursText(std::int64_t hours)
{
    if (hours == 0) {
        return QStringLiteral("0");
    }
    const QString digits = QString::number(hours < 0 ? -hours : hours);
    const QString group = userLocale().groupSeparator();
    QString text;
    for (qsizetype n = 0; n < digits.size(); ++n) {
        if (n > 0 && (digits.size() - n) % 3 == 0) {
            text += group;
        }
        text += digits[n];
    }
    return hours < 0 ? u'-' + text : text;
}

std::int16_t MonitorForm::setPointCounts(double volts, double factor)
{
    return CInt(volts * factor).value();
}

// ---- Unit selection
// ------------------------------------------------------------------------------

void MonitorForm::cmdSelectUnit_Click()
{
    if (Trim(UnitList->currentText()).isEmpty()) {
        desktop().msgBox(QStringLiteral("Please select a valid unit."), vbInformation + vbOKOnly,
                         kDravon);
        UnitList->setFocus();
        return;
    }
    asDeviceAction(
        "cmdSelectUnit", [this] { selectHoldingLink(); }, [this] { ArmRecheckTimers = false; });
}

void MonitorForm::selectHoldingLink()
{
    // The window keeps the ID chosen here for every later call, whatever else writes the
    // global one.
    m_unitId = Trim(UnitList->currentText());
    const QString unit = m_unitId;
    INI::SetBusyState(1);
    ArmRecheckTimers = true;
    // Timers armed by an earlier selection would refresh in the middle of this read.
    for (int k = 1; k <= 5; ++k) {
        tmrMod[static_cast<std::size_t>(k)]->stop();
    }
    cmdHelp->hide();
    UnitList->setEnabled(false);
    cmdSelectUnit->setEnabled(false);
    PellarosOutputOnOff->setEnable(false);
    for (QWidget* w : std::initializer_list<QWidget*>{Check1, cmdEeprom, cmdRefresh, cmdClose}) {
        w->setEnabled(false);
    }
    G::UnitSelected = false;
    cmdErrorfile->hide();
    Label3D3->setCaption(QStringLiteral("Reading from Unit Id: ") + unit +
                         QStringLiteral(" . . ."));
    for (int k = 1; k <= 5; ++k) {
        const auto i = static_cast<std::size_t>(k);
        setBlank(k);
        disableSlotCommands(k);
        VLH[i]->setText(QStringLiteral("-"));
        VLL[i]->setText(QStringLiteral("-"));
        CL[i]->setText(QStringLiteral("-"));
    }
    G::SelectedUnitId = unit;
    G::UnitSelected = true;
    applySize(FullWidthTwips, FullHeightTwips);
    cmdModuleNumering->show();
    progressbar1->show();
    progressbar1->setValue(2);
    lblReady->show();
    setReady(PleaseWait);
    for (int k = 1; k <= 5; ++k) {
        setMessage(k, kModuleOff, Red);
        PellarosMG[static_cast<std::size_t>(k)]->setStatus(false);
    }
    G::SwitchEventsEnabled = false;
    UnitChosen = true;

    const bool read = LoadMonitorData();

    if (!read || G::ErrorFlag) {
        G::UnitSelected = false;
        // The unit did not answer: back to the selection area alone.
        Form_Resize();
        Label3D3->setCaption(kSelectPrompt);
        for (int k = 1; k <= 5; ++k) {
            const auto i = static_cast<std::size_t>(k);
            disableSlotCommands(k);
            VLH[i]->setText(QStringLiteral("-"));
            VLL[i]->setText(QStringLiteral("-"));
            CL[i]->setText(QStringLiteral("-"));
        }
        cmdComSettings->setEnabled(false);
        PellarosOutputOnOff->setEnable(false);
        cmdRefresh->setEnabled(false);
        cmdClear->setEnabled(false);
        txtFileName->setEnabled(false);
        PellarosOutputOnOff->setStatus(false);
        Check1->setEnabled(false);
        setReady(ErrorText);
        progressbar1->hide();
        cmdErrorfile->show();
        cmdErrorfile->setEnabled(true);
        cmdClose->setEnabled(true);
        UnitList->setEnabled(true);
    } else {
        if (G::ModuleTypeRead) {
            Label3D3->setCaption(QStringLiteral("Power supply Id: ") + unit);
        } else {
            const QString off =
                QStringLiteral("Kivo unit Id: ") + unit + QStringLiteral(", Modules OFF");
            Label3D3->setCaption(off);
            setReady(off);
            progressbar1->setValue(0);
            progressbar1->hide();
            PellarosGlobalDC->setStatus(false);
            PellarosErrorPicture->setStatus(false);
        }
        G::SwitchEventsEnabled = true;
        for (int k = 1; k <= 5; ++k) {
            const auto i = static_cast<std::size_t>(k);
            if (PellarosOS[i]->Status()) {
                const std::optional<bool> good =
                    limitTest(VLL[i]->text(), VLH[i]->text(), PellarosDisplay[i]->strValue());
                if (good == true) {
                    setMessage(k, kModuleGood, Green);
                    PellarosMG[i]->setStatus(true);
                } else if (good == false) {
                    setMessage(k, QStringLiteral("Out of Limits Volt."), Red);
                    PellarosMG[i]->setStatus(false);
                }
            } else {
                txtSP[i]->setEnabled(false);
                PellarosMG[i]->setStatus(false);
                setMessage(k, kModuleOff, Red);
                PellarosDisplay[i]->TextValue(1, QStringLiteral("0"));
                PellarosDisplayCurr[i]->TextValue(1, QStringLiteral("0"));
            }
        }
        if (G::ModuleTypeRead) {
            refreshHoldingLink();
            PellarosOutputOnOff->setEnable(true);
            PellarosOutputOnOff->setStatus(true);
            // A unit read in full offers the log commands again, also after a failed selection
            // had locked them.
            cmdClear->setEnabled(!Check1->isChecked());
            txtFileName->setEnabled(!Check1->isChecked() && !Check2->isChecked());
        } else {
            setReady(QStringLiteral("M o d u l e s   O F F"));
            for (int k = 1; k <= 5; ++k) {
                const auto i = static_cast<std::size_t>(k);
                PellarosDisplay[i]->TextValue(1, QStringLiteral("0"));
                PellarosDisplayCurr[i]->TextValue(1, QStringLiteral("0"));
                disableSlotCommands(k);
                VLH[i]->setText(QStringLiteral("-"));
                VLL[i]->setText(QStringLiteral("-"));
                CL[i]->setText(QStringLiteral("-"));
            }
            for (QWidget* w :
                 std::initializer_list<QWidget*>{cmdComSettings, cmdRefresh, cmdEeprom, cmdClear}) {
                w->setEnabled(false);
            }
            PellarosFanFail->setStatus(true);
            PellarosOutputOnOff->setStatus(false);
            PellarosOutputOnOff->setEnable(true);
            Check1->setEnabled(false);
            setReady(QStringLiteral("P/S Id: ") + unit + QStringLiteral(", Modules OFF"));
            progressbar1->hide();
        }
    }
    INI::SetBusyState(0);
    setWindowTitle(InteractiveCaption);
    cmdSelectUnit->setEnabled(true);
    cmdEeprom->setEnabled(true);
    cmdClose->setEnabled(true);
    for (int k = 1; k <= 5; ++k) {
        LastSetPoint[static_cast<std::size_t>(k)] =
            CDbl(txtSP[static_cast<std::size_t>(k)]->text()).valueOr(0);
    }
    ArmRecheckTimers = false;
}

// ---- The data read into the panels
// ---------------------------------------------------------------

bool MonitorForm::LoadMonitorData()
{
    G::ErrorFlag = false;
    CurrentUnit = std::make_shared<KivoData>();
    progressbar1->setValue(3);
    setReady(PleaseWait);
    CurrentUnit->ReadKivoMonitor(m_unitId);
    progressbar1->setValue(6);
    setReady(PleaseWait);
    if (G::ErrorFlag) {
        PellarosErrorPicture->setStatus(false);
        // This read's own failure: the no-response text when the unit did not answer, the
        // failure's text otherwise, never one left from an earlier read.
        const QString reason = !G::NoResponseText.isEmpty() ? G::NoResponseText : G::LastErrorText;
        desktop().msgBox(reason + QStringLiteral(" for details check file ") + G::ErrorLogPath,
                         vbOKOnly, G::ProgramTitle);
        cmdErrorfile->show();
        return false;
    }
    loadMonitorPanels(*CurrentUnit);
    return true;
}

void MonitorForm::loadMonitorPanels(const KivoData& unit)
{
    // The over-temperature lamp only ever turns off here; a load of the window turns it on
    // again, so a passing over-temperature stays visible until then.
    if (!unit.OverTemp) {
        PellarosOverTemp->setStatus(false);
    }
    // The fan lamp is the AND of the two flags, as the unit reports a fan that stopped on
    // either of them.
    PellarosFanFail->setStatus(unit.FanWarning && unit.FanFail);
    PellarosACFail->setStatus(unit.ACFail);

    if (unit.OperatingHours.isEmpty()) {
        OH->setText(unit.OperatingHours);
    } else {
        std::int64_t hours = CLng(unit.OperatingHours).value();
        if (hours < 0) {
            hours += 65536;
        }
        OH->setText(hoursText(hours));
    }

    if (!G::LoggingInProgress) {
        for (int k = 1; k <= 5; ++k) {
            PellarosOS[static_cast<std::size_t>(k)]->setStatus(false);
            PellarosOS[static_cast<std::size_t>(k)]->setEnable(false);
        }
        if (!G::ModuleTypeRead) {
            return;
        }
        progressbar1->setValue(8);
        setReady(PleaseWait);
        for (int k = 1; k <= 5; ++k) {
            GID[static_cast<std::size_t>(k)]->setText(QString::number(unit.GID[k]));
        }
        for (int k = 1; k <= 5; ++k) {
            const auto i = static_cast<std::size_t>(k);
            if (digit(unit.PresentModule, k) != QStringLiteral("1")) {
                PellarosOS[i]->setEnable(false);
                cmdDec[i]->setEnabled(false);
                cmdInc[i]->setEnabled(false);
                cmdSetVoltage[i]->setEnabled(false);
                Module[i]->setStyle(static_cast<uint>(G::SysColorDesktop.toLongLong()), 5, 1);
                Module[i]->Refresh();
                continue;
            }
            Module[i]->setStyle(static_cast<uint>(G::SysColorWindowText.toLongLong()), 1, 4);
            Module[i]->Refresh();
            PellarosMG[i]->setStatus(true);
            if (digit(unit.outputstate, k) == QStringLiteral("1")) {
                PellarosOS[i]->setStatus(true);
                setMessage(k, kModuleGood, Green);
            } else {
                PellarosOS[i]->setStatus(false);
                setMessage(k, kModuleOff, Red);
            }
            const double factor = G::moduleScaling(k).VoltageScaleFactor;
            if (factor == 0) {
                // No scaling record for this type: no limits to show or test against. The read
                // has named the type in the error log.
                VLH[i]->setText(QString());
                VLL[i]->setText(QString());
            } else {
                VLH[i]->setText(CStr(Round(CDbl(unit.VHL[k]).value() / factor, 2)));
                VLL[i]->setText(CStr(Round(CDbl(unit.VLL[k]).value() / factor, 2)));
            }
            const Result<double> limit = CDbl(unit.CL[k]);
            CL[i]->setText(QStringLiteral("Current Limit = ") +
                           (limit ? CStr(Round(limit.value(), 2)) : QString()));
            RV[i]->setText(INI::GetVoltageRange(unit.ModuleType[k]));
            RC[i]->setText(INI::GetMaxCurrent(unit.ModuleType[k]));
            const Result<double> setPoint = CDbl(unit.VSP[k]);
            if (setPoint) {
                txtSP[i]->setText(KivoData::FormatDecimals(CStr(Round(setPoint.value(), 2))));
            }
            PellarosOS[i]->setEnable(true);
            const QString group = QString::number(unit.GID[k]);
            if (unit.MasterGroup1 == k || unit.MasterGroup2 == k) {
                GID[i]->setText(QStringLiteral("M[") + group + u']');
            }
            if (unit.SlaveGroup1 == k || unit.SlaveGroup2 == k) {
                GID[i]->setText(QStringLiteral("S[") + group + u']');
                PellarosOS[i]->setEnable(false);
                setMessage(k, kModuleOff, Red);
            }
            PellarosDisplayCurr[i]->TextValue(1, unit.MCUR[k]);
            PellarosDisplay[i]->TextValue(1, unit.MV[k]);
        }
    }

    if (G::ModuleTypeRead) {
        G::OutputStates = G::ModulePresence[1] + G::ModulePresence[2] + G::ModulePresence[3] +
                          G::ModulePresence[4] + G::ModulePresence[5] + QStringLiteral("000");
    } else {
        G::OutputStates = QStringLiteral("00000000");
    }
    for (int k = 1; k <= 5; ++k) {
        if (!unit.MV[k].isEmpty() && digit(G::OutputStates, k) == QStringLiteral("1")) {
            PellarosDisplay[static_cast<std::size_t>(k)]->TextValue(1, unit.MV[k]);
        }
    }
    for (int k = 1; k <= 5; ++k) {
        if (!unit.MCUR[k].isEmpty() && digit(G::OutputStates, k) == QStringLiteral("1")) {
            PellarosDisplayCurr[static_cast<std::size_t>(k)]->TextValue(1, unit.MCUR[k]);
        }
    }
    progressbar1->setValue(35);
    setReady(PleaseWait);
}

// ---- Refresh
// -------------------------------------------------------------------------------------

void MonitorForm::cmdRefresh_Click()
{
    LinkInUse guard(QStringLiteral("MonitorForm.cmdRefresh"));
    if (!guard) {
        return;
    }
    refreshHoldingLink();
}

void MonitorForm::refreshHoldingLink()
{
    try {
        INI::SetBusyState(1);
        Busy = true;
        m_refreshFailed = false;
        cmdRefresh->setEnabled(false);
        cmdEeprom->setEnabled(false);
        progressbar1->show();
        progressbar1->repaint();
        setProgress(50);
        Check1->setEnabled(false);
        UnitList->setEnabled(false);
        for (int k = 1; k <= 5; ++k) {
            const auto i = static_cast<std::size_t>(k);
            cmdSetVoltage[i]->setEnabled(false);
            cmdInc[i]->setEnabled(false);
            cmdDec[i]->setEnabled(false);
            PellarosOS[i]->setEnable(false);
        }
        setProgress(55);
        cmdComSettings->setEnabled(false);
        PellarosOutputOnOff->setEnable(false);
        cmdClose->setEnabled(false);
        cmdSelectUnit->setEnabled(false);
        cmdErrorfile->setEnabled(false);
        G::LoggingInProgress = true;
        G::SwitchEventsEnabled = false;
        setProgress(60);
        RefreshScreen();
        setProgress(80);
        G::SwitchEventsEnabled = true;
        G::LoggingInProgress = false;

        bool complete = m_readOk;
        if (complete) {
            Int16Array a(1, 8);
            openPort();
            kivo::desktop::letEventsRun();
            const QString result = link("GetOutputState", m_unitId.toStdString(), byRef(a));
            kivo::desktop::letEventsRun();
            closePort();
            kivo::desktop::letEventsRun();
            if (result == kOk) {
                G::OutputStates = bitString(a, 5) + QStringLiteral("000");
            } else {
                // A failed read is no state of the unit: the panels keep what they show.
                G::LogError(QStringLiteral("Error in GetOutputState for Unit ") + m_unitId);
                G::LastErrorText =
                    QStringLiteral("Error in GetOutputState for Unit ") + m_unitId + u' ' + result;
                complete = false;
            }
        }
        if (complete) {
            PellarosGlobalDC->setStatus(true);
            if (!G::ModuleTypeRead) {
                G::OutputStates = QStringLiteral("00000000");
            }
            panelPass(false);
            if (ArmRecheckTimers) {
                readDelaysAndArmTimers();
            } else if (!readOperatingHours()) {
                complete = false;
            }
            updateErrorPicture();
        } else {
            PellarosErrorPicture->setStatus(false);
        }
        setProgress(90);
        if (!Check1->isChecked()) {
            enableInteractiveCommands();
            cmdRefresh->setEnabled(true);
        }
        progressbar1->setValue(0);
        m_refreshFailed = !complete;
        if (complete) {
            setReady(ReadyText);
        } else {
            cmdErrorfile->show();
            setReady(ErrorText);
        }
        progressbar1->hide();
        Check1->setEnabled(true);
        Busy = false;
        INI::SetBusyState(0);
    } catch (const std::exception& failure) {
        m_refreshFailed = true;
        recover("cmdRefresh", QString::fromStdString(failure.what()));
    }
}

void MonitorForm::panelPass(bool metersZeroWhenOff)
{
    const bool interactive = !Check1->isChecked();
    for (int k = 1; k <= 5; ++k) {
        const auto i = static_cast<std::size_t>(k);
        if (G::ModulePresence[i] == QStringLiteral("0")) {
            PellarosOS[i]->setStatus(false);
            PellarosOS[i]->setEnable(false);
            setMessage(k, kNotPresent, Black);
            PellarosMG[i]->setStatus(false);
            txtSP[i]->setEnabled(false);
            cmdInc[i]->setEnabled(false);
            cmdDec[i]->setEnabled(false);
            kivo::desktop::letEventsRun();
            continue;
        }
        if (digit(G::OutputStates, k) == QStringLiteral("0")) {
            if (interactive) {
                PellarosOS[i]->setEnable(true);
            }
            PellarosOS[i]->setStatus(false);
            cmdSetVoltage[i]->setEnabled(false);
            txtSP[i]->setEnabled(false);
            cmdInc[i]->setEnabled(false);
            cmdDec[i]->setEnabled(false);
            setMessage(k, kModuleOff, Red);
            PellarosMG[i]->setStatus(false);
            PellarosGlobalDC->setStatus(false);
            PellarosErrorPicture->setStatus(false);
            if (metersZeroWhenOff) {
                PellarosDisplay[i]->TextValue(1, QStringLiteral("0"));
                PellarosDisplayCurr[i]->TextValue(1, QStringLiteral("0"));
            }
            continue;
        }
        PellarosOS[i]->setStatus(true);
        // In monitor mode the set-point controls stay as monitor mode locked them.
        if (interactive) {
            PellarosOS[i]->setEnable(true);
            cmdSetVoltage[i]->setEnabled(true);
            txtSP[i]->setEnabled(true);
            cmdInc[i]->setEnabled(true);
            cmdDec[i]->setEnabled(true);
        }
        PellarosMG[i]->setStatus(true);
        kivo::desktop::letEventsRun();
        if (!IsNumeric(VLH[i]->text())) {
            continue;
        }
        const std::optional<bool> good =
            limitTest(VLL[i]->text(), VLH[i]->text(), PellarosDisplay[i]->strValue());
        if (good == true) {
            setMessage(k, kModuleGood, Green);
            PellarosMG[i]->setStatus(true);
        } else {
            setMessage(k, QStringLiteral("Out of Limits Voltage"), Red);
            PellarosMG[i]->setStatus(false);
            PellarosGlobalDC->setStatus(false);
        }
        if (digit(G::ModuleGoodBits, k) == QStringLiteral("0")) {
            setMessage(k, OutputFault, Red);
            PellarosMG[i]->setStatus(false);
            PellarosGlobalDC->setStatus(false);
        }
    }
}

void MonitorForm::readDelaysAndArmTimers()
{
    std::array<QString, 6> delays{};
    openPort();
    for (int k = 1; k <= 5; ++k) {
        if (digit(G::PresentModuleBits, k) != QStringLiteral("1")) {
            continue;
        }
        std::int16_t slot = static_cast<std::int16_t>(k);
        std::int32_t delay = 0;
        const QString result =
            link("GetOutputTurnONDelayExUShort", m_unitId.toStdString(), byRef(slot), byRef(delay));
        kivo::desktop::letEventsRun();
        if (G::IsCmdOk(result)) {
            delays[static_cast<std::size_t>(k)] = QString::number(delay);
        } else {
            G::LogError(QStringLiteral("Error in GetOutputTurnONDelay in Unit  %1 and Module %2")
                            .arg(m_unitId)
                            .arg(k));
            G::LastErrorText =
                QStringLiteral("Error in GetOutputTurnONDelay in Unit %1 and Module %2 %3")
                    .arg(m_unitId)
                    .arg(k)
                    .arg(result);
        }
    }
    closePort();
    for (int k = 1; k <= 5; ++k) {
        tmrMod[static_cast<std::size_t>(k)]->stop();
    }
    for (int k = 1; k <= 5; ++k) {
        const auto i = static_cast<std::size_t>(k);
        const QString delay = Trim(delays[i]);
        if (delay.isEmpty() || delay == QStringLiteral("0") || Val(delay) < 1) {
            continue;
        }
        const QString caption = MMessage[i]->text();
        if (caption == kNotPresent || caption == kModuleGood) {
            continue;
        }
        tmrMod[i]->setInterval(static_cast<int>(Val(delay)));
        tmrMod[i]->start();
    }
}

bool MonitorForm::readOperatingHours()
{
    openPort();
    std::string hours;
    const QString result = link("GetOperatingHoursString", m_unitId.toStdString(), byRef(hours));
    const bool ok = G::IsCmdOk(result);
    closePort();
    if (!ok) {
        // The hours shown stay those last read; a failed read is not 0 hours.
        G::LogError(QStringLiteral("Error in GetOperatingHours in Unit  ") + m_unitId);
        G::LastErrorText =
            QStringLiteral("Error in GetOperatingHours in Unit ") + m_unitId + u' ' + result;
        return false;
    }
    const QString text = QString::fromStdString(hours);
    const Result<double> number = CDbl(text.isEmpty() ? QStringLiteral("0") : text);
    OH->setText(hoursText(static_cast<std::int64_t>(Round(number.valueOr(0)))));
    return true;
}

// ---- Recheck timers and the module-good byte
// ------------------------------------------------------

void MonitorForm::recheckTick(int slot)
{
    QTimer* timer = tmrMod.at(static_cast<std::size_t>(slot));
    if (LinkInUse::taken()) {
        // Another action has the port: try again shortly rather than lose the recheck.
        timer->setInterval(RecheckRetryMs);
        timer->start();
        return;
    }
    timer->stop();
    if (Busy) {
        return;
    }
    const QString caption = MMessage[static_cast<std::size_t>(slot)]->text();
    if (caption == kNotPresent || caption == kModuleGood) {
        return;
    }
    LinkInUse guard(QStringLiteral("MonitorForm.tmrMod%1").arg(slot));
    refreshHoldingLink();
}

void MonitorForm::monitorGetModuleGoodStatusByte()
{
    static_cast<void>(readModuleGood());
}

bool MonitorForm::readModuleGood()
{
    Int16Array a(1, 8);
    const QString result = link("GetModuleGoodStatusByte", m_unitId.toStdString(), byRef(a));
    kivo::desktop::letEventsRun();
    G::ModuleGoodBits = bitString(a, 8);
    return result == kOk;
}

// ---- Switching
// -----------------------------------------------------------------------------------

void MonitorForm::PellarosOS_MouseClick(int slot)
{
    asDeviceAction(
        "PellarosOS", [this, slot] { switchModule(slot); },
        [this, slot] { PellarosOS[static_cast<std::size_t>(slot)]->setEnable(true); });
}

void MonitorForm::switchModule(int slot)
{
    const auto i = static_cast<std::size_t>(slot);
    PellarosOS[i]->setEnable(false);
    INI::SetBusyState(1);
    UnitList->setEnabled(false);
    cmdInc[i]->setEnabled(false);
    cmdDec[i]->setEnabled(false);
    cmdSetVoltage[i]->setEnabled(false);
    for (int k = 1; k <= 5; ++k) {
        cmdSetVoltage[static_cast<std::size_t>(k)]->setEnabled(false);
        PellarosOS[static_cast<std::size_t>(k)]->setEnable(false);
    }
    cmdComSettings->setEnabled(false);
    PellarosOutputOnOff->setEnable(false);
    for (QWidget* w : std::initializer_list<QWidget*>{cmdRefresh, cmdEeprom, cmdClose,
                                                      cmdSelectUnit, cmdErrorfile, Check1}) {
        w->setEnabled(false);
    }
    PellarosOS[i]->setStatus(!PellarosOS[i]->Status());
    if (G::SwitchEventsEnabled) {
        const std::string unit = m_unitId.toStdString();
        const std::int16_t module = static_cast<std::int16_t>(slot);
        openPort();
        const bool on = PellarosOS[i]->Status();
        if (!on) {
            PellarosMG[i]->setStatus(false);
            setMessage(slot, kModuleOff, Red);
        }
        const QString setResult =
            link("SetOutputState", unit, module, static_cast<std::int16_t>(on ? 1 : 0));
        if (!on) {
            txtSP[i]->setEnabled(false);
            cmdInc[i]->setEnabled(false);
            cmdDec[i]->setEnabled(false);
            cmdSetVoltage[i]->setEnabled(false);
        }
        G::Pause(0.1);
        std::int16_t current = 0;
        std::int16_t voltage = 0;
        link("MeasureOutputCurrent", unit, module, byRef(current));
        const QString voltageResult = link("MeasureOutputVoltage", unit, module, byRef(voltage));
        const clsScalability& scaling = G::moduleScaling(slot);
        if (scaling.VoltageScaleFactor == 0 || scaling.CurrentScaleFactor == 0) {
            // The switch went out; a module type without factors (the read logged it) only
            // leaves its meters without values, as the reads show it.
            PellarosDisplay[i]->TextValue(1, QString());
            PellarosDisplayCurr[i]->TextValue(1, QString());
        } else {
            PellarosDisplay[i]->TextValue(1, CStr(Round(voltage / scaling.VoltageScaleFactor, 2)));
            if (!PellarosOS[i]->Status()) {
                PellarosDisplayCurr[i]->TextValue(1, QStringLiteral("0"));
            } else {
                PellarosDisplayCurr[i]->TextValue(
                    1, CStr(Round(current / scaling.CurrentScaleFactor, 2)));
            }
        }
        if (setResult != kOk) {
            // The log keeps the name as users' logs have always spelled it.
            logSetFailure("SetOuputState", slot, setResult);
        }
        // One text for any failure of the sequence, as users know it.
        if (setResult != kOk || voltageResult != kOk) {
            desktop().msgBox(PortFailureText, vbCritical + vbOKOnly,
                             QStringLiteral("Kivo Monitor"));
            closePort();
            kivo::desktop::letEventsRun();
        }
        closePort();
        refreshHoldingLink();
        if (setResult != kOk) {
            setReady(ErrorText);
        }
    }
    UnitList->setEnabled(true);
    PellarosOutputOnOff->setEnable(true);
    PellarosGroupOnOff->setEnable(true);
    for (QWidget* w :
         std::initializer_list<QWidget*>{cmdSelectUnit, cmdErrorfile, cmdClose, cmdRefresh,
                                         cmdEeprom, cmdClear, Check1, cmdComSettings}) {
        w->setEnabled(true);
    }
    // The file name stays locked while autosave writes to it.
    txtFileName->setEnabled(!Check2->isChecked());
    INI::SetBusyState(0);
    PellarosOS[i]->setEnable(true);
}

void MonitorForm::logSetFailure(const char* operation, int slot, const QString& status)
{
    const QString name = QString::fromLatin1(operation);
    G::LogError(
        QStringLiteral("Error in %1 in Unit  %2 and Module %3").arg(name, m_unitId).arg(slot));
    G::LastErrorText = QStringLiteral("Error in %1 in Unit %2 and Module %3 %4")
                           .arg(name, m_unitId)
                           .arg(slot)
                           .arg(status);
}

void MonitorForm::PellarosOutputOnOff_MouseClick()
{
    asDeviceAction(
        "PellarosOutputOnOff", [this] { switchAllOutputs(); },
        [this] { PellarosOutputOnOff->setEnable(true); });
}

void MonitorForm::switchAllOutputs()
{
    PellarosOutputOnOff->setEnable(false);
    INI::SetBusyState(1);
    progressbar1->show();
    progressbar1->setValue(2);
    PellarosOutputOnOff->setStatus(!PellarosOutputOnOff->Status());
    const bool on = PellarosOutputOnOff->Status();
    if (!on) {
        for (int k = 1; k <= 5; ++k) {
            const auto i = static_cast<std::size_t>(k);
            setBlank(k);
            VLH[i]->setText(QStringLiteral("-"));
            VLL[i]->setText(QStringLiteral("-"));
            CL[i]->setText(QStringLiteral("-"));
        }
    }
    for (int k = 1; k <= 5; ++k) {
        const auto i = static_cast<std::size_t>(k);
        cmdInc[i]->setEnabled(false);
        cmdDec[i]->setEnabled(false);
        PellarosOS[i]->setEnable(false);
        cmdSetVoltage[i]->setEnabled(false);
    }
    for (QWidget* w :
         std::initializer_list<QWidget*>{UnitList, cmdComSettings, cmdRefresh, cmdEeprom, cmdClose,
                                         cmdSelectUnit, cmdErrorfile, Check1}) {
        w->setEnabled(false);
    }
    if (G::SwitchEventsEnabled) {
        progressbar1->setValue(4);
        G::ErrorFlag = false;
        CurrentUnit = std::make_shared<KivoData>();
        openPort();
        CurrentUnit->SetGlobalOutputState(CInt(m_unitId).value(), on ? 1 : 0);
        closePort();
        progressbar1->setValue(6);
        G::Pause(0.1);
        progressbar1->setValue(8);
        G::Pause(0.1);
        progressbar1->setValue(9);
        G::Pause(0.1);
        if (G::ErrorFlag) {
            PellarosErrorPicture->setStatus(false);
            cmdSelectUnit->setEnabled(true);
            INI::SetBusyState(0);
            desktop().msgBox(QStringLiteral("ERROR ! PLEASE CHECK ") + G::ErrorLogPath +
                                 QStringLiteral(" FOR DETAILS"),
                             vbOKOnly, G::ProgramTitle);
            // The window stays usable rather than wait for a selection with every command
            // locked; a selection or a refresh shows what the unit did.
            PellarosOutputOnOff->setEnable(true);
            enableInteractiveCommands();
            Check1->setEnabled(G::UnitSelected);
            progressbar1->setValue(0);
            progressbar1->hide();
            setReady(ErrorText);
            return;
        }
        progressbar1->show();
        progressbar1->setValue(10);
        setReady(PleaseWait);
        G::Pause(0.1);
        progressbar1->setValue(15);
        G::Pause(0.1);
        if (txtSP[1]->text() == QStringLiteral("0")) {
            selectHoldingLink();
            return;
        }
        for (int value : {20, 24, 31, 33, 40, 45}) {
            progressbar1->setValue(value);
            G::Pause(0.1);
        }
        refreshHoldingLink();
        progressbar1->show();
        if (!on) {
            for (int k = 1; k <= 5; ++k) {
                txtSP[static_cast<std::size_t>(k)]->setText(QStringLiteral("0"));
            }
        }
    }
    progressbar1->show();
    progressbar1->setValue(88);
    if (on) {
        for (QWidget* w :
             std::initializer_list<QWidget*>{UnitList, cmdRefresh, cmdEeprom, cmdClose,
                                             cmdSelectUnit, cmdErrorfile, Check1, cmdComSettings}) {
            w->setEnabled(true);
        }
    } else {
        for (int k = 1; k <= 5; ++k) {
            const auto i = static_cast<std::size_t>(k);
            cmdInc[i]->setEnabled(false);
            cmdDec[i]->setEnabled(false);
            txtSP[i]->setEnabled(false);
            cmdSetVoltage[i]->setEnabled(false);
            PellarosOS[i]->setEnable(false);
        }
        for (QWidget* w : std::initializer_list<QWidget*>{cmdRefresh, cmdEeprom, cmdClose,
                                                          cmdErrorfile, Check1}) {
            w->setEnabled(false);
        }
        cmdSelectUnit->setEnabled(true);
        PellarosGlobalDC->setStatus(false);
    }
    progressbar1->setValue(90);
    updateErrorPicture();
    for (int k = 1; k <= 5; ++k) {
        if (G::ModulePresence[static_cast<std::size_t>(k)] == QStringLiteral("0")) {
            setMessage(k, kNotPresent, Black);
        }
    }
    PellarosOutputOnOff->setEnable(true);
    progressbar1->setValue(0);
    progressbar1->hide();
    cmdClose->setEnabled(true);
    INI::SetBusyState(0);
    cmdEeprom->setEnabled(true);
    ArmRecheckTimers = false;
}

void MonitorForm::GOutputBtn_Click()
{
    unitButton(GOutputBtn, true);
}

void MonitorForm::GroupBtn_Click()
{
    unitButton(GroupBtn, false);
}

void MonitorForm::unitButton(QPushButton* button, bool globalOutput)
{
    if (!UnitChosen) {
        desktop().msgBox(QStringLiteral("Please Select Unit First"), vbOKOnly, G::ProgramTitle);
        return;
    }
    LinkInUse guard(globalOutput ? QStringLiteral("MonitorForm.GOutputBtn")
                                 : QStringLiteral("MonitorForm.GroupBtn"));
    if (!guard) {
        return;
    }
    try {
        G::ErrorFlag = false;
        CurrentUnit = std::make_shared<KivoData>();
        // The first click after the window was created sends 0: the design caption "Off" is
        // not "OFF", and users know the button by that.
        const bool sendOff = button->text() != QStringLiteral("OFF");
        const std::int16_t state = sendOff ? 0 : 1;
        const std::int16_t unit = CInt(m_unitId).value();
        openPort();
        if (globalOutput) {
            CurrentUnit->SetGlobalOutputState(unit, state);
        } else {
            CurrentUnit->SetGroupState(unit, state);
        }
        closePort();
        if (!G::ErrorFlag) {
            button->setText(sendOff ? QStringLiteral("OFF") : QStringLiteral("ON"));
        }
        button->repaint();
        if (G::ErrorFlag) {
            PellarosErrorPicture->setStatus(false);
            desktop().msgBox(QStringLiteral("ERROR ! PLEASE CHECK ") + G::ErrorLogPath +
                                 QStringLiteral(" FOR DETAILS"),
                             vbOKOnly, G::ProgramTitle);
        }
    } catch (const std::exception& failure) {
        recover(globalOutput ? "GOutputBtn" : "GroupBtn", QString::fromStdString(failure.what()));
    }
}

// ---- Set points
// ----------------------------------------------------------------------------------

void MonitorForm::cmdInc_Click(int slot)
{
    stepSetPoint(slot, true);
}

void MonitorForm::cmdDec_Click(int slot)
{
    stepSetPoint(slot, false);
}

void MonitorForm::stepSetPoint(int slot, bool up)
{
    if (LinkInUse::taken()) {
        return; // the apply it may lead to could not reach the port
    }
    try {
        const auto i = static_cast<std::size_t>(slot);
        const clsScalability& scaling = G::moduleScaling(slot);
        const double step =
            CDbl(QStringLiteral("0") + G::DecimalSeparator + QStringLiteral("01")).valueOr(0.01);
        if (!IsNumeric(txtSP[i]->text())) {
            desktop().msgBox(QStringLiteral("Invalid Value!, Should be between ") +
                                 CStr(scaling.MinVoltage) + QStringLiteral(" and ") +
                                 CStr(scaling.MaxVoltage),
                             vbInformation + vbOKOnly, kDravon);
            return;
        }
        const double now = CDbl(txtSP[i]->text()).value();
        txtSP[i]->setText(KivoData::FormatDecimals(CStr(up ? now + step : now - step)));
        const double v = CDbl(txtSP[i]->text()).value();
        if (scaling.MinVoltage <= v && v <= scaling.MaxVoltage) {
            cmdSetVoltage_Click(slot);
            return;
        }
        G::SliderDragging = false;
        if (v > scaling.MaxVoltage) {
            if (up) {
                txtSP[i]->setText(KivoData::FormatDecimals(CStr(v - step)));
            } else {
                txtSP[i]->setText(KivoData::FormatDecimals(CStr(scaling.MaxVoltage)));
                cmdSetVoltage_Click(slot);
            }
        } else {
            if (up) {
                txtSP[i]->setText(KivoData::FormatDecimals(CStr(scaling.MinVoltage)));
                cmdSetVoltage_Click(slot);
            } else {
                txtSP[i]->setText(KivoData::FormatDecimals(CStr(v + step)));
            }
        }
        G::SliderDragging = true;
    } catch (const std::exception& failure) {
        recover(up ? "cmdInc" : "cmdDec", QString::fromStdString(failure.what()));
    }
}

void MonitorForm::cmdSetVoltage_Click(int slot)
{
    asDeviceAction(
        "cmdSetVoltage", [this, slot] { applySetPoint(slot); },
        [this] {
            for (int k = 1; k <= 5; ++k) {
                PellarosOS[static_cast<std::size_t>(k)]->setEnable(!Check1->isChecked());
            }
        });
}

void MonitorForm::enableSetPointControls()
{
    // The set-point controls of the slots whose output is on, and every switch.
    for (int k = 1; k <= 5; ++k) {
        const auto j = static_cast<std::size_t>(k);
        if (digit(G::OutputStates, k) == QStringLiteral("1")) {
            cmdSetVoltage[j]->setEnabled(true);
            cmdInc[j]->setEnabled(true);
            cmdDec[j]->setEnabled(true);
        }
        PellarosOS[j]->setEnable(true);
    }
}

void MonitorForm::applySetPoint(int slot)
{
    const auto i = static_cast<std::size_t>(slot);
    INI::SetBusyState(1);
    for (int k = 1; k <= 5; ++k) {
        const auto j = static_cast<std::size_t>(k);
        cmdSetVoltage[j]->setEnabled(false);
        PellarosOS[j]->setEnable(false);
        cmdInc[j]->setEnabled(false);
        cmdDec[j]->setEnabled(false);
    }
    openPort();
    const clsScalability& scaling = G::moduleScaling(slot);
    const double v = CDbl(txtSP[i]->text()).value();
    bool outOfRange = false;
    if (v < scaling.MinVoltage || v > scaling.MaxVoltage) {
        closePort();
        desktop().msgBox(CStr(v) +
                             QStringLiteral(" is Invalid Voltage Setpoint Value!, Should be "
                                            "between ") +
                             CStr(scaling.MinVoltage) + QStringLiteral(" and ") +
                             CStr(scaling.MaxVoltage),
                         vbInformation + vbOKOnly, kDravon);
        txtSP[i]->setEnabled(true);
        outOfRange = true;
    } else {
        kivo::desktop::letEventsRun();
        kivo::desktop::letEventsRun();
        if (scaling.VoltageScaleFactor == 0 || scaling.CurrentScaleFactor == 0) {
            // Nothing is sent: 0 counts would set the output to 0 V.
            throw RunTimeFailure("Division by zero");
        }
        std::int16_t counts = setPointCounts(v, scaling.VoltageScaleFactor);
        const std::string unit = m_unitId.toStdString();
        const std::int16_t module = static_cast<std::int16_t>(slot);
        const QString setResult = link("SetOutputVoltageSetpoint", unit, module, byRef(counts));
        std::int16_t current = 0;
        std::int16_t voltage = 0;
        link("MeasureOutputCurrent", unit, module, byRef(current));
        const QString voltageResult = link("MeasureOutputVoltage", unit, module, byRef(voltage));
        const QString volts =
            KivoData::FormatDecimals(CStr(Round(voltage / scaling.VoltageScaleFactor, 2)));
        const QString amps =
            KivoData::FormatDecimals(CStr(Round(current / scaling.CurrentScaleFactor, 2)));
        PellarosDisplay[i]->TextValue(1, volts);
        PellarosDisplayCurr[i]->TextValue(1, amps);
        if (setResult != kOk) {
            logSetFailure("SetOutputVoltageSetpoint", slot, setResult);
        }
        if (setResult != kOk || voltageResult != kOk) {
            desktop().msgBox(PortFailureText, vbCritical + vbOKOnly,
                             QStringLiteral("Kivo Monitor"));
            kivo::desktop::letEventsRun();
        }
        kivo::desktop::letEventsRun();
        kivo::desktop::letEventsRun();
        Int16Array a(1, 8);
        const QString statesResult = link("GetOutputState", unit, byRef(a));
        G::OutputStates = bitString(a, 5);
        const bool goodRead = readModuleGood();
        closePort();
        const bool statesRead = statesResult == kOk && goodRead;
        if (statesRead) {
            PellarosGlobalDC->setStatus(true);
            if (!G::ModuleTypeRead) {
                G::OutputStates = QStringLiteral("00000000");
            }
            panelPass(true);
            updateErrorPicture();
        } else {
            G::LogError(QStringLiteral("Error in GetOutputState for Unit ") + m_unitId);
        }
        progressbar1->setValue(90);
        setReady(PleaseWait);
        // Only a set point the unit took is the one last applied.
        if (setResult == kOk) {
            for (int k = 1; k <= 5; ++k) {
                const auto j = static_cast<std::size_t>(k);
                LastSetPoint[j] = CDbl(txtSP[j]->text()).value();
            }
        }
        INI::SetBusyState(0);
        enableSetPointControls();
        if (cmdSetVoltage[i]->isEnabled()) {
            cmdSetVoltage[i]->setFocus();
        }
        setReady(setResult == kOk && voltageResult == kOk && statesRead ? ReadyText : ErrorText);
        return;
    }
    // The common end after an out-of-range value.
    INI::SetBusyState(0);
    enableSetPointControls();
    setReady(ReadyText);
    if (outOfRange) {
        txtSP[i]->setFocus();
        txtSP[i]->setSelection(0, static_cast<int>(txtSP[i]->text().size()));
    }
}

void MonitorForm::txtSP_KeyPress(int slot, std::int16_t& keyAscii)
{
    static_cast<void>(slot);
    G::NumericKeyFilter(keyAscii);
}

void MonitorForm::txtSP_KeyDown(int slot, int keyCode, int shift)
{
    static_cast<void>(shift);
    if (keyCode != 13) {
        return;
    }
    QLineEdit* box = txtSP.at(static_cast<std::size_t>(slot));
    box->setText(KivoData::FormatDecimals(box->text()));
    cmdSetVoltage_Click(slot);
}

void MonitorForm::txtSP_LostFocus(int slot)
{
    const auto i = static_cast<std::size_t>(slot);
    const std::initializer_list<QWidget*> commands{cmdRefresh, Check1, cmdSelectUnit, cmdClose,
                                                   cmdHelp};
    // What a handler that has the port disabled stays as that handler leaves it.
    if (LinkInUse::taken()) {
        return;
    }
    for (QWidget* w : commands) {
        w->setEnabled(false);
    }
    if (!IsNumeric(txtSP[i]->text())) {
        desktop().msgBox(QStringLiteral("Please enter numeric value."), vbInformation + vbOKOnly,
                         kDravon);
        txtSP[i]->setFocus();
    } else {
        txtSP[i]->setText(KivoData::FormatDecimals(txtSP[i]->text()));
        if (CDbl(txtSP[i]->text()).value() != LastSetPoint[i]) {
            cmdSetVoltage_Click(slot);
        }
    }
    for (QWidget* w : commands) {
        w->setEnabled(true);
    }
}

// ---- Timed monitoring
// ----------------------------------------------------------------------------

void MonitorForm::Check1_Click()
{
    LinkInUse guard(QStringLiteral("MonitorForm.Check1"));
    if (!guard) {
        // The mode cannot change while another action has the port.
        const QSignalBlocker blocker(Check1);
        Check1->setChecked(!Check1->isChecked());
        return;
    }
    try {
        INI::SetBusyState(1);
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
    LinkInUse guard(QStringLiteral("MonitorForm.Timer2"));
    try {
        logTick();
    } catch (const std::exception& failure) {
        recover("Timer2", QString::fromStdString(failure.what()));
        desktop().msgBox(QString::fromStdString(failure.what()), vbCritical + vbOKOnly,
                         G::ProgramTitle);
    }
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
    const QString unitText = Trim(UnitList->currentText());
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
        txtFileName->setEnabled(!Check1->isChecked());
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
    Check2->setChecked(false);
    Check2_Click();
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
