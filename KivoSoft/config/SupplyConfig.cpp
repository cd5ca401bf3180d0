// The window's controls, its load and unload, its fixed size, the navigation buttons and the
// restart notice.
#include "KivoSoft/config/SupplyConfig.h"

#include "KivoSoft/config/SupplyConfigShared.h"
#include "KivoSoft/config/UnitIdUtilities.h"
#include "KivoSoft/config/frmModuleGrouping.h"
#include "KivoSoft/controls/Twips.h"
#include "KivoSoft/model/DeviceLink.h"
#include "KivoSoft/model/INI.h"
#include "KivoSoft/model/KivoGlobals.h"
#include "KivoSoft/model/LinkInUse.h"
#include "KivoSoft/shell/CommParamsForm.h"
#include "KivoSoft/shell/Forms.h"
#include "KivoSoft/shell/MainForm.h"
#include "platform/desktop/desktop.h"
#include "platform/desktop/entry_fields.h"
#include "platform/desktop/let_events_run.h"
#include "platform/desktop/window_rules.h"

#include <QCloseEvent>
#include <QPainter>
#include <QPixmap>

namespace KivoSoft {

namespace G = KivoGlobals;
using namespace config;

namespace {

template <class Control> Control* make(QWidget* parent, const QString& name, const QRect& where)
{
    auto* control = new Control(parent);
    control->setObjectName(name);
    control->setGeometry(where);
    return control;
}

QString indexed(const char* name, int index)
{
    return QStringLiteral("%1(%2)").arg(QLatin1StringView(name)).arg(index);
}

QLabel* label(QWidget* parent, const QString& name, const QString& text, const QRect& where)
{
    auto* control = make<QLabel>(parent, name, where);
    control->setText(text);
    return control;
}

QPushButton* button(QWidget* parent, const QString& name, const QString& text, const QRect& where)
{
    auto* control = make<QPushButton>(parent, name, where);
    control->setText(text);
    return control;
}

QGroupBox* frame(QWidget* parent, const QString& name, const QString& title, const QRect& where)
{
    auto* control = make<QGroupBox>(parent, name, where);
    control->setTitle(title);
    return control;
}

QRadioButton* option(QWidget* parent, const QString& name, const QString& text, const QRect& where)
{
    auto* control = make<QRadioButton>(parent, name, where);
    control->setText(text);
    return control;
}

QLineEdit* box(QWidget* parent, const QString& name, const QRect& where, bool readOnly = false)
{
    auto* control = make<QLineEdit>(parent, name, where);
    control->setReadOnly(readOnly);
    if (readOnly) {
        control->setFocusPolicy(Qt::NoFocus);
    }
    return control;
}

// The monitor button's picture: a small screen with a trace on it.
QIcon monitorPicture()
{
    QPixmap picture(28, 24);
    picture.fill(Qt::transparent);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(60, 60, 60), 1.5));
    painter.setBrush(QColor(30, 60, 90));
    painter.drawRoundedRect(QRectF(2, 2, 24, 16), 2, 2);
    painter.setPen(QPen(QColor(120, 255, 120), 1.5));
    painter.drawPolyline(QPolygonF({QPointF(5, 12), QPointF(10, 12), QPointF(12, 6),
                                    QPointF(15, 15), QPointF(17, 10), QPointF(23, 10)}));
    painter.setPen(QPen(QColor(60, 60, 60), 2));
    painter.drawLine(QPointF(14, 18), QPointF(14, 21));
    painter.drawLine(QPointF(8, 22), QPointF(20, 22));
    return QIcon(picture);
}

const char* const kActivationTimes[] = {"0", "250", "500", "1000", "2000"};
const char* const kResetTimes[] = {"250", "500", "1000", "2000", "5000"};

} // namespace

int SupplyConfig::startupFrameIndex(int m)
{
    static const int k[] = {0, 4, 6, 9, 11, 13};
    return k[m];
}

int SupplyConfig::polarityFrameIndex(int m)
{
    static const int k[] = {0, 5, 7, 8, 9, 10};
    return k[m];
}

int SupplyConfig::delayLabelIndex(int m)
{
    static const int k[] = {0, 5, 8, 13, 15, 17};
    return k[m];
}

int SupplyConfig::delayUnitLabelIndex(int m)
{
    static const int j[] = {0, 6, 8, 13, 15, 17};
    return j[m];
}

SupplyConfig::SupplyConfig(QWidget* parent) : QWidget(parent), m_checks(new FieldChecks(this))
{
    setObjectName(QStringLiteral("SupplyConfig"));
    setWindowTitle(Caption);
    // The window was laid out for a small dialog font.
    QFont small = font();
    small.setPointSizeF(small.pointSizeF() * 0.9);
    setFont(small);
    buildFrame();
    buildUnitOptions();
    // Tab t shows module 5 - t: the tabs are added from module 5 down.
    for (int m = 5; m >= 1; --m) {
        buildModuleTab(m);
    }
    connectHandlers();
    orderTabChain();
    designState();
    setFixedSize(twipsToPixels(WidthTwips), twipsToPixels(CollapsedHeightTwips));
}

SupplyConfig::~SupplyConfig() = default;

// ---- Building the window
// ------------------------------------------------------------------------

void SupplyConfig::buildFrame()
{
    lblMain = label(this, "lblMain", {}, QRect(8, 4, 420, 22));
    QFont heading = lblMain->font();
    heading.setBold(true);
    lblMain->setFont(heading);

    UnitList = make<PickOnlyList>(this, "UnitList", QRect(8, 32, 56, 26));
    UnitList->setToolTip(QStringLiteral("Select power supply Id number"));
    // Its name while it shows no unit yet; once it shows one, that unit names it.
    UnitList->setAccessibleName(QStringLiteral("Unit ID"));
    SelectButton = button(this, "SelectButton", QStringLiteral("&Start"), QRect(68, 31, 84, 28));
    Cancel = button(this, "Cancel", QStringLiteral("&Close"), QRect(156, 31, 84, 28));
    cmdMonitor = make<QToolButton>(this, "cmdMonitor", QRect(244, 29, 36, 32));
    cmdMonitor->setIcon(monitorPicture());
    cmdMonitor->setIconSize(QSize(28, 24));
    cmdMonitor->setToolTip(QStringLiteral("Show interactive program"));
    cmdMonitor->setAccessibleName(QStringLiteral("Monitor"));
    ErrorButton = button(this, "ErrorButton", QStringLiteral("Error File"), QRect(284, 31, 80, 28));
    cmdModuleNumbering =
        button(this, "cmdModuleNumbering", QStringLiteral("Help"), QRect(368, 31, 80, 28));
    cmdModuleNumbering->setToolTip(QStringLiteral("Click to view Help"));
    cmdComSettings = button(this, "cmdComSettings", {}, QRect(8, 64, 440, 28));
    cmdComSettings->setToolTip(QStringLiteral("Port Communication settings"));

    Frame1 = frame(this, "Frame1", QStringLiteral("Utilities"), QRect(8, 96, 440, 68));
    cmdDetectUnitID =
        button(Frame1, "cmdDetectUnitID", QStringLiteral("Detect Unit ID"), QRect(8, 28, 116, 30));
    cmdDetectUnitID->setToolTip(QStringLiteral("Detect unit ID of any power supply"));
    cmdChangeToNewUnitID = button(Frame1, "cmdChangeToNewUnitID",
                                  QStringLiteral("Change to New Unit ID"), QRect(130, 28, 158, 30));
    cmdChangeToNewUnitID->setToolTip(QStringLiteral("Change unit ID of any power supply"));
    cmdDllFileVersion = button(Frame1, "cmdDllFileVersion", QStringLiteral("Dll file Version"),
                               QRect(294, 28, 138, 30));
    cmdDllFileVersion->setToolTip(
        QStringLiteral("Check Dll version used to communicate through Communication port"));

    PellarosTx = make<PellarosLed>(this, "PellarosTx", QRect(454, 12, 18, 18));
    PellarosRx = make<PellarosLed>(this, "PellarosRx", QRect(454, 40, 18, 18));
    label(this, "LabelTx", QStringLiteral("Tx"), QRect(474, 12, 20, 18))->setBuddy(PellarosTx);
    label(this, "LabelRx", QStringLiteral("Rx"), QRect(474, 40, 20, 18))->setBuddy(PellarosRx);
    PellarosTx->setAccessibleName(QStringLiteral("Tx"));
    PellarosRx->setAccessibleName(QStringLiteral("Rx"));
    RichTextBox1 = make<QTextEdit>(this, "RichTextBox1", QRect(498, 6, 284, 158));
    RichTextBox1->setReadOnly(true);
    RichTextBox1->setToolTip(QStringLiteral("Communication window"));
    RichTextBox1->setAccessibleName(QStringLiteral("Communication window"));
    QFont small = RichTextBox1->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    RichTextBox1->setFont(small);

    // The unit's identity, shown by a read.
    FieldsFrame[1] = frame(this, indexed("FieldsFrame", 1), QStringLiteral("Power Supply"),
                           QRect(8, 170, 322, 80));
    QGroupBox* identity = FieldsFrame[1];
    Label1 = label(identity, "Label1", QStringLiteral("Unit ID:"), QRect(8, 24, 56, 22));
    PSID = box(identity, "PSID", QRect(66, 22, 44, 24), true);
    Label3 = label(identity, "Label3", QStringLiteral("Serial No.:"), QRect(120, 24, 70, 22));
    SerialNumber = box(identity, "SerialNumber", QRect(192, 22, 120, 24), true);
    Label7 = label(identity, "Label7", QStringLiteral("Firmware Version:"), QRect(8, 52, 112, 22));
    MajVersion = box(identity, "MajVersion", QRect(122, 50, 40, 24), true);
    Label4 = label(identity, "Label4", QStringLiteral("."), QRect(164, 52, 8, 22));
    MinVersion = box(identity, "MinVersion", QRect(174, 50, 40, 24), true);
    Label1->setBuddy(PSID);
    Label3->setBuddy(SerialNumber);
    Label7->setBuddy(MajVersion);
    MinVersion->setAccessibleName(QStringLiteral("Firmware Version: minor"));

    // The parameter file: created hidden, never shown by this window.
    Frame6 = frame(this, "Frame6", QStringLiteral("File Options"), QRect(8, 470, 150, 90));
    Save = button(Frame6, "Save", QStringLiteral("Save..."), QRect(10, 24, 130, 28));
    Load = button(Frame6, "Load", QStringLiteral("Load..."), QRect(10, 56, 130, 28));

    Frame7 = frame(this, "Frame7", QStringLiteral("Group"), QRect(8, 472, 150, 64));
    cmdModueGrouping =
        button(Frame7, "cmdModueGrouping", QStringLiteral("Module Groups"), QRect(10, 26, 130, 30));
    cmdModueGrouping->setToolTip(QStringLiteral("Group Modules"));
    lblModulesOFF = label(this, "lblModulesOFF", {}, QRect(8, 540, 322, 22));
    lblModulesOFF->setStyleSheet(QStringLiteral("color: rgb(192, 0, 0);"));
}

void SupplyConfig::buildUnitOptions()
{
    Frame5 = frame(this, "Frame5", QStringLiteral("Global Options"), QRect(8, 254, 322, 212));
    struct Pair {
        int frame;
        const char* title;
        std::array<QRadioButton*, 2>* buttons;
        const char* name;
        const char* first;
        const char* second;
        QRect where;
    };
    const Pair pairs[] = {
        {0, "Fan Fail", &optFanFail, "optFanFail", "Low on Fail", "High on Fail",
         QRect(8, 20, 148, 58)},
        {1, "Over Temperature", &optOverTemp, "optOverTemp", "Low on Fail", "High on Fail",
         QRect(164, 20, 148, 58)},
        {2, "Global DC Good", &optGlobalDC, "optGlobalDC", "High on Fail", "Low on Fail",
         QRect(8, 82, 148, 58)},
        {3, "Remote On/Off", &optGlobalOnOff, "optGlobalOnOff", "Normal (Inhibit)",
         "Inverted(Enable)", QRect(164, 82, 148, 58)},
        {6, "Global", &optGlobal, "optGlobal", "Normally On", "Normally Off",
         QRect(8, 144, 148, 58)},
    };
    for (const Pair& p : pairs) {
        QGroupBox* f =
            frame(Frame5, indexed("Frame4", p.frame), QString::fromLatin1(p.title), p.where);
        // Inside "Global Options" a frame would be named after the frame around it.
        f->setAccessibleName(f->title());
        Frame4[static_cast<std::size_t>(p.frame)] = f;
        (*p.buttons)[0] =
            option(f, indexed(p.name, 0), QString::fromLatin1(p.first), QRect(8, 18, 136, 18));
        (*p.buttons)[1] =
            option(f, indexed(p.name, 1), QString::fromLatin1(p.second), QRect(8, 36, 136, 18));
    }
    cmdApply = button(Frame5, "cmdApply", QStringLiteral("Apply"), QRect(172, 164, 132, 32));
    cmdApply->setAccessibleName(QStringLiteral("Apply Global Options"));

    // Kept for DisplayKivoOnForm; the frame is not among those a read shows.
    Frame10 = frame(this, "Frame10", QStringLiteral("On/Off Polarity"), QRect(170, 470, 160, 60));
    optOnOffPolarity[8] = option(Frame10, indexed("optOnOffPolarity", 8),
                                 QStringLiteral("Inverted (Inhibit)"), QRect(8, 18, 146, 18));
    optOnOffPolarity[9] = option(Frame10, indexed("optOnOffPolarity", 9),
                                 QStringLiteral("Normal (Enable)"), QRect(8, 36, 146, 18));

    cmdSave = button(this, "cmdSave", QStringLiteral("&Apply"), QRect(172, 486, 158, 36));
    cmdSave->setAccessibleName(QStringLiteral("Apply all"));

    SSTab1 = make<ModuleTabs>(this, "SSTab1", QRect(338, 170, 444, 392));
    SSTab1->tabBar()->setAccessibleName(QStringLiteral("Modules"));
    Text1 = box(this, "Text1", QRect(338, 564, 444, 2), true);
    Text1->setFrame(false);
}

void SupplyConfig::buildModuleTab(int m)
{
    const auto i = static_cast<std::size_t>(m);
    const int t = 5 - m;
    const auto ti = static_cast<std::size_t>(t);
    auto* page = new QWidget;
    page->setObjectName(indexed("ModuleTab", t));
    ModuleTab[ti] = page;

    // The range labels of slot m are elements m - 1; the Apply button is element t.
    const auto li = static_cast<std::size_t>(m - 1);
    lblMaxCurrent[li] = label(page, indexed("lblMaxCurrent", m - 1), {}, QRect(6, 4, 428, 18));
    QLabel* moduleLabel = label(page, {}, QStringLiteral("Module:"), QRect(6, 26, 50, 22));
    txtModuleID[i] = box(page, indexed("txtModuleID", m), QRect(56, 24, 104, 24), true);
    moduleLabel->setBuddy(txtModuleID[i]);
    QLabel* versionLabel = label(page, {}, QStringLiteral("Version:"), QRect(168, 26, 50, 22));
    txtVersionMajor[i] = box(page, indexed("txtVersionMajor", m), QRect(220, 24, 32, 24), true);
    versionLabel->setBuddy(txtVersionMajor[i]);
    TxtVersionMinor[i] = box(page, indexed("TxtVersionMinor", m), QRect(256, 24, 32, 24), true);
    TxtVersionMinor[i]->setAccessibleName(QStringLiteral("Version: minor"));
    QLabel* groupLabel = label(page, {}, QStringLiteral("Group:"), QRect(300, 26, 44, 22));
    GroupID[i] = box(page, indexed("GroupID", m), QRect(346, 24, 32, 24), true);
    groupLabel->setBuddy(GroupID[i]);

    QGroupBox* voltage = frame(page, indexed("FrameVoltage", m),
                               QStringLiteral("Output Voltage Settings"), QRect(4, 52, 250, 178));
    FrameVoltage[i] = voltage;
    QLabel* setPointLabel =
        label(voltage, {}, QStringLiteral("Voltage Setpoint"), QRect(8, 22, 100, 22));
    vsp[i] = box(voltage, indexed("vsp", m), QRect(156, 20, 50, 24));
    setPointLabel->setBuddy(vsp[i]);
    label(voltage, {}, QStringLiteral("Volts"), QRect(210, 22, 36, 22));
    slrVsp[i] = make<SetPointSlider>(voltage, indexed("slrVsp", m), QRect(8, 48, 234, 22));
    slrVsp[i]->setAccessibleName(QStringLiteral("Voltage Setpoint"));
    lblMinVoltage[li] = label(voltage, indexed("lblMinVoltage", m - 1), {}, QRect(8, 70, 110, 16));
    lblMaxVoltage[li] =
        label(voltage, indexed("lblMaxVoltage", m - 1), {}, QRect(132, 70, 110, 16));
    lblMaxVoltage[li]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    QLabel* highLabel =
        label(voltage, {}, QStringLiteral("Module Good High Limit:"), QRect(8, 92, 146, 22));
    hl[i] = box(voltage, indexed("hl", m), QRect(156, 90, 50, 24));
    highLabel->setBuddy(hl[i]);
    label(voltage, {}, QStringLiteral("Volts"), QRect(210, 92, 36, 22));
    QLabel* lowLabel =
        label(voltage, {}, QStringLiteral("Module Good Low Limit:"), QRect(8, 120, 146, 22));
    ll[i] = box(voltage, indexed("ll", m), QRect(156, 118, 50, 24));
    lowLabel->setBuddy(ll[i]);
    label(voltage, {}, QStringLiteral("Volts"), QRect(210, 120, 36, 22));
    cmdPreset[i] =
        button(voltage, indexed("cmdPreset", m), QStringLiteral("Preset"), QRect(8, 146, 80, 26));
    cmdTracking[i] = button(voltage, indexed("cmdTracking", m), QStringLiteral("Tracking"),
                            QRect(94, 146, 80, 26));

    const int a = 2 * m - 1;
    const int b = 2 * m;
    auto pair = [&](std::array<QRadioButton*, 11>& buttons, const char* name, QGroupBox* f,
                    const char* first, const char* second) {
        buttons[static_cast<std::size_t>(a)] =
            option(f, indexed(name, a), QString::fromLatin1(first), QRect(8, 17, 164, 16));
        buttons[static_cast<std::size_t>(b)] =
            option(f, indexed(name, b), QString::fromLatin1(second), QRect(8, 33, 164, 16));
    };
    QGroupBox* startup = frame(page, indexed("Frame3", startupFrameIndex(m)),
                               QStringLiteral("Startup State"), QRect(260, 52, 176, 52));
    Frame3[static_cast<std::size_t>(startupFrameIndex(m))] = startup;
    pair(optStartupState, "optStartupState", startup, "Normally On", "Normally Off");

    Label13[static_cast<std::size_t>(delayLabelIndex(m))] =
        label(page, indexed("Label13", delayLabelIndex(m)), QStringLiteral("Startup Delay:"),
              QRect(262, 108, 90, 22));
    startupdelay[i] = box(page, indexed("startupdelay", m), QRect(352, 106, 60, 24));
    Label13[static_cast<std::size_t>(delayLabelIndex(m))]->setBuddy(startupdelay[i]);
    Label9[static_cast<std::size_t>(delayUnitLabelIndex(m))] =
        label(page, indexed("Label9", delayUnitLabelIndex(m)), QStringLiteral("ms"),
              QRect(416, 108, 20, 22));

    QGroupBox* polarity = frame(page, indexed("Frame4", polarityFrameIndex(m)),
                                QStringLiteral("Enable/ Inhibit"), QRect(260, 132, 176, 52));
    Frame4[static_cast<std::size_t>(polarityFrameIndex(m))] = polarity;
    // Module 1's second caption ends in a blank, as it always has.
    pair(optPolarity, "optPolarity", polarity, "Normal (Logic1 Inhibit)",
         m == 1 ? "Inverted (Logic1 Enable) " : "Inverted (Logic1 Enable)");

    QGroupBox* programming =
        frame(page, indexed("FrameProgMode", m), QStringLiteral("Analog Programming Mode"),
              QRect(260, 186, 176, 52));
    FrameProgMode[i] = programming;
    pair(OptProgMode, "OptProgMode", programming, "Voltage Programming", "Resistance Programming");

    QGroupBox* modes = frame(page, indexed("FrameCurrentLimit", m),
                             QStringLiteral("Current Limit Mode"), QRect(4, 240, 212, 58));
    FrameCurrentLimit[i] = modes;
    const int normal = 3 * m - 2;
    optCurrentLimit[static_cast<std::size_t>(normal)] = option(
        modes, indexed("optCurrentLimit", normal), QStringLiteral("Normal"), QRect(8, 18, 88, 17));
    optCurrentLimit[static_cast<std::size_t>(normal + 1)] =
        option(modes, indexed("optCurrentLimit", normal + 1), QStringLiteral("Latching"),
               QRect(104, 18, 104, 17));
    optCurrentLimit[static_cast<std::size_t>(normal + 2)] =
        option(modes, indexed("optCurrentLimit", normal + 2), QStringLiteral("Hiccup"),
               QRect(8, 36, 88, 17));
    optCurrentLimit[static_cast<std::size_t>(15 + m)] =
        option(modes, indexed("optCurrentLimit", 15 + m), QStringLiteral("Current Share"),
               QRect(104, 36, 104, 17));

    LabelCurrentLimit[i] = label(page, indexed("LabelCurrentLimit", m),
                                 QStringLiteral("Current Limit:"), QRect(220, 246, 78, 22));
    CurrentLimit[i] = box(page, indexed("CurrentLimit", m), QRect(298, 244, 42, 24));
    LabelCurrentLimit[i]->setBuddy(CurrentLimit[i]);
    hscrollCurrentLimit[i] =
        make<QScrollBar>(page, indexed("hscrollCurrentLimit", m), QRect(344, 246, 92, 18));
    hscrollCurrentLimit[i]->setOrientation(Qt::Horizontal);
    hscrollCurrentLimit[i]->setAccessibleName(QStringLiteral("Current Limit"));
    lblMinCL[i] = label(page, indexed("lblMinCL", m), {}, QRect(344, 266, 16, 16));
    Label5[i] = label(page, indexed("Label5", m), {}, QRect(360, 266, 52, 16));
    Label5[i]->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    lblMaxCL[i] = label(page, indexed("lblMaxCL", m), {}, QRect(414, 266, 24, 16));
    for (QLabel* l : {lblMinCL[i], Label5[i], lblMaxCL[i]}) {
        QFont f = l->font();
        f.setPointSizeF(f.pointSizeF() * 0.85);
        l->setFont(f);
    }

    LabelActivationTime[i] = label(page, indexed("LabelActivationTime", m),
                                   QStringLiteral("Current Limit Delay:"), QRect(4, 306, 118, 22));
    // Each list is made editable at once: its edit field then follows it in the tab chain, which
    // the ordering of the chain relies on.
    auto timeList = [page](const char* name, int index, const QRect& where) {
        auto* list = make<QComboBox>(page, indexed(name, index), where);
        kivo::desktop::makeEditableList(list);
        // What the key filter lets be typed, so a paste can be held to it too.
        list->lineEdit()->setMaxLength(config::TimeTextLength);
        return list;
    };
    cboxActivationTime[i] = timeList("cboxActivationTime", m, QRect(122, 304, 72, 26));
    LabelAT[i] = label(page, indexed("LabelAT", m), QStringLiteral("ms"), QRect(198, 306, 20, 22));
    LabelResetTime[i] = label(page, indexed("LabelResetTime", m), QStringLiteral("Reset Time:"),
                              QRect(222, 306, 70, 22));
    cboxResetTime[i] = timeList("cboxResetTime", m, QRect(292, 304, 72, 26));
    LabelRT[i] = label(page, indexed("LabelRT", m), QStringLiteral("ms"), QRect(368, 306, 20, 22));
    EnableReset[i] = make<QCheckBox>(page, indexed("EnableReset", m), QRect(222, 306, 120, 22));
    EnableReset[i]->setText(QStringLiteral("Enable Reset"));
    kivo::desktop::labelField(*LabelActivationTime[i], *cboxActivationTime[i]);
    kivo::desktop::labelField(*LabelResetTime[i], *cboxResetTime[i]);
    for (const char* time : kActivationTimes) {
        cboxActivationTime[i]->addItem(QString::fromLatin1(time));
    }
    for (const char* time : kResetTimes) {
        cboxResetTime[i]->addItem(QString::fromLatin1(time));
    }

    cmdApplyCLM[ti] =
        button(page, indexed("cmdApplyCLM", t), QStringLiteral("A&pply"), QRect(356, 334, 80, 28));
    // Five tabs hold the same controls: the page and its Apply say which module they belong to.
    const QString caption = QStringLiteral("Module-%1").arg(m);
    page->setAccessibleName(caption);
    cmdApplyCLM[ti]->setAccessibleName(QStringLiteral("Apply ") + caption);
    SSTab1->addTab(page, caption);
}

void SupplyConfig::connectHandlers()
{
    // Controls the user cannot change raise nothing; every other reaction runs only once the
    // window is loaded, so the design state set at unload marks nothing.
    auto live = [this](auto handler) {
        return [this, handler](auto&&...) {
            if (m_loaded) {
                handler();
            }
        };
    };
    m_checks->guardClick(SelectButton, [this] { SelectButton_Click(); });
    m_checks->guardClick(Cancel, [this] { Cancel_Click(); });
    m_checks->guardClick(ErrorButton, [this] { ErrorButton_Click(); });
    m_checks->guardClick(cmdMonitor, [this] { cmdMonitor_Click(); });
    m_checks->guardClick(cmdModuleNumbering, [this] { cmdModuleNumbering_Click(); });
    m_checks->guardClick(cmdComSettings, [this] { cmdComSettings_Click(); });
    m_checks->guardClick(cmdDetectUnitID, [this] { cmdDetectUnitID_Click(); });
    m_checks->guardClick(cmdChangeToNewUnitID, [this] { cmdChangeToNewUnitID_Click(); });
    m_checks->guardClick(cmdDllFileVersion, [this] { cmdDllFileVersion_Click(); });
    // Tab from the last control of the collapsed window leads back to the unit list; Shift+Tab
    // and a click go where they point.
    new TabLeaveFilter(cmdDllFileVersion, [this] { cmdDllFileVersion_LostFocus(); });
    m_checks->guardClick(cmdModueGrouping, [this] { cmdModueGrouping_Click(); });
    m_checks->guardClick(cmdApply, [this] { cmdApply_Click(); });
    m_checks->guardClick(cmdSave, [this] { cmdSave_Click(); });
    m_checks->guardClick(Save, [this] { Save_Click(); });
    m_checks->guardClick(Load, [this] { Load_Click(); });
    connect(UnitList, &QComboBox::activated, this, live([this] { UnitList_Click(); }));
    // Leaving a module's tab leaves the field being edited on it: a refusal keeps the tab in
    // front, with the field and its message in sight.
    SSTab1->setMayLeave([this] {
        QWidget* editing = m_checks->current();
        QWidget* shown = SSTab1->currentWidget();
        return !editing || !shown || !shown->isAncestorOf(editing) || m_checks->leave();
    });

    auto onSelect = [&](QRadioButton* b, std::function<void()> handler) {
        connect(b, &QRadioButton::toggled, this, [this, handler](bool on) {
            if (on && m_loaded) {
                handler();
            }
        });
    };
    for (int k = 0; k < 2; ++k) {
        const auto ki = static_cast<std::size_t>(k);
        onSelect(optFanFail[ki], [this, k] { optFanFail_Click(k); });
        onSelect(optOverTemp[ki], [this, k] { optOverTemp_Click(k); });
        onSelect(optGlobalDC[ki], [this, k] { optGlobalDC_Click(k); });
        onSelect(optGlobal[ki], [this, k] { optGlobal_Click(k); });
        onSelect(optGlobalOnOff[ki], [this, k] { optGlobalOnOff_Click(k); });
    }
    for (int k = 1; k <= 10; ++k) {
        const auto ki = static_cast<std::size_t>(k);
        onSelect(optPolarity[ki], [this, k] { optPolarity_Click(k); });
        onSelect(OptProgMode[ki], [this, k] { OptProgMode_Click(k); });
        onSelect(optStartupState[ki], [this, k] { optStartupState_Click(k); });
    }
    for (int k = 1; k <= 20; ++k) {
        onSelect(optCurrentLimit[static_cast<std::size_t>(k)],
                 [this, k] { optCurrentLimit_Click(k); });
    }
    for (int t = 0; t < 5; ++t) {
        m_checks->guardClick(cmdApplyCLM[static_cast<std::size_t>(t)],
                             [this, t] { cmdApplyCLM_Click(t); });
    }

    for (int m = 1; m <= 5; ++m) {
        const auto i = static_cast<std::size_t>(m);
        connect(vsp[i], &QLineEdit::textChanged, this, live([this, m] { vsp_Change(m); }));
        connect(hl[i], &QLineEdit::textChanged, this, live([this, m] { hl_Change(m); }));
        connect(ll[i], &QLineEdit::textChanged, this, live([this, m] { ll_Change(m); }));
        connect(startupdelay[i], &QLineEdit::textChanged, this,
                live([this, m] { startupdelay_Change(m); }));
        connect(CurrentLimit[i], &QLineEdit::textChanged, this,
                live([this, m] { CurrentLimit_Change(m); }));
        connect(hscrollCurrentLimit[i], &QScrollBar::valueChanged, this,
                live([this, m] { hscrollCurrentLimit_Change(m); }));
        connect(slrVsp[i], &SetPointSlider::Click, this, live([this, m] { slrVsp_Click(m); }));
        connect(slrVsp[i], &SetPointSlider::Scroll, this, live([this, m] { slrVsp_Scroll(m); }));
        connect(slrVsp[i], &SetPointSlider::Change, this, [this, m](bool byUser) {
            if (m_loaded) {
                slrVsp_Change(m, byUser);
            }
        });
        connect(cboxActivationTime[i], &QComboBox::editTextChanged, this,
                live([this, m] { cboxActivationTime_Change(m); }));
        connect(cboxActivationTime[i], &QComboBox::activated, this,
                live([this, m] { cboxActivationTime_Change(m); }));
        connect(cboxResetTime[i], &QComboBox::editTextChanged, this,
                live([this, m] { cboxResetTime_Change(m); }));
        connect(cboxResetTime[i], &QComboBox::activated, this,
                live([this, m] { cboxResetTime_Change(m); }));
        connect(EnableReset[i], &QCheckBox::toggled, this,
                live([this, m] { EnableReset_Click(m); }));
        m_checks->guardClick(cmdPreset[i], [this, m] { cmdPreset_Click(m); });
        m_checks->guardClick(cmdTracking[i], [this, m] { cmdTracking_Click(m); });

        new KeyPressFilter(vsp[i], [this, m](std::int16_t& key) { vsp_KeyPress(m, key); });
        new KeyPressFilter(hl[i], [this, m](std::int16_t& key) { hl_KeyPress(m, key); });
        new KeyPressFilter(ll[i], [this, m](std::int16_t& key) { ll_KeyPress(m, key); });
        new KeyPressFilter(startupdelay[i],
                           [this, m](std::int16_t& key) { startupdelay_KeyPress(m, key); });
        new KeyPressFilter(CurrentLimit[i],
                           [this, m](std::int16_t& key) { CurrentLimit_KeyPress(m, key); });
        new KeyPressFilter(cboxActivationTime[i],
                           [this, m](std::int16_t& key) { cboxActivationTime_KeyPress(m, key); });
        new KeyPressFilter(cboxResetTime[i],
                           [this, m](std::int16_t& key) { cboxResetTime_KeyPress(m, key); });

        auto check = [](auto validate) {
            return [validate] {
                bool cancel = false;
                validate(cancel);
                return !cancel;
            };
        };
        m_checks->add(vsp[i], check([this, m](bool& c) { vsp_Validate(m, c); }),
                      [this, m] { vsp_LostFocus(m); });
        m_checks->add(hl[i], check([this, m](bool& c) { hl_Validate(m, c); }));
        m_checks->add(ll[i], check([this, m](bool& c) { ll_Validate(m, c); }));
        m_checks->add(startupdelay[i], check([this, m](bool& c) { startupdelay_Validate(m, c); }));
        m_checks->add(CurrentLimit[i], check([this, m](bool& c) { CurrentLimit_Validate(m, c); }));
        m_checks->add(cboxActivationTime[i],
                      check([this, m](bool& c) { cboxActivationTime_Validate(m, c); }),
                      [this, m] { cboxActivationTime_LostFocus(m); });
        m_checks->add(cboxResetTime[i], check([this, m](bool& c) { cboxResetTime_Validate(m, c); }),
                      [this, m] { cboxResetTime_LostFocus(m); });
    }
}

// The chains keep their hand-made lines, which follow the rows the controls lie in.
// clang-format off
void SupplyConfig::orderTabChain()
{
    setTabChain({UnitList, SelectButton, Cancel, cmdMonitor, ErrorButton, cmdModuleNumbering,
                 RichTextBox1, cmdComSettings, cmdDetectUnitID, cmdChangeToNewUnitID,
                 cmdDllFileVersion, optFanFail[0], optFanFail[1], optOverTemp[0], optOverTemp[1],
                 optGlobalDC[0], optGlobalDC[1], optGlobalOnOff[0], optGlobalOnOff[1], optGlobal[0],
                 optGlobal[1], cmdApply, optOnOffPolarity[8], optOnOffPolarity[9], Save, Load,
                 cmdModueGrouping, cmdSave, SSTab1->tabBar()});
    QWidget* last = SSTab1->tabBar();
    for (int t = 0; t < 5; ++t) {
        const int m = 5 - t;
        const auto i = static_cast<std::size_t>(m);
        const auto a = static_cast<std::size_t>(2 * m - 1);
        const auto normal = static_cast<std::size_t>(3 * m - 2);
        // The voltage frame on the left, the right column top down, then the current limit.
        setTabChain({last, vsp[i], slrVsp[i], hl[i], ll[i], cmdPreset[i], cmdTracking[i],
                     optStartupState[a], optStartupState[a + 1], startupdelay[i], optPolarity[a],
                     optPolarity[a + 1], OptProgMode[a], OptProgMode[a + 1],
                     optCurrentLimit[normal], optCurrentLimit[normal + 1],
                     optCurrentLimit[normal + 2], optCurrentLimit[static_cast<std::size_t>(15 + m)],
                     CurrentLimit[i], hscrollCurrentLimit[i], cboxActivationTime[i],
                     EnableReset[i], cboxResetTime[i], cmdApplyCLM[static_cast<std::size_t>(t)]});
        last = cmdApplyCLM[static_cast<std::size_t>(t)];
    }
}
// clang-format on

void SupplyConfig::designState()
{
    const bool wasLoaded = std::exchange(m_loaded, false);
    m_checks->reset();
    lblMain->setText(QStringLiteral("Please select unit"));
    // No unit picked, so Start asks for one.
    UnitList->setCurrentIndex(-1);
    for (QLineEdit* identity : {PSID, SerialNumber, MajVersion, MinVersion}) {
        identity->clear();
    }
    for (QWidget* hidden :
         std::initializer_list<QWidget*>{Label7, Label1, PSID, Label3, SerialNumber, Label4,
                                         MajVersion, MinVersion, ErrorButton, cmdModuleNumbering}) {
        hidden->hide();
    }
    hideUnitView();
    // The unit option frames are created hidden; a good read shows them.
    for (QWidget* hidden :
         std::initializer_list<QWidget*>{Frame4[0], Frame4[1], Frame4[2], Frame4[3], Frame4[6]}) {
        hidden->hide();
    }
    for (QWidget* enabled : std::initializer_list<QWidget*>{
             SelectButton, Cancel, UnitList, cmdMonitor, cmdComSettings, cmdDetectUnitID,
             cmdChangeToNewUnitID, cmdDllFileVersion, cmdModueGrouping}) {
        enabled->setEnabled(true);
    }
    cmdApply->setEnabled(false);
    cmdSave->setEnabled(false);
    Save->setEnabled(false);
    ErrorButton->setEnabled(false);
    lblModulesOFF->clear();
    setConfigProgressText({});

    auto clearPair = [](QRadioButton* a, QRadioButton* b) {
        for (QRadioButton* r : {a, b}) {
            r->setAutoExclusive(false);
            r->setChecked(false);
            r->setAutoExclusive(true);
        }
    };
    clearPair(optFanFail[0], optFanFail[1]);
    clearPair(optOverTemp[0], optOverTemp[1]);
    clearPair(optGlobalDC[0], optGlobalDC[1]);
    clearPair(optGlobalOnOff[0], optGlobalOnOff[1]);
    clearPair(optGlobal[0], optGlobal[1]);
    clearPair(optOnOffPolarity[8], optOnOffPolarity[9]);
    for (int k = 1; k <= 10; k += 2) {
        const auto a = static_cast<std::size_t>(k);
        clearPair(optPolarity[a], optPolarity[a + 1]);
        clearPair(OptProgMode[a], OptProgMode[a + 1]);
        clearPair(optStartupState[a], optStartupState[a + 1]);
    }
    for (int k = 1; k <= 20; k += 2) {
        const auto a = static_cast<std::size_t>(k);
        clearPair(optCurrentLimit[a], optCurrentLimit[a + 1]);
    }

    for (int t = 0; t < 5; ++t) {
        const auto ti = static_cast<std::size_t>(t);
        SSTab1->setTabEnabled(t, true);
        lblMinVoltage[ti]->setText(QStringLiteral("Min. "));
        lblMaxVoltage[ti]->setText(QStringLiteral("Max. "));
        lblMaxCurrent[ti]->clear();
        cmdApplyCLM[ti]->setEnabled(false);
    }
    SSTab1->setCurrentIndex(0);
    for (int m = 1; m <= 5; ++m) {
        const auto i = static_cast<std::size_t>(m);
        for (QLineEdit* text : {txtModuleID[i], txtVersionMajor[i], TxtVersionMinor[i], GroupID[i],
                                vsp[i], hl[i], ll[i], startupdelay[i], CurrentLimit[i]}) {
            text->clear();
        }
        for (QLineEdit* open : {hl[i], ll[i], startupdelay[i]}) {
            setTextAvailable(open, true);
        }
        for (QWidget* enabled : std::initializer_list<QWidget*>{
                 Frame3[static_cast<std::size_t>(startupFrameIndex(m))],
                 Frame4[static_cast<std::size_t>(polarityFrameIndex(m))],
                 Label13[static_cast<std::size_t>(delayLabelIndex(m))],
                 Label9[static_cast<std::size_t>(delayUnitLabelIndex(m))]}) {
            enabled->setEnabled(true);
        }
        for (QRadioButton* r : {optStartupState[2 * i - 1], optStartupState[2 * i],
                                optPolarity[2 * i - 1], optPolarity[2 * i]}) {
            r->setEnabled(true);
        }
        slrVsp[i]->setProgramRange(0, 10);
        slrVsp[i]->setProgramValue(0);
        hscrollCurrentLimit[i]->setRange(0, 25);
        hscrollCurrentLimit[i]->setValue(0);
        lblMinCL[i]->setText(QStringLiteral("0"));
        lblMaxCL[i]->setText(QStringLiteral("25"));
        Label5[i]->setText(QStringLiteral("Amp. Max."));
        cboxActivationTime[i]->setEditText(QStringLiteral("250"));
        cboxResetTime[i]->setEditText(QStringLiteral("250"));
        EnableReset[i]->setChecked(false);
        for (QWidget* shown : std::initializer_list<QWidget*>{LabelCurrentLimit[i], CurrentLimit[i],
                                                              hscrollCurrentLimit[i], lblMinCL[i],
                                                              lblMaxCL[i], Label5[i]}) {
            shown->show();
        }
        for (QWidget* hidden : std::initializer_list<QWidget*>{
                 LabelActivationTime[i], cboxActivationTime[i], LabelAT[i], LabelResetTime[i],
                 cboxResetTime[i], LabelRT[i], EnableReset[i]}) {
            hidden->hide();
        }
    }
    m_loaded = wasLoaded;
}

// ---- Load, unload and the size
// ---------------------------------------------------------------------

void SupplyConfig::ensureLoaded()
{
    if (!m_loaded) {
        Form_Load();
    }
}

void SupplyConfig::Form_Load()
{
    // Whatever was being edited goes with the unit shown.
    m_checks->reset();
    m_loaded = true;
    G::ConfigExpanded = false;
    setHeightTwips(2670);
    InitUnitList();
    ShowCurrentLimitControls();
    ErrorButton->setEnabled(false);
    ErrorButton->hide();
    LoadToolTips();
    cmdComSettings->setText(QStringLiteral("Com. Port = ") + G::DefaultComPort);
}

void SupplyConfig::LoadForm()
{
    Form_Load();
}

void SupplyConfig::InitUnitList()
{
    if (UnitList->count() == 0) {
        for (int id = 1; id <= 32; ++id) {
            UnitList->addItem(QString::number(id));
        }
        // The list picks its first item as it is filled; the window starts with none picked.
        UnitList->setCurrentIndex(-1);
    }
    // Each unit ID has a blank record of its own, so a save of one unit never read writes
    // nothing into the records of the other IDs.
    KivoColl.clear();
    for (int id = 1; id <= 32; ++id) {
        KivoColl[QString::number(id)] = std::make_shared<KivoData>();
    }
}

void SupplyConfig::ShowCurrentLimitControls()
{
    for (int m = 1; m <= 5; ++m) {
        const auto i = static_cast<std::size_t>(m);
        LabelCurrentLimit[i]->show();
        CurrentLimit[i]->show();
        for (QWidget* hidden : std::initializer_list<QWidget*>{
                 LabelActivationTime[i], cboxActivationTime[i], LabelAT[i], LabelResetTime[i],
                 LabelRT[i], cboxResetTime[i], EnableReset[i]}) {
            hidden->hide();
        }
    }
}

void SupplyConfig::LoadToolTips()
{
    auto tip = [](const char* key) {
        return INI::GetIniValue(QStringLiteral("CONFIG"), QString::fromLatin1(key),
                                G::TooltipsIniPath);
    };
    auto set = [&](const char* key, std::initializer_list<QWidget*> controls) {
        for (QWidget* control : controls) {
            control->setToolTip(tip(key));
        }
    };
    set("SelectButton", {SelectButton});
    set("PSID", {PSID});
    set("SerialNumber", {SerialNumber});
    set("MajVersion", {MajVersion});
    set("MinVersion", {MinVersion});
    set("LoadButton", {Load});
    set("SaveButton", {Save});
    set("CancelButton", {Cancel});
    set("ErrorButton", {ErrorButton});
    set("FanFail", {optFanFail[0], optFanFail[1]});
    set("GlobalDC", {optGlobalDC[0], optGlobalDC[1]});
    set("OverTemp", {optOverTemp[0], optOverTemp[1]});
    set("GlobalOnOff", {optGlobalOnOff[0], optGlobalOnOff[1]});
    set("Global", {optGlobal[0], optGlobal[1]});
    for (std::size_t k = 1; k <= 10; ++k) {
        set("ModuleProgramMode", {OptProgMode[k]});
        set("ModuleStartUp", {optStartupState[k]});
    }
    for (std::size_t k = 1; k <= 20; ++k) {
        set("ModuleCurrentLimitOptions", {optCurrentLimit[k]});
    }
    for (std::size_t m = 1; m <= 5; ++m) {
        set("ModuleCode", {txtModuleID[m]});
        set("ModuleMajorVersion", {txtVersionMajor[m]});
        set("ModuleMinorVersion", {TxtVersionMinor[m]});
        set("ModuleStartUpDelay", {startupdelay[m]});
        set("ModuleVoltageSetpoint", {vsp[m]});
        set("ModuleVoltageSetpoint", {slrVsp[m]});
        set("ModuleCurrentLimit", {CurrentLimit[m]});
        set("ModuleActivationTime", {cboxActivationTime[m]});
        set("ModuleResetTime", {cboxResetTime[m]});
        set("EnableReset", {EnableReset[m]});
    }
}

void SupplyConfig::setHeightTwips(int twips)
{
    // A height that is not one of the two is brought to one by the resize rule at once.
    if (twips < ExpandedHeightTwips) {
        hideUnitView();
    }
    Form_Resize();
}

void SupplyConfig::hideUnitView()
{
    // Out of sight below the collapsed window's edge, these would still take the focus by Tab
    // and be there for a screen reader; a field being edited among them lets the focus go.
    for (QWidget* below :
         std::initializer_list<QWidget*>{FieldsFrame[1], Frame6, Frame7, Frame5, Frame10, SSTab1,
                                         cmdSave, lblModulesOFF, Text1}) {
        below->hide();
    }
}

void SupplyConfig::Form_Resize()
{
    const int height = G::ConfigExpanded ? ExpandedHeightTwips : CollapsedHeightTwips;
    kivo::desktop::keepFixedSize(*this, QSize(twipsToPixels(WidthTwips), twipsToPixels(height)));
}

void SupplyConfig::showEvent(QShowEvent* event)
{
    ensureLoaded();
    QWidget::showEvent(event);
}

void SupplyConfig::closeEvent(QCloseEvent* event)
{
    // The close box unloads as Close does; the window itself stays, hidden. While one of this
    // window's actions has the port it pumps events, and the window system's close box still
    // arrives although the busy state disabled the window: unloading then would free the unit
    // record under the action still on the stack, so the close box does nothing, as it does on a
    // disabled window. The grouping dialog is one of those actions from its load to its unload.
    event->ignore();
    if (LinkInUse::holder().startsWith(QStringLiteral("SupplyConfig.")) ||
        (m_grouping && m_grouping->loaded())) {
        return;
    }
    Form_Unload();
}

void SupplyConfig::Form_Unload()
{
    ShowRestartNotice();
    designState();
    m_loaded = false;
    KivoColl.clear();
    CurrentUnit.reset();
    ReadUnitId.clear();
    ReadScaling = {};
    G::ConfigExpanded = false;
    Form_Resize();
    hide();
    Forms::mainForm().show();
}

// ---- The frame's buttons
// ---------------------------------------------------------------------------

void SupplyConfig::Cancel_Click()
{
    Form_Unload();
}

void SupplyConfig::cmdComSettings_Click()
{
    Forms::commParamsForm().showModal();
    cmdComSettings->setText(QStringLiteral("Com. Port = ") + G::DefaultComPort);
}

void SupplyConfig::cmdModuleNumbering_Click()
{
    using namespace kivo::desktop;
    if (!desktop().showHelpTopic(QStringLiteral("EC.html"))) {
        desktop().msgBox(QStringLiteral("The required help file not properly installed in your "
                                        "machine. Contact system support."),
                         vbInformation + vbOKOnly, QStringLiteral("Dravon Electronics"));
    }
}

void SupplyConfig::cmdMonitor_Click()
{
    ShowRestartNotice();
    hide();
    // Until the program installs the monitor window there is nothing to show.
    if (QWidget* monitor = Forms::monitorForm()) {
        monitor->show();
    }
}

void SupplyConfig::ErrorButton_Click()
{
    G::ShowErrorLog();
}

void SupplyConfig::UnitList_Click()
{
    ShowRestartNotice();
    // The unit this window read and shows; the program-wide selection is the monitor's too.
    if (UnitList->currentText() == ReadUnitId) {
        return;
    }
    for (QLineEdit* identity : {PSID, SerialNumber, MajVersion, MinVersion}) {
        identity->clear();
    }
    // The notice above was the last thing that belonged to the unit shown.
    ReadUnitId.clear();
    Form_Load();
}

void SupplyConfig::cmdModueGrouping_Click()
{
    // The dialog is made once and kept: it is never deleted while one of its handlers may run.
    if (!m_grouping) {
        m_grouping = new frmModuleGrouping(this);
    }
    // It addresses the unit this window read, with that read's fitted slots, whatever another
    // window selected since.
    m_grouping->showModal(
        {ReadUnitId, CurrentUnit ? CurrentUnit->PresentModule : QString(), [this] { LoadForm(); }});
}

void SupplyConfig::cmdDetectUnitID_Click()
{
    UnitIdUtilities::cmdDetectUnitID_Click(this);
}

void SupplyConfig::cmdChangeToNewUnitID_Click()
{
    UnitIdUtilities::cmdChangeToNewUnitID_Click();
}

void SupplyConfig::cmdDllFileVersion_Click()
{
    UnitIdUtilities::cmdDllFileVersion_Click();
}

void SupplyConfig::cmdDllFileVersion_LostFocus()
{
    if (height() == twipsToPixels(CollapsedHeightTwips)) {
        UnitList->setFocus();
    }
}

// ---- The restart notice and the restart
// -------------------------------------------------------------

void SupplyConfig::ShowRestartNotice(bool linkHeld)
{
    using namespace kivo::desktop;
    const QString title = QStringLiteral("EEPROM Configurator");
    if (G::UnitSettingEdited && G::WrittenToUnit) {
        desktop().msgBox(QStringLiteral("The changes made will not take effect until the supply "
                                        "to the unit is recycled.\r\nTo avoid unexpected "
                                        "operation please recycle the supply before continuing."),
                         vbInformation + vbOKOnly, title);
    } else if (G::ModuleSettingEdited && G::WrittenToUnit) {
        const MsgBoxResult answer = desktop().msgBox(
            QStringLiteral("The changes made will not take effect until the outputs are "
                           "restarted.\r\n To avoid unexpected operation would you like to "
                           "restart the outputs now?"),
            vbInformation + vbYesNo, title);
        if (answer == vbYes) {
            if (linkHeld) {
                restartHoldingLink();
            } else {
                RestartUnit();
            }
        }
    } else {
        return;
    }
    G::UnitSettingEdited = false;
    G::ModuleSettingEdited = false;
    G::WrittenToUnit = false;
}

void SupplyConfig::RestartUnit()
{
    LinkInUse link(QStringLiteral("SupplyConfig.RestartUnit"));
    if (!link) {
        return;
    }
    restartHoldingLink();
}

void SupplyConfig::restartHoldingLink()
{
    using namespace kivo::desktop;
    // The unit whose settings were written, whichever unit another window selected since.
    const std::optional<std::int16_t> unit = unitNumber(ReadUnitId);
    if (!unit) {
        return;
    }
    if (!CurrentUnit) {
        CurrentUnit = std::make_shared<KivoData>();
    }
    const QString title = QStringLiteral("EEPROM Configurator");
    const bool opened =
        callLink("OpenPort", G::DefaultComPort.toStdString()) == QStringLiteral("CMD_OK");
    kivo::desktop::letEventsRun();
    G::ErrorFlag = false;
    CurrentUnit->SetGlobalOutputState(*unit, 0);
    const bool off = opened && !G::ErrorFlag;
    const bool backOn = (optGlobal[0]->isChecked() && optGlobalOnOff[0]->isChecked()) ||
                        (optGlobal[1]->isChecked() && optGlobalOnOff[1]->isChecked());
    bool on = true;
    if (off && backOn) {
        CurrentUnit->SetGlobalOutputState(*unit, 1);
        on = !G::ErrorFlag;
    }
    kivo::automation::call(G::DeviceLink, "ClosePort");
    if (!off) {
        desktop().msgBox(QStringLiteral("The outputs of unit %1 could not be restarted: they "
                                        "could not be switched off.")
                             .arg(*unit),
                         vbExclamation + vbOKOnly, title);
    } else if (!on) {
        desktop().msgBox(QStringLiteral("The outputs of unit %1 were switched off but could not "
                                        "be switched back on.")
                             .arg(*unit),
                         vbExclamation + vbOKOnly, title);
    }
}

// ---- The program's instance
// --------------------------------------------------------------------------

namespace {
std::unique_ptr<SupplyConfig> programInstance;
}

SupplyConfig& supplyConfigInstance()
{
    if (!programInstance) {
        programInstance = std::make_unique<SupplyConfig>();
    }
    return *programInstance;
}

void deleteSupplyConfig()
{
    programInstance.reset();
}

SupplyConfig* ConfigUnitWindows::reading()
{
    SupplyConfig& window = m_window();
    return window.readingOwnUnit() ? &window : nullptr;
}

QString ConfigUnitWindows::configProgressText()
{
    SupplyConfig* window = reading();
    return window ? window->configProgressText() : QString();
}

void ConfigUnitWindows::setConfigProgressText(const QString& text)
{
    forward(&SupplyConfig::setConfigProgressText, text);
}

void ConfigUnitWindows::selectConfigProgress()
{
    forward(&SupplyConfig::selectConfigProgress);
}

void ConfigUnitWindows::setConfigModuleId(int slot, const QString& name)
{
    forward(&SupplyConfig::setConfigModuleId, slot, name);
}

void ConfigUnitWindows::setConfigCurrentLimitMinimum(int slot, std::int16_t value)
{
    forward(&SupplyConfig::setConfigCurrentLimitMinimum, slot, value);
}

void ConfigUnitWindows::setConfigCurrentLimitMaximum(int slot, std::int16_t value)
{
    forward(&SupplyConfig::setConfigCurrentLimitMaximum, slot, value);
}

void ConfigUnitWindows::setConfigMaxCurrentCaption(int slot, const QString& caption)
{
    forward(&SupplyConfig::setConfigMaxCurrentCaption, slot, caption);
}

void ConfigUnitWindows::setConfigSetPointMinimum(int slot, std::int32_t value)
{
    forward(&SupplyConfig::setConfigSetPointMinimum, slot, value);
}

void ConfigUnitWindows::setConfigSetPointMaximum(int slot, std::int32_t value)
{
    forward(&SupplyConfig::setConfigSetPointMaximum, slot, value);
}

void ConfigUnitWindows::setConfigModulesOffCaption(const QString& caption)
{
    forward(&SupplyConfig::setConfigModulesOffCaption, caption);
}

} // namespace KivoSoft
