#include "Tambel/Form1.h"

#include "Tambel/INI.h"
#include "Tambel/Pictures.h"
#include "Tambel/Programs.h"
#include "platform/automation/registry.h"
#include "platform/basic/basic.h"
#include "platform/desktop/desktop.h"
#include "platform/desktop/entry_fields.h"
#include "platform/desktop/window_rules.h"
#include "platform/serial/devices.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QPalette>
#include <QVBoxLayout>
#include <chrono>
#include <cmath>

namespace Tambel {

using namespace kivo::automation;
using kivo::desktop::desktop;
using kivo::desktop::vbCritical;
using kivo::desktop::vbOKOnly;

namespace {

// Leaves a run or a reset: the stop exit, or the failure exit with the message it shows.
struct RunExit {
    bool failure = false;
    QString message;
};

RunExit failureExit(const QString& message)
{
    return RunExit{true, message};
}

QString fromUtf8(std::string_view text)
{
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

ComPtr<IDispatch> activateLink(std::string* why)
{
    HRESULT hr = S_OK;
    return createObject(kLinkProgId, &hr, why);
}

// The unit ID as typed: a whole number that fits the operations' signed 16-bit argument.
std::optional<std::int16_t> unitIdFromText(const QString& text)
{
    const auto number = kivo::basic::CDbl(text);
    if (!number) {
        return std::nullopt;
    }
    const double value = number.value();
    if (!std::isfinite(value) || value != std::trunc(value) || value < -32768 || value > 32767) {
        return std::nullopt;
    }
    return static_cast<std::int16_t>(value);
}

// 4905 x 6525 twips at 15 twips a pixel.
constexpr int kClientWidth = 327;
constexpr int kClientHeight = 435;
constexpr int kMargin = 14;

// Impact 18 pt where the face is installed; otherwise a bold sans face, no larger than fits.
QFont titleFont(const QString& text, int width)
{
    QFont font(QStringLiteral("Impact"), 18);
    if (QFontInfo(font).family() == QStringLiteral("Impact")) {
        return font;
    }
    font.setFamilies({QStringLiteral("DejaVu Sans"), QStringLiteral("Sans Serif")});
    font.setBold(true);
    while (font.pointSize() > 10 && QFontMetrics(font).horizontalAdvance(text) > width) {
        font.setPointSize(font.pointSize() - 1);
    }
    return font;
}

void showMessage(const QString& text, int style = vbOKOnly)
{
    desktop().msgBox(text, style, QString::fromLatin1(kProgramTitle));
}

} // namespace

Form1::Form1(Form1Setup setup, QWidget* parent)
    : QWidget(parent), waits_(setup.waits ? *setup.waits : eventLoopWaitClock()),
      programFolder_(setup.programFolder.isEmpty() ? QCoreApplication::applicationDirPath()
                                                   : setup.programFolder)
{
    buildControls();
    if (setup.ports) {
        ComPortSelect->addItems(*setup.ports);
    } else {
        for (const std::string& device : kivo::serial::presentDevices()) {
            ComPortSelect->addItem(QString::fromStdString(device));
        }
    }
    ComPortSelect->setCurrentIndex(ComPortSelect->count() > 0 ? 0 : -1);
    Form_Load(setup.createLink ? std::move(setup.createLink) : LinkFactory(activateLink));
}

Form1::~Form1()
{
    Form_Terminate();
}

void Form1::buildControls()
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("Kivo Fyndel Output Cycling Program"));
    setFixedSize(kClientWidth, kClientHeight);
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    const auto label = [this](const char* name, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QString::fromLatin1(name));
        return l;
    };
    const auto list = [this](const char* name, const QStringList& items) {
        auto* c = new QComboBox(this);
        c->setObjectName(QString::fromLatin1(name));
        // Typing picks or names a value; it does not grow the list, and what is typed stays as
        // typed (no completion turns "program 1" into "Program 1").
        kivo::desktop::makeEditableList(c);
        c->addItems(items);
        return c;
    };
    const auto button = [this](const char* name, const QString& caption) {
        auto* b = new QPushButton(caption, this);
        b->setObjectName(QString::fromLatin1(name));
        b->setAutoDefault(false);
        return b;
    };
    const auto activeLabel = [&](const char* name, const QString& text) {
        QLabel* l = label(name, text);
        QPalette red = l->palette();
        red.setColor(QPalette::WindowText, QColor(255, 0, 0));
        l->setPalette(red);
        QFont bold = l->font();
        bold.setBold(true);
        l->setFont(bold);
        l->setAlignment(Qt::AlignCenter);
        // Showing or hiding it does not move the controls around it.
        QSizePolicy keep = l->sizePolicy();
        keep.setRetainSizeWhenHidden(true);
        l->setSizePolicy(keep);
        l->hide();
        return l;
    };

    Label1 = label("Label1", QStringLiteral("Output Cycling Program"));
    Label1->setAlignment(Qt::AlignCenter);
    Label1->setFont(titleFont(Label1->text(), kClientWidth - 2 * kMargin));
    Label2 = label("Label2", QStringLiteral("Serial Port Select"));
    ComPortSelect = list("ComPortSelect", {});
    Label3 = label("Label3", QStringLiteral("Unit ID Select"));
    QStringList unitIds;
    for (int id = 1; id <= 32; ++id) {
        unitIds << QString::number(id);
    }
    UnitIDSelect = list("UnitIDSelect", unitIds);
    Label4 = label("Label4", QStringLiteral("Select Cycling Program"));
    SelectCycle = list("SelectCycle", {QStringLiteral("Program 1"), QStringLiteral("Program 2")});
    SelectCycle->setEnabled(false);
    // Each list, and its edit field, is named by the label before it.
    kivo::desktop::labelField(*Label2, *ComPortSelect);
    kivo::desktop::labelField(*Label3, *UnitIDSelect);
    kivo::desktop::labelField(*Label4, *SelectCycle);
    OpenCommunications = button("OpenCommunications", QStringLiteral("Open Communications"));
    CloseCommunications = button("CloseCommunications", QStringLiteral("Close Communications"));
    CloseCommunications->setEnabled(false);
    Start = button("Start", QStringLiteral("Start"));
    Stop = button("Stop", QStringLiteral("Stop"));
    Reset = button("Reset", QStringLiteral("Reset"));
    for (QPushButton* b : {Start, Stop, Reset}) {
        b->setEnabled(false);
    }
    CommunicationLabel = activeLabel("CommunicationLabel", QStringLiteral("Communication Active"));
    TambelLabel = activeLabel("TambelLabel", QStringLiteral("Tambel Active"));
    Image1 = label("Image1", {});
    Image1->setPixmap(unitPicture(QSize(80, 52)));
    Image2 = label("Image2", {});
    Image2->setPixmap(cyclingPicture(QSize(kClientWidth - 2 * kMargin - 80 - 12, 52)));

    auto* pictures = new QHBoxLayout;
    pictures->setSpacing(12);
    pictures->addWidget(Image1);
    pictures->addWidget(Image2, 1);

    auto* fields = new QGridLayout;
    fields->setColumnStretch(1, 1);
    fields->setVerticalSpacing(8);
    fields->addWidget(Label2, 0, 0);
    fields->addWidget(ComPortSelect, 0, 1);
    fields->addWidget(Label3, 1, 0);
    fields->addWidget(UnitIDSelect, 1, 1);
    fields->addWidget(Label4, 2, 0);
    fields->addWidget(SelectCycle, 2, 1);

    auto* port = new QHBoxLayout;
    port->addWidget(OpenCommunications);
    port->addWidget(CloseCommunications);

    auto* run = new QHBoxLayout;
    run->addWidget(Start);
    run->addWidget(Stop);
    run->addWidget(Reset);

    auto* page = new QVBoxLayout(this);
    page->setContentsMargins(kMargin, 14, kMargin, 14);
    page->setSpacing(6);
    page->addWidget(Label1);
    page->addSpacing(4);
    page->addLayout(pictures);
    page->addStretch(1);
    page->addLayout(fields);
    page->addStretch(1);
    page->addLayout(port);
    page->addWidget(CommunicationLabel);
    page->addStretch(1);
    page->addLayout(run);
    page->addWidget(TambelLabel);
    page->addStretch(1);

    connect(OpenCommunications, &QPushButton::clicked, this, &Form1::OpenCommunications_Click);
    connect(CloseCommunications, &QPushButton::clicked, this, &Form1::CloseCommunications_Click);
    connect(Start, &QPushButton::clicked, this, &Form1::Start_Click);
    connect(Stop, &QPushButton::clicked, this, &Form1::Stop_Click);
    connect(Reset, &QPushButton::clicked, this, &Form1::Reset_Click);
}

void Form1::Form_Load(LinkFactory createLink)
{
    std::string why;
    LinkObject = createLink(&why);
    if (LinkObject) {
        return;
    }
    QString text = QStringLiteral("The link object \"%1\" could not be created").arg(kLinkProgId);
    if (!why.empty()) {
        text += QStringLiteral(": ") + fromUtf8(why);
    }
    const QString library = programFolder_ + QStringLiteral("/libKivoX.so");
    // Registering refuses a registry file it cannot read: that one goes aside first.
    const std::string registry = kivo::automation::defaultRegistryPath();
    if (const auto aside = kivo::automation::registryAsideName(registry)) {
        text += QStringLiteral(".\n\nMove the registry file aside and register the link library "
                               "again with\n    mv %1 %2\n    kivo-regsvr %3\nand start Tambel "
                               "again (other servers that were registered in it need registering "
                               "again too).")
                    .arg(fromUtf8(registry), fromUtf8(*aside), library);
    } else {
        text += QStringLiteral(".\n\nRegister the link library with\n    kivo-regsvr %1\nand "
                               "start Tambel again.")
                    .arg(library);
    }
    showMessage(text, vbOKOnly + vbCritical);
    close();
}

void Form1::Form_Terminate()
{
    if (!LinkObject) {
        return;
    }
    linkCall("closeport");
    LinkObject.reset();
}

void Form1::closeEvent(QCloseEvent* event)
{
    if (commandInProgress_) {
        // The run's handler is still on the stack: stop it as Stop would, and close once it
        // has ended.
        Running = 0;
        closeAfterCommand_ = true;
        event->ignore();
        return;
    }
    Form_Terminate();
    event->accept();
}

template <class... Args> CallResult Form1::linkCall(std::string_view name, Args&&... args)
{
    // Without an object (it could not be created) the call fails with E_POINTER.
    const CallResult result = call(LinkObject, name, std::forward<Args>(args)...);
    LastResult = fromUtf8(result.status);
    return result;
}

template <class... Args> void Form1::unitCall(std::string_view name, Args&&... args)
{
    const CallResult result = linkCall(name, std::forward<Args>(args)...);
    if (!result.ok()) {
        throw failureExit(QStringLiteral("The link library failed: ") + fromUtf8(result.error));
    }
    // Only a confirmed exchange counts: a unit that stopped answering must end the run.
    if (LastResult != QStringLiteral("CMD_OK")) {
        throw failureExit(QStringLiteral("The Unit Returned ") + LastResult);
    }
}

void Form1::OpenCommunications_Click()
{
    linkCall("openport", ComPortSelect->currentText().toStdString());
    if (LastResult != QStringLiteral("CMD_OK")) {
        showMessage(QStringLiteral("Could not open Port"));
        return;
    }
    OpenCommunications->setEnabled(false);
    CloseCommunications->setEnabled(true);
    ComPortSelect->setEnabled(false);
    UnitIDSelect->setEnabled(true);
    CommunicationLabel->show();
    Start->setEnabled(true);
    Reset->setEnabled(true);
    SelectCycle->setEnabled(true);
}

void Form1::CloseCommunications_Click()
{
    linkCall("closeport");
    OpenCommunications->setEnabled(true);
    CloseCommunications->setEnabled(false);
    Start->setEnabled(false);
    Stop->setEnabled(false);
    ComPortSelect->setEnabled(true);
    UnitIDSelect->setEnabled(false);
    CommunicationLabel->hide();
    Reset->setEnabled(false);
    SelectCycle->setEnabled(false);
}

void Form1::Stop_Click()
{
    Running = 0;
}

void Form1::Start_Click()
{
    runCommand(Command::Start);
}

void Form1::Reset_Click()
{
    runCommand(Command::Reset);
}

void Form1::runCommand(Command command)
{
    setCommandControls(command, true);
    commandInProgress_ = true;
    try {
        const Modules modules = prepare(command);
        if (command == Command::Start) {
            runProgram(selectedProgram(), modules);
        }
    } catch (const RunExit& exit) {
        if (exit.failure) {
            showMessage(exit.message);
        }
    } catch (const std::exception& e) {
        // Nothing may escape into the event loop; memory running out is the likely one.
        showMessage(QStringLiteral("The command failed: ") + QString::fromLocal8Bit(e.what()));
    }
    // What the user clicked or typed while the command blocked the event loop was aimed at
    // controls shown disabled: it reaches them now, while they still are, and does nothing.
    QCoreApplication::processEvents();
    commandInProgress_ = false;
    setCommandControls(command, false);
    if (closeAfterCommand_) {
        closeAfterCommand_ = false;
        close();
    }
}

void Form1::setCommandControls(Command command, bool begins)
{
    Start->setEnabled(!begins);
    // A run can be stopped while it lasts; a reset leaves Stop enabled behind it.
    Stop->setEnabled((command == Command::Start) == begins);
    TambelLabel->setVisible(begins);
    Reset->setEnabled(!begins);
    UnitIDSelect->setEnabled(!begins);
    SelectCycle->setEnabled(!begins);
    CloseCommunications->setEnabled(!begins);
    // The unit calls that follow block the event loop: show the new states before they start.
    repaint();
}

Form1::Modules Form1::prepare(Command command)
{
    scaleIniPath_ = programFolder_ + QStringLiteral("/scale.ini");
    Modules modules;
    const QString unitText = UnitIDSelect->currentText();
    const auto unit = unitIdFromText(unitText);
    if (!unit) {
        throw failureExit(
            QStringLiteral("Unit ID \"%1\" is not a whole number from -32768 to 32767")
                .arg(unitText));
    }
    modules.unit = *unit;
    Running = 1;

    Int16Array present(1, 8);
    unitCall("getpresentmodules", modules.unit, byRef(present));
    const std::vector<std::int16_t> bits = present.values();
    for (std::int16_t slot = 1; slot <= 5; ++slot) {
        if (bits[slot - 1] == 1) {
            modules.presentSlots.push_back(slot);
        }
    }

    for (int i = 1; i <= modules.count(); ++i) {
        const std::int16_t slot = modules.presentSlots[i - 1];
        std::int16_t type = 0;
        unitCall("getmoduletype", modules.unit, slot, byRef(type));
        ModuleScale scale;
        scale.voltageScaleFactor = scaleValue(type, "VoltageScaleFactor");
        scale.maxVoltage = scaleValue(type, "MaxVoltage");
        scale.minVoltage = scaleValue(type, "MinVoltage");
        modules.scales.push_back(scale);

        std::int16_t reading = 0;
        unitCall("measureoutputvoltage", modules.unit, slot, byRef(reading));
        unitCall("measureoutputcurrent", modules.unit, slot, byRef(reading));
        Int16Array good(1, 8);
        unitCall("getmodulegoodstatusbyte", modules.unit, byRef(good));

        if (command == Command::Reset) {
            switchOutput(modules, i, 1);
            setSetPoint(modules, i, (scale.minVoltage + scale.maxVoltage) * 0.5);
        }
    }
    return modules;
}

double Form1::scaleValue(std::int16_t type, const char* key) const
{
    const QString section = QStringLiteral("TYPE") + QString::number(type);
    const QString text = GetIniString(section, QString::fromLatin1(key), scaleIniPath_);
    if (text == QStringLiteral("N/A")) {
        throw failureExit(QStringLiteral("scale.ini has no %1 for the module type %2 (section %3)")
                              .arg(QString::fromLatin1(key))
                              .arg(type)
                              .arg(section));
    }
    const auto number = kivo::basic::fileNumber(text);
    if (!number) {
        throw failureExit(
            QStringLiteral("%1 of the module type %2 in scale.ini is not a number: \"%3\"")
                .arg(QString::fromLatin1(key))
                .arg(type)
                .arg(text));
    }
    return number.value();
}

std::span<const Step> Form1::selectedProgram() const
{
    const QString text = SelectCycle->currentText();
    if (text == QStringLiteral("Program 1")) {
        return program1();
    }
    if (text == QStringLiteral("Program 2")) {
        return program2();
    }
    throw failureExit(QStringLiteral("\"%1\" is neither Program 1 nor Program 2").arg(text));
}

void Form1::runProgram(std::span<const Step> program, const Modules& modules)
{
    const int n = modules.count();
    for (;;) {
        for (const Step& step : program) {
            if (n < step.needs) {
                continue;
            }
            for (const Action& action : step.actions) {
                if (n < action.needs) {
                    continue;
                }
                switch (action.kind) {
                case Action::AllOn:
                case Action::AllOff:
                    for (int i = 1; i <= n; ++i) {
                        switchOutput(modules, i, action.kind == Action::AllOn ? 1 : 0);
                    }
                    break;
                case Action::On:
                    switchOutput(modules, action.module, 1);
                    break;
                case Action::SetPointAtMin:
                    setSetPoint(modules, action.module,
                                modules.scales[action.module - 1].minVoltage);
                    break;
                case Action::SetPointAtMax:
                    setSetPoint(modules, action.module,
                                modules.scales[action.module - 1].maxVoltage);
                    break;
                }
            }
            WaitSeconds(step.waitSeconds);
        }
    }
}

void Form1::WaitSeconds(double seconds)
{
    const Clock::time_point end = waits_.now() + std::chrono::duration_cast<Clock::duration>(
                                                     std::chrono::duration<double>(seconds));
    for (;;) {
        if (waits_.now() >= end) {
            return;
        }
        waits_.waitForEvents(end);
        if (Running == 0) {
            throw RunExit{};
        }
    }
}

void Form1::switchOutput(const Modules& modules, int module, std::int16_t state)
{
    unitCall("setoutputstate", modules.unit, modules.presentSlots[module - 1], state);
}

void Form1::setSetPoint(const Modules& modules, int module, double volts)
{
    const double raw = volts * modules.scales[module - 1].voltageScaleFactor;
    const auto counts = kivo::basic::CInt(raw);
    if (!counts) {
        throw failureExit(
            QStringLiteral("The set point of the module in slot %1 comes to %2 counts, outside "
                           "-32768 to 32767")
                .arg(modules.presentSlots[module - 1])
                .arg(kivo::basic::CStr(kivo::basic::Round(raw), QLocale::c())));
    }
    std::int16_t setPoint = counts.value();
    unitCall("setoutputvoltagesetpoint", modules.unit, modules.presentSlots[module - 1],
             byRef(setPoint));
}

} // namespace Tambel
