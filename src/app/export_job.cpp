#include "export_job.h"

#include "vector_export.h"

std::unique_ptr<ExportJob> ExportJob::create(const ExportSource& source)
{
    return std::make_unique<ExportJob>(Passkey{}, Strokes(source.strokes.strokeArray()), source.view,
                                       source.background);
}

Result<> ExportJob::run(const ExportRequest& request, const std::atomic<bool>& cancelled) const
{
    const ExportSource source{_strokes, _view, _background};
    if (const auto vector = vector_format(request.format))
        return cancelled ? Result<>{} : export_vector(source, request.width, request.height, *vector, request.path);
    const Result<QImage> picture =
        render_drawing(source, request.width, request.height, format_is_transparent(request.format));
    if (cancelled) return {};
    if (!picture) return Failure{picture.error()};
    const Result<QByteArray> bytes = encode_image(*picture, request.format, request.options);
    if (cancelled) return {};
    if (!bytes) return Failure{bytes.error()};
    return write_file_atomically(request.path, *bytes);
}
