#pragma once

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

// The seal parameter records. Their layouts are the file format: the same bytes are held in
// memory, copied when a seal is duplicated, and written to and read from the format files and the
// Velmor program's old data file. Every field is read and written as little-endian bytes.
namespace velmr::seal {

using SealKind = std::int32_t;
inline constexpr SealKind kNoKind = 0;
inline constexpr SealKind kNameSeal = 1;
inline constexpr SealKind kDateSeal = 2;
inline constexpr SealKind kBitmapSeal = 3;

// Font style byte: bit 0 bold, bit 1 italic, bit 2 underline, bit 3 strike-out.
inline constexpr std::uint8_t kStyleBold = 0x01;
inline constexpr std::uint8_t kStyleItalic = 0x02;
inline constexpr std::uint8_t kStyleUnderline = 0x04;
inline constexpr std::uint8_t kStyleStrikeOut = 0x08;

// Colours are 0x00BBGGRR.
inline constexpr std::int32_t kColorRed = 0x0000FF;
inline constexpr std::int32_t kColorBlack = 0x000000;
inline constexpr std::int32_t kColorBlue = 0xFF0000;

// A NUL-terminated Shift-JIS text in a fixed field of N bytes. Bytes after the terminator are
// kept as they are. A field read from outside may lack its terminator; it then ends at N bytes.
template <std::size_t N> struct FixedText
{
    std::array<char, N> bytes{};

    static constexpr std::size_t kCapacity = N;

    // The text's bytes up to the terminator (all N bytes when there is none), never ending in
    // half a double-byte character.
    std::string_view View() const;
    bool Empty() const { return bytes[0] == '\0'; }
    // Stores `sjis`, cut at a character boundary to N - 1 bytes, and zeroes the rest.
    void Assign(std::string_view sjis);
    QString ToUnicode() const;

    friend bool operator==(const FixedText&, const FixedText&) = default;
};

using Text20 = FixedText<20>;
using Text40 = FixedText<40>;
using Text8 = FixedText<8>;

struct NameStampRecord
{
    Text20 Text1;
    Text20 Text2;
    Text20 Text3;
    Text20 Text4;
    Text40 FontName;
    std::uint8_t FontStyle = 0;
    std::array<std::uint8_t, 3> FontStylePadding{};
    std::int32_t FontSize = 0;
    std::int32_t StampSize = 0;
    std::int32_t TextSpace = 0;
    std::int32_t StampColor = 0;
    std::int32_t LineWidth = 0;
    std::int32_t CircleParameter = 0;
    std::int32_t OffsetX = 0;
    std::int32_t OffsetY = 0;
    std::int32_t Resolution = 0;
    std::array<std::uint8_t, 8> Reserved{};

    friend bool operator==(const NameStampRecord&, const NameStampRecord&) = default;
};

struct NameStampExRecord
{
    std::int32_t UseNameEX = 0;
    Text20 ExText1;
    Text20 ExText2;
    Text20 ExText3;
    Text20 ExText4;
    Text40 ExFontName;
    std::uint8_t ExFontStyle = 0;
    std::array<std::uint8_t, 3> ExFontStylePadding{};
    std::int32_t ExFontSize = 0;
    std::int32_t ExTextSpace = 0;
    std::int32_t ExOffsetX = 0;
    std::int32_t ExOffsetY = 0;
    std::array<std::uint8_t, 1000> Reserved{};

    friend bool operator==(const NameStampExRecord&, const NameStampExRecord&) = default;
};

struct DateStampRecord
{
    Text20 Text1;
    Text20 Text2;
    Text40 FontNameU;
    Text40 FontNameM;
    Text40 FontNameL;
    std::uint8_t FontStyleU = 0;
    std::uint8_t FontStyleM = 0;
    std::uint8_t FontStyleL = 0;
    std::uint8_t FontStylePadding = 0;
    std::int32_t FontSizeU = 0;
    std::int32_t FontSizeM = 0;
    std::int32_t FontSizeL = 0;
    std::int32_t StampSize = 0;
    std::int32_t StampColor = 0;
    std::int32_t LineWidth = 0;
    std::int32_t SpaceM = 0;
    std::int32_t PositionU = 0;
    std::int32_t PositionL = 0;
    std::int32_t Years = 0;
    Text8 Header;
    std::int32_t TwinRing = 0;
    std::array<std::uint8_t, 8> Reserved{};

    friend bool operator==(const DateStampRecord&, const DateStampRecord&) = default;
};

struct DateStampExRecord
{
    Text20 Text3;
    std::int32_t U_T2Space = 0;
    Text20 Text4;
    std::int32_t L_T2FontSize = 0;
    std::int32_t L_T2Space = 0;
    Text20 Text5;
    std::int32_t L_T3Space = 0;
    std::int32_t DateNZ = 0;
    std::array<std::uint8_t, 4016> Reserved{};

    friend bool operator==(const DateStampExRecord&, const DateStampExRecord&) = default;
};

// The layouts, pinned field by field.
static_assert(std::is_standard_layout_v<NameStampRecord>);
static_assert(sizeof(NameStampRecord) == 168);
static_assert(offsetof(NameStampRecord, Text1) == 0);
static_assert(offsetof(NameStampRecord, Text2) == 20);
static_assert(offsetof(NameStampRecord, Text3) == 40);
static_assert(offsetof(NameStampRecord, Text4) == 60);
static_assert(offsetof(NameStampRecord, FontName) == 80);
static_assert(offsetof(NameStampRecord, FontStyle) == 120);
static_assert(offsetof(NameStampRecord, FontStylePadding) == 121);
static_assert(offsetof(NameStampRecord, FontSize) == 124);
static_assert(offsetof(NameStampRecord, StampSize) == 128);
static_assert(offsetof(NameStampRecord, TextSpace) == 132);
static_assert(offsetof(NameStampRecord, StampColor) == 136);
static_assert(offsetof(NameStampRecord, LineWidth) == 140);
static_assert(offsetof(NameStampRecord, CircleParameter) == 144);
static_assert(offsetof(NameStampRecord, OffsetX) == 148);
static_assert(offsetof(NameStampRecord, OffsetY) == 152);
static_assert(offsetof(NameStampRecord, Resolution) == 156);
static_assert(offsetof(NameStampRecord, Reserved) == 160);

static_assert(std::is_standard_layout_v<NameStampExRecord>);
static_assert(sizeof(NameStampExRecord) == 1144);
static_assert(offsetof(NameStampExRecord, UseNameEX) == 0);
static_assert(offsetof(NameStampExRecord, ExText1) == 4);
static_assert(offsetof(NameStampExRecord, ExText2) == 24);
static_assert(offsetof(NameStampExRecord, ExText3) == 44);
static_assert(offsetof(NameStampExRecord, ExText4) == 64);
static_assert(offsetof(NameStampExRecord, ExFontName) == 84);
static_assert(offsetof(NameStampExRecord, ExFontStyle) == 124);
static_assert(offsetof(NameStampExRecord, ExFontStylePadding) == 125);
static_assert(offsetof(NameStampExRecord, ExFontSize) == 128);
static_assert(offsetof(NameStampExRecord, ExTextSpace) == 132);
static_assert(offsetof(NameStampExRecord, ExOffsetX) == 136);
static_assert(offsetof(NameStampExRecord, ExOffsetY) == 140);
static_assert(offsetof(NameStampExRecord, Reserved) == 144);

static_assert(std::is_standard_layout_v<DateStampRecord>);
static_assert(sizeof(DateStampRecord) == 224);
static_assert(offsetof(DateStampRecord, Text1) == 0);
static_assert(offsetof(DateStampRecord, Text2) == 20);
static_assert(offsetof(DateStampRecord, FontNameU) == 40);
static_assert(offsetof(DateStampRecord, FontNameM) == 80);
static_assert(offsetof(DateStampRecord, FontNameL) == 120);
static_assert(offsetof(DateStampRecord, FontStyleU) == 160);
static_assert(offsetof(DateStampRecord, FontStyleM) == 161);
static_assert(offsetof(DateStampRecord, FontStyleL) == 162);
static_assert(offsetof(DateStampRecord, FontStylePadding) == 163);
static_assert(offsetof(DateStampRecord, FontSizeU) == 164);
static_assert(offsetof(DateStampRecord, FontSizeM) == 168);
static_assert(offsetof(DateStampRecord, FontSizeL) == 172);
static_assert(offsetof(DateStampRecord, StampSize) == 176);
static_assert(offsetof(DateStampRecord, StampColor) == 180);
static_assert(offsetof(DateStampRecord, LineWidth) == 184);
static_assert(offsetof(DateStampRecord, SpaceM) == 188);
static_assert(offsetof(DateStampRecord, PositionU) == 192);
static_assert(offsetof(DateStampRecord, PositionL) == 196);
static_assert(offsetof(DateStampRecord, Years) == 200);
static_assert(offsetof(DateStampRecord, Header) == 204);
static_assert(offsetof(DateStampRecord, TwinRing) == 212);
static_assert(offsetof(DateStampRecord, Reserved) == 216);

static_assert(std::is_standard_layout_v<DateStampExRecord>);
static_assert(sizeof(DateStampExRecord) == 4096);
static_assert(offsetof(DateStampExRecord, Text3) == 0);
static_assert(offsetof(DateStampExRecord, U_T2Space) == 20);
static_assert(offsetof(DateStampExRecord, Text4) == 24);
static_assert(offsetof(DateStampExRecord, L_T2FontSize) == 44);
static_assert(offsetof(DateStampExRecord, L_T2Space) == 48);
static_assert(offsetof(DateStampExRecord, Text5) == 52);
static_assert(offsetof(DateStampExRecord, L_T3Space) == 72);
static_assert(offsetof(DateStampExRecord, DateNZ) == 76);
static_assert(offsetof(DateStampExRecord, Reserved) == 80);

// Byte-exact little-endian form of each record. `FromBytes` takes exactly sizeof(record) bytes.
std::string ToBytes(const NameStampRecord& record);
std::string ToBytes(const NameStampExRecord& record);
std::string ToBytes(const DateStampRecord& record);
std::string ToBytes(const DateStampExRecord& record);
bool FromBytes(std::span<const std::uint8_t> bytes, NameStampRecord& record);
bool FromBytes(std::span<const std::uint8_t> bytes, NameStampExRecord& record);
bool FromBytes(std::span<const std::uint8_t> bytes, DateStampRecord& record);
bool FromBytes(std::span<const std::uint8_t> bytes, DateStampExRecord& record);

// The records of a new seal.
NameStampRecord NewNameStamp();
NameStampExRecord NewNameStampEx();
DateStampRecord NewDateStamp();

// The Shift-JIS bytes of a text known to be representable (program constants).
std::string Sjis(QStringView text);

} // namespace velmr::seal
