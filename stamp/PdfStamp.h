#pragma once

#include "output/SealOutput.h"

#include <QByteArray>
#include <QPointF>
#include <QString>

#include <cstddef>
#include <memory>
#include <optional>
#include <vector>

// Seals stamped on the pages of a PDF document like real ink: each distinct seal once as a form
// object of paths (a bitmap seal: an image with its transparency), drawn with the multiply blend
// mode on every page it is placed on, and the whole written as an incremental update, so that the
// original file's bytes stay the first bytes of the result, unchanged.
namespace velmr::stamp {

// Stamp::page for the same spot on every page of the document.
inline constexpr int kEveryPage = -1;

// One seal on one page. Positions are in millimetres from the page's visible top-left corner:
// the page as it is shown, its crop box with its /Rotate applied.
struct Stamp
{
    int page = 0;             // 0-based page index, or kEveryPage
    QPointF centreMm;         // the centre of the seal's ink (SealArtwork::InkRect())
    double rotationDeg = 0.0; // clockwise as seen on the page
    std::size_t seal = 0;     // index into StampRequest::seals
};

struct StampRequest
{
    // The distinct seals; each becomes one form object however often it is used.
    std::vector<std::shared_ptr<const output::SealArtwork>> seals;
    std::vector<Stamp> stamps;
};

// The original with the stamps added as an incremental update (its bytes first, unchanged). On
// failure a message for the user (a wrong password, a file that is not a PDF or is damaged, a
// document that cannot be updated incrementally) and no bytes.
struct Stamped
{
    QByteArray bytes;
    QString error;
};
Stamped StampPdf(const QByteArray& original, const QByteArray& password,
                 const StampRequest& request);

// Reads `inputPath`, stamps it and writes `outputPath` atomically (the input itself only when the
// two are the same file); on failure a message naming the file and the reason, and nothing left
// behind.
std::optional<QString> StampPdfFile(const QString& inputPath, const QByteArray& password,
                                    const StampRequest& request, const QString& outputPath);

} // namespace velmr::stamp
