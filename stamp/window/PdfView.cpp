#include "stamp/window/PdfView.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <poppler-qt6.h>

namespace velmr::stamp {
namespace {

constexpr int kHandleSize = 7;       // the square handles, pixels a side
constexpr double kRotateStem = 18.0; // the rotate handle's distance above the outline
constexpr int kDragThreshold = 3;    // pixels before a press becomes a drag
const QColor kSelectionColour(0x1F, 0x6F, 0xD0);
const QColor kDeskColour(0x80, 0x80, 0x80);

std::vector<QSizeF> PageSizes(const Poppler::Document& document)
{
    std::vector<QSizeF> sizes;
    const int count = document.numPages();
    sizes.reserve(std::size_t(std::max(count, 0)));
    for (int i = 0; i < count; ++i) {
        const std::unique_ptr<Poppler::Page> page = document.page(i);
        // A page that cannot be read keeps A4's place in the column.
        sizes.push_back(page ? page->pageSizeF() : QSizeF(595.0, 842.0));
    }
    return sizes;
}

double Degrees(QPointF vector)
{
    return std::atan2(vector.y(), vector.x()) * 180.0 / std::numbers::pi;
}

} // namespace

QImage RenderPage(const Poppler::Document& document, int page, double dpi)
{
    const std::unique_ptr<Poppler::Page> shown = document.page(page);
    if (!shown)
        return {};
    return shown->renderToImage(dpi, dpi);
}

void PaintStampInk(QPainter& painter, const output::SealArtwork& art, QPointF centre,
                   double rotationDeg, double pixelsPerMm)
{
    const QSizeF size = art.SizeMm() * pixelsPerMm;
    if (size.isEmpty())
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.setCompositionMode(QPainter::CompositionMode_Multiply);
    painter.translate(centre);
    painter.rotate(rotationDeg);
    painter.translate(-size.width() / 2, -size.height() / 2);
    art.Paint(painter, pixelsPerMm * 10.0 / art.PixelsPerCm());
    painter.restore();
}

PdfView::PdfView(const Poppler::Document& document, StampModel& model, QWidget* parent)
    : QAbstractScrollArea(parent), document_(&document), model_(model)
{
    setObjectName(QStringLiteral("PdfView"));
    setFocusPolicy(Qt::StrongFocus);
    setFrameShape(QFrame::NoFrame);
    // The scroll bar is kept, so that fitting the width never makes it come and go.
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    viewport()->setMouseTracking(true);
    horizontalScrollBar()->setSingleStep(20);
    verticalScrollBar()->setSingleStep(20);
    SetDocument(document);
}

PdfView::~PdfView() = default;

void PdfView::SetDocument(const Poppler::Document& document)
{
    document_ = &document;
    cache_.clear();
    drag_ = {};
    const double zoom = layout_.PageCount() > 0 ? layout_.Zoom() : 1.0;
    layout_ = PageLayout(PageSizes(document), logicalDpiY());
    layout_.SetZoom(zoom);
    Relayout(mode_ == ZoomMode::Fixed ? zoom : -1.0);
    viewport()->update();
}

void PdfView::SetZoomMode(ZoomMode mode)
{
    mode_ = mode;
    Relayout(-1.0);
}

void PdfView::SetZoom(double zoom)
{
    mode_ = ZoomMode::Fixed;
    Relayout(zoom);
}

void PdfView::ZoomIn()
{
    SetZoom(SteppedZoom(layout_.Zoom(), +1));
}

void PdfView::ZoomOut()
{
    SetZoom(SteppedZoom(layout_.Zoom(), -1));
}

void PdfView::Relayout(double zoom)
{
    // The page at the top of the window stays there, at the same share of its height.
    const int page = CurrentPage();
    const QRectF before = layout_.PageRect(page);
    const double share =
        before.height() > 0 ? (verticalScrollBar()->value() - before.top()) / before.height() : 0.0;
    const QSizeF area = viewport()->size();
    switch (mode_) {
    case ZoomMode::FitWidth:
        zoom = layout_.FitWidthZoom(area);
        break;
    case ZoomMode::FitPage:
        zoom = layout_.FitPageZoom(area, std::max(page, 0));
        break;
    case ZoomMode::Fixed:
        break;
    }
    const double old = layout_.Zoom();
    layout_.SetZoom(zoom);
    UpdateScrollBars();
    if (page >= 0) {
        const QRectF after = layout_.PageRect(page);
        verticalScrollBar()->setValue(int(std::lround(after.top() + share * after.height())));
    }
    if (layout_.Zoom() != old) {
        cache_.clear();
        Q_EMIT ZoomChanged();
    }
    viewport()->update();
}

void PdfView::UpdateScrollBars()
{
    const QSizeF content = layout_.ContentSize();
    const QSize area = viewport()->size();
    // A fitted column may be a fraction of a pixel wider than the window: no scroll bar for that.
    horizontalScrollBar()->setRange(0,
                                    std::max(0, int(std::floor(content.width())) - area.width()));
    horizontalScrollBar()->setPageStep(area.width());
    verticalScrollBar()->setRange(0, std::max(0, int(std::ceil(content.height())) - area.height()));
    verticalScrollBar()->setPageStep(area.height());
}

QPointF PdfView::ToContent(QPoint viewportPoint) const
{
    // A column narrower than the window is centred in it.
    const double spare = viewport()->width() - layout_.ContentSize().width();
    const double left = spare > 0 ? spare / 2 : -horizontalScrollBar()->value();
    return QPointF(viewportPoint.x() - left + 0.5,
                   viewportPoint.y() + verticalScrollBar()->value() + 0.5);
}

QPoint PdfView::ToViewport(QPointF content) const
{
    const double spare = viewport()->width() - layout_.ContentSize().width();
    const double left = spare > 0 ? spare / 2 : -horizontalScrollBar()->value();
    return QPoint(int(std::floor(content.x() + left)),
                  int(std::floor(content.y() - verticalScrollBar()->value())));
}

QPoint PdfView::ViewportPointOf(int page, QPointF mm) const
{
    return ToViewport(layout_.ToContent(page, mm));
}

int PdfView::CurrentPage() const
{
    if (layout_.PageCount() == 0)
        return -1;
    // The page that fills the upper third of the window; at the end of the column, the last page
    // (which may be too short to reach the top).
    const QScrollBar* bar = verticalScrollBar();
    if (bar->maximum() > 0 && bar->value() == bar->maximum())
        return layout_.PageCount() - 1;
    return layout_.PageNearest(bar->value() + viewport()->height() / 3.0);
}

void PdfView::GoToPage(int page)
{
    if (layout_.PageCount() == 0)
        return;
    page = std::clamp(page, 0, layout_.PageCount() - 1);
    if (mode_ == ZoomMode::FitPage)
        Relayout(-1.0);
    verticalScrollBar()->setValue(int(layout_.PageRect(page).top() - PageLayout::kGap / 2));
    EmitCurrentPage();
}

void PdfView::EmitCurrentPage()
{
    const int page = CurrentPage();
    if (page != lastPage_) {
        lastPage_ = page;
        Q_EMIT CurrentPageChanged(page);
    }
}

void PdfView::ModelChanged()
{
    drag_ = {};
    viewport()->update();
}

const QImage& PdfView::PagePicture(int page)
{
    const double dpi = layout_.RenderDpi() * devicePixelRatioF();
    if (dpi != cacheDpi_) {
        cache_.clear();
        cacheDpi_ = dpi;
    }
    auto found = cache_.find(page);
    if (found == cache_.end()) {
        QImage picture = RenderPage(*document_, page, dpi);
        picture.setDevicePixelRatio(devicePixelRatioF());
        found = cache_.emplace(page, std::move(picture)).first;
    }
    return found->second;
}

void PdfView::DropFarPages(int first, int last)
{
    // The visible pages and one on each side stay; a long document never fills the memory.
    for (auto it = cache_.begin(); it != cache_.end();) {
        if (it->first < first - 1 || it->first > last + 1)
            it = cache_.erase(it);
        else
            ++it;
    }
}

Stamp PdfView::Shown(std::size_t index) const
{
    Stamp stamp = model_.Stamps()[index];
    if (drag_.kind != DragKind::None && drag_.index == index && drag_.moved) {
        stamp.centreMm = drag_.centreMm;
        stamp.rotationDeg = drag_.rotationDeg;
    }
    return stamp;
}

QTransform PdfView::StampFrame(const Stamp& stamp) const
{
    const QPointF centre = ViewportPointOf(stamp.page, stamp.centreMm);
    QTransform turn;
    turn.translate(centre.x(), centre.y());
    turn.rotate(stamp.rotationDeg);
    return turn;
}

QSizeF PdfView::StampSize(const Stamp& stamp) const
{
    return model_.Seals()[stamp.seal]->SizeMm() * layout_.PixelsPerMm();
}

QPolygonF PdfView::SelectionOutline(const Stamp& stamp) const
{
    const QSizeF size = StampSize(stamp);
    const QRectF box(-size.width() / 2 - 2, -size.height() / 2 - 2, size.width() + 4,
                     size.height() + 4);
    return StampFrame(stamp).map(QPolygonF(box));
}

QPointF PdfView::RotateHandle(const Stamp& stamp) const
{
    return StampFrame(stamp).map(QPointF(0, -StampSize(stamp).height() / 2 - 2 - kRotateStem));
}

bool PdfView::OnRotateHandle(QPoint viewportPoint) const
{
    const std::optional<std::size_t> selected = model_.Selection();
    if (!selected)
        return false;
    const Stamp stamp = Shown(*selected);
    const auto near = [&](QPointF handle) {
        return std::abs(handle.x() - viewportPoint.x()) <= kHandleSize &&
               std::abs(handle.y() - viewportPoint.y()) <= kHandleSize;
    };
    if (near(RotateHandle(stamp)))
        return true;
    // The corners turn the stamp too.
    const QPolygonF outline = SelectionOutline(stamp);
    return std::any_of(outline.begin(), outline.begin() + 4, near);
}

void PdfView::paintEvent(QPaintEvent*)
{
    QPainter painter(viewport());
    painter.fillRect(viewport()->rect(), kDeskColour);
    const double top = verticalScrollBar()->value();
    const auto [first, last] = layout_.PagesBetween(top, top + viewport()->height());
    for (int page = first; page <= last; ++page) {
        const QRectF rect = layout_.PageRect(page);
        const QRect shown(ToViewport(rect.topLeft()), ToViewport(rect.bottomRight()));
        painter.fillRect(shown.translated(2, 2), QColor(0x50, 0x50, 0x50));
        const QImage& picture = PagePicture(page);
        if (picture.isNull())
            painter.fillRect(shown, Qt::white);
        else
            painter.drawImage(shown.topLeft(), picture);
    }
    // The ink, multiplied into the page like the written file's.
    const double perMm = layout_.PixelsPerMm();
    painter.setClipRect(viewport()->rect());
    for (std::size_t i = 0; i < model_.Stamps().size(); ++i) {
        const Stamp stamp = Shown(i);
        if (stamp.page < first || stamp.page > last || stamp.seal >= model_.Seals().size())
            continue;
        const QRectF rect = layout_.PageRect(stamp.page);
        painter.save();
        painter.setClipRect(QRect(ToViewport(rect.topLeft()), ToViewport(rect.bottomRight())));
        PaintStampInk(painter, *model_.Seals()[stamp.seal],
                      ToViewport(layout_.ToContent(stamp.page, stamp.centreMm)), stamp.rotationDeg,
                      perMm);
        painter.restore();
    }
    if (const std::optional<std::size_t> selected = model_.Selection()) {
        const Stamp stamp = Shown(*selected);
        if (stamp.page >= first && stamp.page <= last) {
            painter.setRenderHint(QPainter::Antialiasing, true);
            const QPolygonF outline = SelectionOutline(stamp);
            painter.setPen(QPen(kSelectionColour, 1, Qt::DashLine));
            painter.setBrush(Qt::NoBrush);
            painter.drawPolygon(outline);
            const QPointF handle = RotateHandle(stamp);
            painter.setPen(QPen(kSelectionColour, 1));
            painter.drawLine((outline[0] + outline[1]) / 2, handle);
            painter.setBrush(Qt::white);
            for (int corner = 0; corner < 4; ++corner)
                painter.drawRect(QRectF(outline[corner].x() - kHandleSize / 2.0,
                                        outline[corner].y() - kHandleSize / 2.0, kHandleSize,
                                        kHandleSize));
            painter.setBrush(kSelectionColour);
            painter.drawEllipse(handle, kHandleSize / 2.0 + 1, kHandleSize / 2.0 + 1);
        }
    }
    DropFarPages(first, last);
}

void PdfView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    Relayout(mode_ == ZoomMode::Fixed ? layout_.Zoom() : -1.0);
}

void PdfView::scrollContentsBy(int, int)
{
    viewport()->update();
    EmitCurrentPage();
}

void PdfView::Place(int page, QPointF mm)
{
    if (!tool_.art || tool_.art->InkRect().isEmpty()) {
        model_.Select(std::nullopt);
        Q_EMIT SelectionChanged();
        viewport()->update();
        return;
    }
    Stamp stamp;
    stamp.page = page;
    stamp.centreMm = mm;
    stamp.rotationDeg = tool_.rotationDeg;
    stamp.seal = model_.AddSeal(tool_.art);
    if (tool_.everyPage)
        model_.PlaceOnEveryPage(stamp, layout_.PageCount());
    else
        model_.Place(stamp);
    viewport()->update();
    Q_EMIT StampsChanged();
    Q_EMIT SelectionChanged();
}

void PdfView::mousePressEvent(QMouseEvent* event)
{
    setFocus(Qt::MouseFocusReason);
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    drag_ = {};
    drag_.pressed = at;
    if (OnRotateHandle(at)) {
        drag_.kind = DragKind::Rotate;
        drag_.index = *model_.Selection();
        drag_.centreMm = model_.Stamps()[drag_.index].centreMm;
        drag_.rotationDeg = model_.Stamps()[drag_.index].rotationDeg;
        return;
    }
    const QPointF content = ToContent(at);
    const int page = layout_.PageAt(content);
    if (page < 0)
        return;
    const QPointF mm = layout_.ToMm(page, content);
    if (const std::optional<std::size_t> hit = model_.StampAt(page, mm)) {
        drag_.kind = DragKind::Move;
        drag_.index = *hit;
        drag_.centreMm = model_.Stamps()[*hit].centreMm;
        drag_.rotationDeg = model_.Stamps()[*hit].rotationDeg;
        drag_.grabMm = mm - drag_.centreMm;
        if (model_.Selection() != hit) {
            model_.Select(hit);
            Q_EMIT SelectionChanged();
        }
        viewport()->update();
        return;
    }
    // Placed on release, so that a press that turns into a scroll gesture places nothing.
}

void PdfView::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (drag_.kind == DragKind::None) {
        viewport()->setCursor(OnRotateHandle(at) ? Qt::CrossCursor : Qt::ArrowCursor);
        return;
    }
    if (!drag_.moved && (at - drag_.pressed).manhattanLength() < kDragThreshold)
        return;
    drag_.moved = true;
    const Stamp& stamp = model_.Stamps()[drag_.index];
    const QPointF content = ToContent(at);
    if (drag_.kind == DragKind::Move) {
        const QSizeF page = layout_.PageSizeMm(stamp.page);
        const QPointF mm = layout_.ToMm(stamp.page, content) - drag_.grabMm;
        // The centre stays on its page.
        drag_.centreMm =
            QPointF(std::clamp(mm.x(), 0.0, page.width()), std::clamp(mm.y(), 0.0, page.height()));
    } else {
        const QPointF centre = layout_.ToContent(stamp.page, stamp.centreMm);
        // The handle sits straight above the centre of an upright stamp; whole degrees.
        drag_.rotationDeg = NormalisedDegrees(std::round(Degrees(content - centre) + 90.0));
    }
    viewport()->update();
}

void PdfView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const Drag drag = drag_;
    drag_ = {};
    if (drag.kind == DragKind::None) {
        const QPoint at = event->position().toPoint();
        if ((at - drag.pressed).manhattanLength() >= kDragThreshold)
            return;
        const QPointF content = ToContent(drag.pressed);
        const int page = layout_.PageAt(content);
        if (page >= 0)
            Place(page, layout_.ToMm(page, content));
        return;
    }
    if (!drag.moved) {
        viewport()->update();
        return;
    }
    if (drag.kind == DragKind::Move)
        model_.Move(drag.index, drag.centreMm);
    else
        model_.Rotate(drag.index, drag.rotationDeg);
    viewport()->update();
    Q_EMIT StampsChanged();
    Q_EMIT SelectionChanged();
}

void PdfView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Delete:
    case Qt::Key_Backspace:
        if (const std::optional<std::size_t> selected = model_.Selection()) {
            model_.Remove(*selected);
            viewport()->update();
            Q_EMIT StampsChanged();
            Q_EMIT SelectionChanged();
        }
        return;
    case Qt::Key_Escape:
        if (model_.Selection()) {
            model_.Select(std::nullopt);
            viewport()->update();
            Q_EMIT SelectionChanged();
        }
        return;
    case Qt::Key_PageUp:
        GoToPage(CurrentPage() - 1);
        return;
    case Qt::Key_PageDown:
        GoToPage(CurrentPage() + 1);
        return;
    case Qt::Key_Home:
        if (event->modifiers() & Qt::ControlModifier) {
            GoToPage(0);
            return;
        }
        break;
    case Qt::Key_End:
        if (event->modifiers() & Qt::ControlModifier) {
            GoToPage(layout_.PageCount() - 1);
            return;
        }
        break;
    default:
        break;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void PdfView::wheelEvent(QWheelEvent* event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        if (event->angleDelta().y() > 0)
            ZoomIn();
        else if (event->angleDelta().y() < 0)
            ZoomOut();
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

} // namespace velmr::stamp
