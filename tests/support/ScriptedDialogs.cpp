#include "tests/support/ScriptedDialogs.h"

// GCC 12 reports copies of a std::optional holding Qt strings as possibly uninitialised at -O2,
// a known false positive.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif

namespace velmr::test {
namespace {
template <typename T> T Next(std::deque<T>& queue, const T& fallback)
{
    if (queue.empty())
        return fallback;
    T value(queue.front());
    queue.pop_front();
    return value;
}
} // namespace

ScriptedDialogs::ScriptedDialogs()
{
    platform::SetDialogs(this);
}

ScriptedDialogs::~ScriptedDialogs()
{
    platform::SetDialogs(nullptr);
}

QStringList ScriptedDialogs::MessageTexts() const
{
    QStringList texts;
    for (const ShownMessage& message : messages)
        texts << message.text;
    return texts;
}

platform::MessageResult ScriptedDialogs::ShowMessage(QWidget*, const QString& caption,
                                                     const QString& text,
                                                     platform::MessageButtons buttons)
{
    messages.push_back({caption, text, buttons});
    const auto answer = Next(messageAnswers, platform::MessageResult::Ok);
    return buttons == platform::MessageButtons::Ok ? platform::MessageResult::Ok : answer;
}

platform::SaveChangesAnswer ScriptedDialogs::AskSaveChanges(QWidget*, const QString& caption,
                                                            const QString& text)
{
    saveChangesQuestions.push_back({caption, text});
    return Next(saveChangesAnswers, platform::SaveChangesAnswer::Cancel);
}

std::optional<platform::FileDialogChoice>
ScriptedDialogs::AskOpenFile(QWidget*, const platform::FileDialogRequest& request)
{
    openRequests.push_back(request);
    return Next(openAnswers, std::optional<platform::FileDialogChoice>());
}

std::optional<platform::FileDialogChoice>
ScriptedDialogs::AskSaveFile(QWidget*, const platform::FileDialogRequest& request)
{
    saveRequests.push_back(request);
    return Next(saveAnswers, std::optional<platform::FileDialogChoice>());
}

std::optional<platform::FontDialogChoice>
ScriptedDialogs::AskFont(QWidget*, const platform::FontDialogChoice& initial)
{
    fontRequests.push_back(initial);
    if (fontsConfirmedUnchanged > 0) {
        --fontsConfirmedUnchanged;
        return initial;
    }
    return Next(fontAnswers, std::optional<platform::FontDialogChoice>());
}

std::optional<QColor> ScriptedDialogs::AskColor(QWidget*, const QColor& initial)
{
    colorRequests.push_back(initial);
    return Next(colorAnswers, std::optional<QColor>());
}

std::optional<platform::ExportOptionsChoice>
ScriptedDialogs::AskExportOptions(QWidget*, const platform::ExportOptionsRequest& request)
{
    exportRequests.push_back(request);
    return Next(exportAnswers, std::optional<platform::ExportOptionsChoice>());
}

std::optional<QString> ScriptedDialogs::AskPassword(QWidget*, const QString& caption,
                                                    const QString& text)
{
    passwordQuestions.push_back({caption, text});
    return Next(passwordAnswers, std::optional<QString>());
}

int ScriptedDialogs::RunModal(QDialog& form)
{
    modalForms.push_back(form.windowTitle());
    auto action = Next(modalAnswers, std::function<int(QDialog&)>());
    return action ? action(form) : int(QDialog::Rejected);
}

namespace {
class ScriptedProgress final : public platform::ProgressReport
{
public:
    ScriptedProgress(ScriptedDialogs& owner, std::size_t index) : owner_(owner), index_(index) {}
    ~ScriptedProgress() override { owner_.progress[index_].finished = true; }
    bool Advance(double) override
    {
        ScriptedDialogs::ShownProgress& shown = owner_.progress[index_];
        ++shown.reports;
        if (owner_.whileInProgress)
            owner_.whileInProgress();
        return !(shown.cancellable && owner_.cancelProgressAfter >= 0 &&
                 shown.reports > owner_.cancelProgressAfter);
    }

private:
    ScriptedDialogs& owner_;
    std::size_t index_;
};
} // namespace

std::unique_ptr<platform::ProgressReport> ScriptedDialogs::BeginProgress(QWidget*,
                                                                         const QString& title,
                                                                         const QString& message,
                                                                         bool cancellable)
{
    progress.push_back({title, message, cancellable, 0, false});
    return std::make_unique<ScriptedProgress>(*this, progress.size() - 1);
}

} // namespace velmr::test
