#include "cli/SealCommand.h"

#include "image/ImgKit.h"
#include "platform/AtomicFile.h"

#include <QBuffer>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QImageReader>
#include <QImageWriter>
#include <QSet>
#include <QTemporaryFile>
#include <QTextStream>

#include <cmath>
#include <initializer_list>
#include <utility>

namespace velmr::cli {
namespace {

const QString kProgram = QStringLiteral("velmrseal");

// The largest --dpi; the library lowers it further when a side would pass kLargestSide.
constexpr double kLargestDpi = 100000.0;
// The farthest --at from a page's corner, in millimetres (a little over 200 inches, the largest
// page).
constexpr double kFarthestMm = 6000.0;

struct Options
{
    QCommandLineOption output{{QStringLiteral("o"), QStringLiteral("output")},
                              QStringLiteral("書き出すファイル (入力が一つのときだけ)。"
                                             "形式は拡張子からも決まります。"),
                              QStringLiteral("出力")};
    QCommandLineOption outputDir{
        QStringLiteral("out-dir"),
        QStringLiteral("書き出す先のフォルダー (既定は入力と同じフォルダー)。"),
        QStringLiteral("フォルダー")};
    QCommandLineOption format{QStringLiteral("format"),
                              QStringLiteral("png (既定)、svg、pdf のどれか。"),
                              QStringLiteral("png|svg|pdf")};
    QCommandLineOption dpi{QStringLiteral("dpi"),
                           QStringLiteral("PNG の解像度 (1 インチあたりのドット数)。既定は 600、"
                                          "画像の印影はその印刷解像度。0 で印影の印刷解像度。"),
                           QStringLiteral("N")};
    QCommandLineOption date{QStringLiteral("date"),
                            QStringLiteral("日付印に入れる日付 (1900-01-01～9999-12-31)。"
                                           "既定は今日。"),
                            QStringLiteral("YYYY-MM-DD")};
    QCommandLineOption background{QStringLiteral("background"),
                                  QStringLiteral("transparent (透明、既定) または white (白)。"),
                                  QStringLiteral("transparent|white")};
    QCommandLineOption seal{QStringLiteral("seal"),
                            QStringLiteral("stamp: 押す印影ファイル。--seal ごとに一つの押印で、"
                                           "続く --page、--at、--rotate はその押印のものです。"),
                            QStringLiteral("ファイル")};
    QCommandLineOption page{QStringLiteral("page"),
                            QStringLiteral("stamp: 押すページ (1 から数えます)、"
                                           "または all (全ページの同じ位置)。"),
                            QStringLiteral("N|all")};
    QCommandLineOption at{QStringLiteral("at"),
                          QStringLiteral("stamp: 印影の中心の位置。見えているページの左上からの "
                                         "mm で、右へ X、下へ Y。"),
                          QStringLiteral("X,Y")};
    QCommandLineOption rotate{
        QStringLiteral("rotate"),
        QStringLiteral("stamp: 印影を見た目で時計回りに回す角度 (度)。既定は 0。"),
        QStringLiteral("DEG")};
    QCommandLineOption password{QStringLiteral("password"),
                                QStringLiteral("stamp: 暗号化された PDF のパスワード。"),
                                QStringLiteral("PW")};
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("この説明を表示します。")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("バージョンを表示します。")};

    QList<QCommandLineOption> All() const
    {
        return {output, outputDir, format, dpi,      date, background, seal,
                page,   at,        rotate, password, help, version};
    }
    QList<QCommandLineOption> StampOnly() const { return {seal, page, at, rotate, password}; }
    QList<QCommandLineOption> RenderOnly() const
    {
        return {output, outputDir, format, dpi, date, background};
    }
};

// An option's name as typed: "-o", "--dpi".
QString Dashed(const QString& name)
{
    return (name.size() == 1 ? QStringLiteral("-") : QStringLiteral("--")) + name;
}

QString Spelled(const QCommandLineOption& option)
{
    QStringList names;
    for (const QString& name : option.names())
        names << Dashed(name);
    return names.join(QStringLiteral(", "));
}

// The value `name` stands for in `table` (any case), or nothing.
template <class Value>
std::optional<Value> Named(const QString& name,
                           std::initializer_list<std::pair<const char*, Value>> table)
{
    for (const auto& [spelling, value] : table) {
        if (name.compare(QLatin1String(spelling), Qt::CaseInsensitive) == 0)
            return value;
    }
    return std::nullopt;
}

std::optional<output::Format> FormatNamed(const QString& name)
{
    return Named<output::Format>(
        name,
        {{"png", output::Format::Png}, {"svg", output::Format::Svg}, {"pdf", output::Format::Pdf}});
}

// The option among `arguments` that ends the line without its value, if any.
QString OptionWithoutValue(const QStringList& arguments, const Options& options)
{
    if (arguments.isEmpty())
        return {};
    const QString& last = arguments.constLast();
    for (const QCommandLineOption& option : options.RenderOnly() + options.StampOnly()) {
        for (const QString& name : option.names()) {
            if (last == Dashed(name))
                return last;
        }
    }
    return {};
}

UsageError Usage(const QString& message)
{
    return UsageError{message};
}

Invocation ParseRender(const QCommandLineParser& parser, const Options& options,
                       const QStringList& files, const calendar::LocalDate& today)
{
    RenderJob job;
    job.inputs = files;
    job.day = today;
    if (job.inputs.isEmpty())
        return Usage(QStringLiteral("render には印影ファイルを一つ以上指定してください"));
    job.output = parser.value(options.output);
    job.outputDir = parser.value(options.outputDir);
    if (parser.isSet(options.output) && job.output.isEmpty())
        return Usage(QStringLiteral("-o に書き出すファイルの名前を指定してください"));
    if (parser.isSet(options.outputDir) && job.outputDir.isEmpty())
        return Usage(QStringLiteral("--out-dir に書き出す先のフォルダーを指定してください"));
    if (!job.output.isEmpty() && !job.outputDir.isEmpty())
        return Usage(QStringLiteral("-o と --out-dir は一緒に使えません"));
    if (!job.output.isEmpty() && job.inputs.size() > 1)
        return Usage(QStringLiteral("-o は印影ファイルが一つのときだけ使えます "
                                    "(いくつも書き出すときは --out-dir を使ってください)"));

    std::optional<output::Format> format;
    if (parser.isSet(options.format)) {
        format = FormatNamed(parser.value(options.format));
        if (!format)
            return Usage(QStringLiteral("--format は png、svg、pdf のどれかです: %1")
                             .arg(parser.value(options.format)));
    }
    if (!job.output.isEmpty()) {
        const QString suffix = QFileInfo(job.output).suffix();
        const std::optional<output::Format> named = FormatNamed(suffix);
        if (named && format && *named != *format)
            return Usage(QStringLiteral("出力ファイル %1 の拡張子が --format %2 と合いません")
                             .arg(job.output, parser.value(options.format)));
        if (!named && !format && !suffix.isEmpty())
            return Usage(QStringLiteral("出力ファイル %1 の拡張子から形式が決まりません "
                                        "(.png、.svg、.pdf にするか、--format を指定してください)")
                             .arg(job.output));
        if (named)
            format = named;
    }
    job.format = format.value_or(output::Format::Png);

    if (parser.isSet(options.dpi)) {
        bool ok = false;
        const double dpi = parser.value(options.dpi).toDouble(&ok);
        if (!ok || !std::isfinite(dpi) || (dpi != 0.0 && (dpi < 1.0 || dpi > kLargestDpi)))
            return Usage(QStringLiteral("--dpi には 1～100000 の数か 0 (印影の印刷解像度) を"
                                        "指定してください: %1")
                             .arg(parser.value(options.dpi)));
        job.dpi = dpi;
    }
    if (parser.isSet(options.date)) {
        const std::optional<calendar::LocalDate> day = output::ParseDay(parser.value(options.date));
        if (!day)
            return Usage(QStringLiteral("--date の日付が正しくありません (YYYY-MM-DD の形で、"
                                        "1900-01-01～9999-12-31): %1")
                             .arg(parser.value(options.date)));
        job.day = *day;
    }
    if (parser.isSet(options.background)) {
        const QString name = parser.value(options.background).toLower();
        if (name == QLatin1String("transparent"))
            job.background = output::Background::Transparent;
        else if (name == QLatin1String("white"))
            job.background = output::Background::White;
        else
            return Usage(QStringLiteral("--background は transparent か white です: %1")
                             .arg(parser.value(options.background)));
    }
    return job;
}

Invocation ParseThumbnail(const QCommandLineParser& parser, const Options& options,
                          const QStringList& rest)
{
    for (const QCommandLineOption& option : options.RenderOnly()) {
        if (parser.isSet(option))
            return Usage(QStringLiteral("thumbnail では %1 は使えません").arg(Spelled(option)));
    }
    if (rest.size() != 3)
        return Usage(
            QStringLiteral("thumbnail には 入力 出力.png サイズ の三つを指定してください"));
    bool ok = false;
    const int size = rest[2].toInt(&ok);
    if (!ok || size < 1 || size > kLargestThumbnail)
        return Usage(QStringLiteral("サイズには 1～%1 のピクセル数を指定してください: %2")
                         .arg(kLargestThumbnail)
                         .arg(rest[2]));
    return ThumbnailJob{rest[0], rest[1], size};
}

// The --seal groups in the order given: each --seal starts one; --page, --at and --rotate belong
// to the --seal before them. QCommandLineParser keeps each option's values but not how they
// interleave, so the arguments are walked here once more.
std::variant<std::vector<StampGroup>, UsageError> StampGroups(const QStringList& arguments,
                                                              const Options& options)
{
    QSet<QString> valued;
    for (const QCommandLineOption& option : options.All()) {
        if (!option.valueName().isEmpty()) {
            for (const QString& name : option.names())
                valued.insert(name);
        }
    }
    std::vector<StampGroup> groups;
    QSet<QString> given; // of the current group
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& token = arguments[i];
        if (token == QLatin1String("--"))
            break;
        QString name;
        std::optional<QString> value;
        if (token.startsWith(QLatin1String("--"))) {
            name = token.mid(2);
            if (const qsizetype equals = name.indexOf(QLatin1Char('=')); equals >= 0) {
                value = name.mid(equals + 1);
                name.truncate(equals);
            }
        } else if (token.startsWith(QLatin1Char('-')) && token.size() > 1) {
            name = token.mid(1, 1);
            if (token.size() > 2)
                value = token.mid(2);
        }
        if (!valued.contains(name))
            continue;
        if (!value && i + 1 < arguments.size())
            value = arguments[++i];
        if (name == options.seal.names().constFirst()) {
            groups.push_back(StampGroup{value.value_or(QString()), -2, {-1, -1}, 0.0});
            given.clear();
            continue;
        }
        const bool grouped = name == options.page.names().constFirst() ||
                             name == options.at.names().constFirst() ||
                             name == options.rotate.names().constFirst();
        if (!grouped)
            continue;
        if (groups.empty())
            return Usage(
                QStringLiteral("--%1 は、それを使う --seal の後に指定してください").arg(name));
        if (given.contains(name))
            return Usage(
                QStringLiteral("--seal %1 に --%2 が二つあります").arg(groups.back().seal, name));
        given.insert(name);
        StampGroup& group = groups.back();
        const QString text = value.value_or(QString());
        if (name == options.page.names().constFirst()) {
            bool ok = false;
            const int page = text.toInt(&ok);
            if (text.compare(QLatin1String("all"), Qt::CaseInsensitive) == 0)
                group.page = stamp::kEveryPage;
            else if (ok && page >= 1)
                group.page = page - 1;
            else
                return Usage(QStringLiteral("--page には 1 から数えたページ番号か all を"
                                            "指定してください: %1")
                                 .arg(text));
        } else if (name == options.at.names().constFirst()) {
            const QStringList parts = text.split(QLatin1Char(','));
            bool okX = false;
            bool okY = false;
            const double x = parts.size() == 2 ? parts[0].trimmed().toDouble(&okX) : 0.0;
            const double y = parts.size() == 2 ? parts[1].trimmed().toDouble(&okY) : 0.0;
            if (!okX || !okY || !std::isfinite(x) || !std::isfinite(y) || x < 0 || y < 0 ||
                x > kFarthestMm || y > kFarthestMm)
                return Usage(QStringLiteral("--at には印影の中心を X,Y (ページの左上からの mm、"
                                            "0～%1) で指定してください: %2")
                                 .arg(kFarthestMm)
                                 .arg(text));
            group.atMm = QPointF(x, y);
        } else {
            bool ok = false;
            const double degrees = text.toDouble(&ok);
            if (!ok || !std::isfinite(degrees) || std::abs(degrees) > 3600.0)
                return Usage(
                    QStringLiteral("--rotate には角度を度で指定してください: %1").arg(text));
            group.rotationDeg = std::fmod(std::fmod(degrees, 360.0) + 360.0, 360.0);
        }
    }
    for (const StampGroup& group : groups) {
        if (group.seal.isEmpty())
            return Usage(QStringLiteral("--seal に印影ファイルを指定してください"));
        if (group.page == -2)
            return Usage(QStringLiteral("--seal %1 の --page (ページ番号か all) がありません")
                             .arg(group.seal));
        if (group.atMm.x() < 0)
            return Usage(QStringLiteral("--seal %1 の --at (X,Y) がありません").arg(group.seal));
    }
    return groups;
}

// A stamp option given to another command, as a usage error.
std::optional<UsageError> StampOptionElsewhere(const QCommandLineParser& parser,
                                               const Options& options, const QString& command)
{
    for (const QCommandLineOption& option : options.StampOnly()) {
        if (parser.isSet(option))
            return Usage(QStringLiteral("%1 では %2 は使えません").arg(command, Spelled(option)));
    }
    return std::nullopt;
}

Invocation ParseStamp(const QStringList& arguments, const QCommandLineParser& parser,
                      const Options& options, const QStringList& files,
                      const calendar::LocalDate& today)
{
    for (const QCommandLineOption& option : options.RenderOnly()) {
        if (parser.isSet(option) && option.names() != options.output.names() &&
            option.names() != options.date.names())
            return Usage(QStringLiteral("stamp では %1 は使えません").arg(Spelled(option)));
    }
    if (files.size() != 1)
        return Usage(QStringLiteral("stamp には押印する PDF ファイルを一つ指定してください"));
    StampJob job;
    job.input = files.constFirst();
    job.output = parser.value(options.output);
    job.day = today;
    if (job.output.isEmpty())
        return Usage(QStringLiteral("stamp には -o で書き出す PDF ファイルを指定してください"));
    if (QFileInfo(job.output).absoluteFilePath() == QFileInfo(job.input).absoluteFilePath())
        return Usage(QStringLiteral("-o に入力の PDF そのものは指定できません "
                                    "(元の PDF を残すため、別の名前にしてください)"));
    if (parser.isSet(options.date)) {
        const std::optional<calendar::LocalDate> day = output::ParseDay(parser.value(options.date));
        if (!day)
            return Usage(QStringLiteral("--date の日付が正しくありません (YYYY-MM-DD の形で、"
                                        "1900-01-01～9999-12-31): %1")
                             .arg(parser.value(options.date)));
        job.day = *day;
    }
    job.password = parser.value(options.password).toUtf8();
    auto groups = StampGroups(arguments, options);
    if (auto* usage = std::get_if<UsageError>(&groups))
        return *usage;
    job.groups = std::move(std::get<std::vector<StampGroup>>(groups));
    if (job.groups.empty())
        return Usage(QStringLiteral("stamp には --seal、--page、--at で押す印影を"
                                    "一つ以上指定してください"));
    return job;
}

void PrintError(QTextStream& err, const QString& message)
{
    // One line each, whatever the message was written for.
    err << kProgram << ": " << QString(message).replace(QLatin1Char('\n'), QLatin1Char(' '))
        << '\n';
}

// Why nothing can be written into `folder`, or nothing. A probe file shows what the permission
// bits do not (a read-only file system); it is gone again at once. A folder without any write bit
// is refused even to the superuser, as every save of the program refuses it.
std::optional<QString> FolderProblem(const QString& folder)
{
    const QFileInfo info(folder);
    if (!info.exists())
        return QStringLiteral("書き出す先のフォルダー %1 がありません").arg(folder);
    if (!info.isDir())
        return QStringLiteral("%1 はフォルダーではありません").arg(folder);
    const QFileDevice::Permissions writeBits =
        QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    if (!(info.permissions() & writeBits) || !info.isWritable())
        return QStringLiteral(
                   "書き出す先のフォルダー %1 に書き込めません: 書き込みが許されていません")
            .arg(folder);
    QTemporaryFile probe(QDir(folder).filePath(QStringLiteral(".velmrseal-XXXXXX")));
    if (!probe.open())
        return QStringLiteral("書き出す先のフォルダー %1 に書き込めません: %2")
            .arg(folder, probe.errorString());
    return std::nullopt;
}

struct Prepared
{
    std::optional<output::SealArtwork> art;
    bool picture = false;
};

// The seal of `path`, laid out; on failure the message is printed.
Prepared Prepare(const QString& path, const calendar::LocalDate& day, QTextStream& err)
{
    output::LoadedSeal loaded = output::LoadSealFile(path, day);
    if (!loaded.source) {
        PrintError(err, loaded.error.isEmpty()
                            ? QStringLiteral("%1: 印影ファイルとして読めません").arg(path)
                            : loaded.error);
        return {};
    }
    Prepared prepared;
    prepared.picture = std::holds_alternative<output::BitmapSeal>(*loaded.source);
    prepared.art.emplace(std::move(*loaded.source));
    if (prepared.art->InkRect().isEmpty()) {
        PrintError(err, QStringLiteral("%1: 印影に何も描かれていません").arg(path));
        prepared.art.reset();
    }
    return prepared;
}

bool Write(const QString& path, const QByteArray& bytes, QTextStream& err)
{
    QString message;
    if (platform::WriteFileAtomically(path, bytes, &message))
        return true;
    PrintError(err, message.isEmpty() ? QStringLiteral("%1 に書き込めません").arg(path) : message);
    return false;
}

bool RenderOne(const RenderJob& job, const QString& input, QSet<QString>& targets, QTextStream& err)
{
    const QString target = OutputPathFor(job, input);
    const QString key = QFileInfo(target).absoluteFilePath();
    if (key == QFileInfo(input).absoluteFilePath()) {
        PrintError(err, QStringLiteral("%1: 書き出す先が印影ファイルそのものです").arg(input));
        return false;
    }
    if (targets.contains(key)) {
        PrintError(err, QStringLiteral("%1: %2 にはこの実行で既にほかの印影を書き出しました")
                            .arg(input, target));
        return false;
    }
    targets.insert(key);

    const Prepared prepared = Prepare(input, job.day, err);
    if (!prepared.art)
        return false;
    output::ExportOptions options;
    options.format = job.format;
    options.dpi = job.dpi.value_or(prepared.picture ? 0.0 : 600.0);
    options.background = job.background;
    const output::Rendered rendered = output::RenderFile(*prepared.art, options);
    if (rendered.bytes.isEmpty()) {
        PrintError(err, QStringLiteral("%1: 画像を作れませんでした").arg(input));
        return false;
    }
    if (!Write(target, rendered.bytes, err))
        return false;
    if (rendered.clamped)
        PrintError(err,
                   QStringLiteral("%1: 大きすぎるため、解像度を下げて書き出しました").arg(target));
    return true;
}

// ---------------------------------------------------------------------------------------------
// extract: its own options, parsed apart from the other commands'.

struct ExtractOptions
{
    QCommandLineOption output{{QStringLiteral("o"), QStringLiteral("output")},
                              QStringLiteral("書き出す PNG ファイル (必須)。"),
                              QStringLiteral("出力.png")};
    QCommandLineOption ink{QStringLiteral("ink"),
                           QStringLiteral("印影の色: measured (画像で測った色、既定)、"
                                          "vermilion (朱色)、red (赤)、black (黒)、blue (青)。"),
                           QStringLiteral("色")};
    QCommandLineOption dpi{QStringLiteral("dpi"),
                           QStringLiteral("PNG の解像度 (1 インチあたりのドット数)。既定はビット"
                                          "マップ印の印刷解像度 260 ピクセル/cm (660.4)。"),
                           QStringLiteral("N")};
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("この説明を表示します。")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("バージョンを表示します。")};

    QList<QCommandLineOption> All() const { return {output, ink, dpi, help, version}; }
};

const QString kExtract = QStringLiteral("extract");

std::optional<image::InkChoice> InkNamed(const QString& name)
{
    using image::InkChoice;
    return Named<InkChoice>(name, {{"measured", InkChoice::Measured},
                                   {"vermilion", InkChoice::Vermilion},
                                   {"red", InkChoice::Red},
                                   {"black", InkChoice::Black},
                                   {"blue", InkChoice::Blue}});
}

// The extract command's invocation, or nothing when the command is another one.
std::optional<Invocation> ParseExtractCommand(const QStringList& arguments)
{
    const ExtractOptions options;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.addOptions(options.All());
    const bool parsed = parser.parse(arguments);
    if (!parsed) {
        // Only the extract command's own line gets its messages.
        const auto command = std::find_if(
            arguments.begin() + std::min<qsizetype>(1, arguments.size()), arguments.end(),
            [](const QString& argument) { return !argument.startsWith(QLatin1Char('-')); });
        if (command == arguments.end() || *command != kExtract)
            return std::nullopt;
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            const QString& name = unknown.constFirst();
            return Usage(
                QStringLiteral("extract では使えないオプションです: %1").arg(Dashed(name)));
        }
        return Usage(parser.errorText());
    }
    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty() || positional.constFirst() != kExtract)
        return std::nullopt;
    if (parser.isSet(options.help))
        return InfoRequest::Help;
    if (parser.isSet(options.version))
        return InfoRequest::Version;
    positional.removeFirst();
    if (positional.size() != 1)
        return Usage(QStringLiteral("extract には印影を写した画像ファイルを一つ指定してください"));

    ExtractJob job;
    job.input = positional.constFirst();
    job.output = parser.value(options.output);
    if (job.output.isEmpty())
        return Usage(QStringLiteral("extract には -o で書き出す PNG ファイルを指定してください"));
    const QString suffix = QFileInfo(job.output).suffix().toLower();
    if (!suffix.isEmpty() && suffix != QLatin1String("png"))
        return Usage(QStringLiteral("extract が書き出すのは PNG だけです: %1").arg(job.output));
    if (parser.isSet(options.ink)) {
        const std::optional<image::InkChoice> ink = InkNamed(parser.value(options.ink));
        if (!ink)
            return Usage(QStringLiteral("--ink は measured、vermilion、red、black、blue のどれか"
                                        "です: %1")
                             .arg(parser.value(options.ink)));
        job.ink = *ink;
    }
    if (parser.isSet(options.dpi)) {
        bool ok = false;
        const double dpi = parser.value(options.dpi).toDouble(&ok);
        if (!ok || !std::isfinite(dpi) || dpi < 1.0 || dpi > kLargestDpi)
            return Usage(QStringLiteral("--dpi には 1～100000 の数を指定してください: %1")
                             .arg(parser.value(options.dpi)));
        job.dpi = dpi;
    }
    return job;
}

QString ExtractHelpText()
{
    const ExtractOptions options;
    QString text = QStringLiteral(
        "\n"
        "  velmrseal extract 画像 -o 出力.png [--ink measured|vermilion|red|black|blue] [--dpi N]\n"
        "      紙に押した印影を写した画像 (PNG、JPEG、BMP、TIFF、WebP) から、紙を透明にした"
        "印影を取り出します。\n"
        "      紙の色むらや影を除き、インクの色を測り、傾いた角印はまっすぐにして、印影を"
        "中央に置いた正方形の PNG にします。\n");
    for (const QCommandLineOption& option : {options.ink, options.dpi}) {
        text += QStringLiteral("      %1 <%2>\n          %3\n")
                    .arg(Spelled(option), option.valueName(), option.description());
    }
    return text;
}

// The picture at `path`, within the image library's limits; on failure a message.
std::optional<QImage> ReadPicture(const QString& path, QTextStream& err)
{
    QImageReader reader(path);
    reader.setAutoTransform(true); // a phone's photo stands as it was taken
    if (!QFileInfo(path).isFile()) {
        PrintError(err, QStringLiteral("%1: ファイルがありません").arg(path));
        return std::nullopt;
    }
    const QSize size = reader.size();
    if (size.isValid() &&
        (size.width() > image::kMaxSide || size.height() > image::kMaxSide ||
         std::uint64_t(size.width()) * std::uint64_t(size.height()) * 4 > image::kMaxPixelBytes)) {
        PrintError(err, QStringLiteral("%1: 画像が大きすぎます (%2 × %3 画素)。扱える画像は"
                                       "一辺 %4 画素、画素データ 256 MiB までです")
                            .arg(path)
                            .arg(size.width())
                            .arg(size.height())
                            .arg(image::kMaxSide));
        return std::nullopt;
    }
    const QImage picture = reader.read();
    if (picture.isNull()) {
        PrintError(err,
                   QStringLiteral("%1: 画像として読めません (%2)").arg(path, reader.errorString()));
        return std::nullopt;
    }
    return picture;
}

} // namespace

Invocation ParseCommandLine(const QStringList& arguments, const calendar::LocalDate& today)
{
    if (std::optional<Invocation> extract = ParseExtractCommand(arguments))
        return *extract;
    const Options options;
    QCommandLineParser parser;
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsCompactedShortOptions);
    parser.addOptions(options.All());
    if (!parser.parse(arguments)) {
        const QStringList unknown = parser.unknownOptionNames();
        if (!unknown.isEmpty()) {
            const QString& name = unknown.constFirst();
            return Usage(QStringLiteral("知らないオプションです: %1").arg(Dashed(name)));
        }
        const QString bare = OptionWithoutValue(arguments, options);
        if (!bare.isEmpty())
            return Usage(QStringLiteral("%1 の後に値がありません").arg(bare));
        return Usage(parser.errorText());
    }
    if (parser.isSet(options.help))
        return InfoRequest::Help;
    if (parser.isSet(options.version))
        return InfoRequest::Version;

    QStringList positional = parser.positionalArguments();
    if (positional.isEmpty())
        return Usage(QStringLiteral(
            "コマンド (render、thumbnail、extract、stamp のどれか) を指定してください"));
    const QString command = positional.takeFirst();
    if (command == QLatin1String("stamp"))
        return ParseStamp(arguments, parser, options, positional, today);
    if (const std::optional<UsageError> misuse = StampOptionElsewhere(parser, options, command))
        return *misuse;
    if (command == QLatin1String("render"))
        return ParseRender(parser, options, positional, today);
    if (command == QLatin1String("thumbnail"))
        return ParseThumbnail(parser, options, positional);
    return Usage(
        QStringLiteral("知らないコマンドです: %1 (render、thumbnail、extract、stamp のどれかです)")
            .arg(command));
}

QString HelpText()
{
    const Options options;
    QString text = QStringLiteral(
        "使い方:\n"
        "  velmrseal render ファイル... [-o 出力 | --out-dir フォルダー] [--format png|svg|pdf]\n"
        "                   [--dpi N] [--date YYYY-MM-DD] [--background transparent|white]\n"
        "  velmrseal thumbnail 入力 出力.png サイズ\n"
        "  velmrseal extract 画像 -o 出力.png [--ink 色] [--dpi N]\n"
        "  velmrseal stamp 入力.pdf --seal ファイル --page N|all --at X,Y [--rotate DEG]\n"
        "                  [--seal ...] [--date YYYY-MM-DD] [--password PW] -o 出力.pdf\n"
        "\n"
        "認印書式ファイル (.mkn)、日付印書式ファイル (.mkd)、BMP・JPEG・PNG・TIFF・WebP "
        "の印影を、実寸の画像に"
        "書き出します。\n"
        "画面は要りません。\n"
        "\n"
        "コマンド:\n"
        "  render     印影ファイルを PNG (背景は透明)、SVG、PDF に書き出します。いくつでも一度に"
        "書き出せます。\n"
        "             書き出す先は入力と同じフォルダー (または --out-dir) の、入力の名前に形式の"
        "拡張子を付けたファイルです。\n"
        "  thumbnail  ファイルマネージャーのサムネイル: 印影を サイズ×サイズ ピクセルの透明な PNG "
        "に収めます。\n"
        "  extract    スキャンや写真の印影を、透明な背景の PNG に取り出します (下に説明)。\n"
        "  stamp      PDF に印影を実寸で押印します。印影は朱肉のように下の文字を透かします。\n"
        "             元の PDF のバイトはそのまま残り、押印はその後ろに追記されます "
        "(電子署名は有効なままです)。\n"
        "             --seal、--page、--at (と --rotate) の組をいくつでも指定できます。\n"
        "\n"
        "オプション:\n");
    for (const QCommandLineOption& option : options.All()) {
        QString spelled = Spelled(option);
        if (!option.valueName().isEmpty())
            spelled += QStringLiteral(" <%1>").arg(option.valueName());
        text += QStringLiteral("  %1\n      %2\n").arg(spelled, option.description());
    }
    text += ExtractHelpText();
    text += QStringLiteral(
        "\n"
        "終了コード:\n"
        "  0  すべて書き出しました\n"
        "  1  書き出せなかったファイルがあります (ほかのファイルは書き出してあります)\n"
        "  2  使い方が違います (何も書き出していません)\n");
    return text;
} // namespace velmr::cli

QString VersionText()
{
    return kProgram + QLatin1Char(' ') + QStringLiteral(VELMR_VERSION);
}

QString OutputPathFor(const RenderJob& job, const QString& input)
{
    if (!job.output.isEmpty())
        return job.output;
    const QFileInfo info(input);
    const QString name = info.completeBaseName() + output::FormatExtension(job.format);
    const QString folder = job.outputDir.isEmpty() ? info.path() : job.outputDir;
    return folder == QLatin1String(".") ? name : QDir(folder).filePath(name);
}

int RunRender(const RenderJob& job, QTextStream& err)
{
    if (!job.outputDir.isEmpty()) {
        if (const std::optional<QString> problem = FolderProblem(job.outputDir)) {
            PrintError(err, *problem);
            return kSomeFailed;
        }
    }
    int failed = 0;
    QSet<QString> targets;
    for (const QString& input : job.inputs) {
        if (!RenderOne(job, input, targets, err))
            ++failed;
    }
    return failed == 0 ? kAllWritten : kSomeFailed;
}

int RunThumbnail(const ThumbnailJob& job, QTextStream& err)
{
    const Prepared prepared = Prepare(job.input, calendar::Today(), err);
    if (!prepared.art)
        return kSomeFailed;
    const QImage picture = output::RenderThumbnail(*prepared.art, job.size);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (picture.isNull() || !writer.write(picture)) {
        PrintError(err, QStringLiteral("%1: サムネイルを作れませんでした").arg(job.input));
        return kSomeFailed;
    }
    return Write(job.output, bytes, err) ? kAllWritten : kSomeFailed;
}

int RunExtract(const ExtractJob& job, QTextStream& err)
{
    if (QFileInfo(job.output).absoluteFilePath() == QFileInfo(job.input).absoluteFilePath()) {
        PrintError(err, QStringLiteral("%1: 書き出す先が画像そのものです").arg(job.input));
        return kSomeFailed;
    }
    const std::optional<QImage> picture = ReadPicture(job.input, err);
    if (!picture)
        return kSomeFailed;
    const image::Extraction extraction = image::ExtractSeal(*picture, job.ink);
    if (!extraction.result) {
        PrintError(err, QStringLiteral("%1: %2").arg(job.input, extraction.error));
        return kSomeFailed;
    }
    QImage seal = extraction.result->seal;
    const int dotsPerMetre = int(std::lround(job.dpi / 0.0254));
    seal.setDotsPerMeterX(dotsPerMetre);
    seal.setDotsPerMeterY(dotsPerMetre);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(seal)) {
        PrintError(err, QStringLiteral("%1: PNG を作れませんでした").arg(job.output));
        return kSomeFailed;
    }
    return Write(job.output, bytes, err) ? kAllWritten : kSomeFailed;
}

int RunStamp(const StampJob& job, QTextStream& err)
{
    const QFileInfo input(job.input);
    const QFileInfo output(job.output);
    if (output.exists() && input.exists() &&
        output.canonicalFilePath() == input.canonicalFilePath()) {
        PrintError(err, QStringLiteral("%1: 書き出す先が入力の PDF そのものです").arg(job.output));
        return kSomeFailed;
    }
    // One seal file is one seal in the document however often it is stamped.
    stamp::StampRequest request;
    QHash<QString, std::size_t> sealOf;
    for (const StampGroup& group : job.groups) {
        const QString key = QFileInfo(group.seal).absoluteFilePath();
        auto found = sealOf.constFind(key);
        if (found == sealOf.constEnd()) {
            Prepared prepared = Prepare(group.seal, job.day, err);
            if (!prepared.art)
                return kSomeFailed;
            found = sealOf.insert(key, request.seals.size());
            request.seals.push_back(
                std::make_shared<const output::SealArtwork>(std::move(*prepared.art)));
        }
        request.stamps.push_back(
            stamp::Stamp{group.page, group.atMm, group.rotationDeg, found.value()});
    }
    if (const std::optional<QString> problem =
            stamp::StampPdfFile(job.input, job.password, request, job.output)) {
        PrintError(err, *problem);
        return kSomeFailed;
    }
    return kAllWritten;
}

int RunSealCommand(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const Invocation invocation = ParseCommandLine(arguments, calendar::Today());
    int status = kAllWritten;
    if (const auto* info = std::get_if<InfoRequest>(&invocation)) {
        out << (*info == InfoRequest::Help ? HelpText() : VersionText() + QLatin1Char('\n'));
    } else if (const auto* usage = std::get_if<UsageError>(&invocation)) {
        PrintError(err, usage->message);
        err << QStringLiteral("使い方は velmrseal --help で表示されます。\n");
        status = kBadUsage;
    } else if (const auto* render = std::get_if<RenderJob>(&invocation)) {
        status = RunRender(*render, err);
    } else if (const auto* thumbnail = std::get_if<ThumbnailJob>(&invocation)) {
        status = RunThumbnail(*thumbnail, err);
    } else if (const auto* extract = std::get_if<ExtractJob>(&invocation)) {
        status = RunExtract(*extract, err);
    } else if (const auto* stamp = std::get_if<StampJob>(&invocation)) {
        status = RunStamp(*stamp, err);
    }
    out.flush();
    err.flush();
    return status;
}

void UseOffscreenPlatformWithoutDisplay()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

} // namespace velmr::cli
