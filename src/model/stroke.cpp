#include "stroke.h"

#include "archive.h"
#include "context_wrapper.h"
#include "outline_raster.h"

#include <QCoreApplication>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <limits>
#include <mutex>

namespace {

bool is_similarity(const AffineTransform& t)
{
    // Rotation with uniform scale, mirrored or not: circles stay circles.
    const float tolerance = 1e-5f * (std::abs(t.a) + std::abs(t.b) + std::abs(t.c) + std::abs(t.d));
    const bool turning = std::abs(t.a - t.d) <= tolerance && std::abs(t.b + t.c) <= tolerance;
    const bool mirrored = std::abs(t.a + t.d) <= tolerance && std::abs(t.b - t.c) <= tolerance;
    return turning || mirrored;
}

// A placed image's path: a closed quadrilateral whose elements 0, 1 and 3 are its corners.
bool is_placement(const Path& path)
{
    const auto& e = path.elements();
    return e.size() >= 4 && e[0].element == kMoveTo && e[1].element == kLineTo &&
           e[2].element == kLineTo && e[3].element == kLineTo && path.isFinite();
}

// Whether every point of a shape within `bounds` stays finite under t, with room to spare
// for rounding: a file holds only finite coordinates, so a move beyond them would lose the
// stroke on reopening. Bounds take in every control point and the half line width.
bool moved_bounds_fit(const Rect& bounds, const AffineTransform& t)
{
    constexpr double kMaxCoordinate = double(std::numeric_limits<float>::max()) / 4;
    const double m = std::max({std::abs(double(bounds.minX())), std::abs(double(bounds.maxX())),
                               std::abs(double(bounds.minY())), std::abs(double(bounds.maxY()))});
    const double x = (std::abs(double(t.a)) + std::abs(double(t.c))) * m + std::abs(double(t.tx));
    const double y = (std::abs(double(t.b)) + std::abs(double(t.d))) * m + std::abs(double(t.ty));
    // Written so that NaN bounds fail too.
    return x <= kMaxCoordinate && y <= kMaxCoordinate;
}

QCborValue encode_pen_points(const PenPoints& points)
{
    const std::optional<std::vector<std::uint8_t>> bytes = points.encode();
    if (!bytes) return QCborValue(QCborValue::Undefined);
    QCborMap map = archive::object(QLatin1StringView("PenPoints"));
    map.insert(QLatin1StringView("values"),
               QByteArray(reinterpret_cast<const char*>(bytes->data()), qsizetype(bytes->size())));
    return map;
}

std::optional<PenPoints> decode_pen_points(const QCborValue& value)
{
    const std::optional<QCborMap> map = archive::as_object(value, QLatin1StringView("PenPoints"));
    if (!map) return std::nullopt;
    const QCborValue values = map->value(QLatin1StringView("values"));
    if (!values.isByteArray()) return std::nullopt;
    const QByteArray bytes = values.toByteArray();
    return PenPoints::decode(std::span<const std::uint8_t>(
                                 reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                 std::size_t(bytes.size())))
        .take();
}

} // namespace

StrokePtr Stroke::withPenPoints(PenPoints points, const QColor& color, int mode, float opacity)
{
    std::optional<PenOutline> outline = points.buildOutline();
    if (!outline) return nullptr;
    auto stroke = std::make_shared<Stroke>(Tag{});
    stroke->_outline = std::move(outline);
    stroke->_path_pending = true;
    stroke->_pen_points = std::move(points);
    stroke->_color = color;
    stroke->_transfer_mode = mode;
    stroke->_opacity = opacity;
    stroke->rebuildBounds();
    if (!nice(stroke->_bounds)) return nullptr;
    return stroke;
}

StrokePtr Stroke::withPath(Path path, const QColor& color, int mode, float opacity)
{
    auto stroke = std::make_shared<Stroke>(Tag{});
    stroke->_path = std::move(path);
    if (!(std::isfinite(stroke->_path.lineWidth()) && stroke->_path.lineWidth() >= 0))
        stroke->_path.setLineWidth(1);
    stroke->_color = color;
    stroke->_transfer_mode = mode;
    stroke->_opacity = opacity;
    stroke->rebuildBounds();
    return stroke;
}

StrokePtr Stroke::withLine(Path path, const QColor& color, int mode, float opacity)
{
    const float width = path.lineWidth();
    StrokePtr stroke = withPath(std::move(path), color, mode, opacity);
    stroke->_stroke = true;
    stroke->_line_width = width;
    stroke->rebuildBounds();
    return stroke;
}

Result<> image_fits_in_drawing(const QImage& image) { return image_fits_in_drawing(image.size()); }

Result<> image_fits_in_drawing(QSize size)
{
    const qint64 w = size.width(), h = size.height();
    if (w <= archive::kMaxImageSide && h <= archive::kMaxImageSide &&
        w * h <= archive::kMaxImagePixels)
        return {};
    return Failure{QCoreApplication::translate("Pavo", "The picture is %1 by %2 pixels; Pavo can place pictures of "
                                  "up to %3 pixels a side and %4 million pixels in all.")
                       .arg(w)
                       .arg(h)
                       .arg(archive::kMaxImageSide)
                       .arg(archive::kMaxImagePixels / 1000000)};
}

StrokePtr Stroke::withImage(const QImage& image, Path placement, float opacity)
{
    if (!image_fits_in_drawing(image)) return nullptr;
    StrokePtr stroke = withPath(std::move(placement), QColor(), kModeNormal, opacity);
    stroke->_image = image;
    return stroke;
}

const Path& Stroke::path() const
{
    if (_path_pending) {
        _path = outline_to_path(*_outline);
        _path_pending = false;
    }
    return _path;
}

void Stroke::rebuildBounds()
{
    _bounds = _path_pending ? outline_bounds(*_outline) : _path.bounds();
    if (_stroke) _bounds = grow_rect(_bounds, _line_width / 2, _line_width / 2);
}

bool Stroke::bad() const
{
    if (!(_opacity >= 0 && _opacity <= 1)) return true;
    if (isImage()) return !is_placement(_path);
    // A pen outline was checked for finite shapes when it was built.
    const bool no_shape = _path_pending ? _outline->empty() : (_path.empty() || !_path.isFinite());
    if (no_shape || !finite(_bounds) || !_color.isValid()) return true;
    if (_stroke && !(std::isfinite(_line_width) && _line_width >= 0)) return true;
    if (_pen_points)
        return !_pen_points->transform().isUsable() || !std::isfinite(_pen_points->radius());
    return false;
}

bool Stroke::canCombineStrokeWith(const Stroke& other) const
{
    if (isImage() || other.isImage()) return false;
    if (_transfer_mode != other._transfer_mode) return false;
    if (_opacity != 1.0f || other._opacity != 1.0f) return false;
    // Only these modes give the same picture whether two strokes are transferred together
    // or one after the other; darker and lighter only when the colour is the same.
    switch (_transfer_mode) {
    case kModeNormal:
    case kModeErase: return true;
    case kModeDarker:
    case kModeLighter: return _color == other._color;
    default: return false;
    }
}

bool Stroke::canVectorDraw() const
{
    return isImage() || (_transfer_mode == kModeNormal && _opacity == 1.0f);
}

bool Stroke::contains(Point world) const
{
    return path().toQPainterPath().contains(QPointF(world.x, world.y));
}

bool Stroke::canTransformUsing(const AffineTransform& t) const
{
    if (!t.isUsable() || !moved_bounds_fit(_bounds, t)) return false;
    if (!_pen_points) return true;
    const std::optional<AffineTransform> inverse = t.inverted();
    return _pen_points->transform().after(*inverse).isUsable();
}

bool Stroke::transformUsingAffineTransform(const AffineTransform& t)
{
    if (!canTransformUsing(t)) return false;
    if (_pen_points && !_pen_points->transformUsingAffineTransform(t)) return false;
    // A turn or scale keeps the pen outline, built again from the moved samples rather than
    // moved itself: the outline is then always what the samples give, as a reopened file or
    // an undone move shows it.
    std::optional<PenOutline> rebuilt = _outline && is_similarity(t) ? _pen_points->buildOutline() : std::nullopt;
    if (rebuilt) {
        _outline = std::move(rebuilt);
        _path = Path();
        _path_pending = true;
    } else {
        path();
        _path.transform(t);
        _outline.reset();
    }
    rebuildBounds();
    return true;
}

Stroke::Placement Stroke::placement() const
{
    Placement p;
    if (_pen_points) p.pen_transform = _pen_points->transform();
    p.outline = _outline.has_value();
    if (!p.outline) p.path = _path;
    return p;
}

void Stroke::restorePlacement(const Placement& placement)
{
    if (_pen_points && placement.pen_transform) _pen_points->setTransform(*placement.pen_transform);
    _outline = placement.outline && _pen_points ? _pen_points->buildOutline() : std::nullopt;
    _path_pending = _outline.has_value();
    _path = _path_pending ? Path() : placement.path;
    rebuildBounds();
}

void Stroke::appendPathOf(const Stroke& other)
{
    path();
    _path.append(other.path());
    _pen_points.reset();
    _outline.reset();
    rebuildBounds();
}

Rect Stroke::drawInCanvas(PavoCanvas& canvas) const
{
    Bitmap& draw = canvas.drawBitmap();
    if (isImage()) {
        const Rect r = canvas.worldRectToBitmapRect(drawInContext(draw.cgContext()));
        draw.copyRect(r, canvas.previewBitmap());
        return r;
    }
    const Rect r = canvas.worldRectToBitmapRect(drawInContext(canvas.strokeBitmap().cgContext()));
    canvas.commit(r, _transfer_mode, _opacity);
    canvas.show(r);
    return r;
}

void Stroke::prepareToDraw() const
{
    // Images and pen outlines draw from what they hold; only paths keep a built shape.
    if (isImage() || _outline) return;
    if (_stroke) _path.prepareToDraw(kNonZero);
    else _path.prepareToDraw(_path.windingRule());
}

namespace {

// The painter keeps what it makes of a path and of a picture inside the shared path or
// picture itself, built on first use: two threads painting the same stroke at once (two
// parts of a render, an export beside the view) must take turns.
std::mutex& painter_turns()
{
    static std::mutex turns;
    return turns;
}

} // namespace

Rect Stroke::drawInContext(CGContextWrapper& context) const
{
    if (_outline && !_stroke && !isImage() && context.bitmap())
        return fill_outline(*context.bitmap(), *_outline, color_ns::premultiplied(_color));
    const std::lock_guard turn(painter_turns());
    if (isImage()) {
        if (QPainter* painter = context.painter()) drawImage(*painter);
        return _path.bounds();
    }
    context.setFillColor(_color);
    context.setStrokeColor(_color);
    context.setLineWidth(_line_width);
    if (_stroke) return _path.strokeInContext(context);
    return path().fillInContext(context, path().windingRule());
}

void Stroke::drawImage(QPainter& painter) const
{
    const auto& e = _path.elements();
    if (!is_placement(_path) || _image.isNull()) return;
    const Point p0 = e[0].p[0], along_width = e[1].p[0] - p0, along_height = e[3].p[0] - p0;
    const float w = float(_image.width()), h = float(_image.height());
    const Point centre = (e[1].p[0] + e[3].p[0]) / 2;
    // Centred on the placement, turned with its first edge, scaled to its two edges. The
    // picture is drawn with its first row along the first edge; QPainter draws images
    // top row first, so no flip is needed to keep it upright.
    QTransform placement;
    placement.translate(centre.x, centre.y);
    placement.rotateRadians(angle(along_width));
    placement.scale(length(along_width) / w, length(along_height) / h);
    placement.translate(-w / 2, -h / 2);
    painter.save();
    painter.setWorldTransform(placement, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.setOpacity(_opacity);
    painter.drawImage(QRectF(0, 0, w, h), _image);
    painter.restore();
}

void Stroke::draw(QPainter& painter) const
{
    if (isImage()) {
        drawImage(painter);
        return;
    }
    // A pen stroke's path is built for the page and not kept: a print of a large drawing
    // would otherwise leave every outline's path behind in memory.
    const QPainterPath shape =
        _path_pending ? outline_to_path(*_outline).toQPainterPath() : _path.toQPainterPath();
    if (_stroke) {
        painter.strokePath(shape, QPen(_color, _line_width, Qt::SolidLine, Qt::FlatCap, Qt::BevelJoin));
    } else {
        painter.fillPath(shape, _color);
    }
}

QCborValue Stroke::encode() const
{
    QCborMap map = archive::object(QLatin1StringView("Stroke"));
    // The samples only while the outline is still built from them: after a stretch the
    // stroke draws its transformed path, which the samples would not give back. Samples
    // beyond what the format can hold are saved as their outline too.
    const QCborValue samples =
        _pen_points && _outline ? encode_pen_points(*_pen_points) : QCborValue();
    if (samples.isMap()) map.insert(QLatin1StringView("pen_points"), samples);
    else map.insert(QLatin1StringView("path"), archive::encode_path(path()));
    map.insert(QLatin1StringView("color"),
               isImage() ? QCborValue(QCborValue::Null) : archive::encode_color(_color));
    map.insert(QLatin1StringView("transfer_mode"), _transfer_mode);
    map.insert(QLatin1StringView("opacity"), double(_opacity));
    if (_stroke) map.insert(QLatin1StringView("line_width"), double(_line_width));
    if (isImage()) map.insert(QLatin1StringView("image"), archive::encode_image(_image));
    return map;
}

StrokePtr Stroke::decode(const QCborValue& value)
{
    const std::optional<QCborMap> map = archive::as_object(value, QLatin1StringView("Stroke"));
    if (!map) return nullptr;
    const std::optional<int> mode = archive::read_int(*map, QLatin1StringView("transfer_mode"));
    const std::optional<float> opacity = archive::read_float(*map, QLatin1StringView("opacity"));
    if (!mode || !opacity) return nullptr;

    auto stroke = std::make_shared<Stroke>(Tag{});
    stroke->_transfer_mode = *mode;
    stroke->_opacity = *opacity;
    const QCborValue color = map->value(QLatin1StringView("color"));
    if (!color.isNull() && !color.isUndefined()) {
        const std::optional<QColor> c = archive::decode_color(color);
        if (!c) return nullptr;
        stroke->_color = *c;
    }
    if (map->contains(QLatin1StringView("pen_points"))) {
        std::optional<PenPoints> points =
            decode_pen_points(map->value(QLatin1StringView("pen_points")));
        if (!points) return nullptr;
        std::optional<PenOutline> outline = points->buildOutline();
        if (!outline) return nullptr;
        stroke->_outline = std::move(outline);
        stroke->_path_pending = true;
        stroke->_pen_points = std::move(points);
    } else {
        std::optional<Path> path = archive::decode_path(map->value(QLatin1StringView("path")));
        if (!path) return nullptr;
        stroke->_path = std::move(*path);
    }
    if (map->contains(QLatin1StringView("line_width"))) {
        const std::optional<float> width =
            archive::read_float(*map, QLatin1StringView("line_width"));
        if (!width) return nullptr;
        stroke->_stroke = true;
        stroke->_line_width = *width;
    }
    if (map->contains(QLatin1StringView("image"))) {
        std::optional<QImage> image = archive::decode_image(map->value(QLatin1StringView("image")));
        if (!image || image->isNull()) return nullptr;
        stroke->_image = std::move(*image);
    }
    stroke->rebuildBounds();
    return stroke;
}

StrokePtr Stroke::copyWithArchiver() const
{
    Result<QCborValue> archived = archive::from_bytes(archive::to_bytes(encode()));
    return archived ? decode(*archived) : nullptr;
}
