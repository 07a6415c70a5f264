#include "app/SealExport.h"

#include "image/ImgKit.h"
#include "platform/ExportForm.h"
#include "platform/UserDialogs.h"
#include "seal/MdiChild.h"
#include "seal/SealFile.h"

#include <QClipboard>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMimeData>

#include <cmath>
#include <variant>

namespace velmr::app {
namespace {

// The caption of the messages about the document's files.
const QString kFileCaption = QStringLiteral("瑠環印影ＭＧＲ");
constexpr double kCmPerInch = 2.54;

QDate ToQDate(const calendar::LocalDate& day)
{
    return QDate(day.year, day.month, day.day);
}

calendar::LocalDate ToLocalDate(const QDate& day)
{
    return {day.year(), day.month(), day.day()};
}

output::Format ToFormat(platform::ExportFormat format)
{
    switch (format) {
    case platform::ExportFormat::Svg:
        return output::Format::Svg;
    case platform::ExportFormat::Pdf:
        return output::Format::Pdf;
    case platform::ExportFormat::Png:
        break;
    }
    return output::Format::Png;
}

bool AskOverwrite(QWidget* parent, const QString& path)
{
    return platform::Dialogs().ShowMessage(parent, kFileCaption,
                                           QStringLiteral("%1 は既に存在します。\n上書きしますか？")
                                               .arg(QDir::toNativeSeparators(path)),
                                           platform::MessageButtons::OkCancel) ==
           platform::MessageResult::Ok;
}

} // namespace

std::optional<output::SealSource> SealSourceOf(const seal::TMDIChild& document,
                                               const calendar::LocalDate& day)
{
    switch (document.Kind) {
    case seal::kNameSeal:
        return output::NameSeal{document.NameStamp, document.NameStampEx};
    case seal::kDateSeal:
        return output::DateSeal{document.DateStamp, document.DateStampEx, day};
    case seal::kBitmapSeal:
        return output::BitmapSeal{image::ImgKitToQImage(document.ImageHandle),
                                  document.BitmapResolution};
    default:
        return std::nullopt;
    }
}

QString ExportFilter(output::Format format)
{
    switch (format) {
    case output::Format::Svg:
        return QStringLiteral("SVGﾌｧｲﾙ (*.svg)|*.svg");
    case output::Format::Pdf:
        return QStringLiteral("PDFﾌｧｲﾙ (*.pdf)|*.pdf");
    case output::Format::Png:
        break;
    }
    return QStringLiteral("PNGﾌｧｲﾙ (*.png)|*.png");
}

QString ProposedExportName(const QString& caption, output::Format format)
{
    const QString name = QFileInfo(caption).fileName();
    const QString extension = seal::FileExtension(name);
    const QString base = name.left(name.size() - extension.size());
    // A picture of the same format (a photo the seal was taken from) is not proposed over itself.
    if (extension == output::FormatExtension(format))
        return base + QStringLiteral("_印影") + extension;
    return base + output::FormatExtension(format);
}

QString ExportPath(const QString& chosen, output::Format format)
{
    const QString extension = output::FormatExtension(format);
    return chosen.endsWith(extension, Qt::CaseInsensitive) ? chosen : chosen + extension;
}

bool ExportDocument(QWidget* parent, const seal::TMDIChild& document)
{
    const calendar::LocalDate today = calendar::Today();
    std::optional<output::SealSource> source = SealSourceOf(document, today);
    if (!source)
        return false;
    std::optional<output::SealArtwork> art(std::in_place, *source);

    platform::ExportOptionsRequest request;
    request.sizeMm = art->SizeMm();
    request.frameMm = art->FrameSizeMm().value_or(QSizeF());
    request.ownDpi = int(std::lround(art->PixelsPerCm() * kCmPerInch));
    request.pictureOnly = document.Kind == seal::kBitmapSeal;
    request.asksDay = document.Kind == seal::kDateSeal;
    request.day = ToQDate(today);
    request.firstDay = ToQDate(output::kFirstDay);
    request.lastDay = ToQDate(output::kLastDay);
    const auto answer = platform::Dialogs().AskExportOptions(parent, request);
    if (!answer)
        return false;

    output::ExportOptions options;
    options.format = request.pictureOnly ? output::Format::Png : ToFormat(answer->format);
    options.dpi = request.pictureOnly ? 0.0 : double(answer->dpi);
    if (request.asksDay) {
        const QDate& day = answer->day;
        if (!day.isValid() || day < request.firstDay || day > request.lastDay) {
            platform::ShowMessage(parent, kFileCaption,
                                  platform::BadDayMessage(request.firstDay, request.lastDay));
            return false;
        }
        if (day != request.day) {
            std::get<output::DateSeal>(*source).day = ToLocalDate(day);
            art.emplace(*source);
        }
    }

    platform::FileDialogRequest file;
    file.filter = ExportFilter(options.format);
    file.fileName = ProposedExportName(document.Caption(), options.format);
    if (!seal::IsDefaultCaption(document.Caption()) && QFileInfo(document.Caption()).isAbsolute())
        file.directory = QFileInfo(document.Caption()).absolutePath();
    const auto chosen = platform::Dialogs().AskSaveFile(parent, file);
    if (!chosen)
        return false;
    // Asked about the name that is written, the extension included.
    const QString path = ExportPath(chosen->path, options.format);
    if (QFileInfo::exists(path) && !AskOverwrite(parent, path))
        return false;
    bool clamped = false;
    if (const auto failure = output::ExportSeal(*art, options, path, &clamped)) {
        platform::ShowMessage(parent, kFileCaption, *failure);
        return false;
    }
    if (clamped)
        platform::ShowMessage(parent, kFileCaption,
                              options.format == output::Format::Pdf
                                  ? QStringLiteral("印が大きすぎるため、PDF のページに収まるよう"
                                                   "縮小して書き出しました。")
                                  : QStringLiteral("印が大きすぎるため、解像度を下げて書き出し"
                                                   "ました。"));
    return true;
}

void CopyDocumentAsPicture(const seal::TMDIChild& document)
{
    const std::optional<output::SealSource> source = SealSourceOf(document, calendar::Today());
    if (!source)
        return;
    const output::SealArtwork art(*source);
    QGuiApplication::clipboard()->setMimeData(output::ClipboardData(art).release());
}

} // namespace velmr::app
