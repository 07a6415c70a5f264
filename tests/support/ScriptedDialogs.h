#pragma once

#include "platform/UserDialogs.h"

#include <QDialog>

#include <deque>
#include <functional>
#include <vector>

namespace velmr::test {

// A message box that was shown.
struct ShownMessage
{
    QString caption;
    QString text;
    platform::MessageButtons buttons;
};

// A question about unsaved changes that was asked.
struct ShownQuestion
{
    QString caption;
    QString text;
};

// Scripted stand-in for the user: answers dialogs from queues and records what was shown.
// Installed for its lifetime; an unscripted dialog is answered with Cancel (or no choice).
class ScriptedDialogs final : public platform::UserDialogs
{
public:
    ScriptedDialogs();
    ~ScriptedDialogs() override;

    std::vector<ShownMessage> messages;
    std::vector<platform::FileDialogRequest> openRequests;
    std::vector<platform::FileDialogRequest> saveRequests;
    std::vector<QString> modalForms;                      // window titles of the forms run modally
    std::vector<platform::FontDialogChoice> fontRequests; // the fonts the choosers opened with
    std::vector<QColor> colorRequests; // the colours the colour dialogs opened with

    std::vector<ShownQuestion> saveChangesQuestions;
    std::vector<platform::ExportOptionsRequest> exportRequests;

    std::deque<platform::MessageResult> messageAnswers;         // default: Ok
    std::deque<platform::SaveChangesAnswer> saveChangesAnswers; // default: Cancel
    std::deque<std::optional<platform::FileDialogChoice>> openAnswers;
    std::deque<std::optional<platform::FileDialogChoice>> saveAnswers;
    std::deque<std::optional<platform::FontDialogChoice>> fontAnswers;
    int fontsConfirmedUnchanged = 0; // choosers to confirm as they opened, before fontAnswers
    std::deque<std::optional<QColor>> colorAnswers;
    std::deque<std::optional<platform::ExportOptionsChoice>> exportAnswers; // default: cancel
    std::vector<ShownQuestion> passwordQuestions;
    std::deque<std::optional<QString>> passwordAnswers; // default: cancel
    // Acts on a modal form while it "runs"; returns the result code. Default: Rejected.
    std::deque<std::function<int(QDialog&)>> modalAnswers;

    // Progress displays begun: title and message, and how many reports each received.
    struct ShownProgress
    {
        QString title;
        QString message;
        bool cancellable = false;
        int reports = 0;
        bool finished = false;
    };
    std::vector<ShownProgress> progress;
    // Cancel the progress display after this many reports (negative: never).
    int cancelProgressAfter = -1;
    // Called at every report, as the user acting while the operation runs.
    std::function<void()> whileInProgress;

    QStringList MessageTexts() const;

    platform::MessageResult ShowMessage(QWidget* parent, const QString& caption,
                                        const QString& text,
                                        platform::MessageButtons buttons) override;
    platform::SaveChangesAnswer AskSaveChanges(QWidget* parent, const QString& caption,
                                               const QString& text) override;
    std::optional<platform::FileDialogChoice>
    AskOpenFile(QWidget* parent, const platform::FileDialogRequest& request) override;
    std::optional<platform::FileDialogChoice>
    AskSaveFile(QWidget* parent, const platform::FileDialogRequest& request) override;
    std::optional<platform::FontDialogChoice>
    AskFont(QWidget* parent, const platform::FontDialogChoice& initial) override;
    std::optional<QColor> AskColor(QWidget* parent, const QColor& initial) override;
    std::optional<platform::ExportOptionsChoice>
    AskExportOptions(QWidget* parent, const platform::ExportOptionsRequest& request) override;
    std::optional<QString> AskPassword(QWidget* parent, const QString& caption,
                                       const QString& text) override;
    int RunModal(QDialog& form) override;
    std::unique_ptr<platform::ProgressReport> BeginProgress(QWidget* parent, const QString& title,
                                                            const QString& message,
                                                            bool cancellable) override;
};

} // namespace velmr::test
