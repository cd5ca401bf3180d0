#include "platform/desktop/recording_desktop.h"

namespace kivo::desktop {

namespace {

template <typename T> T takeOr(QQueue<T>& answers, T fallback)
{
    return answers.isEmpty() ? fallback : answers.dequeue();
}

} // namespace

MsgBoxResult RecordingDesktop::msgBox(const QString& prompt, int style, const QString& title)
{
    calls_.push_back(
        {.kind = DesktopCall::Kind::MsgBox, .text = prompt, .title = title, .style = style});
    return takeOr(msgBoxAnswers_, msgBoxButtons(style).front());
}

QString RecordingDesktop::inputBox(const QString& prompt, const QString& title,
                                   const QString& defaultText)
{
    calls_.push_back({.kind = DesktopCall::Kind::InputBox,
                      .text = prompt,
                      .title = title,
                      .defaultText = defaultText});
    return takeOr(inputBoxAnswers_, defaultText);
}

std::optional<QString> RecordingDesktop::fileDialog(const FileDialogRequest& request)
{
    calls_.push_back(
        {.kind = DesktopCall::Kind::FileDialog, .title = request.title, .fileDialog = request});
    return takeOr(fileDialogAnswers_, std::optional<QString>());
}

bool RecordingDesktop::showHelpTopic(const QString& topic)
{
    calls_.push_back({.kind = DesktopCall::Kind::HelpTopic, .text = topic});
    return takeOr(helpTopicAnswers_, true);
}

bool RecordingDesktop::openWebPage(const QUrl& address)
{
    calls_.push_back({.kind = DesktopCall::Kind::WebPage, .text = address.toString()});
    return takeOr(webPageAnswers_, true);
}

bool RecordingDesktop::openFile(const QString& path)
{
    calls_.push_back({.kind = DesktopCall::Kind::OpenFile, .text = path});
    return takeOr(openFileAnswers_, true);
}

bool RecordingDesktop::startProgram(const QString& program, const QStringList& arguments)
{
    calls_.push_back(
        {.kind = DesktopCall::Kind::StartProgram, .text = program, .arguments = arguments});
    return takeOr(startProgramAnswers_, true);
}

std::vector<DesktopCall> RecordingDesktop::calls(DesktopCall::Kind kind) const
{
    std::vector<DesktopCall> matching;
    for (const DesktopCall& call : calls_) {
        if (call.kind == kind) {
            matching.push_back(call);
        }
    }
    return matching;
}

void RecordingDesktop::clear()
{
    calls_.clear();
    msgBoxAnswers_.clear();
    inputBoxAnswers_.clear();
    fileDialogAnswers_.clear();
    helpTopicAnswers_.clear();
    webPageAnswers_.clear();
    openFileAnswers_.clear();
    startProgramAnswers_.clear();
}

} // namespace kivo::desktop
