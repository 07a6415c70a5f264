#include "stamp/window/PdfOpen.h"

#include "platform/UserDialogs.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <poppler-qt6.h>

namespace velmr::stamp {
namespace {

// How far into the file the header may start and before its end the last end-of-file marker
// may lie, as readers accept them.
constexpr qsizetype kHeaderWindow = 1024;
constexpr qsizetype kTrailerWindow = 2048;

QString Shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

void Prepare(Poppler::Document& document)
{
    document.setRenderHint(Poppler::Document::Antialiasing, true);
    document.setRenderHint(Poppler::Document::TextAntialiasing, true);
    document.setRenderHint(Poppler::Document::TextHinting, false);
}

void QuietPoppler()
{
    static const bool quiet = [] {
        // Damaged files are told through messages; poppler's own diagnostics would only go to
        // the terminal.
        Poppler::setDebugErrorFunction([](const QString&, const QVariant&) {}, QVariant());
        return true;
    }();
    (void)quiet;
}

} // namespace

std::optional<QString> PdfDamage(const QString& path, const QByteArray& bytes)
{
    if (!bytes.left(kHeaderWindow).contains("%PDF-"))
        return QStringLiteral("%1 は PDF ファイルではありません。").arg(Shown(path));
    if (!bytes.right(kTrailerWindow).contains("%%EOF"))
        return QStringLiteral("%1 は途中で切れています（ファイルの終わりがありません）。\n"
                              "壊れた PDF ファイルは開けません。")
            .arg(Shown(path));
    return std::nullopt;
}

std::optional<OpenedPdf> OpenPdf(QWidget* parent, const QString& path)
{
    QuietPoppler();
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        platform::ShowMessage(
            parent, kPdfCaption,
            QStringLiteral("%1 を開けません。\n%2").arg(Shown(path), file.errorString()));
        return std::nullopt;
    }
    // Only the two ends are read: a large document is not taken into memory.
    const qint64 size = file.size();
    QByteArray ends = file.read(kHeaderWindow);
    QByteArray tail;
    if (size > kHeaderWindow) {
        file.seek(std::max<qint64>(kHeaderWindow, size - kTrailerWindow));
        tail = file.readAll();
    }
    file.close();
    const QByteArray probe = size > kHeaderWindow ? ends + tail : ends;
    if (const auto damage = PdfDamage(path, probe)) {
        platform::ShowMessage(parent, kPdfCaption, *damage);
        return std::nullopt;
    }

    OpenedPdf opened;
    opened.document = Poppler::Document::load(path);
    const QString damaged = QStringLiteral("%1 は壊れているため開けません。").arg(Shown(path));
    if (!opened.document) {
        platform::ShowMessage(parent, kPdfCaption, damaged);
        return std::nullopt;
    }
    QString question = QStringLiteral("%1 はパスワードで保護されています。\n"
                                      "文書を開くパスワードを入力してください。")
                           .arg(QFileInfo(path).fileName());
    while (opened.document->isLocked()) {
        const std::optional<QString> typed =
            platform::Dialogs().AskPassword(parent, kPdfCaption, question);
        if (!typed)
            return std::nullopt;
        const QByteArray password = typed->toUtf8();
        // The user password opens the document; the owner password opens it too.
        if (!opened.document->unlock(password, password)) {
            opened.password = password;
            break;
        }
        question = QStringLiteral("パスワードが違います。\n"
                                  "%1 を開くパスワードをもう一度入力してください。")
                       .arg(QFileInfo(path).fileName());
    }
    if (opened.document->numPages() <= 0) {
        platform::ShowMessage(parent, kPdfCaption, damaged);
        return std::nullopt;
    }
    Prepare(*opened.document);
    return opened;
}

std::unique_ptr<Poppler::Document> ReopenPdf(const QString& path, const QByteArray& password)
{
    QuietPoppler();
    std::unique_ptr<Poppler::Document> document = Poppler::Document::load(path, password, password);
    if (!document || document->isLocked() || document->numPages() <= 0)
        return nullptr;
    Prepare(*document);
    return document;
}

} // namespace velmr::stamp
