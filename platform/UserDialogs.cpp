#include "platform/UserDialogs.h"

#include <QColorDialog>
#include <QDialog>
#include <QFileDialog>
#include <QFontDialog>
#include <QMessageBox>

namespace velmr::platform {
namespace {

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

    std::optional<QFont> AskFont(QWidget* parent, const QFont& initial) override
    {
        bool ok = false;
        const QFont font = QFontDialog::getFont(&ok, initial, parent);
        return ok ? std::optional<QFont>(font) : std::nullopt;
    }

    std::optional<QColor> AskColor(QWidget* parent, const QColor& initial) override
    {
        const QColor color = QColorDialog::getColor(initial, parent);
        return color.isValid() ? std::optional<QColor>(color) : std::nullopt;
    }

    int RunModal(QDialog& form) override { return form.exec(); }

private:
    static std::optional<FileDialogChoice> Run(QWidget* parent, const FileDialogRequest& request,
                                               QFileDialog::AcceptMode mode)
    {
        QFileDialog dialog(parent, request.caption, request.directory);
        dialog.setAcceptMode(mode);
        dialog.setOption(QFileDialog::ReadOnly, false);
        dialog.setOption(QFileDialog::DontConfirmOverwrite, !request.confirmOverwrite);
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
