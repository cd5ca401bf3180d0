// A Desktop for tests: shows nothing, records every call with its arguments and answers from
// scripts the test queues up.
//
//     RecordingDesktop recorder;
//     ScopedDesktop installed(recorder);
//     recorder.queueMsgBoxAnswer(vbNo);
//     window.cmdClose_Click();
//     ASSERT_EQ(recorder.calls().size(), 1);
//     EXPECT_EQ(recorder.calls()[0].text, "Restart the outputs now?");
//
// Without a scripted answer: a message box answers with its first button (vbOK, vbYes, vbAbort,
// vbRetry), an input box with its default text (as if OK was pressed), a file dialog is cancelled
// (so no test writes a file by accident), and help topics, web pages, files and programs count as
// shown or started.
#pragma once

#include "platform/desktop/desktop.h"

#include <QQueue>
#include <vector>

namespace kivo::desktop {

struct DesktopCall {
    enum class Kind { MsgBox, InputBox, FileDialog, HelpTopic, WebPage, OpenFile, StartProgram };

    Kind kind{};
    // Prompt (message and input box), topic, address, file path or program.
    QString text{};
    // Title of a message box, input box or file dialog, exactly as the caller gave it.
    QString title{};
    // Message box style.
    int style = 0;
    // Input box default text.
    QString defaultText{};
    // File dialog request.
    FileDialogRequest fileDialog{};
    // Program arguments.
    QStringList arguments{};

    friend bool operator==(const DesktopCall&, const DesktopCall&) = default;
};

class RecordingDesktop : public Desktop {
public:
    MsgBoxResult msgBox(const QString& prompt, int style, const QString& title) override;
    QString inputBox(const QString& prompt, const QString& title,
                     const QString& defaultText) override;
    std::optional<QString> fileDialog(const FileDialogRequest& request) override;
    bool showHelpTopic(const QString& topic) override;
    bool openWebPage(const QUrl& address) override;
    bool openFile(const QString& path) override;
    bool startProgram(const QString& program, const QStringList& arguments) override;

    // Answers, each used once, in order.
    void queueMsgBoxAnswer(MsgBoxResult answer) { msgBoxAnswers_.enqueue(answer); }
    void queueInputBoxAnswer(const QString& answer) { inputBoxAnswers_.enqueue(answer); }
    // A path, or std::nullopt for Cancel.
    void queueFileDialogAnswer(const std::optional<QString>& answer)
    {
        fileDialogAnswers_.enqueue(answer);
    }
    // Whether the next help topic / web page / file / program call succeeds.
    void queueHelpTopicAnswer(bool shown) { helpTopicAnswers_.enqueue(shown); }
    void queueWebPageAnswer(bool opened) { webPageAnswers_.enqueue(opened); }
    void queueOpenFileAnswer(bool opened) { openFileAnswers_.enqueue(opened); }
    void queueStartProgramAnswer(bool started) { startProgramAnswers_.enqueue(started); }

    const std::vector<DesktopCall>& calls() const { return calls_; }
    // The calls of one kind, in order.
    std::vector<DesktopCall> calls(DesktopCall::Kind kind) const;
    // Forgets the calls and every answer still queued.
    void clear();

private:
    std::vector<DesktopCall> calls_;
    QQueue<MsgBoxResult> msgBoxAnswers_;
    QQueue<QString> inputBoxAnswers_;
    QQueue<std::optional<QString>> fileDialogAnswers_;
    QQueue<bool> helpTopicAnswers_;
    QQueue<bool> webPageAnswers_;
    QQueue<bool> openFileAnswers_;
    QQueue<bool> startProgramAnswers_;
};

} // namespace kivo::desktop
