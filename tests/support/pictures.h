#pragma once

#include "bitmap.h"

#include <QImage>
#include <QPainter>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <functional>
#include <map>
#include <memory>
#include <ostream>

// One string per row: '#' an opaque black pixel, '.' or ' ' a transparent one, any other
// character the colour `key` gives it (black when it has none).
using PictureKey = std::map<char, color_ns::Color>;
std::unique_ptr<Bitmap> bitmap_from_rows(const QStringList& rows, const PictureKey& key = {});
// The rows back: '#' where a pixel has any alpha, '.' elsewhere; for readable failures.
QStringList rows_of(const Bitmap& bitmap);
std::unique_ptr<Bitmap> filled_bitmap(int width, int height, color_ns::Color color,
                                      const AffineTransform& transform = {});
// The bounding box of the pixels with any alpha (an empty rectangle for none).
Rect filled_bounds(const Bitmap& bitmap);
// How many pixels outside the pixel span of `world` differ from `background`: painting
// there leaves stale pixels in a view that redraws only the returned bounds.
int changed_outside(const Bitmap& bitmap, const Rect& world, color_ns::Color background);
inline void PrintTo(const QString& s, std::ostream* os) {
    *os << '"' << s.toStdString() << '"';
}

// Every channel, alpha too, within `within` of the other's.
bool near(QRgb a, QRgb b, int within);

// The largest difference of any channel between two pictures, compared as premultiplied
// RGBA; 256 when their sizes differ.
int largest_difference(const QImage& a, const QImage& b);
// How many pixels differ by more than `tolerance` in any channel.
int pixels_differing(const QImage& a, const QImage& b, int tolerance);

// A picture of the size in `ground`, with what `paint` paints over it.
QImage painted(QSize size, const QColor& ground, const std::function<void(QPainter&)>& paint,
               QImage::Format format = QImage::Format_ARGB32_Premultiplied);

// The bytes of a file; empty when it cannot be read.
QByteArray file_bytes(const QString& path);

// Compares with tests/data/golden/NAME.png; on a mismatch writes NAME-actual, -expected and
// -difference pictures to the test folder. PAVO_UPDATE_GOLDEN=1 writes the golden instead.
::testing::AssertionResult matches_golden(const QImage& actual, const QString& name,
                                          int tolerance = 3);

// Writes FOLDER/NAME-actual, -expected and -difference pictures; returns FOLDER/NAME.
QString write_comparison(const QImage& actual, const QImage& expected, const QString& name,
                         const QString& folder);
// A fast route against its reference: at most `tolerance` in any channel, and at most
// `pixels` pixels differing by more than 2. On a mismatch writes the pictures to
// reference-failures/ (actual: the result, expected: the reference).
::testing::AssertionResult matches_reference(const QImage& actual, const QImage& reference,
                                             const QString& name, int tolerance = 0, int pixels = 0);
