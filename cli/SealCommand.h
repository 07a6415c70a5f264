#pragma once

#include "calendar/CalendarDate.h"
#include "image/SealExtract.h"
#include "output/SealOutput.h"
#include "stamp/PdfStamp.h"

#include <QPointF>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>
#include <vector>

class QTextStream;

// The velmrseal command line: seal files rendered to pictures at their true size, the file
// manager's thumbnails, and seals stamped on PDF documents. The executable is a thin shell around
// RunSealCommand, so that tests run the same logic.
namespace velmr::cli {

// Exit statuses.
inline constexpr int kAllWritten = 0;
inline constexpr int kSomeFailed = 1; // the other files were still written
inline constexpr int kBadUsage = 2;

// The largest thumbnail side.
inline constexpr int kLargestThumbnail = 4096;

// `velmrseal render FILE... [options]`.
struct RenderJob
{
    QStringList inputs;
    QString output;    // -o: the one output file
    QString outputDir; // --out-dir
    output::Format format = output::Format::Png;
    std::optional<double> dpi; // nothing: 600, or a picture's own print resolution
    calendar::LocalDate day;   // printed by date seals
    output::Background background = output::Background::Transparent;
};

// `velmrseal thumbnail INPUT OUTPUT SIZE`.
struct ThumbnailJob
{
    QString input;
    QString output;
    int size = 0;
};

// `velmrseal extract PICTURE -o SEAL.png [--ink ...] [--dpi N]`: a clean seal from a scan or a
// photo of a real one.
struct ExtractJob
{
    QString input;
    QString output;
    image::InkChoice ink = image::InkChoice::Measured;
    double dpi = output::kNameSealPixelsPerCm * 2.54; // the bitmap seal's print resolution
};

// One seal placed by `velmrseal stamp`: a --seal group with its --page, --at and --rotate.
struct StampGroup
{
    QString seal;             // the seal file
    int page = 0;             // 0-based, or stamp::kEveryPage (--page all)
    QPointF atMm;             // the seal's centre from the page's visible top-left corner
    double rotationDeg = 0.0; // clockwise as seen
};

// `velmrseal stamp IN.pdf --seal FILE --page N|all --at X,Y [--rotate DEG] ... -o OUT.pdf`.
struct StampJob
{
    QString input;
    QString output;
    std::vector<StampGroup> groups;
    calendar::LocalDate day; // printed by date seals
    QByteArray password;     // of an encrypted document
};

enum class InfoRequest
{
    Help,
    Version
};

// What is wrong with the command line, for standard error.
struct UsageError
{
    QString message;
};

using Invocation =
    std::variant<RenderJob, ThumbnailJob, ExtractJob, StampJob, InfoRequest, UsageError>;

// Reads the arguments (the program's name first). Dates default to `today`.
Invocation ParseCommandLine(const QStringList& arguments, const calendar::LocalDate& today);

// The help text, in Japanese.
QString HelpText();
// "velmrseal <version>".
QString VersionText();

// The path a render job writes `input` to.
QString OutputPathFor(const RenderJob& job, const QString& input);

// Runs a job; messages go to `err`, one line each, naming the file and the reason.
int RunRender(const RenderJob& job, QTextStream& err);
int RunThumbnail(const ThumbnailJob& job, QTextStream& err);
// Reads the picture (within the image library's limits), takes the seal out of it and writes it
// as a PNG with its print resolution; on failure a message and nothing written.
int RunExtract(const ExtractJob& job, QTextStream& err);
int RunStamp(const StampJob& job, QTextStream& err);

// The whole command: parses `arguments`, prints help or version to `out`, runs the job. Needs a
// QGuiApplication (the seals' texts are drawn with the system's fonts).
int RunSealCommand(const QStringList& arguments, QTextStream& out, QTextStream& err);

// Picks Qt's offscreen platform when there is no display to connect to (neither DISPLAY nor
// WAYLAND_DISPLAY set) and no platform was asked for. Call before the QGuiApplication exists.
void UseOffscreenPlatformWithoutDisplay();

} // namespace velmr::cli
