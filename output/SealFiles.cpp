#include "image/ImgKit.h"
#include "output/SealOutput.h"
#include "seal/SealFile.h"

#include <QDate>
#include <QFile>
#include <QFileInfo>

#include <cmath>
#include <span>

namespace velmr::output {
namespace {

bool Before(const calendar::LocalDate& a, const calendar::LocalDate& b)
{
    if (a.year != b.year)
        return a.year < b.year;
    if (a.month != b.month)
        return a.month < b.month;
    return a.day < b.day;
}

// The digits of `text` as a number; nothing when any character is not an ASCII digit.
std::optional<int> Digits(QStringView text)
{
    int value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return std::nullopt;
        value = value * 10 + (c.unicode() - u'0');
    }
    return value;
}

LoadedSeal Failure(const QString& path, const QString& reason)
{
    return {std::nullopt, QStringLiteral("%1: %2").arg(path, reason)};
}

// The records of a seal format file; a file shorter than its first record is refused.
LoadedSeal LoadFormatFile(const QString& path, bool name, const calendar::LocalDate& day)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Failure(path,
                       QStringLiteral("ファイルを開けませんでした（%1）").arg(file.errorString()));
    const QByteArray bytes = file.read(name ? seal::kNameSealFileSize : seal::kDateSealFileSize);
    if (file.error() != QFileDevice::NoError)
        return Failure(path,
                       QStringLiteral("ファイルを読めませんでした（%1）").arg(file.errorString()));
    if (name) {
        if (const auto parsed = seal::ParseNameSealFile(bytes))
            return {NameSeal{parsed->record, parsed->ex}, {}};
        return Failure(path, QStringLiteral("認印書式ファイルとして短すぎるか壊れています"));
    }
    if (const auto parsed = seal::ParseDateSealFile(bytes))
        return {DateSeal{parsed->record, parsed->ex, day}, {}};
    return Failure(path, QStringLiteral("日付印書式ファイルとして短すぎるか壊れています"));
}

} // namespace

std::optional<calendar::LocalDate> ParseDay(QStringView text)
{
    if (text.size() != 10 || text[4] != u'-' || text[7] != u'-')
        return std::nullopt;
    const auto year = Digits(text.mid(0, 4));
    const auto month = Digits(text.mid(5, 2));
    const auto day = Digits(text.mid(8, 2));
    if (!year || !month || !day || !QDate::isValid(*year, *month, *day))
        return std::nullopt;
    const calendar::LocalDate date{*year, *month, *day};
    if (Before(date, kFirstDay) || Before(kLastDay, date))
        return std::nullopt;
    return date;
}

// A picture's print resolution as a bitmap seal's: 153 pixels per cm when its header says so (a
// seal written at the date seal's resolution), otherwise 260.
std::int32_t PrintResolutionOf(image::ImgKitImage handle)
{
    const std::span<const std::uint8_t> dib = image::ImgKitLock(handle);
    if (dib.size() < 28)
        return 0;
    const std::uint32_t perMetre = std::uint32_t(dib[24]) | std::uint32_t(dib[25]) << 8 |
                                   std::uint32_t(dib[26]) << 16 | std::uint32_t(dib[27]) << 24;
    return std::abs(perMetre / 100.0 - kLargeSealPixelsPerCm) < 1.0 ? 1 : 0;
}

LoadedSeal LoadSealFile(const QString& path, const calendar::LocalDate& day)
{
    const QFileInfo info(path);
    if (!info.exists())
        return Failure(path, QStringLiteral("ファイルがありません"));
    if (!info.isFile())
        return Failure(path, QStringLiteral("ファイルではありません"));
    const QString extension = seal::FileExtension(path);
    if (extension == QLatin1String(".mkn"))
        return LoadFormatFile(path, true, day);
    if (extension == QLatin1String(".mkd"))
        return LoadFormatFile(path, false, day);
    if (seal::IsPictureExtension(extension)) {
        const image::ImgKitImage handle = image::ImgKitFileLoad(path, QString(), QString());
        if (handle == 0) {
            return Failure(path, QStringLiteral("画像を読み込めませんでした（BMP・JPEG・PNG・TIFF・"
                                                "WebPとして読めないか壊れています）"));
        }
        QImage picture = image::ImgKitToQImage(handle);
        const std::int32_t resolution = PrintResolutionOf(handle);
        image::ImgKitMemFree(handle);
        if (picture.isNull())
            return Failure(path, QStringLiteral("画像を読み込めませんでした"));
        return {BitmapSeal{std::move(picture), resolution}, {}};
    }
    return Failure(path, QStringLiteral("印影のファイルではありません（.mkn、.mkd、.bmp、.jpg、"
                                        ".png、.tif、.webp を読めます）"));
}

} // namespace velmr::output
