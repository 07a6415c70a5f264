#include "seal/SealFile.h"

namespace velmr::seal {
namespace {

std::span<const std::uint8_t> Bytes(QByteArrayView bytes, qsizetype offset, qsizetype size)
{
    return {reinterpret_cast<const std::uint8_t*>(bytes.data()) + offset, std::size_t(size)};
}

// Reads a first record and, when the file holds it whole, the extension record after it.
template <typename First, typename Ex> bool ParseRecords(QByteArrayView bytes, First& first, Ex& ex)
{
    constexpr qsizetype kFirst = sizeof(First);
    constexpr qsizetype kEx = sizeof(Ex);
    if (bytes.size() < kFirst || !FromBytes(Bytes(bytes, 0, kFirst), first))
        return false;
    if (bytes.size() < kFirst + kEx || !FromBytes(Bytes(bytes, kFirst, kEx), ex))
        ex = Ex{};
    return true;
}

QByteArray Join(const std::string& first, const std::string& ex)
{
    QByteArray bytes;
    bytes.reserve(qsizetype(first.size() + ex.size()));
    bytes.append(first.data(), qsizetype(first.size()));
    bytes.append(ex.data(), qsizetype(ex.size()));
    return bytes;
}

} // namespace

std::optional<NameSealFile> ParseNameSealFile(QByteArrayView bytes)
{
    NameSealFile file;
    if (!ParseRecords(bytes, file.record, file.ex))
        return std::nullopt;
    return file;
}

std::optional<DateSealFile> ParseDateSealFile(QByteArrayView bytes)
{
    DateSealFile file;
    if (!ParseRecords(bytes, file.record, file.ex))
        return std::nullopt;
    return file;
}

QByteArray NameSealFileBytes(const NameStampRecord& record, const NameStampExRecord& ex)
{
    return Join(ToBytes(record), ToBytes(ex));
}

QByteArray DateSealFileBytes(const DateStampRecord& record, const DateStampExRecord& ex)
{
    return Join(ToBytes(record), ToBytes(ex));
}

QString FileExtension(const QString& path)
{
    const qsizetype separator = path.lastIndexOf(QLatin1Char('/'));
    const qsizetype point = path.lastIndexOf(QLatin1Char('.'));
    if (point < 0 || point < separator)
        return {};
    return path.mid(point).toLower();
}

bool IsPictureExtension(const QString& extension)
{
    return extension == QLatin1String(".bmp") || extension == QLatin1String(".jpg") ||
           extension == QLatin1String(".jpeg") || IsReadOnlyPictureExtension(extension);
}

bool IsReadOnlyPictureExtension(const QString& extension)
{
    return extension == QLatin1String(".png") || extension == QLatin1String(".tif") ||
           extension == QLatin1String(".tiff") || extension == QLatin1String(".webp");
}

} // namespace velmr::seal
