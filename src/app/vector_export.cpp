#include "vector_export.h"

#include "color.h"
#include "outline_envelope.h"

#include <QCoreApplication>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>
#include <QSvgGenerator>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <memory>

std::optional<VectorFormat> vector_format(ImageFormat format)
{
    if (format == ImageFormat::Svg) return VectorFormat::Svg;
    if (format == ImageFormat::Pdf) return VectorFormat::Pdf;
    return std::nullopt;
}

namespace {

bool is_effect(const Stroke& stroke) { return !stroke.isImage() && stroke.transferMode() != kModeNormal; }

// Two units beyond the outline: anti-aliasing reaches a little past a stroke's bounds.
QRectF page_bounds(const Stroke& stroke, const AffineTransform& toPage)
{
    const Rect r = grow_rect(transform_rect(toPage, stroke.bounds()), 2, 2);
    return QRectF(r.origin.x, r.origin.y, r.size.width, r.size.height);
}

} // namespace

// The bitmap covers the effect strokes that show on the page. A normal stroke below the last
// of them that reaches into its area is part of the bitmap too (a path drawn there would
// show through what the effect did), and widens the area; this repeats until no more
// strokes join, so that the strokes left as paths below never meet the bitmap and no
// clipping is needed (SVG writers do not all keep clip paths).
VectorLayers split_for_vectors(const StrokeArray& strokes, const AffineTransform& toPage,
                               QSizeF page)
{
    const QRectF sheet(QPointF(0, 0), page);
    std::vector<QRectF> bounds;
    bounds.reserve(strokes.size());
    int last = -1;
    for (const StrokePtr& s : strokes) {
        bounds.push_back(page_bounds(*s, toPage) & sheet);
        if (is_effect(*s) && !bounds.back().isEmpty()) last = int(bounds.size()) - 1;
    }
    VectorLayers layers;
    auto is_drawable = [](const StrokePtr& s) { return !is_effect(*s); };
    if (last < 0) {
        std::copy_if(strokes.begin(), strokes.end(), std::back_inserter(layers.above), is_drawable);
        return layers;
    }
    std::vector<char> raster(std::size_t(last) + 1, 0);
    QRectF area;
    auto take = [&](int i) {
        area |= bounds[i];
        raster[i] = 1;
    };
    for (int i = 0; i <= last; ++i)
        if (is_effect(*strokes[i]) && !bounds[i].isEmpty()) take(i);
    for (bool grew = true; grew;) {
        grew = false;
        for (int i = 0; i <= last; ++i)
            if (!raster[i] && bounds[i].intersects(area)) {
                take(i);
                grew = true;
            }
    }
    for (int i = 0; i <= last; ++i)
        if (!raster[i] && is_drawable(strokes[i])) layers.below.push_back(strokes[i]);
    std::copy_if(strokes.begin() + last + 1, strokes.end(), std::back_inserter(layers.above), is_drawable);
    layers.raster = QRectF(area.toAlignedRect()) & sheet;
    layers.rasterStrokes = last + 1;
    return layers;
}

namespace {

struct RasterPart {
    QRectF area;
    QImage image;
};

// The drawing's first strokes composited over transparency for the area, at twice the
// view's resolution or the page's when that is finer; the background stays a vector fill.
Result<RasterPart> render_raster_part(const ExportSource& source, const AffineTransform& toPage,
                                      const VectorLayers& layers, QSizeF page)
{
    const QRectF area = *layers.raster;
    double scale = std::max(1.0, 2.0 * source.view.size().width / page.width());
    scale = std::min(scale, std::sqrt(double(kMaxExportPixels) / (area.width() * area.height())));
    const int width = std::max(1, int(std::ceil(area.width() * scale)));
    const int height = std::max(1, int(std::ceil(area.height() * scale)));
    const float s = float(scale);
    // a.after(b) applies b first: the page, then the area's corner to the origin, then the scale.
    const AffineTransform shift = AffineTransform::translation(-float(area.x()), -float(area.y()));
    const ViewGeometry part{Size{float(width), float(height)},
                            AffineTransform::scaling(s, s).after(shift.after(toPage))};
    const StrokeArray& all = source.strokes.strokeArray();
    const Strokes below(StrokeArray(all.begin(), all.begin() + layers.rasterStrokes));
    Result<QImage> image = render_drawing(ExportSource{below, part, std::nullopt}, width, height, true);
    if (!image) return Failure{image.error()};
    return RasterPart{QRectF(area.topLeft(), QSizeF(width / scale, height / scale)), std::move(*image)};
}

// How far, in page units, an arc of a pen outline may be written as its chord.
constexpr double kFlatness = 0.02;

// A pen stroke goes out as one merged outline where it has one: written as its circles and
// bands it takes many times the room.
void draw_stroke(QPainter& painter, const Stroke& stroke, double flatness)
{
    const std::optional<PenOutline>& outline = stroke.penOutline();
    if (outline && !stroke.isImage() && !stroke.drawAsStroke()) {
        if (const std::optional<QPainterPath> merged = outline_envelope(*outline, flatness)) {
            painter.fillPath(*merged, stroke.color());
            return;
        }
    }
    stroke.draw(painter);
}

void draw_strokes(QPainter& painter, const StrokeArray& strokes, const QTransform& toPage)
{
    painter.save();
    painter.setWorldTransform(toPage);
    const double scale = std::sqrt(std::abs(toPage.determinant()));
    const double flatness = scale > 0 ? kFlatness / scale : kFlatness;
    for (const StrokePtr& s : strokes) {
        // A placed picture sets its own opacity; a path takes the stroke's.
        painter.setOpacity(s->isImage() ? 1.0 : double(s->opacity()));
        draw_stroke(painter, *s, flatness);
    }
    painter.restore();
}

void paint_page(QPainter& painter, const ExportSource& source, QSizeF page, const QTransform& toPage,
                const VectorLayers& layers, const std::optional<RasterPart>& raster)
{
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    if (source.background) painter.fillRect(QRectF(QPointF(0, 0), page), *source.background);
    draw_strokes(painter, layers.below, toPage);
    if (raster) painter.drawImage(raster->area, raster->image);
    draw_strokes(painter, layers.above, toPage);
}

QString format_name(VectorFormat format)
{
    return format == VectorFormat::Svg ? QStringLiteral("SVG") : QStringLiteral("PDF");
}

// Starts the painter on a generator or writer of the page's size that writes into `file`.
struct PageDevice {
    std::unique_ptr<QSvgGenerator> svg;
    std::unique_ptr<QPdfWriter> pdf;

    PageDevice(VectorFormat format, QIODevice& file, QSize page)
    {
        if (format == VectorFormat::Svg) {
            svg = std::make_unique<QSvgGenerator>();
            svg->setOutputDevice(&file);
            svg->setSize(page);
            svg->setViewBox(QRect(QPoint(0, 0), page));
            svg->setTitle(QStringLiteral("Pavo drawing"));
            return;
        }
        pdf = std::make_unique<QPdfWriter>(&file);
        pdf->setCreator(QStringLiteral("Pavo"));
        pdf->setResolution(72); // one unit of the page is one point
        const QPageSize size(QSizeF(page), QPageSize::Point, QString(), QPageSize::ExactMatch);
        pdf->setPageLayout(QPageLayout(size, QPageLayout::Portrait, QMarginsF()));
    }
    QPaintDevice* device() const { return svg ? static_cast<QPaintDevice*>(svg.get()) : pdf.get(); }
};

} // namespace

Result<> export_vector(const ExportSource& source, int width, int height, VectorFormat format,
                       const QString& path)
{
    if (Result<> size = check_export_size(width, height); !size) return Failure{size.error()};
    const QSizeF page(width, height);
    const auto toPage = transform_at_size(source.view, Size{float(width), float(height)});
    if (!toPage) return Failure{QCoreApplication::translate("Pavo", "The drawing cannot be drawn at %1 x %2.").arg(width).arg(height)};
    const VectorLayers layers = split_for_vectors(source.strokes.strokeArray(), *toPage, page);
    std::optional<RasterPart> raster;
    if (layers.raster && !layers.raster->isEmpty()) {
        Result<RasterPart> part = render_raster_part(source, *toPage, layers, page);
        if (!part) return Failure{part.error()};
        raster = std::move(*part);
    }

    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Failure{QCoreApplication::translate("Pavo", "%1 cannot be written: %2").arg(path, file.errorString())};
    {
        const PageDevice device(format, file, QSize(width, height));
        QPainter painter;
        if (!painter.begin(device.device()))
            return Failure{QCoreApplication::translate("Pavo", "The %1 file %2 could not be started.").arg(format_name(format), path)};
        paint_page(painter, source, page, toPage->toQTransform(), layers, raster);
        if (!painter.end())
            return Failure{QCoreApplication::translate("Pavo", "The %1 file %2 could not be finished.").arg(format_name(format), path)};
    }
    if (!file.commit())
        return Failure{QCoreApplication::translate("Pavo", "%1 could not be written: %2").arg(path, file.errorString())};
    return {};
}
