#pragma once

// Printing what the view shows, fitted to one page: as vectors when every stroke can be
// drawn without the raster transfer, else as a bitmap of about three million pixels. The
// same painting goes to a printer, a print preview or a PDF file; the drawing is only read.

#include "export_image.h"

#include <QPainter>
#include <QRectF>
#include <QString>

// The bitmap printed for a view of that size: scaled to about three million pixels, never
// below the view's own resolution.
QSize print_bitmap_size(Size view);

// Paints the view's part of the drawing into `page` (device coordinates of the painter),
// as large as fits, centred: the background colour first, then the strokes.
Result<> print_drawing(QPainter& painter, const QRectF& page, const ExportSource& source);

// A one-page PDF, turned to landscape for a view wider than tall. The file is replaced only
// once it is complete.
Result<> print_to_pdf(const ExportSource& source, const QString& path);
