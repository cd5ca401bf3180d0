// The configuration window's installation utilities: find the ID of the one unit connected,
// give a unit a new ID, and show the link library's version. They work without a unit having
// been read and change nothing in the window: its unit list, SelectedUnitId and the unit it read
// stay as they were. The window's buttons call them:
//
//     connect(cmdDetectUnitID, &QPushButton::clicked, this, [] {
//         UnitIdUtilities::cmdDetectUnitID_Click();
//     });
//
// The ID operations open the port on DefaultComPort themselves and close it before they end,
// under the program-wide link-in-use guard for their whole run (input boxes included); a click
// that finds the guard taken does nothing at all. The scan also holds the busy state on the
// window whose button started it, so that window takes no click while the scan pumps events,
// whichever window is active then, and shows the wait box, drawn before every call on the unit
// and hidden again on every way out.
#pragma once

#include <QString>

class QWidget;

#include <cstdint>
#include <optional>

namespace KivoSoft::UnitIdUtilities {

// The guard's holder names, for diagnostics and tests.
inline const QString DetectHolder = QStringLiteral("SupplyConfig.cmdDetectUnitID");
inline const QString ChangeHolder = QStringLiteral("SupplyConfig.cmdChangeToNewUnitID");

// Tries IDs from 1 up to the highest one asked for, one GetUnitID each, and says which answered.
// `window`: the window whose button started it (no window: the active one is busy).
void cmdDetectUnitID_Click(QWidget* window = nullptr);
// Asks for a unit's ID and its new one and sends SetNewUnitID.
void cmdChangeToNewUnitID_Click();
// WhoAmI's text in a box; the port is not used.
void cmdDllFileVersion_Click();

// The progress text of the scan for `id` of `highest`: "Scanning... Testing UnitID = 1 to 3
// (33.33 %)", the percentage with the user's decimal separator.
QString scanProgressText(std::int16_t id, std::int16_t highest);

} // namespace KivoSoft::UnitIdUtilities
