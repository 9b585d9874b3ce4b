#include "thumbnail.h"

#include "document_file.h"
#include "export_image.h"
#include "phase_timings.h"
#include "png_writer.h"
#include "window_frame.h"
#include "work_pool.h"

#include <QFileInfo>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <vector>

namespace {

// A drawing saved without a frame opens at the size a new window has.
constexpr Size kUnframedView{800, 600};

// Whoever comes first, the request writing its file or the limit running out, decides: a
// file is never begun once the limit has passed, and a limit never stops a file half written.
class Watchdog {
public:
    explicit Watchdog(double seconds, QString message)
        : _deadline(std::chrono::steady_clock::now() +
                    std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                        std::chrono::duration<double>(seconds))),
          _message(std::move(message)), _thread([this] { watch(); })
    {
    }
    ~Watchdog()
    {
        {
            const std::lock_guard lock(_mutex);
            _done = true;
        }
        _wake.notify_one();
        _thread.join();
    }
    // True when the request may write its file, which the limit then no longer stops; false
    // when the limit has passed. Should the watchdog have stopped the request first, it is
    // ending the process, and this waits for that.
    bool claim()
    {
        const State next = std::chrono::steady_clock::now() >= _deadline ? State::Stopped : State::Writing;
        State running = State::Running;
        if (_state.compare_exchange_strong(running, next)) return next == State::Writing;
        for (;;) std::this_thread::sleep_for(std::chrono::hours(1));
    }

private:
    enum class State { Running, Writing, Stopped };

    void watch()
    {
        std::unique_lock lock(_mutex);
        if (_wake.wait_until(lock, _deadline, [this] { return _done; })) return;
        State running = State::Running;
        if (!_state.compare_exchange_strong(running, State::Stopped)) return;
        // Rendering cannot be interrupted halfway, and nothing has been written yet.
        std::fprintf(stderr, "%s\n", qPrintable(_message));
        std::fflush(stderr);
        std::_Exit(1);
    }

    const std::chrono::steady_clock::time_point _deadline;
    const QString _message;
    std::atomic<State> _state{State::Running};
    std::mutex _mutex;
    std::condition_variable _wake;
    bool _done = false;
    std::thread _thread;
};

ViewGeometry saved_view(const DocumentData& document)
{
    const auto frame = document.window_frame ? parse_window_frame(*document.window_frame) : std::nullopt;
    const Size size = frame ? frame->viewSize() : kUnframedView;
    const AffineTransform t = document.view_transform.value_or(AffineTransform::identity());
    return {size, t.inverted() ? t : AffineTransform::identity()};
}

// The saved view seen at `size`, framed as an export at that size frames it.
std::optional<ViewGeometry> view_at_size(const ViewGeometry& view, QSize size)
{
    const Size at{float(size.width()), float(size.height())};
    const std::optional<AffineTransform> t = transform_at_size(view, at);
    if (!t) return std::nullopt;
    return ViewGeometry{at, *t};
}

// A thumbnail is too small for the export's bands to share it between the cores, so it is
// cut into strips of its own, each rendered as a view of its rows.
Result<QImage> render_in_strips(const DocumentData& document, const ViewGeometry& view)
{
    const int width = int(view.size().width), height = int(view.size().height);
    QImage picture(width, height, QImage::Format_RGBA8888_Premultiplied);
    if (picture.isNull()) return Failure{QStringLiteral("There is not enough memory for the picture.")};
    // Shapes are built once here, so the strips only read them.
    for (const StrokePtr& stroke : document.strokes->strokeArray()) stroke->prepareToDraw();
    const int strips = std::min(core_count(), height), rows = (height + strips - 1) / strips;
    std::vector<Result<QImage>> parts(std::size_t(strips), Failure{QString()});
    run_parts(strips, [&](int i) {
        const int top = i * rows, count = std::min(rows, height - top);
        if (count <= 0) return;
        const ViewGeometry strip{{float(width), float(count)},
                                 AffineTransform::translation(0, -float(top)).after(view.transform())};
        const ExportSource source{*document.strokes, strip, document.background_color};
        parts[std::size_t(i)] = render_drawing(source, width, count, true);
    });
    for (int i = 0; i < strips && i * rows < height; ++i) {
        const Result<QImage>& part = parts[std::size_t(i)];
        if (!part) return Failure{part.error()};
        for (int y = 0; y < part->height(); ++y)
            std::memcpy(picture.scanLine(i * rows + y), part->constScanLine(y), std::size_t(width) * 4);
    }
    return picture;
}

} // namespace

double thumbnail_time_limit()
{
    bool ok = false;
    const double seconds = qEnvironmentVariable("PAVO_THUMBNAIL_SECONDS").toDouble(&ok);
    return ok && seconds >= 0 && std::isfinite(seconds) ? seconds : kThumbnailSeconds;
}

QSize thumbnail_size(Size view, int largest)
{
    const double scale = std::min({1.0, double(largest) / view.width, double(largest) / view.height});
    const auto side = [scale](float length) { return std::max(1, int(std::lround(length * scale))); };
    return {side(view.width), side(view.height)};
}

Result<QImage> render_thumbnail(const DocumentData& document, int largest)
{
    const ViewGeometry view = saved_view(document);
    const auto shown = view_at_size(view, thumbnail_size(view.size(), largest));
    if (!shown) return Failure{QStringLiteral("The drawing's saved view cannot be shown.")};
    return render_in_strips(document, *shown);
}

int write_thumbnail_file(const QString& input, const QString& output, int largest,
                         const std::function<void(const QString&)>& errors)
{
    const double seconds = thumbnail_time_limit();
    Watchdog watchdog(seconds, QStringLiteral("pavo: no thumbnail of %1: it took longer than %2 seconds")
                                   .arg(input)
                                   .arg(seconds));
    const auto fail = [&](const QString& why) {
        errors(QStringLiteral("pavo: no thumbnail of %1: %2").arg(input, why).simplified());
        return 1;
    };
    mark_phase("start-up");
    const Result<DocumentData> document = loadDocument(input);
    if (!document) return fail(document.error());
    mark_phase("reading");
    const Result<QImage> picture = render_thumbnail(*document, largest);
    if (!picture) return fail(picture.error());
    mark_phase("rendering");
    const Result<QByteArray> bytes = encode_png(*picture);
    if (!bytes) return fail(bytes.error());
    mark_phase("encoding");
    if (!watchdog.claim()) return fail(QStringLiteral("it took longer than %1 seconds").arg(seconds));
    const Result<> written = write_file_atomically(output, *bytes);
    mark_phase("writing");
    return written ? 0 : fail(written.error());
}
