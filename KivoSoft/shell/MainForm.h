// The start window of the program: guards against a second running instance, runs the start-up
// routine, and leads to the monitor window, the configuration window, the port dialog and the
// about box; it also opens the help topics and the maker's web pages, and ends the program.
//
//     MainForm& window = Forms::mainForm();
//     if (window.Form_Load() != MainForm::Loaded::Yes) { ... end the program ... }
//     window.show();
//
// The handlers keep the names of the events they answer (cmdComPort_Click, Form_MouseMove ...),
// so tests and the other windows call them directly. Mouse positions are in twips (15 twips to
// the pixel) from the top left corner of the window's surface below the menu bar.
#pragma once

#include "KivoSoft/controls/Label3D.h"
#include "KivoSoft/shell/ShellControls.h"
#include "platform/desktop/fixed_size.h"
#include "platform/desktop/single_instance.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QString>
#include <QWidget>

#include <functional>

namespace KivoSoft {

class MainForm : public QWidget {
    Q_OBJECT
public:
    // The caption: four blanks, "M  a  i  n", nine blanks, "M  e  n  u".
    static inline const QString Caption = QStringLiteral("    M  a  i  n         M  e  n  u");
    // The fixed size of the normal window, in twips.
    static constexpr int NormalWidthTwips = 11235;
    static constexpr int NormalHeightTwips = 7080;

    // What lbl says over the background, over Image2 and over Picture1.
    static inline const QString SelectOptionText =
        QStringLiteral("S e l e c t   O p t i o n . . .");
    static inline const QString MonitorHoverText =
        QStringLiteral("Real-time Power Supply Interaction");
    static inline const QString ConfiguratorHoverText =
        QStringLiteral("Power Supply Eeprom Custom Configuration");

    // The web pages of the help menu and of Label2.
    static inline const QString ProductPage = QStringLiteral("https://www.dravon.example/kivo/");
    static inline const QString ProductPageText = QStringLiteral("www.dravon.example/kivo");
    static inline const QString MakerHomepage = QStringLiteral("https://www.dravon.example/");
    static inline const QString MakerUKHomepage = QStringLiteral("https://uk.dravon.example/");
    static inline const QString FyndelHomepageAddress =
        QStringLiteral("https://www.fyndel.example/");
    static inline const QString KivoHomepageAddress =
        QStringLiteral("https://www.dravon.example/kivo/home/");

    // `instanceName` names the single-instance lock ("Kivo"); tests pass their own.
    explicit MainForm(const QString& instanceName = QStringLiteral("Kivo"),
                      QWidget* parent = nullptr);
    ~MainForm() override;

    enum class Loaded {
        Yes,
        // Another instance runs: nothing was started and nothing is shown.
        AnotherInstance,
        // The start-up routine could not create the link object and has said why.
        StartupFailed,
    };
    // The window's load: the single-instance guard, the start-up routine, lbl and the port label.
    Loaded Form_Load();

    // Hide the main window, then show the monitor window.
    void Image2_Click();
    void View_Click();
    // Show the configuration window, then hide the main window.
    void Picture1_Click();
    void Default_Click();
    // The port dialog; when it returns the port label shows the port in use, after either
    // command.
    void cmdComPort_Click();
    void CommParams_Click();
    void AboutKivo_Click();
    // Release the link object, then unload the window, which ends the program.
    void cmdExit_Click();
    void Exit_Click();
    // Releases the link object (again: a released one stays released), closes every other
    // window and ends the event loop.
    void Form_Unload();
    // Unloading is never cancelled.
    void Form_QueryUnload() {}
    // A maximized window goes back to normal, and a normal one to its fixed size. It runs after
    // every change of the window's size or state, also one made from outside.
    void Form_Resize();

    // Hover feedback: the border on the item under the pointer, and what it does in lbl. Over the
    // background an item keeps its border while the point lies within its rectangle, edges
    // included.
    void Form_MouseMove(short Button, short Shift, float X, float Y);
    void Image2_MouseMove(short Button, short Shift, float X, float Y);
    void Picture1_MouseMove(short Button, short Shift, float X, float Y);

    // Help topics of the program folder's help/.
    void KivoHelp_Click();
    void Label1_Click();
    void Contents_Click();
    void Index_Click();

    // Web pages; a page that does not open is not reported.
    void Label2_Click();
    void DravonHomepage_Click();
    void DravonUKHomepage_Click();
    void FyndelHomepage_Click();
    void KivoHomepage_Click();
    // Opens `strURL` as the web commands do; the desktop chooses how the browser shows it, so
    // `iWindowStyle` changes nothing.
    void RunBrowser(const QString& strURL, short iWindowStyle);

    // The surface below the menu bar that holds the controls and takes Form_MouseMove.
    QWidget* surface() const { return m_surface; }

    ImageControl* Image2;
    ImageControl* Picture1;
    QPushButton* cmdExit;
    QPushButton* cmdComPort;
    QLabel* lblDefaultComPort;
    Label3D* lbl;
    ClickLabel* Label1;
    ClickLabel* Label2;
    ImageControl* Image3;

    QMenuBar* menuBar;
    QMenu* File;
    QAction* Exit;
    QMenu* Setup;
    QAction* Default;
    QAction* CommParams;
    QMenu* Monitor;
    QAction* View;
    QMenu* Help;
    QAction* KivoHelp;
    QAction* Contents;
    QAction* Index;
    QMenu* Dravon;
    QAction* DravonHomepage;
    QAction* DravonUKHomepage;
    QAction* FyndelHomepage;
    QAction* KivoHomepage;
    QAction* AboutKivo;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenus();
    void buildControls();
    void showPortInUse();
    void showHelpTopic(const QString& topic);

    kivo::desktop::SingleInstance m_instance;
    QWidget* m_surface;
    kivo::desktop::FixedSizeRule m_sizeRule;
};

} // namespace KivoSoft
