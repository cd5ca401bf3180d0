// Every modal window and every effect outside the program that a window has, behind one interface.
//
// Windows never create a QMessageBox, QInputDialog or QFileDialog, never open a URL or start a
// process themselves: they call desktop(), the process-wide current Desktop.
//
//     using namespace kivo::desktop;
//     if (desktop().msgBox("Restart the outputs now?", vbYesNo + vbInformation,
//                          "EEPROM Configurator") == vbYes) { ... }
//
// The program runs on a QtDesktop (qt_desktop.h); tests install a RecordingDesktop
// (recording_desktop.h) with ScopedDesktop, so no test ever blocks on a modal window and every
// call can be checked with its arguments.
#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QUrl>
#include <optional>

namespace kivo::desktop {

// Message box style: one button set plus one icon, added together as in the forms runtime
// (vbYesNo + vbQuestion).
enum MsgBoxStyle : int {
    vbOKOnly = 0,
    vbOKCancel = 1,
    vbAbortRetryIgnore = 2,
    vbYesNoCancel = 3,
    vbYesNo = 4,
    vbRetryCancel = 5,
    vbCritical = 16,
    vbQuestion = 32,
    vbExclamation = 48,
    vbInformation = 64,
};

// The button the user pressed.
enum MsgBoxResult : int {
    vbOK = 1,
    vbCancel = 2,
    vbAbort = 3,
    vbRetry = 4,
    vbIgnore = 5,
    vbYes = 6,
    vbNo = 7,
};

// The buttons of a style, left to right: vbYesNoCancel gives vbYes, vbNo, vbCancel. An unknown
// button set counts as vbOKOnly.
QList<MsgBoxResult> msgBoxButtons(int style);

enum class MsgBoxIcon { None, Critical, Question, Exclamation, Information };
// The icon of a style; an unknown icon value counts as none.
MsgBoxIcon msgBoxIcon(int style);

enum class FileDialogMode { Open, Save };

struct FileDialogRequest {
    FileDialogMode mode = FileDialogMode::Open;
    QString title;
    // The forms runtime's filter text, description and pattern alternating, "|" between them and
    // ";" between patterns: "Text files (*.txt)|*.txt|All files (*.*)|*.*".
    QString filter;
    // Added to a typed name without one: "txt" (a leading "." is ignored).
    QString defaultSuffix;
    // Name (or path) the dialog starts with; may be empty.
    QString initialName;

    friend bool operator==(const FileDialogRequest&, const FileDialogRequest&) = default;
};

// The filter of a FileDialogRequest as Qt name filters, one per description: its own trailing
// "(...)" is replaced by the patterns, and "*.*" becomes "*" so files without an extension are
// listed too. "Text files (*.txt)|*.txt|All files (*.*)|*.*" gives "Text files (*.txt)" and
// "All files (*)". A description without a pattern after it is dropped.
QStringList nameFilters(QStringView filter);

class Desktop {
public:
    virtual ~Desktop() = default;

    // A modal message box. An empty title shows the application's title. Returns the button
    // pressed; closing the box counts as Cancel where it has one, else as its only or first button.
    virtual MsgBoxResult msgBox(const QString& prompt, int style = vbOKOnly,
                                const QString& title = {}) = 0;

    // A modal one-line input box with `defaultText` pre-filled. Returns the text on OK, "" on
    // Cancel (so an emptied field and Cancel look the same, as the callers expect). An empty title
    // shows the application's title.
    virtual QString inputBox(const QString& prompt, const QString& title = {},
                             const QString& defaultText = {}) = 0;

    // A modal open or save dialog. Returns the chosen path, or nothing when cancelled.
    virtual std::optional<QString> fileDialog(const FileDialogRequest& request) = 0;

    // Shows the help topic file `topic` ("GUI.html") of the help folder in the help viewer.
    // Returns false, showing nothing, when the topic is missing (or is not a plain file name), so
    // the caller can show its own "help not installed" message.
    virtual bool showHelpTopic(const QString& topic) = 0;

    // Opens a web address in the desktop's browser. Returns whether that was started.
    virtual bool openWebPage(const QUrl& address) = 0;

    // Opens a file in the desktop's viewer for its type; the path is passed as one argument,
    // never through a shell. Returns whether that was started.
    virtual bool openFile(const QString& path) = 0;

    // Starts `program` with `arguments` as a separate process and returns at once; no shell is
    // involved. Returns whether it started; callers that ignore failures just drop the result.
    virtual bool startProgram(const QString& program, const QStringList& arguments = {}) = 0;
};

// The current desktop: the one installed last with setDesktop(), or else a QtDesktop created on
// first use (a QApplication must exist by then).
Desktop& desktop();

// Installs `desktop` as the current one (nullptr goes back to the Qt default) and returns the one
// installed before (nullptr when that was the default). The caller keeps ownership.
Desktop* setDesktop(Desktop* desktop);

// Installs a desktop for its lifetime and puts the previous one back.
class ScopedDesktop {
public:
    explicit ScopedDesktop(Desktop& desktop) : previous_(setDesktop(&desktop)) {}
    ~ScopedDesktop() { setDesktop(previous_); }
    ScopedDesktop(const ScopedDesktop&) = delete;
    ScopedDesktop& operator=(const ScopedDesktop&) = delete;

private:
    Desktop* previous_;
};

} // namespace kivo::desktop
