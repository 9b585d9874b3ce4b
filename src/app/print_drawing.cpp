#include "print_drawing.h"

#include <QCoreApplication>
#include <QSaveFile>
#include <QPdfWriter>

#include <cmath>

QSize print_bitmap_size(Size view)
{
    const float s = std::max(1.0f, std::sqrt(3000000.0f / view.width / view.height));
    return {int(view.width * s), int(view.height * s)};
}

Result<> print_drawing(QPainter& painter, const QRectF& page, const ExportSource& source)
{
    const Size view = source.view.size();
    if (view.width < 1 || view.height < 1 || page.isEmpty())
        return Failure{QCoreApplication::translate("Pavo", "There is no room on the page to print on.")};
    const double fit = std::min(page.width() / double(view.width), page.height() / double(view.height));
    const QRectF shown(0, 0, view.width, view.height);

    // Render before the painter changes, so that a failure leaves the page blank.
    QImage bitmap;
    const bool vectors = source.strokes.canVectorDraw();
    if (!vectors) {
        const QSize size = print_bitmap_size(view);
        Result<QImage> rendered = render_drawing(source, size.width(), size.height(), true);
        if (!rendered) return Failure{rendered.error()};
        bitmap = std::move(*rendered);
    }

    painter.save();
    painter.translate(page.center());
    painter.scale(fit, fit);
    painter.translate(-view.width / 2.0, -view.height / 2.0);
    painter.setClipRect(shown);
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    if (vectors) {
        if (source.background) painter.fillRect(shown, *source.background);
        // The view's transformation on the painter scales line widths with the drawing, as
        // the canvas does; the strokes themselves stay as they are.
        painter.setWorldTransform(source.view.transform().toQTransform(), true);
        for (const StrokePtr& stroke : source.strokes.strokeArray()) stroke->draw(painter);
    } else {
        painter.drawImage(shown, bitmap);
    }
    painter.restore();
    return {};
}

Result<> print_to_pdf(const ExportSource& source, const QString& path)
{
    // Straight into the file: a large drawing's PDF runs to a hundred megabytes.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return Failure{QCoreApplication::translate("Pavo", "%1 cannot be written: %2").arg(path, file.errorString())};
    {
        QPdfWriter pdf(&file);
        const Size view = source.view.size();
        pdf.setPageOrientation(view.width > view.height ? QPageLayout::Landscape : QPageLayout::Portrait);
        pdf.setCreator(QStringLiteral("Pavo"));
        QPainter painter;
        if (!painter.begin(&pdf)) return Failure{QCoreApplication::translate("Pavo", "The PDF for %1 could not be started.").arg(path)};
        const QRect page = pdf.pageLayout().paintRectPixels(pdf.resolution());
        const Result<> printed = print_drawing(painter, QRectF(QPointF(0, 0), page.size()), source);
        painter.end();
        if (!printed) return printed;
    }
    if (!file.commit()) return Failure{QCoreApplication::translate("Pavo", "%1 could not be written: %2").arg(path, file.errorString())};
    return {};
}
