#include "KivoSoft/config/frmModuleGrouping.h"

#include "KivoSoft/config/ConfigControls.h"
#include "KivoSoft/model/DeviceLink.h"
#include "KivoSoft/model/INI.h"
#include "KivoSoft/model/KivoGlobals.h"
#include "platform/basic/basic.h"
#include "platform/desktop/desktop.h"
#include "platform/desktop/entry_fields.h"
#include "platform/desktop/let_events_run.h"
#include "platform/desktop/window_rules.h"

#include <QEvent>
#include <QKeyEvent>
#include <QPalette>

#include <initializer_list>
#include <optional>
#include <string>
#include <utility>

namespace KivoSoft {

namespace G = KivoGlobals;
using kivo::automation::byRef;
using kivo::automation::Int16Array;
using namespace kivo::desktop;

namespace {

const QString kOk = QStringLiteral("CMD_OK");
const QString kSoftwareTitle = QStringLiteral("Kivo, Software. Dravon Electronics");
const QString kMakerTitle = QStringLiteral("Dravon Electronics");
const QColor kEnabledBack(255, 255, 255);
const QColor kDisabledBack(224, 224, 224);

template <class Control>
Control* place(QWidget* parent, const char* name, const QString& text, const QRect& where)
{
    auto* control = new Control(text, parent);
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(where);
    return control;
}

QString moduleName(int module)
{
    return QStringLiteral("Module %1").arg(module);
}

// The designed contents of the two lists, shown until a load has filled them.
void fillDesignList(QListWidget* list, std::initializer_list<int> modules)
{
    list->clear();
    for (const int module : modules) {
        list->addItem(moduleName(module));
    }
}

// Every handler that may reach the port counts itself in, so neither the unload (which closes the
// port) nor another of them runs under it: the events pumped while it waits for the unit can carry
// a title-bar close, or a click when the busy state found the dialog not the active window.
class HandlerScope {
public:
    explicit HandlerScope(int& running) : m_running(running) { ++m_running; }
    ~HandlerScope() { --m_running; }
    HandlerScope(const HandlerScope&) = delete;
    HandlerScope& operator=(const HandlerScope&) = delete;

private:
    int& m_running;
};

// The hourglass with `window` (and the active window) disabled, given back on every way out.
class BusyScope {
public:
    explicit BusyScope(QWidget* window) { INI::SetBusyState(1, window); }
    ~BusyScope() { INI::SetBusyState(0); }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;
};

} // namespace

frmModuleGrouping::frmModuleGrouping(QWidget* parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("frmModuleGrouping"));
    setWindowTitle(QStringLiteral("Module Grouping"));
    setModal(true);

    Label1 = place<QLabel>(this, "Label1", QStringLiteral("Select Group"), QRect(16, 16, 96, 24));
    cboGroup = new QComboBox(this);
    cboGroup->setObjectName(QStringLiteral("cboGroup"));
    cboGroup->setGeometry(116, 14, 220, 28);
    kivo::desktop::makeEditableList(cboGroup);
    cboGroup->addItems({GroupItems[0], GroupItems[1], GroupItems[2]});
    cboGroup->setToolTip(QStringLiteral("Select Group"));
    // Typing, pasting and deleting are all discarded; only the list picks a group.
    cboGroup->lineEdit()->setReadOnly(true);
    cboGroup->lineEdit()->installEventFilter(this);

    Frame2 = new QGroupBox(QStringLiteral("Assign Modules"), this);
    Frame2->setObjectName(QStringLiteral("Frame2"));
    Frame2->setGeometry(10, 52, 420, 176);
    lblAvailableModules = place<QLabel>(
        Frame2, "lblAvailableModules", QStringLiteral("Available Modules"), QRect(14, 24, 150, 22));
    lstAvailableModules = new QListWidget(Frame2);
    lstAvailableModules->setObjectName(QStringLiteral("lstAvailableModules"));
    lstAvailableModules->setGeometry(14, 48, 150, 114);
    lstAvailableModules->setSelectionMode(QAbstractItemView::SingleSelection);
    lstAvailableModules->setSortingEnabled(false);
    btnAssign =
        place<QPushButton>(Frame2, "btnAssign", QStringLiteral(">>"), QRect(180, 88, 60, 30));
    btnAssign->setToolTip(QStringLiteral("Move modules to group"));
    lblGroupModules = place<QLabel>(Frame2, "lblGroupModules", QStringLiteral("Group1 Modules"),
                                    QRect(256, 24, 150, 22));
    lstGroupModules = new QListWidget(Frame2);
    lstGroupModules->setObjectName(QStringLiteral("lstGroupModules"));
    lstGroupModules->setGeometry(256, 48, 150, 114);
    lstGroupModules->setSortingEnabled(false);

    frmStartupState = new QGroupBox(QStringLiteral("Startup State"), this);
    frmStartupState->setObjectName(QStringLiteral("frmStartupState"));
    frmStartupState->setGeometry(10, 236, 420, 96);
    optGrpStartupState[1] =
        place<QRadioButton>(frmStartupState, "optGrpStartupState(1)", QStringLiteral("Normally On"),
                            QRect(14, 26, 150, 24));
    optGrpStartupState[2] =
        place<QRadioButton>(frmStartupState, "optGrpStartupState(2)",
                            QStringLiteral("Normally Off"), QRect(180, 26, 150, 24));
    lblStartupDelay[5] = place<QLabel>(frmStartupState, "lblStartupDelay(5)",
                                       QStringLiteral("Startup Delay:"), QRect(14, 60, 104, 24));
    txtStartupDelay[0] = new QLineEdit(frmStartupState);
    txtStartupDelay[0]->setObjectName(QStringLiteral("txtStartupDelay(0)"));
    txtStartupDelay[0]->setGeometry(120, 58, 96, 28);
    txtStartupDelay[0]->installEventFilter(this);
    new kivo::desktop::PastedTextFilter(
        txtStartupDelay[0], [this](std::int16_t& keyAscii) { txtStartupDelay_KeyPress(keyAscii); });
    lblCaption = place<QLabel>(frmStartupState, "lblCaption", QStringLiteral("(0 - 65000 ms)"),
                               QRect(226, 60, 130, 24));

    Frame1 = new QGroupBox(QStringLiteral("Configure Module Groups"), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    Frame1->setGeometry(10, 340, 420, 66);
    cmdApply =
        place<QPushButton>(Frame1, "cmdApply", QStringLiteral("Apply"), QRect(14, 26, 92, 30));
    cmdApply->setToolTip(QStringLiteral("Apply changes"));
    cmdReset =
        place<QPushButton>(Frame1, "cmdReset", QStringLiteral("Reset"), QRect(114, 26, 92, 30));
    cmdReset->setToolTip(QStringLiteral("Reset unapplied changes"));
    cmdCancel =
        place<QPushButton>(Frame1, "cmdCancel", QStringLiteral("Close"), QRect(214, 26, 92, 30));
    cmdCancel->setToolTip(QStringLiteral("Close screen"));
    cmdHelp = place<QPushButton>(Frame1, "cmdHelp", QStringLiteral("Help"), QRect(314, 26, 92, 30));
    cmdHelp->setToolTip(QStringLiteral("Click to view Help"));
    // Enter belongs to the delay box's key filter; no button is pressed by it.
    for (QPushButton* button : {btnAssign, cmdApply, cmdReset, cmdCancel, cmdHelp}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    connect(cboGroup, &QComboBox::activated, this, [this] { cboGroup_Click(); });
    connect(btnAssign, &QPushButton::clicked, this, &frmModuleGrouping::btnAssign_Click);
    for (int index = 1; index <= 2; ++index) {
        connect(optGrpStartupState[index], &QRadioButton::toggled, this, [this, index](bool on) {
            if (on) {
                optGrpStartupState_Click(index);
            }
        });
    }
    connect(txtStartupDelay[0], &QLineEdit::textChanged, this,
            &frmModuleGrouping::txtStartupDelay_Change);
    connect(cmdApply, &QPushButton::clicked, this, &frmModuleGrouping::cmdApply_Click);
    connect(cmdReset, &QPushButton::clicked, this, &frmModuleGrouping::cmdReset_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmModuleGrouping::cmdCancel_Click);
    connect(cmdHelp, &QPushButton::clicked, this, &frmModuleGrouping::cmdHelp_Click);

    // What a screen reader says of each control: the label beside it (the group list shows its
    // group and is labelled by it).
    kivo::desktop::labelField(*Label1, *cboGroup);
    lblAvailableModules->setBuddy(lstAvailableModules);
    lstAvailableModules->setAccessibleName(lblAvailableModules->text());
    lblGroupModules->setBuddy(lstGroupModules);
    lblStartupDelay[5]->setBuddy(txtStartupDelay[0]);
    btnAssign->setAccessibleName(btnAssign->toolTip());
    setTabChain({cboGroup, lstAvailableModules, btnAssign, lstGroupModules, optGrpStartupState[1],
                 optGrpStartupState[2], txtStartupDelay[0], cmdApply, cmdReset, cmdCancel,
                 cmdHelp});

    setFixedSize(440, 416);
    resetToDesign();
}

frmModuleGrouping::~frmModuleGrouping()
{
    // Only at the end of the program: the port goes, the opening window is gone already.
    if (m_loaded) {
        CloseGroupingPort();
    }
}

// ---- Load and unload
// ------------------------------------------------------------------------------

bool frmModuleGrouping::showModal(const GroupingHost& host)
{
    if (!Form_Load(host)) {
        return false;
    }
    exec();
    // exec() ends only through done(), which unloads; this covers a dialog hidden some other way.
    if (m_loaded) {
        Form_Unload();
    }
    return true;
}

bool frmModuleGrouping::Form_Load(const GroupingHost& host)
{
    if (m_loaded) {
        return false;
    }
    auto link = std::make_unique<LinkInUse>(LinkHolder);
    if (!link->held()) {
        return false;
    }
    m_link = std::move(link);
    m_loaded = true;
    m_host = host;
    m_presence = host.presentModuleBits.isEmpty() ? G::PresentModuleBits : host.presentModuleBits;
    resetToDesign();

    const HandlerScope running(m_handlersRunning);
    // The load talks to the unit before the dialog is up and modal: until then the window that
    // opens it is busy, so none of its buttons (its Close above all) runs under the load.
    const BusyScope busy(parentWidget());
    // A port that does not open leaves the dialog up with the unit check's message as well, so
    // the user can still close it or read the help; every later check fails the same way.
    OpenGroupingPort();
    if (CheckUnitResponds()) {
        GroupingApplied = false;
        cmdApply->setEnabled(false);
        cmdReset->setEnabled(false);
        SelectedGroup = 1;
        ReadGroupIDs();
        FillModuleLists();
        ShowGroupStartup();
    }
    return true;
}

void frmModuleGrouping::Form_Unload()
{
    if (!m_loaded || m_handlersRunning > 0) {
        return;
    }
    // The opening window's load sequence runs while the port is still open and the link held.
    if (GroupingApplied && m_host.loadForm) {
        m_host.loadForm();
    }
    CloseGroupingPort();
    m_loaded = false;
    m_link.reset();
}

void frmModuleGrouping::done(int result)
{
    if (m_handlersRunning > 0) {
        return;
    }
    Form_Unload();
    QDialog::done(result);
}

void frmModuleGrouping::resetToDesign()
{
    fillDesignList(lstAvailableModules, {3, 4, 5});
    fillDesignList(lstGroupModules, {1, 2});
    cboGroup->setEditText(GroupTextAtLoad);
    showGroupCaption(1);
    GroupOfModule.fill(0);
    SelectedGroup = 1;
    GroupingApplied = false;
    m_startupKnown = true;
    for (QWidget* control : std::initializer_list<QWidget*>{
             btnAssign, frmStartupState, optGrpStartupState[1], optGrpStartupState[2],
             lblStartupDelay[5], lblCaption, cmdApply, cmdReset, cmdCancel, cmdHelp}) {
        control->setEnabled(true);
    }
    const QSignalBlocker quietText(txtStartupDelay[0]);
    txtStartupDelay[0]->clear();
    setDelayBoxEnabled(true);
    clearStartupOptions();
}

// ---- Port and reads
// -------------------------------------------------------------------------------

bool frmModuleGrouping::OpenGroupingPort()
{
    kivo::desktop::letEventsRun();
    kivo::desktop::letEventsRun();
    const QString status = callLink("OpenPort", G::DefaultComPort.toStdString());
    kivo::desktop::letEventsRun();
    if (G::IsCmdOk(status)) {
        return true;
    }
    desktop().msgBox(
        QStringLiteral("I could not open COM port, make sure you selected the proper COM port."),
        vbCritical + vbOKOnly, kSoftwareTitle);
    const QString text = QStringLiteral("Can not open Com port, make sure you selected the correct "
                                        "Com port (COM1, COM2 ...)") +
                         G::DefaultComPort;
    G::LogError(text);
    G::LastErrorText = text;
    G::ErrorFlag = true;
    callLink("ClosePort");
    return false;
}

void frmModuleGrouping::CloseGroupingPort()
{
    callLink("ClosePort");
}

bool frmModuleGrouping::CheckUnitResponds()
{
    Int16Array modules(1, 8);
    const QString status = callLink("GetPresentModules", unitArg(), byRef(modules));
    if (status != kOk) {
        desktop().msgBox(QStringLiteral("Unit ") + m_host.unitId +
                             QStringLiteral(" Does not Respond, make sure is properly connected "
                                            "and is the correct UnitID Number"),
                         vbCritical + vbOKOnly, kMakerTitle);
        enableStartupControls(false);
        btnAssign->setEnabled(false);
        return false;
    }
    // With group 1 shown the start-up controls, and btnAssign with them, stay as they are.
    if (SelectedGroup != 1) {
        enableStartupControls(true);
        btnAssign->setEnabled(true);
    }
    return true;
}

void frmModuleGrouping::ReadGroupIDs()
{
    GroupOfModule.fill(0);
    for (std::int16_t module = 1; module <= 5; ++module) {
        if (kivo::basic::Mid(m_presence, module, 1) != QStringLiteral("1")) {
            continue;
        }
        std::int16_t group = 0;
        const QString status = callLink("GetGroupID", unitArg(), module, byRef(group));
        kivo::desktop::letEventsRun();
        if (G::IsCmdOk(status)) {
            GroupOfModule[static_cast<std::size_t>(module)] = group;
            continue;
        }
        // Logged and kept, not shown: the module is then in neither list and never written.
        G::LogError(QStringLiteral("Error in GetGroupID in Unit  %1 and Module %2")
                        .arg(m_host.unitId)
                        .arg(module));
        G::LastErrorText = QStringLiteral("Error in GetGroupID in Unit %1 and Module %2 %3")
                               .arg(m_host.unitId)
                               .arg(module)
                               .arg(status);
    }
}

void frmModuleGrouping::FillModuleLists()
{
    lstAvailableModules->clear();
    lstGroupModules->clear();
    for (int module = 1; module <= 5; ++module) {
        if (kivo::basic::Mid(m_presence, module, 1) != QStringLiteral("1")) {
            continue;
        }
        const std::int16_t group = GroupOfModule[static_cast<std::size_t>(module)];
        if (group == SelectedGroup) {
            lstGroupModules->addItem(moduleName(module));
        } else if (group != 0) {
            lstAvailableModules->addItem(moduleName(module));
        }
    }
}

void frmModuleGrouping::ShowGroupStartup()
{
    m_startupKnown = true;
    if (SelectedGroup == 1) {
        enableStartupControls(false);
        return;
    }
    enableStartupControls(true);
    if (lstGroupModules->count() == 0) {
        selectStartupOption(1);
        txtStartupDelay[0]->clear();
        setDelayBoxEnabled(true);
        return;
    }
    // The first module's settings stand for the whole group's.
    const std::int16_t module = ModuleNumberFromName(lstGroupModules->item(0)->text());
    std::int16_t state = 0;
    QString status = callLink("GetDefaultOutputOnOffState", unitArg(), module, byRef(state));
    if (!G::IsCmdOk(status)) {
        // Shown as what it is: "Normally Off" and 0 would be written to the whole group by the
        // next Apply. Apply waits for a good read (Reset or another group).
        m_startupKnown = false;
        clearStartupOptions();
        txtStartupDelay[0]->clear();
        reportModuleFailure("GetDefaultOutputOnOffState", module, status);
        return;
    }
    if (state != 1) {
        selectStartupOption(2);
        txtStartupDelay[0]->clear();
        setDelayBoxEnabled(false);
        return;
    }
    std::int32_t delay = 0;
    status = callLink("GetOutputTurnONDelayExUShort", unitArg(), module, byRef(delay));
    if (!G::IsCmdOk(status)) {
        m_startupKnown = false;
        clearStartupOptions();
        txtStartupDelay[0]->clear();
        reportModuleFailure("GetOutputTurnONDelayExUShort", module, status);
        return;
    }
    selectStartupOption(1);
    setDelayBoxEnabled(true);
    txtStartupDelay[0]->setText(QString::number(delay));
}

// ---- Handlers
// -------------------------------------------------------------------------------------

void frmModuleGrouping::cboGroup_Click()
{
    if (!m_loaded || m_handlersRunning > 0) {
        return;
    }
    const HandlerScope running(m_handlersRunning);
    const BusyScope busy(this);
    if (!CheckUnitResponds()) {
        return;
    }
    const QString text = cboGroup->currentText();
    for (int group = 1; group <= 3; ++group) {
        if (text == GroupItems[group - 1]) {
            SelectedGroup = static_cast<std::int16_t>(group);
            showGroupCaption(group);
        }
    }
    ReadGroupIDs();
    FillModuleLists();
    ShowGroupStartup();
    cmdApply->setEnabled(false);
    cmdReset->setEnabled(false);
}

void frmModuleGrouping::cboGroup_KeyPress(std::int16_t& keyAscii)
{
    keyAscii = 0;
}

void frmModuleGrouping::btnAssign_Click()
{
    QListWidgetItem* selected = lstAvailableModules->currentItem();
    if (!selected || !selected->isSelected()) {
        desktop().msgBox(QStringLiteral("Please select a module"), vbInformation + vbOKOnly,
                         kMakerTitle);
        return;
    }
    lstGroupModules->addItem(selected->text());
    delete lstAvailableModules->takeItem(lstAvailableModules->row(selected));
    lstAvailableModules->setCurrentItem(nullptr);
    edited();
}

void frmModuleGrouping::optGrpStartupState_Click(int index)
{
    setDelayBoxEnabled(index == 1);
    edited();
}

void frmModuleGrouping::txtStartupDelay_Change()
{
    edited();
}

void frmModuleGrouping::txtStartupDelay_KeyPress(std::int16_t& keyAscii)
{
    G::NumericKeyFilter(keyAscii);
}

void frmModuleGrouping::cmdApply_Click()
{
    if (!m_loaded || m_handlersRunning > 0) {
        return;
    }
    // Settings that could not be read are not written back as guesses.
    if (SelectedGroup != 1 && !m_startupKnown) {
        return;
    }
    const HandlerScope running(m_handlersRunning);
    const BusyScope busy(this);
    if (!CheckUnitResponds()) {
        return;
    }
    if (lstGroupModules->count() == 0) {
        desktop().msgBox(QStringLiteral("Please select some modules for the group."),
                         vbInformation + vbOKOnly, kSoftwareTitle);
        return;
    }

    std::int16_t state = 0;
    std::int32_t delay = 0;
    if (SelectedGroup != 1 && optGrpStartupState[1]->isChecked()) {
        state = 1;
    }
    const QString delayText = kivo::basic::Trim(txtStartupDelay[0]->text());
    if (state == 1 && !delayText.isEmpty()) {
        // The key filter lets digits through but not what is pasted; the unit takes 16 bits, so
        // "-5" would arrive as 65531. Nothing is sent until the text is a delay the unit keeps.
        const kivo::basic::Result<double> typed = kivo::basic::CDbl(delayText);
        const double rounded = typed ? kivo::basic::Round(typed.value()) : 0;
        if (typed && rounded > 65000) {
            desktop().msgBox(QStringLiteral("Startup delay value should be less then 65000 ms."),
                             vbInformation + vbOKOnly, kSoftwareTitle);
            return;
        }
        if (!typed || rounded < 0) {
            desktop().msgBox(
                QStringLiteral("Startup delay value should be a number from 0 to 65000 ms."),
                vbInformation + vbOKOnly, kSoftwareTitle);
            return;
        }
        delay = static_cast<std::int32_t>(rounded);
    }

    // Each write is tested: the flags say what the unit holds now, and the first failure stops
    // the rest so the user sees which module and operation did not take.
    bool written = false;
    bool failed = false;
    for (int row = 0; row < lstGroupModules->count() && !failed; ++row) {
        const std::int16_t module = ModuleNumberFromName(lstGroupModules->item(row)->text());
        std::int16_t group = SelectedGroup;
        QString status = callLink("SetGroupID", unitArg(), module, byRef(group));
        if (!G::IsCmdOk(status)) {
            reportModuleFailure("SetGroupID", module, status);
            failed = true;
            break;
        }
        written = true;
        if (SelectedGroup == 1) {
            continue;
        }
        std::int16_t moduleState = state;
        status = callLink("SetDefaultOutputOnOffState", unitArg(), module, byRef(moduleState));
        if (!G::IsCmdOk(status)) {
            reportModuleFailure("SetDefaultOutputOnOffState", module, status);
            failed = true;
            break;
        }
        std::int32_t moduleDelay = delay;
        status = callLink("SetOutputTurnONDelay", unitArg(), module, byRef(moduleDelay));
        if (!G::IsCmdOk(status)) {
            reportModuleFailure("SetOutputTurnONDelay", module, status);
            failed = true;
        }
    }
    if (written) {
        GroupingApplied = true;
        G::ModuleSettingEdited = true;
        G::WrittenToUnit = true;
    }
    if (!failed) {
        cmdApply->setEnabled(false);
        cmdReset->setEnabled(false);
    }
}

void frmModuleGrouping::cmdReset_Click()
{
    if (!m_loaded || m_handlersRunning > 0) {
        return;
    }
    const HandlerScope running(m_handlersRunning);
    const BusyScope busy(this);
    if (!CheckUnitResponds()) {
        return;
    }
    ReadGroupIDs();
    FillModuleLists();
    ShowGroupStartup();
    cmdApply->setEnabled(false);
    cmdReset->setEnabled(false);
}

void frmModuleGrouping::cmdCancel_Click()
{
    reject();
}

void frmModuleGrouping::cmdHelp_Click()
{
    desktop().showHelpTopic(HelpTopic);
}

std::int16_t frmModuleGrouping::ModuleNumberFromName(const QString& name)
{
    for (std::int16_t module = 1; module <= 5; ++module) {
        if (name == moduleName(module)) {
            return module;
        }
    }
    return 0;
}

// ---- Helpers
// --------------------------------------------------------------------------------------

bool frmModuleGrouping::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress) {
        return QDialog::eventFilter(watched, event);
    }
    const std::optional<std::int16_t> typed = keyAscii(*static_cast<QKeyEvent*>(event));
    if (!typed) {
        return QDialog::eventFilter(watched, event);
    }
    std::int16_t code = *typed;
    if (watched == cboGroup->lineEdit()) {
        cboGroup_KeyPress(code);
    } else if (watched == txtStartupDelay[0]) {
        txtStartupDelay_KeyPress(code);
    }
    // A refused key never reaches the box; Enter presses no button either.
    if (code == 0 || code == 13) {
        return true;
    }
    return QDialog::eventFilter(watched, event);
}

void frmModuleGrouping::showGroupCaption(int group)
{
    lblGroupModules->setText(QStringLiteral("Group%1 Modules").arg(group));
    lstGroupModules->setAccessibleName(lblGroupModules->text());
}

void frmModuleGrouping::enableStartupControls(bool enabled)
{
    for (QWidget* control :
         std::initializer_list<QWidget*>{frmStartupState, optGrpStartupState[1],
                                         optGrpStartupState[2], lblStartupDelay[5], lblCaption}) {
        control->setEnabled(enabled);
    }
    setDelayBoxEnabled(enabled);
}

void frmModuleGrouping::setDelayBoxEnabled(bool enabled)
{
    QLineEdit* box = txtStartupDelay[0];
    box->setEnabled(enabled);
    QPalette palette = box->palette();
    const QColor back = enabled ? kEnabledBack : kDisabledBack;
    for (const QPalette::ColorGroup group :
         {QPalette::Active, QPalette::Inactive, QPalette::Disabled}) {
        palette.setColor(group, QPalette::Base, back);
    }
    box->setPalette(palette);
}

void frmModuleGrouping::clearStartupOptions()
{
    for (int index = 1; index <= 2; ++index) {
        QRadioButton* option = optGrpStartupState[index];
        const QSignalBlocker quiet(option);
        option->setAutoExclusive(false);
        option->setChecked(false);
        option->setAutoExclusive(true);
    }
}

void frmModuleGrouping::selectStartupOption(int index)
{
    // Already selected: the forms runtime raises no click, and neither do we.
    optGrpStartupState[index]->setChecked(true);
}

void frmModuleGrouping::edited()
{
    cmdReset->setEnabled(true);
    cmdApply->setEnabled(SelectedGroup == 1 || m_startupKnown);
}

void frmModuleGrouping::reportModuleFailure(const char* operation, int module,
                                            const QString& status)
{
    const QString name = QString::fromLatin1(operation);
    G::LogError(QStringLiteral("Error in %1 in Unit  %2 and Module %3")
                    .arg(name, m_host.unitId)
                    .arg(module));
    G::LastErrorText = QStringLiteral("Error in %1 in Unit %2 and Module %3 %4")
                           .arg(name, m_host.unitId)
                           .arg(module)
                           .arg(status);
    G::ErrorFlag = true;
    desktop().msgBox(G::LastErrorText, vbCritical + vbOKOnly, kSoftwareTitle);
}

std::string frmModuleGrouping::unitArg() const
{
    return m_host.unitId.toStdString();
}

} // namespace KivoSoft
