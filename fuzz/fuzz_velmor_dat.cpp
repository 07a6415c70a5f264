// Reads arbitrary bytes as the Velmor program's version-0.83 data file and sends both seals
// through the registry values as registering writes them and importing reads them: a second
// round changes nothing more, numbers always survive, and so do texts that are valid Shift-JIS
// and styles of bold and italic only.
//   build-fuzz/fuzz/fuzz_velmor_dat -max_total_time=600 fuzz/corpus/velmor_dat

#include "platform/Cp932.h"
#include "platform/registry/RegistryAccessor.h"
#include "sibling/OldDataFile.h"
#include "sibling/ValueEncodings.h"

#include <QByteArray>
#include <QHash>
#include <QSet>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

using namespace velmr;

void Check(bool condition, const char* what)
{
    if (!condition) {
        std::fprintf(stderr, "fuzz_velmor_dat: %s\n", what);
        std::abort();
    }
}

// The store in memory, as plain maps: what is exercised is the reading of the file and the
// value encodings, not a registry file format.
class MemoryStore final : public platform::RegistryBackend
{
public:
    std::unique_ptr<platform::RegistrySnapshot> Load() override
    {
        return std::make_unique<Snapshot>(keys_, values_);
    }
    void Commit(const std::vector<platform::RegistryChange>& changes) override
    {
        for (const platform::RegistryChange& change : changes) {
            const QString key = change.keyPath.join(u'\\').toCaseFolded();
            for (qsizetype count = 0; count <= change.keyPath.size(); ++count)
                keys_.insert(change.keyPath.first(count).join(u'\\').toCaseFolded());
            if (!change.valueName.isNull())
                values_[key + u'\n' + change.valueName.toCaseFolded()] = change.data;
        }
    }

private:
    struct Snapshot final : platform::RegistrySnapshot
    {
        Snapshot(QSet<QString> keys, QHash<QString, QString> values)
            : keys(std::move(keys)), values(std::move(values))
        {}
        bool KeyExists(const QStringList& path) const override
        {
            return keys.contains(path.join(u'\\').toCaseFolded()) || path.isEmpty();
        }
        platform::RegistryValueKind ValueKind(const QStringList& path,
                                              const QString& name) const override
        {
            return values.contains(Name(path, name)) ? platform::RegistryValueKind::String
                                                     : platform::RegistryValueKind::Missing;
        }
        QString StringValue(const QStringList& path, const QString& name) const override
        {
            return values.value(Name(path, name));
        }
        static QString Name(const QStringList& path, const QString& name)
        {
            return path.join(u'\\').toCaseFolded() + u'\n' + name.toCaseFolded();
        }
        QSet<QString> keys;
        QHash<QString, QString> values;
    };
    QSet<QString> keys_;
    QHash<QString, QString> values_;
};

template <typename Record, typename Ex, typename Write, typename Read>
std::pair<Record, Ex> RoundTrip(const Record& record, const Ex& ex, Write write, Read read)
{
    const auto store = std::make_shared<MemoryStore>();
    {
        platform::RegistryAccessor registry(store);
        registry.OpenKey(QStringLiteral("Software\\Zeb\\Velmor\\Seal"), true);
        write(registry, record, ex);
        registry.Close();
    }
    std::pair<Record, Ex> back;
    platform::RegistryAccessor registry(store);
    registry.OpenKey(QStringLiteral("Software\\Zeb\\Velmor\\Seal"), true);
    read(registry, back.first, back.second);
    registry.Close();
    return back;
}

// A text that fits its field with the terminator, goes through Unicode and back unchanged, and
// is not the empty-text mark.
template <std::size_t N> bool Survives(const seal::FixedText<N>& text)
{
    const std::string_view bytes = text.View();
    const QString unicode = platform::cp932::Decode(bytes);
    const std::optional<std::string> again = platform::cp932::Encode(unicode);
    return bytes.size() < N && again && *again == bytes && !unicode.contains(QChar(0xFFFD)) &&
           bytes != "_";
}

template <std::size_t N>
void CheckText(const seal::FixedText<N>& before, const seal::FixedText<N>& after)
{
    if (Survives(before))
        Check(before.View() == after.View(), "a valid text changed");
    Check(after.bytes[N - 1] == '\0', "a text lost its terminator");
}

void CheckStyle(std::uint8_t before, std::uint8_t after)
{
    Check(after == ((before & ~3) == 0 ? before : 0), "a style came back wrong");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::optional<sibling::OldData> parsed = sibling::ParseOldDataFile(
        QByteArrayView(reinterpret_cast<const char*>(data), qsizetype(size)));
    Check(parsed.has_value() == (size >= 392), "a file of 392 bytes or more is refused");
    if (!parsed)
        return 0;

    const seal::NameStampRecord& name = parsed->name;
    const seal::NameStampExRecord nameEx{};
    const auto [name1, nameEx1] =
        RoundTrip(name, nameEx, sibling::WriteNameStamp, sibling::ReadNameStamp);
    const auto [name2, nameEx2] =
        RoundTrip(name1, nameEx1, sibling::WriteNameStamp, sibling::ReadNameStamp);
    Check(seal::ToBytes(name1) == seal::ToBytes(name2), "a second round changed the name seal");
    Check(seal::ToBytes(nameEx1) == seal::ToBytes(nameEx2), "a second round changed the extension");
    for (auto field : {&seal::NameStampRecord::FontSize, &seal::NameStampRecord::StampSize,
                       &seal::NameStampRecord::TextSpace, &seal::NameStampRecord::StampColor,
                       &seal::NameStampRecord::LineWidth, &seal::NameStampRecord::CircleParameter,
                       &seal::NameStampRecord::OffsetX, &seal::NameStampRecord::OffsetY,
                       &seal::NameStampRecord::Resolution})
        Check(name.*field == name1.*field, "a number of the name seal changed");
    CheckText(name.Text1, name1.Text1);
    CheckText(name.Text2, name1.Text2);
    CheckText(name.Text3, name1.Text3);
    CheckText(name.Text4, name1.Text4);
    if (!name.FontName.View().empty())
        CheckText(name.FontName, name1.FontName);
    CheckStyle(name.FontStyle, name1.FontStyle);

    const seal::DateStampRecord& date = parsed->date;
    const seal::DateStampExRecord dateEx{};
    const auto [date1, dateEx1] =
        RoundTrip(date, dateEx, sibling::WriteDateStamp, sibling::ReadDateStamp);
    const auto [date2, dateEx2] =
        RoundTrip(date1, dateEx1, sibling::WriteDateStamp, sibling::ReadDateStamp);
    Check(seal::ToBytes(date1) == seal::ToBytes(date2), "a second round changed the date seal");
    Check(seal::ToBytes(dateEx1) == seal::ToBytes(dateEx2), "a second round changed its extension");
    Check(seal::ToBytes(dateEx1) == seal::ToBytes(seal::DateStampExRecord{}),
          "the later values do not come back empty");
    for (auto field : {&seal::DateStampRecord::FontSizeU, &seal::DateStampRecord::FontSizeM,
                       &seal::DateStampRecord::FontSizeL, &seal::DateStampRecord::StampSize,
                       &seal::DateStampRecord::StampColor, &seal::DateStampRecord::LineWidth,
                       &seal::DateStampRecord::SpaceM, &seal::DateStampRecord::PositionU,
                       &seal::DateStampRecord::PositionL, &seal::DateStampRecord::Years,
                       &seal::DateStampRecord::TwinRing})
        Check(date.*field == date1.*field, "a number of the date seal changed");
    CheckText(date.Text1, date1.Text1);
    CheckText(date.Text2, date1.Text2);
    CheckStyle(date.FontStyleU, date1.FontStyleU);
    CheckStyle(date.FontStyleM, date1.FontStyleM);
    CheckStyle(date.FontStyleL, date1.FontStyleL);
    return 0;
}
