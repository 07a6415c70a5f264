#pragma once

#include "seal/Records.h"
#include "sibling/ImportSeals.h"

#include <QByteArrayView>
#include <QString>

#include <optional>

class QWidget;

// The data file of the Velmor program's version 0.83, "velmor.dat": its name seal record (168
// bytes) followed by its date seal record (224 bytes), with no header. Only read.
namespace velmr::sibling {

inline constexpr qsizetype kOldNameRecordSize = 168;
inline constexpr qsizetype kOldDateRecordSize = 224;
inline constexpr qsizetype kOldDataFileSize = kOldNameRecordSize + kOldDateRecordSize;

struct OldData
{
    seal::NameStampRecord name;
    seal::DateStampRecord date;
};

// The two records of a file's bytes; nothing when it is shorter than 392 bytes. What follows
// them is ignored.
std::optional<OldData> ParseOldDataFile(QByteArrayView bytes);

// True for a path whose file name (after the last "\", ":" or "/") is "velmor.dat" in any case.
bool IsOldDataFileName(const QString& path);

// Fills `document`'s records from the file at `path`: both seal records from the file, both
// extension records zero. On failure the user has been told and false is returned.
bool ReadOldDataFile(seal::TMDIChild& document, const QString& path);

// The commands of 瑠環印鑑０．８３ﾃﾞｰﾀの取込み: `kind` is the name or the date seal.
void ImportOldData(QWidget* parent, seal::SealKind kind, const NewDocumentWindow& newWindow);

} // namespace velmr::sibling
