#pragma once

// The command line's thumbnail for file managers: the drawing's saved view, scaled down to
// fit a square, as a PNG. A file manager runs it on whatever files it meets, so the file is
// read with the same limits as opening, no pen script is loaded, and a time limit stops a
// request that takes too long; a failed request writes nothing at all.

#include "geometry.h"
#include "result.h"

#include <QImage>
#include <QString>

#include <functional>

struct DocumentData;

// Seconds a request may take when PAVO_THUMBNAIL_SECONDS gives no other non-negative number.
constexpr double kThumbnailSeconds = 5;
double thumbnail_time_limit();

// The largest whole size within `largest` x `largest` with the view's proportions, never
// larger than the view itself and never below a pixel.
QSize thumbnail_size(Size view, int largest);

// What the drawing's saved view shows, at thumbnail_size over the drawing's background.
Result<QImage> render_thumbnail(const DocumentData& document, int largest);

// The exit status: 0, or 1 after one line on `errors` with no output file left behind.
int write_thumbnail_file(const QString& input, const QString& output, int largest,
                         const std::function<void(const QString&)>& errors);
