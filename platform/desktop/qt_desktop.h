// The Desktop of the running program: Qt's message, input and file dialogs, a small help viewer,
// QDesktopServices for web pages and files, QProcess for other programs.
#pragma once

#include "platform/desktop/desktop.h"

#include <QPointer>
#include <QWidget>

namespace kivo::desktop {

class QtDesktop : public Desktop {
public:
    // `applicationTitle` is the title of message and input boxes whose caller gives none; empty
    // means QCoreApplication::applicationName() at the time of the call ("Kivo" for the main
    // program, whose executable has that name, unless the program sets another).
    explicit QtDesktop(QString applicationTitle = {});
    ~QtDesktop() override;
    QtDesktop(const QtDesktop&) = delete;
    QtDesktop& operator=(const QtDesktop&) = delete;

    MsgBoxResult msgBox(const QString& prompt, int style, const QString& title) override;
    QString inputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override;
    std::optional<QString> fileDialog(const FileDialogRequest& request) override;
    bool showHelpTopic(const QString& topic) override;
    bool openWebPage(const QUrl& address) override;
    bool openFile(const QString& path) override;
    bool startProgram(const QString& program, const QStringList& arguments) override;

    QString applicationTitle() const;
    void setApplicationTitle(const QString& title) { applicationTitle_ = title; }

    // The folder of the help topics: the program folder's "help" until set otherwise.
    QString helpFolder() const;
    void setHelpFolder(const QString& folder) { helpFolder_ = folder; }

    // The help viewer window once a topic was shown, else nullptr. It is one window, reused for
    // every topic; its QTextBrowser holds the topic as its source.
    QWidget* helpViewer() const { return helpViewer_; }

private:
    QString applicationTitle_;
    QString helpFolder_;
    QPointer<QWidget> helpViewer_;
};

} // namespace kivo::desktop
