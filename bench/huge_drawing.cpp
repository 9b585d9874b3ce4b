// Takes a drawing far larger than anyone draws through the program's own document: COUNT pen
// strokes of 100 samples, or one pen stroke of COUNT samples, is written as a file, opened,
// rendered in a 1920 x 1080 view, saved, cleared and brought back by undo, exported as PNG,
// and the saved file opened once more to see that every sample came back.
//
//   pavo_huge_drawing strokes|samples COUNT [FOLDER]
//
// Prints one line per phase: its wall seconds, the resident memory after it and the peak so
// far (MB). bench/huge_drawings.sh runs it at several sizes to show how memory grows.

#include "document_shell.h"
#include "export_image.h"
#include "large_drawing.h"
#include "pavo_document.h"

#include <QDir>
#include <QFileInfo>
#include <QString>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <malloc.h>
#include <string>

namespace {

struct Quiet : ViewDisplay, ScriptAlerts, DocumentShell {
    void setNeedsDisplayInRect(const Rect&) override {}
    void setNeedsDisplay() override {}
    void refreshCursor() override {}
    void show(const QString& title, const QString& message) override
    {
        std::fprintf(stderr, "alert: %s: %s\n", qPrintable(title), qPrintable(message));
    }
};

// VmRSS or VmHWM of this process in MB.
double memory_mb(const std::string& field)
{
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);)
        if (line.rfind(field + ":", 0) == 0) return std::stod(line.substr(field.size() + 1)) / 1024.0;
    return 0;
}

class Phases {
public:
    void done(const char* phase)
    {
        const auto now = std::chrono::steady_clock::now();
        std::printf("%-8s %8.3f s  %8.1f MB  peak %8.1f MB\n", phase,
                    std::chrono::duration<double>(now - _start).count(), memory_mb("VmRSS"), memory_mb("VmHWM"));
        std::fflush(stdout);
        _start = std::chrono::steady_clock::now();
    }

private:
    std::chrono::steady_clock::time_point _start = std::chrono::steady_clock::now();
};

long long sample_count(const Strokes& strokes)
{
    long long n = 0;
    for (const StrokePtr& s : strokes.strokeArray()) n += s->penPoints() ? s->penPoints()->count() : 0;
    return n;
}

// Strokes of 100 samples, or one stroke of `count`, in random opaque colours.
Result<> write_drawing(const QString& path, bool one_stroke, int count)
{
    std::mt19937 random(2024);
    StrokeArray strokes;
    for (int i = 0; i < (one_stroke ? 1 : count); ++i) {
        const QColor color(int(random() % 256), int(random() % 256), int(random() % 256));
        StrokePtr s = Stroke::withPenPoints(wandering_stroke(random, one_stroke ? count : kSamplesPerStroke), color, 0, 1);
        if (!s) return Failure{QStringLiteral("a generated stroke cannot be built")};
        strokes.push_back(std::move(s));
    }
    DocumentData data;
    data.background_color = QColor(Qt::white);
    data.strokes = std::make_unique<Strokes>(std::move(strokes));
    return saveDocument(path, data);
}

int fail(const QString& what)
{
    std::fprintf(stderr, "pavo_huge_drawing: %s\n", qPrintable(what));
    return 1;
}

} // namespace

int main(int argc, char* argv[])
{
    const std::string kind = argc >= 3 ? argv[1] : "";
    const int count = argc >= 3 ? std::atoi(argv[2]) : 0;
    if (argc < 3 || argc > 4 || (kind != "strokes" && kind != "samples") || count < 1) {
        std::fprintf(stderr, "usage: pavo_huge_drawing strokes|samples COUNT [FOLDER]\n");
        return 2;
    }
    const QDir folder(argc == 4 ? QString::fromLocal8Bit(argv[3]) : QDir::tempPath());
    const QString written = folder.filePath(QStringLiteral("huge-written.pavo"));
    const QString saved = folder.filePath(QStringLiteral("huge-saved.pavo"));
    Phases phases;
    if (Result<> w = write_drawing(written, kind == "samples", count); !w) return fail(w.error());
    // What writing built is freed; giving it back lets the phases below show what the
    // program itself holds.
    malloc_trim(0);
    phases.done("write");

    Quiet quiet;
    const std::unique_ptr<PavoDocument> doc = PavoDocument::create(quiet, quiet, {1920, 1080}, quiet);
    if (!doc) return fail(QStringLiteral("no document"));
    phases.done("start");
    if (Result<> r = doc->read(written); !r) return fail(r.error());
    const int strokes = doc->strokes().count();
    const long long samples = sample_count(doc->strokes());
    if (strokes != (kind == "samples" ? 1 : count)) return fail(QStringLiteral("the written drawing opens without some strokes"));
    phases.done("open");
    doc->view().zoomToFit();
    doc->view().ensureCanvasUpToDate();
    phases.done("render");
    if (Result<> s = doc->saveTo(saved); !s) return fail(s.error());
    phases.done("save");
    doc->perform(QStringLiteral("clear:"));
    doc->view().ensureCanvasUpToDate();
    doc->undo();
    doc->view().ensureCanvasUpToDate();
    if (doc->strokes().count() != strokes) return fail(QStringLiteral("undoing the clear lost strokes"));
    phases.done("undo");
    const QString png = folder.filePath(QStringLiteral("huge.png"));
    if (Result<> e = export_drawing(doc->outputSource(), png, 1920, 1080); !e) return fail(e.error());
    phases.done("export");
    const Result<DocumentData> again = loadDocument(saved);
    if (!again) return fail(again.error());
    if (again->strokes->count() != strokes || sample_count(*again->strokes) != samples)
        return fail(QStringLiteral("the saved drawing does not open with all its strokes and samples"));
    phases.done("reopen");
    std::printf("%d strokes, %lld samples, file %.1f MB\n", strokes, samples, double(QFileInfo(saved).size()) / 1e6);
    QFile::remove(written);
    QFile::remove(saved);
    QFile::remove(png);
    return 0;
}
