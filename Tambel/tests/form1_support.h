// What the window's tests share: waits that take no real time, the controls' states at a glance,
// and a short notation for what a run switched.
#pragma once

#include "Tambel/Form1.h"
#include "Tambel/Waits.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <cctype>
#include <chrono>
#include <cstdint>
#include <functional>
#include <iomanip>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace Tambel::testing {

// A clock that jumps to the end of each wait, after letting the pending events run once. Each
// wait is recorded as "wait <seconds>"; `onWait` sees the count of waits so far next.
class FakeWaits final : public WaitClock {
public:
    explicit FakeWaits(std::function<void(const std::string&)> record) : record_(std::move(record))
    {
    }

    Clock::time_point now() override { return now_; }

    void waitForEvents(Clock::time_point deadline) override
    {
        std::ostringstream line;
        line << "wait " << std::chrono::duration<double>(deadline - now_).count();
        record_(line.str());
        ++count;
        if (onWait) {
            onWait(count);
        }
        QCoreApplication::processEvents();
        now_ = deadline;
    }

    int count = 0;
    std::function<void(int count)> onWait;

private:
    std::function<void(const std::string&)> record_;
    // A second before a midnight: a wait lasts its whole time wherever it begins.
    Clock::time_point now_ = Clock::time_point() + std::chrono::hours(23) +
                             std::chrono::minutes(59) + std::chrono::seconds(59);
};

// Module types for the tests: set points that show which module's values were used and how
// halves are rounded, and the faults a "scale.ini" can have.
inline constexpr const char* kScaleIni = "[TYPE1]\n"
                                         "MinVoltage=0.0\n"
                                         "MaxVoltage=5.0\n"
                                         "VoltageScaleFactor=100.0\n"
                                         "[TYPE2]\n" // mid 1.5 V x 3 = 4.5 -> 4
                                         "MinVoltage=1\n"
                                         "MaxVoltage=2\n"
                                         "VoltageScaleFactor=3\n"
                                         "[TYPE3]\n" // mid 2.75 V x 2 = 5.5 -> 6
                                         "MinVoltage=2.5\n"
                                         "MaxVoltage=3\n"
                                         "VoltageScaleFactor=2\n"
                                         "[TYPE4]\n"
                                         "MinVoltage=abc\n"
                                         "MaxVoltage=5\n"
                                         "VoltageScaleFactor=100\n"
                                         "[TYPE5]\n"
                                         "MinVoltage=0\n"
                                         "VoltageScaleFactor=100\n"
                                         "[TYPE6]\n" // mid 350 V x 100 = 35000 counts
                                         "MinVoltage=300\n"
                                         "MaxVoltage=400\n"
                                         "VoltageScaleFactor=100\n";

// Which controls are enabled (the labels: shown); what is not named is off.
struct Controls {
    bool open = false;  // OpenCommunications
    bool close = false; // CloseCommunications
    bool port = false;  // ComPortSelect
    bool unit = false;  // UnitIDSelect
    bool cycle = false; // SelectCycle
    bool start = false;
    bool reset = false;
    bool stop = false;
    bool communication = false; // CommunicationLabel
    bool tambel = false;        // TambelLabel
    friend bool operator==(const Controls&, const Controls&) = default;
};

inline void PrintTo(const Controls& c, std::ostream* out)
{
    *out << "{";
    const std::pair<bool, const char*> all[] = {
        {c.open, "open"},    {c.close, "close"}, {c.port, "port"},
        {c.unit, "unit"},    {c.cycle, "cycle"}, {c.start, "start"},
        {c.reset, "reset"},  {c.stop, "stop"},   {c.communication, "communication"},
        {c.tambel, "tambel"}};
    for (const auto& [on, name] : all) {
        if (on) {
            *out << " " << name;
        }
    }
    *out << " }";
}

inline Controls controlsOf(const Form1& f)
{
    return {.open = f.OpenCommunications->isEnabled(),
            .close = f.CloseCommunications->isEnabled(),
            .port = f.ComPortSelect->isEnabled(),
            .unit = f.UnitIDSelect->isEnabled(),
            .cycle = f.SelectCycle->isEnabled(),
            .start = f.Start->isEnabled(),
            .reset = f.Reset->isEnabled(),
            .stop = f.Stop->isEnabled(),
            .communication = !f.CommunicationLabel->isHidden(),
            .tambel = !f.TambelLabel->isHidden()};
}

inline constexpr Controls kFirstLoad{.open = true, .port = true, .unit = true};
inline constexpr Controls kPortOpen{.close = true,
                                    .unit = true,
                                    .cycle = true,
                                    .start = true,
                                    .reset = true,
                                    .communication = true};
inline constexpr Controls kPortClosed{.open = true, .port = true};
inline constexpr Controls kStartRuns{.stop = true, .communication = true, .tambel = true};
inline constexpr Controls kStartEnded = kPortOpen;
inline constexpr Controls kResetRuns{.communication = true, .tambel = true};
// A reset leaves Stop enabled.
inline constexpr Controls kResetEnded{.close = true,
                                      .unit = true,
                                      .cycle = true,
                                      .start = true,
                                      .reset = true,
                                      .stop = true,
                                      .communication = true};

inline QStringList items(const QComboBox* list)
{
    QStringList all;
    for (int i = 0; i < list->count(); ++i) {
        all << list->itemText(i);
    }
    return all;
}

// What a run switched and waited, from a trace of the fake link's calls and the waits:
// "3+" slot 3 on, "3-" off, "3=250" its set point to 250 counts, "w1.5" a wait of 1.5 s.
// Other calls are left out.
inline std::string programTrace(const std::vector<std::string>& trace)
{
    std::string out;
    const auto add = [&](const std::string& token) {
        if (!out.empty()) {
            out += ' ';
        }
        out += token;
    };
    for (const std::string& line : trace) {
        std::istringstream in(line);
        std::string name;
        in >> name;
        if (name == "wait") {
            std::string seconds;
            in >> seconds;
            add("w" + seconds);
        } else if (name == "SetOutputState") {
            int unit = 0, slot = 0, on = 0;
            in >> unit >> slot >> on;
            add(std::to_string(slot) + (on ? "+" : "-"));
        } else if (name == "SetOutputVoltageSetpoint") {
            int unit = 0, slot = 0, counts = 0;
            in >> unit >> slot >> counts;
            add(std::to_string(slot) + "=" + std::to_string(counts));
        }
    }
    return out;
}

// The calls of a reset of unit 7, whose slots 1 to 5 hold module types 1, 2, 3, 1 and 1.
struct ResetCase {
    const char* name;
    std::uint8_t present;
    std::vector<std::string> calls;
};

inline const std::vector<ResetCase> kResetCases{
    {"no module", 0x00, {"GetPresentModules 7"}},
    {"one module",
     0x01,
     {"GetPresentModules 7", "GetModuleType 7 1", "MeasureOutputVoltage 7 1",
      "MeasureOutputCurrent 7 1", "GetModuleGoodStatusByte 7", "SetOutputState 7 1 1",
      "SetOutputVoltageSetpoint 7 1 250"}},
    {"three modules",
     0x07,
     {"GetPresentModules 7", "GetModuleType 7 1", "MeasureOutputVoltage 7 1",
      "MeasureOutputCurrent 7 1", "GetModuleGoodStatusByte 7", "SetOutputState 7 1 1",
      "SetOutputVoltageSetpoint 7 1 250", "GetModuleType 7 2", "MeasureOutputVoltage 7 2",
      "MeasureOutputCurrent 7 2", "GetModuleGoodStatusByte 7", "SetOutputState 7 2 1",
      "SetOutputVoltageSetpoint 7 2 4", "GetModuleType 7 3", "MeasureOutputVoltage 7 3",
      "MeasureOutputCurrent 7 3", "GetModuleGoodStatusByte 7", "SetOutputState 7 3 1",
      "SetOutputVoltageSetpoint 7 3 6"}},
    // Module numbers 1 to 3 are the fitted slots 1, 3 and 5, each with its own type.
    {"slots 1, 3 and 5",
     0x15,
     {"GetPresentModules 7", "GetModuleType 7 1", "MeasureOutputVoltage 7 1",
      "MeasureOutputCurrent 7 1", "GetModuleGoodStatusByte 7", "SetOutputState 7 1 1",
      "SetOutputVoltageSetpoint 7 1 250", "GetModuleType 7 3", "MeasureOutputVoltage 7 3",
      "MeasureOutputCurrent 7 3", "GetModuleGoodStatusByte 7", "SetOutputState 7 3 1",
      "SetOutputVoltageSetpoint 7 3 6", "GetModuleType 7 5", "MeasureOutputVoltage 7 5",
      "MeasureOutputCurrent 7 5", "GetModuleGoodStatusByte 7", "SetOutputState 7 5 1",
      "SetOutputVoltageSetpoint 7 5 250"}},
};

// One pass of a program and the first step of the next, in the notation of programTrace(),
// for a unit whose slots 1 to 3 hold module types 1, 2 and 3 of the tests' "scale.ini".
struct PassCase {
    const char* program;
    std::uint8_t present;
    std::string expected;
};

inline void PrintTo(const PassCase& c, std::ostream* out)
{
    *out << c.program << ", present slots 0x" << std::hex << int(c.present);
}

// "Program1Slots15" for Program 1 on slots 1, 3 and 5 (bits 0x15).
inline std::string passName(const PassCase& c)
{
    std::ostringstream name;
    name << std::string(c.program).erase(7, 1) << "Slots" << std::hex << std::setw(2)
         << std::setfill('0') << int(c.present);
    return name.str();
}

inline const std::vector<PassCase> kProgram1Passes{
    {"Program 1", 0x00, "w2 w2 w2 w2 w2 | w2"},
    {"Program 1", 0x01, "1+ w2 1- w2 1+ w2 1- w2 1+ w2 1- w2 1+ w1.5 1- w2 | 1+ w2"},
    {"Program 1", 0x03,
     "1+ 2+ w2 1- 2- w2 2+ w1.5 1+ w2 1- 2- w2 2+ w1.5 1+ w2 1- 2- w2 1+ w1.5 2+ w2 "
     "1- 2- w2 | 1+ 2+ w2"},
    {"Program 1", 0x07,
     "1+ 2+ 3+ w2 1- 2- 3- w2 3+ w1.5 2+ w1.5 1+ w2 1- 2- 3- w2 2+ 3+ w1.5 1+ w2 "
     "1- 2- 3- w2 1+ w1.5 2+ 3+ w2 1- 2- 3- w2 | 1+ 2+ 3+ w2"},
    {"Program 1", 0x1F,
     "1+ 2+ 3+ 4+ 5+ w2 1- 2- 3- 4- 5- w2 4+ w1.5 3+ w1.5 2+ w1.5 1+ w2 "
     "1- 2- 3- 4- 5- w2 4+ w1.5 2+ 3+ w1.5 1+ w2 1- 2- 3- 4- 5- w2 1+ w1.5 "
     "2+ 3+ 4+ w2 1- 2- 3- 4- 5- w2 | 1+ 2+ 3+ 4+ 5+ w2"},
    // Module numbers 1 to 3 are the fitted slots 1, 3 and 5.
    {"Program 1", 0x15,
     "1+ 3+ 5+ w2 1- 3- 5- w2 5+ w1.5 3+ w1.5 1+ w2 1- 3- 5- w2 3+ 5+ w1.5 1+ w2 "
     "1- 3- 5- w2 1+ w1.5 3+ 5+ w2 1- 3- 5- w2 | 1+ 3+ 5+ w2"},
};

inline const std::vector<PassCase> kProgram2Passes{
    {"Program 2", 0x00, "w2 w2 | w2"},
    {"Program 2", 0x01, "1- w2 1+ w2 1- w2 1+ w2 | 1- w2"},
    // Module 2 is of type 2: 1 V and 2 V at 3 counts a volt.
    {"Program 2", 0x03, "1- 2- w2 2=3 2+ w1.5 1+ w2 1- 2- w2 2=6 2+ w1.5 1+ w2 | 1- 2- w2"},
    // Module 3 is of type 3: 2.5 V and 3 V at 2 counts a volt.
    {"Program 2", 0x07,
     "1- 2- 3- w2 3=5 3+ w1.5 2=3 2+ w1.5 1+ w2 1- 2- 3- w2 3=6 3+ w1.5 2=6 2+ w1.5 "
     "1+ w2 | 1- 2- 3- w2"},
    {"Program 2", 0x1F,
     "1- 2- 3- 4- 5- w2 4+ w1.5 3=5 3+ w1.5 2=3 2+ w1.5 1+ w2 1- 2- 3- 4- 5- w2 "
     "4+ w1.5 3=6 3+ w1.5 2=6 2+ w1.5 1+ w2 | 1- 2- 3- 4- 5- w2"},
};

// A pass written with "|" between the passes, without them.
inline std::string withoutBars(std::string text)
{
    for (auto at = text.find("| "); at != std::string::npos; at = text.find("| ")) {
        text.erase(at, 2);
    }
    return text;
}

// A test case name from a description: its letters and digits.
inline std::string testName(const std::string& description)
{
    std::string name;
    bool upper = true;
    for (char c : description) {
        if (std::isalnum(static_cast<unsigned char>(c))) {
            name += upper ? static_cast<char>(std::toupper(static_cast<unsigned char>(c))) : c;
            upper = false;
        } else {
            upper = true;
        }
    }
    return name;
}

inline void writeFile(const QString& path, const char* text)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(text);
    }
}

} // namespace Tambel::testing
