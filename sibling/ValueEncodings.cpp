#include "sibling/ValueEncodings.h"

#include "platform/Cp932.h"
#include "platform/registry/RegistryAccessor.h"

#include <limits>
#include <type_traits>

namespace velmr::sibling {
namespace {

using Name = NameSealFields;
using Date = DateSealFields;
using Kind = ValueKind;

template <typename T> constexpr bool kIsText = false;
template <std::size_t N> constexpr bool kIsText<seal::FixedText<N>> = true;

// clang-format off
#define NAME_FIELD(member) [](Name& f) -> FieldRef { return &f.record.member; }
#define NAME_EX_FIELD(member) [](Name& f) -> FieldRef { return &f.ex.member; }
#define DATE_FIELD(member) [](Date& f) -> FieldRef { return &f.record.member; }
#define DATE_EX_FIELD(member) [](Date& f) -> FieldRef { return &f.ex.member; }

const ValueRule<Name> kNameStampValues[] = {
    {u"Text1", Kind::SealText, NAME_FIELD(Text1)},
    {u"Text2", Kind::SealText, NAME_FIELD(Text2)},
    {u"Text3", Kind::SealText, NAME_FIELD(Text3)},
    {u"Text4", Kind::SealText, NAME_FIELD(Text4)},
    {u"FontName", Kind::PlainText, NAME_FIELD(FontName)},
    {u"FontSize", Kind::Integer, NAME_FIELD(FontSize)},
    {u"StampSize", Kind::Integer, NAME_FIELD(StampSize)},
    {u"TextSpace", Kind::Integer, NAME_FIELD(TextSpace)},
    {u"StampColor", Kind::Integer, NAME_FIELD(StampColor)},
    {u"LineWidth", Kind::Integer, NAME_FIELD(LineWidth)},
    {u"CircleParameter", Kind::Integer, NAME_FIELD(CircleParameter)},
    {u"OffsetX", Kind::Integer, NAME_FIELD(OffsetX)},
    {u"OffsetY", Kind::Integer, NAME_FIELD(OffsetY)},
    {u"Resolution", Kind::Integer, NAME_FIELD(Resolution)},
    {u"FontStyle", Kind::StylePair, NAME_FIELD(FontStyle)},
    {u"UseNameEX", Kind::Integer, NAME_EX_FIELD(UseNameEX)},
    {u"ExText1", Kind::SealText, NAME_EX_FIELD(ExText1)},
    {u"ExText2", Kind::SealText, NAME_EX_FIELD(ExText2)},
    {u"ExText3", Kind::SealText, NAME_EX_FIELD(ExText3)},
    {u"ExText4", Kind::SealText, NAME_EX_FIELD(ExText4)},
    {u"ExFontName", Kind::PlainText, NAME_EX_FIELD(ExFontName)},
    {u"ExFontSize", Kind::Integer, NAME_EX_FIELD(ExFontSize)},
    {u"ExTextSpace", Kind::Integer, NAME_EX_FIELD(ExTextSpace)},
    {u"ExOffsetX", Kind::Integer, NAME_EX_FIELD(ExOffsetX)},
    {u"ExOffsetY", Kind::Integer, NAME_EX_FIELD(ExOffsetY)},
    {u"ExFontStyle", Kind::StylePair, NAME_EX_FIELD(ExFontStyle)},
};

const ValueRule<Date> kDateStampValues[] = {
    {u"Text1", Kind::SealText, DATE_FIELD(Text1)},
    {u"Text2", Kind::SealText, DATE_FIELD(Text2)},
    {u"FontNameU", Kind::PlainText, DATE_FIELD(FontNameU)},
    {u"FontNameM", Kind::PlainText, DATE_FIELD(FontNameM)},
    {u"FontNameL", Kind::PlainText, DATE_FIELD(FontNameL)},
    {u"FontSizeU", Kind::Integer, DATE_FIELD(FontSizeU)},
    {u"FontSizeM", Kind::Integer, DATE_FIELD(FontSizeM)},
    {u"FontSizeL", Kind::Integer, DATE_FIELD(FontSizeL)},
    {u"StampSize", Kind::Integer, DATE_FIELD(StampSize)},
    {u"StampColor", Kind::Integer, DATE_FIELD(StampColor)},
    {u"LineWidth", Kind::Integer, DATE_FIELD(LineWidth)},
    {u"SpaceM", Kind::Integer, DATE_FIELD(SpaceM)},
    {u"PositionU", Kind::Integer, DATE_FIELD(PositionU)},
    {u"PositionL", Kind::Integer, DATE_FIELD(PositionL)},
    {u"Years", Kind::Integer, DATE_FIELD(Years)},
    {u"TwinRing", Kind::Integer, DATE_FIELD(TwinRing)},
    {u"Header", Kind::PlainText, DATE_FIELD(Header)},
    {u"FontStyleU", Kind::StylePair, DATE_FIELD(FontStyleU)},
    {u"FontStyleM", Kind::StylePair, DATE_FIELD(FontStyleM)},
    {u"FontStyleL", Kind::StylePair, DATE_FIELD(FontStyleL)},
    // Later additions, unknown to older Velmor programs.
    {u"Text3", Kind::SealText, DATE_EX_FIELD(Text3), u"_"},
    {u"Text4", Kind::SealText, DATE_EX_FIELD(Text4), u"_"},
    {u"U_T2Space", Kind::Integer, DATE_EX_FIELD(U_T2Space), u"0"},
    {u"L_T2FontSize", Kind::Integer, DATE_EX_FIELD(L_T2FontSize), u"0"},
    {u"L_T2Space", Kind::Integer, DATE_EX_FIELD(L_T2Space), u"0"},
    {u"Text5", Kind::SealText, DATE_EX_FIELD(Text5), u"_"},
    {u"L_T3Space", Kind::Integer, DATE_EX_FIELD(L_T3Space), u"0"},
    {u"DateNZ", Kind::Switch, DATE_EX_FIELD(DateNZ), u"0"},
};
// clang-format on

#undef NAME_FIELD
#undef NAME_EX_FIELD
#undef DATE_FIELD
#undef DATE_EX_FIELD

bool IsCSpace(QChar c)
{
    const char16_t u = c.unicode();
    return u == u' ' || u == u'\t' || u == u'\n' || u == u'\v' || u == u'\f' || u == u'\r';
}

template <typename Fields>
void WriteValues(platform::RegistryAccessor& registry, std::span<const ValueRule<Fields>> rules,
                 Fields fields)
{
    for (const ValueRule<Fields>& rule : rules) {
        const QString name = rule.name.toString();
        std::visit(
            [&](auto* field) {
                using Field = std::remove_pointer_t<decltype(field)>;
                if constexpr (kIsText<Field>) {
                    registry.WriteString(name, rule.kind == Kind::SealText
                                                   ? WriteSealText(field->View())
                                                   : WritePlainText(field->View()));
                } else if constexpr (std::is_same_v<Field, std::int32_t>) {
                    registry.WriteString(name, rule.kind == Kind::Switch ? WriteSwitch(*field)
                                                                         : WriteInteger(*field));
                } else {
                    if (const std::optional<StyleValues> pair = WriteStylePair(*field)) {
                        registry.WriteString(BoldValueName(rule.name), pair->bold);
                        registry.WriteString(ItalicValueName(rule.name), pair->italic);
                    }
                }
            },
            rule.field(fields));
    }
}

template <typename Fields>
void ReadValues(platform::RegistryAccessor& registry, std::span<const ValueRule<Fields>> rules,
                Fields fields)
{
    for (const ValueRule<Fields>& rule : rules) {
        const QString name = rule.name.toString();
        if (!rule.importDefault.isEmpty() && registry.ReadString(name).isEmpty())
            registry.WriteString(name, rule.importDefault.toString());
        std::visit(
            [&](auto* field) {
                using Field = std::remove_pointer_t<decltype(field)>;
                if constexpr (kIsText<Field>) {
                    const QString value = registry.ReadString(name);
                    field->Assign(rule.kind == Kind::SealText ? ReadSealText(value)
                                                              : ReadPlainText(value));
                } else if constexpr (std::is_same_v<Field, std::int32_t>) {
                    *field = ReadInteger(registry.ReadString(name));
                } else {
                    *field = ReadStylePair(registry.ReadString(BoldValueName(rule.name)),
                                           registry.ReadString(ItalicValueName(rule.name)));
                }
            },
            rule.field(fields));
    }
}

} // namespace

std::span<const ValueRule<NameSealFields>> NameStampValues()
{
    return kNameStampValues;
}

std::span<const ValueRule<DateSealFields>> DateStampValues()
{
    return kDateStampValues;
}

QString WriteSealText(std::string_view sjis)
{
    return sjis.empty() ? kEmptyTextMark : platform::cp932::Decode(sjis);
}

std::string ReadSealText(const QString& value)
{
    return value == kEmptyTextMark ? std::string() : platform::cp932::EncodeLossy(value);
}

QString WritePlainText(std::string_view sjis)
{
    return platform::cp932::Decode(sjis);
}

std::string ReadPlainText(const QString& value)
{
    return platform::cp932::EncodeLossy(value);
}

QString WriteInteger(std::int32_t value)
{
    return QString::number(value);
}

std::int32_t ReadInteger(QStringView value)
{
    qsizetype at = 0;
    while (at < value.size() && IsCSpace(value[at]))
        ++at;
    bool negative = false;
    if (at < value.size() && (value[at] == u'-' || value[at] == u'+')) {
        negative = value[at] == u'-';
        ++at;
    }
    constexpr std::int64_t kLimit = std::int64_t(std::numeric_limits<std::int32_t>::max()) + 1;
    std::int64_t magnitude = 0;
    for (; at < value.size() && value[at] >= u'0' && value[at] <= u'9'; ++at)
        magnitude = std::min<std::int64_t>(magnitude * 10 + (value[at].unicode() - u'0'), kLimit);
    if (negative)
        return std::int32_t(-magnitude);
    return std::int32_t(std::min<std::int64_t>(magnitude, kLimit - 1));
}

QString WriteSwitch(std::int32_t value)
{
    return value != 0 ? QStringLiteral("1") : QStringLiteral("0");
}

std::optional<StyleValues> WriteStylePair(std::uint8_t style)
{
    if ((style & ~(seal::kStyleBold | seal::kStyleItalic)) != 0)
        return std::nullopt;
    return StyleValues{WriteSwitch(style & seal::kStyleBold),
                       WriteSwitch(style & seal::kStyleItalic)};
}

std::uint8_t ReadStylePair(const QString& bold, const QString& italic)
{
    std::uint8_t style = 0;
    if (bold == QLatin1String("1"))
        style |= seal::kStyleBold;
    if (italic == QLatin1String("1"))
        style |= seal::kStyleItalic;
    return style;
}

QString BoldValueName(QStringView base)
{
    return base.toString() + QStringLiteral("Bold");
}

QString ItalicValueName(QStringView base)
{
    return base.toString() + QStringLiteral("Italic");
}

void WriteNameStamp(platform::RegistryAccessor& registry, seal::NameStampRecord record,
                    seal::NameStampExRecord ex)
{
    WriteValues(registry, NameStampValues(), NameSealFields{record, ex});
}

void WriteDateStamp(platform::RegistryAccessor& registry, seal::DateStampRecord record,
                    seal::DateStampExRecord ex)
{
    WriteValues(registry, DateStampValues(), DateSealFields{record, ex});
}

void ReadNameStamp(platform::RegistryAccessor& registry, seal::NameStampRecord& record,
                   seal::NameStampExRecord& ex)
{
    record = {};
    ex = {};
    ReadValues(registry, NameStampValues(), NameSealFields{record, ex});
}

void ReadDateStamp(platform::RegistryAccessor& registry, seal::DateStampRecord& record,
                   seal::DateStampExRecord& ex)
{
    record = {};
    ex = {};
    ReadValues(registry, DateStampValues(), DateSealFields{record, ex});
}

} // namespace velmr::sibling
