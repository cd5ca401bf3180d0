#include "platform/desktop/qt_desktop.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QKeyEvent>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QTextBrowser>
#include <QVBoxLayout>
#include <QWindow>

namespace kivo::desktop {

namespace {

QMessageBox::StandardButton standardButton(MsgBoxResult button)
{
    switch (button) {
    case vbOK:
        return QMessageBox::Ok;
    case vbCancel:
        return QMessageBox::Cancel;
    case vbAbort:
        return QMessageBox::Abort;
    case vbRetry:
        return QMessageBox::Retry;
    case vbIgnore:
        return QMessageBox::Ignore;
    case vbYes:
        return QMessageBox::Yes;
    case vbNo:
        return QMessageBox::No;
    }
    return QMessageBox::Ok;
}

QMessageBox::Icon messageIcon(MsgBoxIcon icon)
{
    switch (icon) {
    case MsgBoxIcon::Critical:
        return QMessageBox::Critical;
    case MsgBoxIcon::Question:
        return QMessageBox::Question;
    case MsgBoxIcon::Exclamation:
        return QMessageBox::Warning;
    case MsgBoxIcon::Information:
        return QMessageBox::Information;
    case MsgBoxIcon::None:
        break;
    }
    return QMessageBox::NoIcon;
}

// A topic must name a file directly inside the help folder, nothing elsewhere.
bool isPlainFileName(const QString& topic)
{
    return !topic.isEmpty() && topic != u"." && topic != u".." && !topic.contains(u'/') &&
           !topic.contains(u'\\');
}

class HelpViewer : public QWidget {
public:
    HelpViewer()
    {
        setAttribute(Qt::WA_QuitOnClose, false);
        back_ = new QPushButton(QStringLiteral("&Back"), this);
        back_->setObjectName(QStringLiteral("Back"));
        back_->setEnabled(false);
        forward_ = new QPushButton(QStringLiteral("&Forward"), this);
        forward_->setObjectName(QStringLiteral("Forward"));
        forward_->setEnabled(false);
        browser_ = new QTextBrowser(this);
        browser_->setObjectName(QStringLiteral("Topic"));
        browser_->setAccessibleName(QStringLiteral("Help topic"));
        browser_->setOpenExternalLinks(true);

        auto* buttons = new QHBoxLayout;
        buttons->setContentsMargins(4, 0, 4, 0);
        buttons->addWidget(back_);
        buttons->addWidget(forward_);
        buttons->addStretch(1);
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(0, 4, 0, 0);
        layout->addLayout(buttons);
        layout->addWidget(browser_);
        resize(640, 480);

        connect(back_, &QPushButton::clicked, browser_, &QTextBrowser::backward);
        connect(forward_, &QPushButton::clicked, browser_, &QTextBrowser::forward);
        connect(browser_, &QTextBrowser::backwardAvailable, back_, &QWidget::setEnabled);
        connect(browser_, &QTextBrowser::forwardAvailable, forward_, &QWidget::setEnabled);
        // A followed link, Back and Forward all change the source: the title goes with it.
        // The browser's own source() still names the topic before while the signal runs.
        connect(browser_, &QTextBrowser::sourceChanged, this,
                [this](const QUrl& source) { showTitle(source); });
    }

    void showTopic(const QString& path)
    {
        browser_->setSource(QUrl::fromLocalFile(path));
        showTitle(browser_->source());
        show();
        stayUsable();
        raise();
        activateWindow();
    }

protected:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
            close();
            return;
        }
        QWidget::keyPressEvent(event);
    }

    bool event(QEvent* event) override
    {
        // A modal window that came up after the viewer: the viewer is let go once the modal
        // window's own showing is over.
        if (event->type() == QEvent::WindowBlocked) {
            QMetaObject::invokeMethod(
                this, [this] { stayUsable(); }, Qt::QueuedConnection);
        }
        return QWidget::event(event);
    }

private:
    // Help has no owner window, and a modal dialog (the one whose Help button showed the topic,
    // or a message box) must not take it from the user: Qt lets a modal window block every
    // window but its own, so the viewer counts as the modal window's own while one is up. The
    // window system is not told (a plain window has no owner there), so the viewer stays a
    // window of its own on the screen.
    void stayUsable()
    {
        if (QWindow* window = windowHandle()) {
            QWindow* modal = QGuiApplication::modalWindow();
            window->setTransientParent(modal != window ? modal : nullptr);
        }
    }

    // The topic's own title, or its file name where it has none.
    void showTitle(const QUrl& source)
    {
        const QString title = browser_->documentTitle();
        setWindowTitle(title.isEmpty() ? source.fileName() : title);
    }

    QPushButton* back_;
    QPushButton* forward_;
    QTextBrowser* browser_;
};

} // namespace

QtDesktop::QtDesktop(QString applicationTitle) : applicationTitle_(std::move(applicationTitle))
{
}

QtDesktop::~QtDesktop()
{
    delete helpViewer_.data();
}

QString QtDesktop::applicationTitle() const
{
    return applicationTitle_.isEmpty() ? QCoreApplication::applicationName() : applicationTitle_;
}

QString QtDesktop::helpFolder() const
{
    return helpFolder_.isEmpty() ? QCoreApplication::applicationDirPath() + QStringLiteral("/help")
                                 : helpFolder_;
}

MsgBoxResult QtDesktop::msgBox(const QString& prompt, int style, const QString& title)
{
    const QList<MsgBoxResult> buttons = msgBoxButtons(style);
    QMessageBox box(messageIcon(msgBoxIcon(style)), title.isEmpty() ? applicationTitle() : title,
                    prompt, QMessageBox::NoButton, QApplication::activeWindow());
    for (MsgBoxResult button : buttons) {
        box.addButton(standardButton(button));
    }
    box.setDefaultButton(standardButton(buttons.front()));
    // Escape and the close button give Cancel where there is one; a box with one button closes
    // with it; Yes/No and Abort/Retry/Ignore boxes want an answer.
    if (buttons.contains(vbCancel)) {
        box.setEscapeButton(standardButton(vbCancel));
    } else if (buttons.size() == 1) {
        box.setEscapeButton(standardButton(buttons.front()));
    }
    box.exec();
    const QMessageBox::StandardButton pressed = box.standardButton(box.clickedButton());
    for (MsgBoxResult button : buttons) {
        if (standardButton(button) == pressed) {
            return button;
        }
    }
    return buttons.contains(vbCancel) ? vbCancel : buttons.front();
}

QString QtDesktop::inputBox(const QString& prompt, const QString& title, const QString& defaultText)
{
    QInputDialog dialog(QApplication::activeWindow());
    dialog.setInputMode(QInputDialog::TextInput);
    dialog.setWindowTitle(title.isEmpty() ? applicationTitle() : title);
    dialog.setLabelText(prompt);
    dialog.setTextValue(defaultText);
    return dialog.exec() == QDialog::Accepted ? dialog.textValue() : QString();
}

std::optional<QString> QtDesktop::fileDialog(const FileDialogRequest& request)
{
    QFileDialog dialog(QApplication::activeWindow(), request.title);
    const bool save = request.mode == FileDialogMode::Save;
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    const QStringList filters = nameFilters(request.filter);
    if (!filters.isEmpty()) {
        dialog.setNameFilters(filters);
    }
    QString suffix = request.defaultSuffix;
    if (suffix.startsWith(u'.')) {
        suffix.remove(0, 1);
    }
    dialog.setDefaultSuffix(suffix);
    if (!request.initialName.isEmpty()) {
        dialog.selectFile(request.initialName);
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
        return std::nullopt;
    }
    return dialog.selectedFiles().front();
}

bool QtDesktop::showHelpTopic(const QString& topic)
{
    if (!isPlainFileName(topic)) {
        return false;
    }
    const QString path = QDir(helpFolder()).filePath(topic);
    const QFileInfo file(path);
    if (!file.isFile() || !file.isReadable()) {
        return false;
    }
    if (!helpViewer_) {
        auto* viewer = new HelpViewer;
        helpViewer_ = viewer;
        // A viewer still open when the program quits goes with it.
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, viewer, &QObject::deleteLater);
    }
    static_cast<HelpViewer*>(helpViewer_.data())->showTopic(file.absoluteFilePath());
    return true;
}

bool QtDesktop::openWebPage(const QUrl& address)
{
    return address.isValid() && QDesktopServices::openUrl(address);
}

bool QtDesktop::openFile(const QString& path)
{
    return !path.isEmpty() && QDesktopServices::openUrl(QUrl::fromLocalFile(path));
}

bool QtDesktop::startProgram(const QString& program, const QStringList& arguments)
{
    return !program.isEmpty() && QProcess::startDetached(program, arguments);
}

} // namespace kivo::desktop
