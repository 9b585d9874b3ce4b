#pragma once

// Writing the drawing as vectors, SVG or PDF, framed as a picture export of the same size:
// a page of width x height units (points in a PDF) showing the view's part of the drawing.
// Strokes in the normal mode become paths with their colour and opacity, placed pictures
// embedded images. The effect modes combine with what lies beneath in ways neither format
// can say, so the drawing up to the last effect stroke is rendered as one embedded bitmap
// for the area those strokes touch, and everything else stays vector.

#include "export_image.h"

#include <QRectF>

#include <optional>

enum class VectorFormat { Svg, Pdf };

// The vector format an export format stands for, if it is one.
std::optional<VectorFormat> vector_format(ImageFormat format);

// How the page divides, in page units: the strokes drawn as paths below the bitmap, the
// bitmap's area (none when no effect stroke shows on the page) and the strokes drawn as
// paths above it. The strokes below never meet the bitmap's area.
struct VectorLayers {
    StrokeArray below;
    std::optional<QRectF> raster;
    int rasterStrokes = 0; // strokes [0, rasterStrokes) are composited into the bitmap
    StrokeArray above;
};
VectorLayers split_for_vectors(const StrokeArray& strokes, const AffineTransform& toPage, QSizeF page);

// Writes the file, replacing an existing one only once the new one is complete.
Result<> export_vector(const ExportSource& source, int width, int height, VectorFormat format,
                       const QString& path);
