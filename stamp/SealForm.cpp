#include "stamp/SealForm.h"

#include <QPaintDevice>
#include <QPaintEngine>
#include <QPainter>

#include <cmath>
#include <limits>

namespace velmr::stamp {
namespace {

using namespace PoDoFo;

// A printed point in millimetres, and the form's coordinates kept to a thousandth of a point.
constexpr double kPointsPerCm = 72.0 / 2.54;
constexpr unsigned short kDecimals = 3;

// Catches what a painter draws, as paths and pictures.
class InkEngine final : public QPaintEngine
{
public:
    explicit InkEngine(std::vector<InkStep>& steps)
        : QPaintEngine(QPaintEngine::AllFeatures), steps_(steps)
    {}

    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    Type type() const override { return QPaintEngine::User; }

    void updateState(const QPaintEngineState& state) override
    {
        const DirtyFlags dirty = state.state();
        if (dirty & DirtyTransform) {
            transform_ = state.transform();
        }
        if (dirty & DirtyPen) {
            pen_ = state.pen();
        }
        if (dirty & DirtyBrush) {
            brush_ = state.brush();
        }
    }

    void drawPath(const QPainterPath& path) override { Add(path, true); }

    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override
    {
        if (count < 2) {
            return;
        }
        QPainterPath path;
        path.moveTo(points[0]);
        for (int i = 1; i < count; ++i) {
            path.lineTo(points[i]);
        }
        if (mode != PolylineMode) {
            path.closeSubpath();
        }
        path.setFillRule(mode == OddEvenMode ? Qt::OddEvenFill : Qt::WindingFill);
        Add(path, mode != PolylineMode);
    }

    void drawPixmap(const QRectF& target, const QPixmap& pixmap, const QRectF& source) override
    {
        drawImage(target, pixmap.toImage(), source, Qt::AutoColor);
    }

    void drawImage(const QRectF& target, const QImage& image, const QRectF& source,
                   Qt::ImageConversionFlags) override
    {
        if (image.isNull() || target.isEmpty()) {
            return;
        }
        InkStep step;
        step.transform = transform_;
        const QRect whole = image.rect();
        const QRect part = source.toAlignedRect().intersected(whole);
        step.picture = part == whole ? image : image.copy(part);
        step.target = target;
        steps_.push_back(std::move(step));
    }

private:
    void Add(const QPainterPath& path, bool fillable)
    {
        if (path.isEmpty()) {
            return;
        }
        InkStep step;
        step.transform = transform_;
        step.path = path;
        if (fillable && brush_.style() != Qt::NoBrush) {
            step.fill = brush_.color();
        }
        if (pen_.style() != Qt::NoPen && pen_.brush().style() != Qt::NoBrush) {
            step.stroke = pen_.color();
            step.strokeWidth = pen_.widthF();
            step.cap = pen_.capStyle();
            step.join = pen_.joinStyle();
        }
        if (step.fill.isValid() || step.stroke.isValid()) {
            steps_.push_back(std::move(step));
        }
    }

    std::vector<InkStep>& steps_;
    QTransform transform_;
    QPen pen_;
    QBrush brush_;
};

class InkRecorder final : public QPaintDevice
{
public:
    explicit InkRecorder(const QSizeF& size) : size_(size), engine_(steps) {}
    ~InkRecorder() override = default;

    QPaintEngine* paintEngine() const override { return &engine_; }

    std::vector<InkStep> steps;

protected:
    int metric(PaintDeviceMetric metric) const override
    {
        switch (metric) {
        case PdmWidth:
            return std::max(1, int(std::ceil(size_.width())));
        case PdmHeight:
            return std::max(1, int(std::ceil(size_.height())));
        case PdmWidthMM:
            return std::max(1, int(std::ceil(size_.width() * 25.4 / 72.0)));
        case PdmHeightMM:
            return std::max(1, int(std::ceil(size_.height() * 25.4 / 72.0)));
        case PdmNumColors:
            return std::numeric_limits<int>::max();
        case PdmDepth:
            return 32;
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY:
            return 72;
        case PdmDevicePixelRatio:
            return 1;
        case PdmDevicePixelRatioScaled:
            return int(devicePixelRatioFScale());
        }
        return 0;
    }

private:
    QSizeF size_;
    mutable InkEngine engine_;
};

// Writes a path's segments; a subpath that ends where it began is closed, so that a stroke joins
// there instead of capping.
void WritePath(PdfPainter& painter, const QPainterPath& path)
{
    QPointF start;
    QPointF current;
    bool open = false;
    const auto closeIfRound = [&] {
        if (open && current == start) {
            painter.ClosePath();
        }
    };
    for (int i = 0; i < path.elementCount(); ++i) {
        const QPainterPath::Element element = path.elementAt(i);
        switch (element.type) {
        case QPainterPath::MoveToElement:
            closeIfRound();
            painter.MoveTo(element.x, element.y);
            start = current = element;
            open = true;
            break;
        case QPainterPath::LineToElement:
            painter.LineTo(element.x, element.y);
            current = element;
            break;
        case QPainterPath::CurveToElement:
            if (i + 2 < path.elementCount()) {
                const QPainterPath::Element second = path.elementAt(i + 1);
                const QPainterPath::Element end = path.elementAt(i + 2);
                painter.CubicBezierTo(element.x, element.y, second.x, second.y, end.x, end.y);
                current = end;
                i += 2;
            }
            break;
        case QPainterPath::CurveToDataElement:
            break;
        }
    }
    closeIfRound();
}

EPdfLineCapStyle CapOf(Qt::PenCapStyle cap)
{
    switch (cap) {
    case Qt::RoundCap:
        return ePdfLineCapStyle_Round;
    case Qt::SquareCap:
        return ePdfLineCapStyle_Square;
    default:
        return ePdfLineCapStyle_Butt;
    }
}

EPdfLineJoinStyle JoinOf(Qt::PenJoinStyle join)
{
    switch (join) {
    case Qt::RoundJoin:
        return ePdfLineJoinStyle_Round;
    case Qt::MiterJoin:
    case Qt::SvgMiterJoin:
        return ePdfLineJoinStyle_Miter;
    default:
        return ePdfLineJoinStyle_Bevel;
    }
}

// A transformation that keeps shapes (turns and scales alike in both directions): a stroke's
// width then scales with it and the path can be mapped beforehand.
bool KeepsShapes(const QTransform& t)
{
    return t.type() <= QTransform::TxRotate && std::abs(t.m11() - t.m22()) < 1e-9 &&
           std::abs(t.m12() + t.m21()) < 1e-9;
}

// The operators of the painting, the colours and pens set only when they change.
class FormWriter
{
public:
    FormWriter(PdfMemDocument& document, PdfPainter& painter)
        : document_(document), painter_(painter)
    {}

    void Write(const InkStep& step)
    {
        if (!step.picture.isNull()) {
            WritePicture(step);
            return;
        }
        const bool mapped = step.transform.isIdentity() || KeepsShapes(step.transform);
        if (!mapped) {
            painter_.Save();
            const QTransform& t = step.transform;
            painter_.SetTransformationMatrix(t.m11(), t.m12(), t.m21(), t.m22(), t.dx(), t.dy());
            Forget();
        }
        const QPainterPath path = mapped ? step.transform.map(step.path) : step.path;
        const double widthScale = mapped ? std::sqrt(std::abs(step.transform.determinant())) : 1.0;
        if (step.fill.isValid()) {
            SetFill(step.fill);
        }
        if (step.stroke.isValid()) {
            SetStroke(step.stroke, step.strokeWidth * widthScale, step.cap, step.join);
        }
        WritePath(painter_, path);
        const bool evenOdd = path.fillRule() == Qt::OddEvenFill;
        if (step.fill.isValid() && step.stroke.isValid()) {
            painter_.FillAndStroke(evenOdd);
        } else if (step.fill.isValid()) {
            painter_.Fill(evenOdd);
        } else {
            painter_.Stroke();
        }
        if (!mapped) {
            painter_.Restore();
            Forget();
        }
    }

private:
    void Forget()
    {
        fill_ = QColor();
        stroke_ = QColor();
        width_ = -1;
        cap_ = -1;
        join_ = -1;
    }

    void SetFill(const QColor& color)
    {
        if (color.rgb() != fill_.rgb() || !fill_.isValid()) {
            painter_.SetColor(color.redF(), color.greenF(), color.blueF());
            fill_ = color;
        }
    }

    void SetStroke(const QColor& color, double width, Qt::PenCapStyle cap, Qt::PenJoinStyle join)
    {
        if (color.rgb() != stroke_.rgb() || !stroke_.isValid()) {
            painter_.SetStrokingColor(color.redF(), color.greenF(), color.blueF());
            stroke_ = color;
        }
        if (width != width_) {
            painter_.SetStrokeWidth(width);
            width_ = width;
        }
        if (int(cap) != cap_) {
            painter_.SetLineCapStyle(CapOf(cap));
            cap_ = int(cap);
        }
        if (int(join) != join_) {
            painter_.SetLineJoinStyle(JoinOf(join));
            join_ = int(join);
        }
    }

    void WritePicture(const InkStep& step)
    {
        const QImage rgb = step.picture.convertToFormat(QImage::Format_RGB888);
        const int width = rgb.width();
        const int height = rgb.height();
        QByteArray samples;
        samples.reserve(qsizetype(width) * height * 3);
        for (int y = 0; y < height; ++y) {
            samples.append(reinterpret_cast<const char*>(rgb.constScanLine(y)), width * 3);
        }
        PdfImage image(&document_);
        image.SetImageColorSpace(ePdfColorSpace_DeviceRGB);
        PdfMemoryInputStream colours(samples.constData(), samples.size());
        image.SetImageData(unsigned(width), unsigned(height), 8, &colours);
        if (step.picture.hasAlphaChannel()) {
            const QImage alpha = step.picture.convertToFormat(QImage::Format_Alpha8);
            QByteArray coverage;
            coverage.reserve(qsizetype(width) * height);
            for (int y = 0; y < height; ++y) {
                coverage.append(reinterpret_cast<const char*>(alpha.constScanLine(y)), width);
            }
            PdfImage mask(&document_);
            mask.SetImageColorSpace(ePdfColorSpace_DeviceGray);
            PdfMemoryInputStream levels(coverage.constData(), coverage.size());
            mask.SetImageData(unsigned(width), unsigned(height), 8, &levels);
            image.SetImageSoftmask(&mask);
        }
        image.SetInterpolate(true);
        // The image's unit square, its first row on top, onto the target in y-down coordinates.
        const QRectF& r = step.target;
        const QTransform placed =
            QTransform(r.width(), 0, 0, -r.height(), r.left(), r.top() + r.height()) *
            step.transform;
        painter_.Save();
        painter_.SetTransformationMatrix(placed.m11(), placed.m12(), placed.m21(), placed.m22(),
                                         placed.dx(), placed.dy());
        painter_.DrawXObject(0, 0, &image, 1.0, 1.0);
        painter_.Restore();
        Forget();
    }

    PdfMemDocument& document_;
    PdfPainter& painter_;
    QColor fill_;
    QColor stroke_;
    double width_ = -1;
    int cap_ = -1;
    int join_ = -1;
};

} // namespace

std::vector<InkStep> CaptureInk(const output::SealArtwork& art, double scale)
{
    InkRecorder recorder(art.InkRect().size() * scale);
    {
        QPainter painter(&recorder);
        art.Paint(painter, scale);
    }
    return std::move(recorder.steps);
}

SealForm AddSealForm(PdfMemDocument& document, const output::SealArtwork& art)
{
    const double scale = kPointsPerCm / art.PixelsPerCm(); // points per layout pixel
    SealForm result;
    result.sizePt = art.InkRect().size() * scale;
    const std::vector<InkStep> steps = CaptureInk(art, scale);

    const double width = result.sizePt.width();
    const double height = result.sizePt.height();
    PdfXObject form(PdfRect(0, 0, width, height), &document);
    // The painting's y axis runs downwards; the form turns it upright.
    PdfArray matrix;
    for (const double value : {1.0, 0.0, 0.0, -1.0, 0.0, height}) {
        matrix.push_back(PdfVariant(value));
    }
    form.GetObject()->GetDictionary().AddKey(PdfName("Matrix"), matrix);

    // Like ink: the page beneath is multiplied by the seal's colour rather than covered.
    PdfExtGState ink(&document);
    ink.GetObject()->GetDictionary().AddKey(PdfName("BM"), PdfName("Multiply"));

    PdfPainter painter;
    painter.SetPage(&form);
    painter.SetPrecision(kDecimals);
    painter.SetExtGState(&ink);
    FormWriter writer(document, painter);
    for (const InkStep& step : steps) {
        writer.Write(step);
    }
    painter.FinishPage();
    result.reference = form.GetObject()->Reference();
    return result;
}

} // namespace velmr::stamp
