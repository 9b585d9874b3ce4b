#pragma once

// The drawing as a picture on the clipboard, at one to four times the view's size. Once
// only, the view as it is displayed (its background, the drawing and the current tool's
// feedback); at a larger size the view's part of the drawing rendered again, its strokes
// over transparency and then over the background, as an export is.

#include "export_image.h"
#include "pavo_view.h"

#include <QImage>
#include <QMimeData>

#include <memory>

// What the view shows, tool feedback included, over the background colour if there is one.
QImage capture_view(PavoView& view, const std::optional<QColor>& background);

// The picture for a copy at the scale (1 to 4): the view's size times the scale, truncated.
Result<QImage> picture_at_scale(PavoView& view, const Strokes& strokes, const std::optional<QColor>& background,
                                float scale);

// Clipboard data holding the picture as image/png, and as image/tiff where Qt can write
// TIFF. Each is encoded only when a reader asks for it: a picture four times a large view
// costs seconds to encode, and most pastes want one type.
std::unique_ptr<QMimeData> picture_mime_data(QImage picture);
