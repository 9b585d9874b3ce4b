#pragma once

// An export that runs away from the window's thread: the list of strokes, the view's
// transformation and size and the background are copied when the job is made, so
// the window can go on painting while the job renders, and a cancelled job writes nothing at
// all. The strokes themselves are shared, not copied: nothing may edit them until the job
// has ended.

#include "export_image.h"

#include <atomic>
#include <memory>

struct ExportRequest {
    QString path;
    ImageFormat format = ImageFormat::Png;
    int width = 0;
    int height = 0;
    ExportOptions options;
};

class ExportJob {
    struct Passkey {};

public:
    // Copies the list and the view's geometry; the view's pixels are not needed.
    static std::unique_ptr<ExportJob> create(const ExportSource& source);

    // Renders, encodes and writes the file. Once `cancelled` is set it stops before the file
    // is touched and succeeds, leaving whatever was at the path as it was.
    Result<> run(const ExportRequest& request, const std::atomic<bool>& cancelled) const;

    ExportJob(Passkey, Strokes strokes, ViewGeometry view, std::optional<QColor> background)
        : _strokes(std::move(strokes)), _view(view), _background(std::move(background))
    {
    }

private:
    Strokes _strokes;
    ViewGeometry _view;
    std::optional<QColor> _background;
};
