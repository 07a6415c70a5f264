#pragma once

#include "stamp/window/PageLayout.h"
#include "stamp/window/StampModel.h"

#include <QAbstractScrollArea>
#include <QImage>
#include <QTransform>

#include <map>
#include <memory>
#include <optional>

namespace Poppler {
class Document;
}

namespace velmr::stamp {

// What a click on a page places: the seal chosen in the stamping panel, its rotation, and
// whether the same spot is stamped on every page.
struct StampTool
{
    std::shared_ptr<const output::SealArtwork> art;
    double rotationDeg = 0.0;
    bool everyPage = false;
};

// Renders page `page` of `document` at `dpi` dots per inch (its crop box as shown, /Rotate
// applied), antialiased as the document's hints say; a null picture when it cannot.
QImage RenderPage(const Poppler::Document& document, int page, double dpi);

// Paints `art` centred on `centre`, turned clockwise by `rotationDeg`, `pixelsPerMm` painter
// units a millimetre, multiplied into what is painted below like ink.
void PaintStampInk(QPainter& painter, const output::SealArtwork& art, QPointF centre,
                   double rotationDeg, double pixelsPerMm);

// The pages of a PDF document in a scrolling column, with the stamps placed on them. Pages are
// rendered when they come into view and only the visible ones (and their neighbours) are kept.
// A click on a page places the tool's seal centred there at its true size; a stamp is dragged to
// move it and turned by its handles; Delete removes the selected one.
class PdfView final : public QAbstractScrollArea
{
    Q_OBJECT
public:
    enum class ZoomMode
    {
        FitWidth,
        FitPage,
        Fixed
    };

    PdfView(const Poppler::Document& document, StampModel& model, QWidget* parent = nullptr);
    ~PdfView() override;

    // The document was replaced by `document` (after a save): laid out and shown again.
    void SetDocument(const Poppler::Document& document);

    void SetTool(StampTool tool) { tool_ = std::move(tool); }
    const StampTool& Tool() const { return tool_; }

    const PageLayout& Layout() const { return layout_; }
    ZoomMode Mode() const { return mode_; }
    void SetZoomMode(ZoomMode mode);
    // A fixed zoom, kept within 50–400 %.
    void SetZoom(double zoom);
    void ZoomIn();
    void ZoomOut();

    int CurrentPage() const;
    void GoToPage(int page);

    // Content position of a viewport point and back.
    QPointF ToContent(QPoint viewportPoint) const;
    QPoint ToViewport(QPointF content) const;
    // Where the centre of a stamp on `page` at `mm` lies in the viewport.
    QPoint ViewportPointOf(int page, QPointF mm) const;

    // Pages rendered and kept at the moment (the cache stays bounded).
    std::size_t CachedPages() const { return cache_.size(); }

    // The model changed outside the view (undo, the panel): shown again.
    void ModelChanged();

Q_SIGNALS:
    // The stamps changed through the view (placed, moved, turned, removed).
    void StampsChanged();
    void SelectionChanged();
    void CurrentPageChanged(int page);
    void ZoomChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    enum class DragKind
    {
        None,
        Move,
        Rotate
    };
    struct Drag
    {
        DragKind kind = DragKind::None;
        std::size_t index = 0;
        QPoint pressed;   // viewport
        QPointF grabMm;   // the press's offset from the stamp's centre
        QPointF centreMm; // the centre shown while dragging
        double rotationDeg = 0.0;
        bool moved = false;
    };

    void Relayout(double zoom);
    void UpdateScrollBars();
    const QImage& PagePicture(int page);
    void DropFarPages(int first, int last);
    // The stamp as shown: the one being dragged at its dragged place.
    Stamp Shown(std::size_t index) const;
    // The selected stamp's outline corners and rotate handle, in viewport pixels.
    // A stamp's own frame in the viewport: its centre at the origin, turned as it is turned.
    QTransform StampFrame(const Stamp& stamp) const;
    // Its size on screen, in pixels.
    QSizeF StampSize(const Stamp& stamp) const;
    QPolygonF SelectionOutline(const Stamp& stamp) const;
    QPointF RotateHandle(const Stamp& stamp) const;
    bool OnRotateHandle(QPoint viewportPoint) const;
    void Place(int page, QPointF mm);
    void EmitCurrentPage();

    const Poppler::Document* document_;
    StampModel& model_;
    StampTool tool_;
    PageLayout layout_;
    ZoomMode mode_ = ZoomMode::FitWidth;
    std::map<int, QImage> cache_;
    double cacheDpi_ = 0.0;
    Drag drag_;
    int lastPage_ = -1;
};

} // namespace velmr::stamp
