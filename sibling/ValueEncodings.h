#pragma once

#include "seal/Records.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

namespace velmr::platform {
class RegistryAccessor;
}

// The seal values of the Velmor key's subkeys NameStamp and DateStamp: which record field each
// value holds and how it is written as text and read back. Registering and importing both go
// through the tables below, so the two always agree.
namespace velmr::sibling {

inline const QString kNameStampKey = QStringLiteral("NameStamp");
inline const QString kDateStampKey = QStringLiteral("DateStamp");
inline const QString kSetupRootValue = QStringLiteral("SetupRoot");
inline const QString kBitmap1Value = QStringLiteral("Bitmap1");
inline const QString kBitmap1ResolutionValue = QStringLiteral("Bitmap1Resolution");

// The kinds of value and their rules.
enum class ValueKind
{
    SealText,  // Shift-JIS text; an empty text is written as "_", and "_" reads as empty
    PlainText, // text unchanged, empty included
    Integer,   // decimal text of a signed 32-bit number
    Switch,    // "1" for nonzero, "0" for zero; read as an integer
    StylePair, // two values <name>Bold and <name>Italic, "1" or "0" for bits 0 and 1
};

// The empty-text mark of seal texts.
inline const QString kEmptyTextMark = QStringLiteral("_");

// One record field as the tables reach it.
using FieldRef =
    std::variant<seal::Text20*, seal::Text40*, seal::Text8*, std::int32_t*, std::uint8_t*>;

// The two records of each seal kind, as the tables reach their fields.
struct NameSealFields
{
    seal::NameStampRecord& record;
    seal::NameStampExRecord& ex;
};
struct DateSealFields
{
    seal::DateStampRecord& record;
    seal::DateStampExRecord& ex;
};

template <typename Fields> struct ValueRule
{
    QStringView name; // the value's name; for a pair the field's, the values add Bold and Italic
    ValueKind kind;
    FieldRef (*field)(Fields&);
    // For the later additions to DateStamp: written by importing when missing or empty.
    QStringView importDefault = {};
};

// The values of NameStamp and DateStamp in the order in which registering writes them.
std::span<const ValueRule<NameSealFields>> NameStampValues();
std::span<const ValueRule<DateSealFields>> DateStampValues();

// ---- The single rules.

QString WriteSealText(std::string_view sjis);
// The Shift-JIS bytes of a seal text value ("_" gives none); a character without a Shift-JIS
// code becomes "?".
std::string ReadSealText(const QString& value);
QString WritePlainText(std::string_view sjis);
std::string ReadPlainText(const QString& value);
QString WriteInteger(std::int32_t value);
// White space skipped, an optional sign, then decimal digits up to the first other character;
// 0 without digits. A number beyond 32 bits stops at the nearest limit.
std::int32_t ReadInteger(QStringView value);
QString WriteSwitch(std::int32_t value);

struct StyleValues
{
    QString bold;
    QString italic;
};
// Only the styles {}, {bold}, {italic} and {bold, italic} are written; nothing for a style byte
// with any other bit set.
std::optional<StyleValues> WriteStylePair(std::uint8_t style);
// Bold when the bold value is exactly "1", italic when the italic value is; no other bit.
std::uint8_t ReadStylePair(const QString& bold, const QString& italic);

QString BoldValueName(QStringView base);
QString ItalicValueName(QStringView base);

// ---- Whole seals. The accessor stands in the subkey. Reading never fails on a value: a missing
// one, or one of another type, reads as empty, 0 or "not set".

void WriteNameStamp(platform::RegistryAccessor& registry, seal::NameStampRecord record,
                    seal::NameStampExRecord ex);
void WriteDateStamp(platform::RegistryAccessor& registry, seal::DateStampRecord record,
                    seal::DateStampExRecord ex);
// The records start zero-filled; fields without a value stay zero.
void ReadNameStamp(platform::RegistryAccessor& registry, seal::NameStampRecord& record,
                   seal::NameStampExRecord& ex);
// Also writes the default of each later addition that is missing or empty.
void ReadDateStamp(platform::RegistryAccessor& registry, seal::DateStampRecord& record,
                   seal::DateStampExRecord& ex);

} // namespace velmr::sibling
