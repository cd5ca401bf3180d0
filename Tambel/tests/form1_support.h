// What the window's tests share: waits that take no real time, the controls' states at a glance,
// and a short notation for what a run switched.
#pragma once

#include "Tambel/Form1.h"
#include "Tambel/Waits.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QFile>
#include <QStringList>
#include <chrono>
#include <functional>
#include <ostream>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace Tambel::testing {

// A clock that jumps to the end of each wait, after letting the pending events run once. Each
// wait adds "wait <seconds>" to the trace; `onWait` sees the count of waits so far first.
class FakeWaits final : public WaitClock {
public:
    explicit FakeWaits(std::vector<std::string>* trace) : trace_(trace) {}

    Clock::time_point now() override { return now_; }

    void waitForEvents(Clock::time_point deadline) override
    {
        std::ostringstream line;
        line << "wait " << std::chrono::duration<double>(deadline - now_).count();
        trace_->push_back(line.str());
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
    std::vector<std::string>* trace_;
    // Any start will do: the waits never look at the time of day.
    Clock::time_point now_ = Clock::time_point() + std::chrono::hours(23) +
                             std::chrono::minutes(59) + std::chrono::seconds(59);
};

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
