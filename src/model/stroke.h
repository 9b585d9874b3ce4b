#pragma once

// One mark of a drawing: a closed outline in world coordinates filled (or, for lines made
// by scripts, stroked) in one colour and combined with what lies beneath it by a transfer
// mode and an opacity; or a placed image. Four kinds:
//   pen stroke  - made from pen samples, its outline rebuilt from them on loading;
//   fill        - a given closed path, non-zero or even-odd;
//   line        - a given path stroked at its line width;
//   image       - a picture drawn into a four-corner placement path.
// Strokes are shared (the list, the undo history and the selection hold them) and compared
// by identity. Only their geometry changes after creation.

#include "canvas.h"
#include "path.h"
#include "pen_outline.h"
#include "pen_points.h"
#include "result.h"

#include <QCborValue>
#include <QColor>
#include <QImage>

#include <memory>
#include <optional>
#include <vector>

class CGContextWrapper;
class QPainter;
class Stroke;

// Whether a picture can be placed in a drawing: one larger than a saved drawing can hold
// is refused here, with a message, rather than lost when the drawing is reopened.
Result<> image_fits_in_drawing(const QImage& image);
// The same from a size alone, so that a picture's header can be checked before decoding.
Result<> image_fits_in_drawing(QSize size);

using StrokePtr = std::shared_ptr<Stroke>;
using StrokeArray = std::vector<StrokePtr>;

class Stroke {
    struct Tag {
        explicit Tag() = default;
    };

public:
    // Null when there are no samples or the outline is not finite.
    static StrokePtr withPenPoints(PenPoints points, const QColor& color, int mode,
                                   float opacity);
    // The path's line width plays no part in a fill; one that is not a finite, non-negative
    // number is made one, so that the stroke saves in a form that reads back.
    static StrokePtr withPath(Path path, const QColor& color, int mode, float opacity);
    // Stroked at the path's own line width; a width that is not finite and non-negative
    // makes the stroke bad().
    static StrokePtr withLine(Path path, const QColor& color, int mode, float opacity);
    // `placement` is a closed four-corner path: the image's origin, the end of its first
    // edge, the opposite corner and the end of its second edge. Null for a picture that
    // image_fits_in_drawing refuses.
    static StrokePtr withImage(const QImage& image, Path placement, float opacity);

    explicit Stroke(Tag) {}

    const Rect& bounds() const { return _bounds; }
    // Built from the pen outline on first use: most pen strokes are drawn from their
    // circles and bands and never need it.
    const Path& path() const;
    const std::optional<PenPoints>& penPoints() const { return _pen_points; }
    // The circles and bands of a pen stroke while they still describe its shape.
    const std::optional<PenOutline>& penOutline() const { return _outline; }
    const QImage& image() const { return _image; }
    bool isImage() const { return !_image.isNull(); }
    const QColor& color() const { return _color; }
    float opacity() const { return _opacity; }
    int transferMode() const { return _transfer_mode; }
    bool drawAsStroke() const { return _stroke; }
    float lineWidth() const { return _line_width; }
    int windingRule() const { return path().windingRule(); }

    // True when the stroke cannot be drawn or saved: missing or non-finite geometry, no
    // colour, an opacity outside 0..1, a placed image without picture or placement.
    bool bad() const;
    // Whether the stroke list may render the two through one pass of the stroke layer
    // without changing the picture.
    bool canCombineStrokeWith(const Stroke& other) const;
    // Whether it can be printed as vectors, with no transfer.
    bool canVectorDraw() const;
    // Whether the world point lies inside the outline (by its fill rule).
    bool contains(Point world) const;

    // Whether the move below would be accepted.
    bool canTransformUsing(const AffineTransform& t) const;
    // Moves the stroke in world space. Refuses (false, unchanged) a transform that is not
    // finite and invertible, that would make the samples' transform so, or that would carry
    // the stroke beyond the coordinates a file can hold.
    bool transformUsingAffineTransform(const AffineTransform& t);
    // Where a move leaves what it changes, for undoing the move: put back, not moved by the
    // inverse, which float arithmetic would not bring back exactly. A pen outline is not
    // kept but built again from the samples, as a move builds it.
    struct Placement {
        std::optional<AffineTransform> pen_transform;
        bool outline = false;
        Path path; // for a stroke drawn from its path
    };
    Placement placement() const;
    void restorePlacement(const Placement& placement);
    // For a merge: appends another stroke's outline; the stroke becomes a path stroke.
    void appendPathOf(const Stroke& other);

    // Renders into the canvas layers with the stroke's mode and opacity; returns the pixel
    // rectangle touched.
    Rect drawInCanvas(PavoCanvas& canvas) const;
    // Builds now what drawing into a canvas would build on first use, so that several
    // threads can then render the stroke at once.
    void prepareToDraw() const;
    // Renders at full strength into one bitmap's context; returns the world rectangle.
    Rect drawInContext(CGContextWrapper& context) const;
    // Renders into any painter as vectors, with no transfer (printing).
    void draw(QPainter& painter) const;

    QCborValue encode() const;
    // Null when the archive is not a stroke; a stroke that decodes may still be bad().
    static StrokePtr decode(const QCborValue& value);
    // A deep copy through the archive.
    StrokePtr copyWithArchiver() const;

private:
    void rebuildBounds();
    void drawImage(QPainter& painter) const;

    std::optional<PenPoints> _pen_points;
    // The pen outline as circles and bands, kept while it still describes _path, so that
    // the fast outline rasterizer can draw it.
    std::optional<PenOutline> _outline;
    mutable Path _path;
    // True while _path has yet to be built from _outline.
    mutable bool _path_pending = false;
    QColor _color;
    int _transfer_mode = 0;
    Rect _bounds;
    float _opacity = 1;
    QImage _image;
    bool _stroke = false;
    float _line_width = 1;
};
