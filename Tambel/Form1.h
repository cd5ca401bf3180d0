// The window of the output cycling test program.
//
// It creates its own link object when it loads, opens one serial port on request and keeps it
// open until Close Communications or the end of the window. While the port is open the user picks
// a unit and a cycling program; Start runs the program until Stop, Reset switches every module on
// at the middle of its voltage range.
//
// The controls keep their names as object names. Tests build the window with a Form1Setup of
// their own: a link object of theirs, a clock that lets a pass of a program take no real time,
// their own program folder (for "scale.ini") and port list.
#pragma once

#include "Tambel/Waits.h"
#include "platform/automation/call.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace Tambel {

struct Step;

// The link object's ProgID as this program asks for it (matched without regard to case).
inline constexpr const char* kLinkProgId = "Kivox.kivo.1";
// The title of the program's message boxes.
inline constexpr const char* kProgramTitle = "Tambel";

using LinkFactory =
    std::function<kivo::automation::ComPtr<kivo::automation::IDispatch>(std::string* why)>;

// What the window is built with; what is left empty is the running program's own.
struct Form1Setup {
    // Creates the link object: an empty pointer on failure, with the reason in *why.
    // Default: activation of kLinkProgId.
    LinkFactory createLink;
    // Default: eventLoopWaitClock().
    WaitClock* waits = nullptr;
    // Where "scale.ini" lies. Default: the folder of the running program.
    QString programFolder;
    // The items of the port list. Default: the serial devices present.
    std::optional<QStringList> ports;
};

class Form1 : public QWidget {
    Q_OBJECT

public:
    explicit Form1(Form1Setup setup = {}, QWidget* parent = nullptr);
    // Ends the window: closes the port and releases the link object, unless closing did so.
    ~Form1() override;

    // False when the link object could not be created at load; the window is closed then.
    bool hasLinkObject() const { return static_cast<bool>(LinkObject); }
    // The status string of the most recent unit operation.
    const QString& lastResult() const { return LastResult; }
    // 1 from the beginning of a run or reset until Stop.
    std::int16_t running() const { return Running; }

    void OpenCommunications_Click();
    void CloseCommunications_Click();
    void Start_Click();
    void Stop_Click();
    void Reset_Click();

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QComboBox* ComPortSelect = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* UnitIDSelect = nullptr;
    QLabel* Label4 = nullptr;
    QComboBox* SelectCycle = nullptr;
    QPushButton* OpenCommunications = nullptr;
    QPushButton* CloseCommunications = nullptr;
    QPushButton* Start = nullptr;
    QPushButton* Stop = nullptr;
    QPushButton* Reset = nullptr;
    QLabel* CommunicationLabel = nullptr;
    QLabel* TambelLabel = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Image2 = nullptr;

protected:
    // Closing during a run stops the run first; the window closes once it has ended.
    void closeEvent(QCloseEvent* event) override;

private:
    enum class Command { Start, Reset };

    // "scale.ini" values of the module type fitted at one module number.
    struct ModuleScale {
        double voltageScaleFactor = 0;
        double maxVoltage = 0;
        double minVoltage = 0;
    };

    // What one run or reset keeps while it lasts.
    struct Modules {
        std::int16_t unit = 0;
        // The slot of module number i at [i - 1]: the present slots in order.
        std::vector<std::int16_t> presentSlots;
        std::vector<ModuleScale> scales;
        int count() const { return static_cast<int>(presentSlots.size()); }
    };

    void buildControls();
    void Form_Load(LinkFactory createLink);
    void Form_Terminate();

    void runCommand(Command command);
    void setCommandControls(Command command, bool begins);
    Modules prepare(Command command);
    // One number of the module type's section of "scale.ini".
    double scaleValue(std::int16_t type, const char* key) const;
    std::span<const Step> selectedProgram() const;
    [[noreturn]] void runProgram(std::span<const Step> program, const Modules& modules);
    void WaitSeconds(double seconds);

    void switchOutput(const Modules& modules, int module, std::int16_t state);
    void setSetPoint(const Modules& modules, int module, double volts);

    template <class... Args>
    kivo::automation::CallResult linkCall(std::string_view name, Args&&... args);
    // A unit operation of a run or reset: anything but "CMD_OK" ends the command.
    template <class... Args> void unitCall(std::string_view name, Args&&... args);

    kivo::automation::ComPtr<kivo::automation::IDispatch> LinkObject;
    QString LastResult;
    std::int16_t Running = 0;

    WaitClock& waits_;
    QString programFolder_;
    QString scaleIniPath_;
    // A run or reset is on the stack.
    bool commandInProgress_ = false;
    bool closeAfterCommand_ = false;
};

} // namespace Tambel
