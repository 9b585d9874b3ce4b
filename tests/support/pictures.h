#pragma once

// Pictures for tests: small masks and bitmaps drawn as rows of characters, comparison of
// two pictures with a tolerance, and golden pictures kept in tests/data that, when they
// differ, are written out beside the actual picture and their difference for a look.

#include "bitmap.h"

#include <QImage>
#include <QString>
#include <QStringList>
#include <gtest/gtest.h>
#include <map>
#include <memory>
#include <ostream>

// A bitmap drawn as text, one string per row: '#' an opaque black pixel, '.' or ' ' a
// transparent one, any other character the colour `key` gives it (black when it has none).
using PictureKey = std::map<char, color_ns::Color>;
std::unique_ptr<Bitmap> bitmap_from_rows(const QStringList& rows, const PictureKey& key = {});
// The rows back: '#' where a pixel has any alpha, '.' elsewhere; for readable failures.
QStringList rows_of(const Bitmap& bitmap);

// A bitmap of one colour under a transformation.
std::unique_ptr<Bitmap> filled_bitmap(int width, int height, color_ns::Color color,
                                      const AffineTransform& transform = {});
// The bounding box of the pixels with any alpha (an empty rectangle for none).
Rect filled_bounds(const Bitmap& bitmap);
// How many pixels outside the pixel span of `world` differ from `background`: painting
// there leaves stale pixels in a view that redraws only the returned bounds.
int changed_outside(const Bitmap& bitmap, const Rect& world, color_ns::Color background);
// Rows print as text in failures.
inline void PrintTo(const QString& s, std::ostream* os)
{
    *os << '"' << s.toStdString() << '"';
}

// The largest difference of any channel between two pictures of the same size, after both
// are converted to premultiplied RGBA; 256 when their sizes differ.
int largest_difference(const QImage& a, const QImage& b);
// How many pixels differ by more than `tolerance` in any channel.
int pixels_differing(const QImage& a, const QImage& b, int tolerance);

// Compares `actual` with tests/data/golden/NAME.png. On a mismatch (more than `tolerance`
// in a channel) writes NAME-actual.png, NAME-expected.png and NAME-difference.png to the
// test output folder and says where. With PAVO_UPDATE_GOLDEN=1 in the environment it
// writes the golden picture instead and passes.
::testing::AssertionResult matches_golden(const QImage& actual, const QString& name,
                                          int tolerance = 3);
