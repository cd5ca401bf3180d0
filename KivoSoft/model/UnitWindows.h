// What a unit read writes straight into the configuration and monitor windows.
//
// A whole-unit read (KivoData) reports its progress, the module IDs, the range controls of each
// slot and a unit that does not answer to whichever object is installed here. The main program
// installs one that forwards to the two windows; the configuration window takes only what its own
// read reports. With nothing installed every call does nothing and the progress text reads as
// empty.
//
//     class ProgramWindows final : public KivoSoft::UnitWindows {
//         QString configProgressText() override { return config().RichTextBox1->toPlainText(); }
//         void setConfigProgressText(const QString& t) override { ... setPlainText(t); update(); }
//         ...
//     };
//     ProgramWindows windows;
//     KivoSoft::ScopedUnitWindows installed(windows);
//
// Every member has an empty default body, so a partial implementation stays small. Slots are the
// module slots 1 to 5.
#pragma once

#include <QString>

#include <cstdint>

namespace KivoSoft {

class UnitWindows {
public:
    virtual ~UnitWindows() = default;

    // ---- Configuration window (SupplyConfig)

    // The text of the progress box RichTextBox1, and its replacement (the box is refreshed at
    // once).
    virtual QString configProgressText() { return {}; }
    virtual void setConfigProgressText(const QString& text) { static_cast<void>(text); }
    // After each progress write: bring the end of the progress text into view (the original's
    // character-set selection call with the tab character and two True flags); the text stays.
    virtual void selectConfigProgress() {}

    // txtModuleID(slot): the module type's name from "scale.ini".
    virtual void setConfigModuleId(int slot, const QString& name)
    {
        static_cast<void>(slot), static_cast<void>(name);
    }
    // hscrollCurrentLimit(slot): the range of the current-limit scroll bar, minimum set first.
    virtual void setConfigCurrentLimitMinimum(int slot, std::int16_t value)
    {
        static_cast<void>(slot), static_cast<void>(value);
    }
    virtual void setConfigCurrentLimitMaximum(int slot, std::int16_t value)
    {
        static_cast<void>(slot), static_cast<void>(value);
    }
    // lblMaxCL(slot): the caption showing the module's maximum current.
    virtual void setConfigMaxCurrentCaption(int slot, const QString& caption)
    {
        static_cast<void>(slot), static_cast<void>(caption);
    }
    // slrVsp(slot): the set-point slider in tenths of a volt. A read sets the minimum to 0, then
    // the maximum, then the minimum, in that order.
    virtual void setConfigSetPointMinimum(int slot, std::int32_t value)
    {
        static_cast<void>(slot), static_cast<void>(value);
    }
    virtual void setConfigSetPointMaximum(int slot, std::int32_t value)
    {
        static_cast<void>(slot), static_cast<void>(value);
    }
    // lblModulesOFF: "Modules OFF by GLOBAL INHIBIT" when the modules did not answer while the
    // unit's default global output state is on.
    virtual void setConfigModulesOffCaption(const QString& caption) { static_cast<void>(caption); }

    // ---- Monitor window (MonitorForm)

    // The unit did not answer the presence query: the window gets this size in twips (its own
    // resize rule then applies) and its title label Label3D3 the caption.
    virtual void monitorUnitDoesNotRespond(int heightTwips, int widthTwips, const QString& caption)
    {
        static_cast<void>(heightTwips), static_cast<void>(widthTwips), static_cast<void>(caption);
    }
};

// The installed windows, or an object that does nothing when none is installed.
UnitWindows& unitWindows();

// Installs `windows` (nullptr: none) and returns the one installed before. The caller keeps
// ownership and uninstalls it before it goes.
UnitWindows* setUnitWindows(UnitWindows* windows);

// Installs windows for its lifetime and puts the previous ones back.
class ScopedUnitWindows {
public:
    explicit ScopedUnitWindows(UnitWindows& windows) : previous_(setUnitWindows(&windows)) {}
    ~ScopedUnitWindows() { setUnitWindows(previous_); }
    ScopedUnitWindows(const ScopedUnitWindows&) = delete;
    ScopedUnitWindows& operator=(const ScopedUnitWindows&) = delete;

private:
    UnitWindows* previous_;
};

} // namespace KivoSoft
