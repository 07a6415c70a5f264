#pragma once

#include "seal/Records.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// The seal format files: a name seal file (.mkn) is its two records, 168 + 1144 bytes, a date
// seal file (.mkd) its two records, 224 + 4096 bytes, with no header. Older files end after the
// first record; their extension record reads as zeros.
namespace velmr::seal {

inline constexpr qsizetype kNameSealFileSize = 168 + 1144;
inline constexpr qsizetype kDateSealFileSize = 224 + 4096;

struct NameSealFile
{
    NameStampRecord record;
    NameStampExRecord ex;
};

struct DateSealFile
{
    DateStampRecord record;
    DateStampExRecord ex;
};

// The records of a file's bytes, or nothing when the first record is incomplete. Bytes beyond
// the two records are not read.
std::optional<NameSealFile> ParseNameSealFile(QByteArrayView bytes);
std::optional<DateSealFile> ParseDateSealFile(QByteArrayView bytes);

QByteArray NameSealFileBytes(const NameStampRecord& record, const NameStampExRecord& ex);
QByteArray DateSealFileBytes(const DateStampRecord& record, const DateStampExRecord& ex);

// The extension of a path in lower case, its point included: everything from the last point
// after the last path separator; empty when there is none.
QString FileExtension(const QString& path);

// Extensions (as FileExtension gives them) of the pictures that open as bitmap seals: BMP and
// JPEG, which a bitmap seal is also saved as, and PNG, TIFF and WebP, which are only read.
bool IsPictureExtension(const QString& extension);
bool IsReadOnlyPictureExtension(const QString& extension);

} // namespace velmr::seal
