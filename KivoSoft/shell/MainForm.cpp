#include "KivoSoft/shell/MainForm.h"

#include "KivoSoft/controls/EventCodes.h"
#include "KivoSoft/controls/Twips.h"
#include "KivoSoft/model/DeviceLink.h"
#include "KivoSoft/model/KivoGlobals.h"
#include "KivoSoft/shell/CommParamsForm.h"
#include "KivoSoft/shell/Forms.h"
#include "KivoSoft/shell/ShellPictures.h"
#include "KivoSoft/shell/frmAboutKivo.h"
#include "platform/desktop/desktop.h"
#include "platform/desktop/fixed_size.h"

#include <QApplication>
#include <QCloseEvent>
#include <QIcon>
#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>
#include <QUrl>
#include <QVBoxLayout>

namespace KivoSoft {

namespace {

const QString HelpToolTip =
    QStringLiteral("Help,  Dravon Electronics Kivo product technical data web site");

// The show command the web commands pass on (SW_SHOWDEFAULT).
constexpr short ShowDefault = 10;

// The window's surface: the background picture, and the pointer's moves over it in twips.
class Surface : public QWidget {
public:
    explicit Surface(MainForm* form) : QWidget(form), m_form(form)
    {
        setObjectName(QStringLiteral("MainFormSurface"));
        setMouseTracking(true);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Qt::white);
        painter.drawImage(0, 0, ShellPictures::mainBackground());
    }

    void mouseMoveEvent(QMouseEvent* event) override
    {
        m_form->Form_MouseMove(mouseButtonCode(event->buttons()), shiftCode(event->modifiers()),
                               static_cast<float>(event->position().x() * TwipsPerPixel),
                               static_cast<float>(event->position().y() * TwipsPerPixel));
    }

private:
    MainForm* m_form;
};

// Whether (X, Y) in twips lies within the control's rectangle, both edges included.
bool within(const QWidget* control, float X, float Y)
{
    const QRect r = control->geometry();
    const float left = static_cast<float>(r.x() * TwipsPerPixel);
    const float top = static_cast<float>(r.y() * TwipsPerPixel);
    const float width = static_cast<float>(r.width() * TwipsPerPixel);
    const float height = static_cast<float>(r.height() * TwipsPerPixel);
    return left <= X && X <= left + width && top <= Y && Y <= top + height;
}

QAction* item(QMenu* menu, const char* name, const QString& caption)
{
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    return action;
}

// A menu command runs once the event that chose it has returned: the menu has closed, and a
// screen reader that pressed the item has had its answer before the command opens a modal window
// (the port dialog, the about box, a message) and waits in it. A command that comes while the
// window is out of use (a modal window blocks it, or it is busy) does nothing, as a click on it.
template <class Handler> void onChosen(QAction* item, MainForm* form, Handler handler)
{
    QObject::connect(
        item, &QAction::triggered, form,
        [form, handler] {
            if (form->isEnabled()) {
                (form->*handler)();
            }
        },
        Qt::QueuedConnection);
}

QMenu* submenu(QWidget* parent, const char* name, const QString& caption)
{
    auto* menu = new QMenu(caption, parent);
    menu->setObjectName(QString::fromLatin1(name));
    return menu;
}

} // namespace

MainForm::MainForm(const QString& instanceName, QWidget* parent)
    : QWidget(parent), m_instance(instanceName), m_surface(new Surface(this)),
      m_sizeRule(*this, [this] { Form_Resize(); })
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(Caption);
    // The caption's letters stand apart; a screen reader would spell them out.
    setAccessibleName(QStringLiteral("Main Menu"));
    setWindowIcon(QIcon(QPixmap::fromImage(ShellPictures::programIcon())));
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, Qt::white);
    setPalette(palette);

    buildMenus();
    buildControls();

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->setMenuBar(menuBar);
    layout->addWidget(m_surface);

    // Neither maximized nor resized by the user: Form_Resize puts back what a window manager
    // changes all the same.
    setFixedSize(twipsToPixels(NormalWidthTwips), twipsToPixels(NormalHeightTwips));

    // The keyboard goes through the commands as they lie, top to bottom and left to right.
    QWidget::setTabOrder(Label1, Image2);
    QWidget::setTabOrder(Image2, Picture1);
    QWidget::setTabOrder(Picture1, Label2);
    QWidget::setTabOrder(Label2, cmdComPort);
    QWidget::setTabOrder(cmdComPort, cmdExit);
}

MainForm::~MainForm() = default;

void MainForm::buildMenus()
{
    menuBar = new QMenuBar(this);
    menuBar->setObjectName(QStringLiteral("menuBar"));

    File = submenu(this, "File", QStringLiteral("&File"));
    Exit = item(File, "Exit", QStringLiteral("E&xit"));

    Setup = submenu(this, "Setup", QStringLiteral("&Setup"));
    Default = item(Setup, "Default", QStringLiteral("&Eeprom Configurator"));
    CommParams = item(Setup, "CommParams", QStringLiteral("&Com Port Settings"));

    Monitor = submenu(this, "Monitor", QStringLiteral("&Monitor"));
    View = item(Monitor, "View", QStringLiteral("&Kivo Interactive Program"));

    Help = submenu(this, "Help", QStringLiteral("&Help"));
    KivoHelp = item(Help, "KivoHelp", QStringLiteral("&Kivo Help"));
    Contents = item(Help, "Contents", QStringLiteral("C&ontents"));
    Index = item(Help, "Index", QStringLiteral("&Index"));
    Dravon = submenu(Help, "Dravon", QStringLiteral("&Dravon On The Web"));
    Help->addMenu(Dravon);
    DravonHomepage = item(Dravon, "DravonHomepage", QStringLiteral("Dravon &Homepage"));
    DravonUKHomepage = item(Dravon, "DravonUKHomepage", QStringLiteral("Dravon &UK Homepage"));
    FyndelHomepage = item(Dravon, "FyndelHomepage", QStringLiteral("Fyndel Homepage"));
    KivoHomepage = item(Dravon, "KivoHomepage", QStringLiteral("Kivo Home&page"));
    AboutKivo = item(Help, "AboutKivo", QStringLiteral("&About Kivo"));

    for (QMenu* menu : {File, Setup, Monitor, Help}) {
        menuBar->addMenu(menu);
    }

    onChosen(Exit, this, &MainForm::Exit_Click);
    onChosen(Default, this, &MainForm::Default_Click);
    onChosen(CommParams, this, &MainForm::CommParams_Click);
    onChosen(View, this, &MainForm::View_Click);
    onChosen(KivoHelp, this, &MainForm::KivoHelp_Click);
    onChosen(Contents, this, &MainForm::Contents_Click);
    onChosen(Index, this, &MainForm::Index_Click);
    onChosen(DravonHomepage, this, &MainForm::DravonHomepage_Click);
    onChosen(DravonUKHomepage, this, &MainForm::DravonUKHomepage_Click);
    onChosen(FyndelHomepage, this, &MainForm::FyndelHomepage_Click);
    onChosen(KivoHomepage, this, &MainForm::KivoHomepage_Click);
    onChosen(AboutKivo, this, &MainForm::AboutKivo_Click);
}

void MainForm::buildControls()
{
    QWidget* s = m_surface;

    Image3 = new ImageControl(&ShellPictures::productMark(), s);
    Image3->setObjectName(QStringLiteral("Image3"));
    Image3->setGeometry(QRect(QPoint(16, 9), ShellPictures::ProductMarkSize));

    // No caption of its own: it lies over the help badge of the background picture.
    Label1 = new ClickLabel(QString(), s);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(ShellPictures::helpBadgeRect());
    Label1->setToolTip(HelpToolTip);
    offerAsCommand(*Label1, QStringLiteral("Kivo Help"));

    Image2 = new ImageControl(&ShellPictures::monitorPicture(), s);
    Image2->setObjectName(QStringLiteral("Image2"));
    Image2->setGeometry(QRect(QPoint(60, 106), ShellPictures::MonitorPictureSize));
    Image2->setToolTip(
        QStringLiteral("Run interactive program: real time interaction with Kivo unit"));
    Image2->setCursor(Qt::PointingHandCursor);
    offerAsCommand(*Image2, QStringLiteral("Kivo Interactive Program"));

    Picture1 = new ImageControl(&ShellPictures::configuratorPicture(), s);
    Picture1->setObjectName(QStringLiteral("Picture1"));
    Picture1->setGeometry(QRect(QPoint(409, 106), ShellPictures::ConfiguratorPictureSize));
    Picture1->setToolTip(QStringLiteral(
        "Run Eeprom configurator: Configure voltage outputs, current limit and other options"));
    Picture1->setCursor(Qt::PointingHandCursor);
    offerAsCommand(*Picture1, QStringLiteral("Eeprom Configurator"));

    lbl = new Label3D(s);
    lbl->setObjectName(QStringLiteral("lbl"));
    lbl->setGeometry(124, 322, 500, 36);
    QFont prompt(QStringLiteral("DejaVu Sans"));
    prompt.setPixelSize(20);
    prompt.setBold(true);
    lbl->setLayersFont(prompt);
    lbl->setAlignment(Label3D::AlignCenter);

    lblDefaultComPort = new QLabel(QStringLiteral("Com. Port Setup"), s);
    lblDefaultComPort->setObjectName(QStringLiteral("lblDefaultComPort"));
    lblDefaultComPort->setGeometry(62, 412, 618, 24);
    lblDefaultComPort->setToolTip(QStringLiteral("Communication port settings change"));

    cmdComPort = new QPushButton(QStringLiteral("..."), s);
    cmdComPort->setObjectName(QStringLiteral("cmdComPort"));
    cmdComPort->setGeometry(20, 410, 34, 28);
    // Its caption says nothing to a screen reader: it is named by its command.
    cmdComPort->setAccessibleName(QStringLiteral("Com Port Settings"));

    Label2 = new ClickLabel(ProductPageText, s);
    Label2->setObjectName(QStringLiteral("Label2"));
    Label2->setGeometry(400, 372, 334, 22);
    Label2->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    Label2->setToolTip(HelpToolTip);
    QFont link = Label2->font();
    link.setUnderline(true);
    Label2->setFont(link);
    QPalette linkColours = Label2->palette();
    linkColours.setColor(QPalette::WindowText, QColor(0, 0, 192));
    Label2->setPalette(linkColours);
    offerAsCommand(*Label2, ProductPageText);

    cmdExit = new QPushButton(s);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    cmdExit->setGeometry(688, 404, 46, 42);
    cmdExit->setIcon(QIcon(QPixmap::fromImage(ShellPictures::exitPicture())));
    cmdExit->setIconSize(ShellPictures::ExitPictureSize - QSize(4, 4));
    cmdExit->setAccessibleName(QStringLiteral("Exit"));

    connect(Image2, &ImageControl::Click, this, &MainForm::Image2_Click);
    connect(Picture1, &ImageControl::Click, this, &MainForm::Picture1_Click);
    connect(Image2, &ImageControl::MouseMove, this, &MainForm::Image2_MouseMove);
    connect(Picture1, &ImageControl::MouseMove, this, &MainForm::Picture1_MouseMove);
    connect(cmdExit, &QPushButton::clicked, this, &MainForm::cmdExit_Click);
    connect(cmdComPort, &QPushButton::clicked, this, &MainForm::cmdComPort_Click);
    connect(Label1, &ClickLabel::Click, this, &MainForm::Label1_Click);
    connect(Label2, &ClickLabel::Click, this, &MainForm::Label2_Click);
}

MainForm::Loaded MainForm::Form_Load()
{
    // Before anything else: a second instance ends without starting up or showing anything.
    if (!m_instance.acquire()) {
        return Loaded::AnotherInstance;
    }
    if (!KivoGlobals::InitializeGlobals()) {
        return Loaded::StartupFailed;
    }
    lbl->setCaption(SelectOptionText);
    lbl->setBackColor(0xFFFFFF);
    lbl->setForeColor1(0xFFFFFF);
    lbl->setForeColor2(0);
    lblDefaultComPort->setText(QStringLiteral("Default Com Port: ") + KivoGlobals::DefaultComPort);
    return Loaded::Yes;
}

void MainForm::Image2_Click()
{
    // Until the program installs the monitor window there is nowhere to go, and the main
    // window stays as it is.
    QWidget* monitor = Forms::monitorForm();
    if (!monitor) {
        return;
    }
    hide();
    monitor->show();
}

void MainForm::View_Click()
{
    Image2_Click();
}

void MainForm::Picture1_Click()
{
    // Until the program installs the configuration window there is nowhere to go, and the main
    // window stays as it is.
    QWidget* config = Forms::supplyConfig();
    if (!config) {
        return;
    }
    config->show();
    hide();
}

void MainForm::Default_Click()
{
    Picture1_Click();
}

void MainForm::showPortInUse()
{
    lblDefaultComPort->setText(QStringLiteral("Default Com Port : ") + KivoGlobals::DefaultComPort);
}

void MainForm::cmdComPort_Click()
{
    Forms::commParamsForm().showModal();
    showPortInUse();
}

void MainForm::CommParams_Click()
{
    // The label follows the port here too, so it never names a port no longer in use.
    Forms::commParamsForm().showModal();
    showPortInUse();
}

void MainForm::AboutKivo_Click()
{
    Forms::aboutKivo().showModal();
}

void MainForm::cmdExit_Click()
{
    KivoGlobals::DeviceLink.reset();
    close();
}

void MainForm::Exit_Click()
{
    cmdExit_Click();
}

void MainForm::closeEvent(QCloseEvent* event)
{
    Form_QueryUnload();
    Form_Unload();
    event->accept();
}

void MainForm::Form_Unload()
{
    KivoGlobals::DeviceLink.reset();
    // The program ends: the other windows go without their own unload handlers, as at an end of
    // the program; they are deleted once the event loop has returned.
    const QWidgetList windows = QApplication::topLevelWidgets();
    for (QWidget* window : windows) {
        if (window != this && window->isVisible()) {
            window->hide();
        }
    }
    hide();
    QCoreApplication::quit();
}

void MainForm::Form_Resize()
{
    kivo::desktop::keepFixedSize(
        *this, QSize(twipsToPixels(NormalWidthTwips), twipsToPixels(NormalHeightTwips)));
}

void MainForm::Form_MouseMove(short, short, float X, float Y)
{
    Image2->setBorderStyle(within(Image2, X, Y) ? ImageControl::BorderFixedSingle
                                                : ImageControl::BorderNone);
    Picture1->setBorderStyle(within(Picture1, X, Y) ? ImageControl::BorderFixedSingle
                                                    : ImageControl::BorderNone);
    lbl->setCaption(SelectOptionText);
}

void MainForm::Image2_MouseMove(short, short, float, float)
{
    Picture1->setBorderStyle(ImageControl::BorderNone);
    Image2->setBorderStyle(ImageControl::BorderFixedSingle);
    lbl->setCaption(MonitorHoverText);
}

void MainForm::Picture1_MouseMove(short, short, float, float)
{
    Image2->setBorderStyle(ImageControl::BorderNone);
    Picture1->setBorderStyle(ImageControl::BorderFixedSingle);
    lbl->setCaption(ConfiguratorHoverText);
}

void MainForm::showHelpTopic(const QString& topic)
{
    using namespace kivo::desktop;
    if (!desktop().showHelpTopic(topic)) {
        desktop().msgBox(QStringLiteral("The required help file not properly installed in your "
                                        "machine. Contact system support."),
                         vbInformation + vbOKOnly, QStringLiteral("Dravon Electronics"));
    }
}

void MainForm::KivoHelp_Click()
{
    showHelpTopic(QStringLiteral("GUI.html"));
}

void MainForm::Label1_Click()
{
    showHelpTopic(QStringLiteral("GUI.html"));
}

// The help viewer has no contents or index pane of its own: both open the introduction, where
// every topic is linked.
void MainForm::Contents_Click()
{
    showHelpTopic(QStringLiteral("Introduction.html"));
}

void MainForm::Index_Click()
{
    showHelpTopic(QStringLiteral("Introduction.html"));
}

void MainForm::RunBrowser(const QString& strURL, short iWindowStyle)
{
    static_cast<void>(iWindowStyle);
    kivo::desktop::desktop().openWebPage(QUrl(strURL));
}

void MainForm::Label2_Click()
{
    RunBrowser(ProductPage, ShowDefault);
}

void MainForm::DravonHomepage_Click()
{
    RunBrowser(MakerHomepage, ShowDefault);
}

void MainForm::DravonUKHomepage_Click()
{
    RunBrowser(MakerUKHomepage, ShowDefault);
}

void MainForm::FyndelHomepage_Click()
{
    RunBrowser(FyndelHomepageAddress, ShowDefault);
}

void MainForm::KivoHomepage_Click()
{
    RunBrowser(KivoHomepageAddress, ShowDefault);
}

} // namespace KivoSoft
