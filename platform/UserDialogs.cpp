#include "platform/UserDialogs.h"

#include "platform/ExportForm.h"
#include "platform/FontChooser.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QEvent>
#include <QFileDialog>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>
#include <QProgressDialog>
#include <QPushButton>
#include <QWindow>

#include <algorithm>

namespace velmr::platform {
namespace {

// Progress without a display (no widgets application): nothing is shown, nothing cancels.
class SilentProgress final : public ProgressReport
{
public:
    bool Advance(double) override { return true; }
};

class QtDialogs final : public UserDialogs
{
public:
    MessageResult ShowMessage(QWidget* parent, const QString& caption, const QString& text,
                              MessageButtons buttons) override
    {
        QMessageBox box(QMessageBox::NoIcon, caption, text,
                        buttons == MessageButtons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel
                                                            : QMessageBox::Ok,
                        parent);
        box.setDefaultButton(QMessageBox::Ok);
        return box.exec() == QMessageBox::Ok ? MessageResult::Ok : MessageResult::Cancel;
    }

    SaveChangesAnswer AskSaveChanges(QWidget* parent, const QString& caption,
                                     const QString& text) override
    {
        QMessageBox box(QMessageBox::NoIcon, caption, text, QMessageBox::NoButton, parent);
        QPushButton* save = box.addButton(QStringLiteral("保存"), QMessageBox::AcceptRole);
        QPushButton* discard =
            box.addButton(QStringLiteral("保存しない"), QMessageBox::DestructiveRole);
        QPushButton* cancel = box.addButton(QStringLiteral("キャンセル"), QMessageBox::RejectRole);
        box.setDefaultButton(save);
        box.setEscapeButton(cancel);
        box.exec();
        if (box.clickedButton() == save)
            return SaveChangesAnswer::Save;
        if (box.clickedButton() == discard)
            return SaveChangesAnswer::Discard;
        return SaveChangesAnswer::Cancel;
    }

    std::optional<FileDialogChoice> AskOpenFile(QWidget* parent,
                                                const FileDialogRequest& request) override
    {
        return Run(parent, request, QFileDialog::AcceptOpen);
    }

    std::optional<FileDialogChoice> AskSaveFile(QWidget* parent,
                                                const FileDialogRequest& request) override
    {
        return Run(parent, request, QFileDialog::AcceptSave);
    }

    std::optional<FontDialogChoice> AskFont(QWidget* parent,
                                            const FontDialogChoice& initial) override
    {
        FontChooser chooser(initial, InstalledJapaneseFamilies(), parent);
        if (chooser.exec() != QDialog::Accepted)
            return std::nullopt;
        return chooser.Choice();
    }

    std::optional<QColor> AskColor(QWidget* parent, const QColor& initial) override
    {
        const QColor color = QColorDialog::getColor(initial, parent);
        return color.isValid() ? std::optional<QColor>(color) : std::nullopt;
    }

    std::optional<ExportOptionsChoice>
    AskExportOptions(QWidget* parent, const ExportOptionsRequest& request) override
    {
        ExportForm form(request, parent);
        if (form.exec() != QDialog::Accepted)
            return std::nullopt;
        return form.Choice();
    }

    std::optional<QString> AskPassword(QWidget* parent, const QString& caption,
                                       const QString& text) override
    {
        QInputDialog dialog(parent);
        dialog.setWindowTitle(caption);
        dialog.setLabelText(text);
        dialog.setTextEchoMode(QLineEdit::Password);
        dialog.setInputMethodHints(Qt::ImhHiddenText | Qt::ImhSensitiveData);
        dialog.setOkButtonText(QStringLiteral("OK"));
        dialog.setCancelButtonText(QStringLiteral("キャンセル"));
        if (dialog.exec() != QDialog::Accepted)
            return std::nullopt;
        return dialog.textValue();
    }

    int RunModal(QDialog& form) override { return form.exec(); }

    std::unique_ptr<ProgressReport> BeginProgress(QWidget* parent, const QString& title,
                                                  const QString& message,
                                                  bool cancellable) override;

private:
    static std::optional<FileDialogChoice> Run(QWidget* parent, const FileDialogRequest& request,
                                               QFileDialog::AcceptMode mode)
    {
        QFileDialog dialog(parent, request.caption, request.directory);
        dialog.setAcceptMode(mode);
        dialog.setOption(QFileDialog::ReadOnly, false);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, true);
        dialog.setFileMode(mode == QFileDialog::AcceptOpen && request.mustExist
                               ? QFileDialog::ExistingFile
                               : QFileDialog::AnyFile);
        const QStringList filters = QtFilterEntries(request.filter);
        dialog.setNameFilters(filters);
        if (!request.fileName.isEmpty())
            dialog.selectFile(request.fileName);
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return std::nullopt;
        return FileDialogChoice{dialog.selectedFiles().constFirst(),
                                static_cast<int>(filters.indexOf(dialog.selectedNameFilter()))};
    }
};

// The events by which the user acts on a window.
bool IsUserInput(const QEvent& event)
{
    switch (event.type()) {
    case QEvent::MouseButtonPress:
    case QEvent::MouseButtonRelease:
    case QEvent::MouseButtonDblClick:
    case QEvent::MouseMove:
    case QEvent::NonClientAreaMouseButtonPress:
    case QEvent::NonClientAreaMouseButtonRelease:
    case QEvent::NonClientAreaMouseButtonDblClick:
    case QEvent::Wheel:
    case QEvent::KeyPress:
    case QEvent::KeyRelease:
    case QEvent::ShortcutOverride:
    case QEvent::Shortcut:
    case QEvent::InputMethod:
    case QEvent::ContextMenu:
    case QEvent::TouchBegin:
    case QEvent::TouchUpdate:
    case QEvent::TouchEnd:
    case QEvent::TouchCancel:
    case QEvent::TabletPress:
    case QEvent::TabletMove:
    case QEvent::TabletRelease:
    case QEvent::NativeGesture:
    case QEvent::Gesture:
    case QEvent::DragEnter:
    case QEvent::DragMove:
    case QEvent::Drop:
        return true;
    case QEvent::Close:
        return event.spontaneous(); // the window manager's close button
    default:
        return false;
    }
}

// While a long operation runs on the user-interface thread, drops every user input meant for
// anything but the operation's own progress dialog: the display may repaint and its cancel
// button may be pressed, but no click or key reaches the program's other windows, so nothing
// runs code on a picture that is half-converted. Input dropped is gone, not delivered later.
class InputBlocker final : public QObject
{
public:
    explicit InputBlocker(const QWidget& allowed) : allowed_(allowed)
    {
        QCoreApplication::instance()->installEventFilter(this);
    }
    ~InputBlocker() override { QCoreApplication::instance()->removeEventFilter(this); }

    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        return IsUserInput(*event) && !IsAllowed(receiver);
    }

private:
    bool IsAllowed(const QObject* receiver) const
    {
        if (receiver->isWidgetType()) {
            const auto* widget = static_cast<const QWidget*>(receiver);
            return widget == &allowed_ || allowed_.isAncestorOf(widget);
        }
        return receiver->isWindowType() && receiver == allowed_.windowHandle();
    }

    const QWidget& allowed_;
};

// A QProgressDialog that appears only when the operation runs longer than half a second. From
// its start to its end, user input reaches nothing but the dialog itself.
class QtProgress final : public ProgressReport
{
public:
    QtProgress(QWidget* parent, const QString& title, const QString& message, bool cancellable)
        : dialog_(message, cancellable ? QStringLiteral("キャンセル") : QString(), 0, kSteps,
                  parent),
          blocker_(dialog_)
    {
        dialog_.setWindowTitle(title);
        dialog_.setWindowModality(Qt::ApplicationModal);
        dialog_.setMinimumDuration(500);
        dialog_.setAutoClose(false);
        dialog_.setAutoReset(false);
        if (!cancellable)
            dialog_.setCancelButton(nullptr);
        dialog_.setValue(0);
    }

    bool Advance(double done) override
    {
        const int step = static_cast<int>(std::clamp(done, 0.0, 1.0) * kSteps);
        if (step != dialog_.value())
            dialog_.setValue(step); // also shows the dialog once the minimum duration has passed
        // Repaints, and the dialog's own cancel button; the blocker keeps all other input out.
        QCoreApplication::processEvents();
        return !dialog_.wasCanceled();
    }

private:
    static constexpr int kSteps = 1000;
    QProgressDialog dialog_;
    InputBlocker blocker_; // declared after the dialog: removed before the dialog goes
};

std::unique_ptr<ProgressReport> QtDialogs::BeginProgress(QWidget* parent, const QString& title,
                                                         const QString& message, bool cancellable)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance()))
        return std::make_unique<SilentProgress>();
    return std::make_unique<QtProgress>(parent, title, message, cancellable);
}

QtDialogs& RealDialogs()
{
    static QtDialogs dialogs;
    return dialogs;
}

UserDialogs* g_installed = nullptr;

} // namespace

UserDialogs& Dialogs()
{
    return g_installed ? *g_installed : RealDialogs();
}

void SetDialogs(UserDialogs* dialogs)
{
    g_installed = dialogs;
}

void ShowMessage(QWidget* parent, const QString& caption, const QString& text)
{
    Dialogs().ShowMessage(parent, caption, text, MessageButtons::Ok);
}

QStringList QtFilterEntries(const QString& filter)
{
    QStringList entries;
    const QStringList parts = filter.split(QLatin1Char('|'));
    for (qsizetype i = 0; i + 1 < parts.size(); i += 2) {
        const QString& description = parts[i];
        const QString& pattern = parts[i + 1];
        QString qtPatterns = pattern;
        qtPatterns.replace(QLatin1Char(';'), QLatin1Char(' '));
        // "認印書式ﾌｧｲﾙ (*.mkn)" already names its pattern; Qt reads the last parentheses.
        if (description.endsWith(QStringLiteral("(%1)").arg(pattern)))
            entries << description.left(description.size() - pattern.size() - 2) +
                           QStringLiteral("(%1)").arg(qtPatterns);
        else
            entries << QStringLiteral("%1 (%2)").arg(description, qtPatterns);
    }
    return entries;
}

QString ToQtFilter(const QString& filter)
{
    return QtFilterEntries(filter).join(QStringLiteral(";;"));
}

} // namespace velmr::platform
