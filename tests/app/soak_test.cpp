// A long random editing session through the document controller, the way menus and event
// scripts drive it, checking what must always hold: the selection holds only strokes of the
// drawing; undoing every step gives back the drawing the history started from, byte for byte,
// and redoing them the drawing as it was; a save and reopen renders the same pixels.
// PAVO_SOAK_SEED picks another session, PAVO_SOAK_OPS its length (scripts/soak: the long one).

#include "archive.h"
#include "export_image.h"
#include "fakes.h"
#include "pavo_document.h"
#include "pictures.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <sys/resource.h>
#include <unordered_set>

namespace {

constexpr Size kView{160, 120};
// How often the whole history is undone and redone; it grows until a reopen clears it.
constexpr int kHistoryCheckEvery = 25;

struct SoakShell : DocumentShell { MemoryClipboard board; Clipboard* clipboard() override { return &board; } };

unsigned long env_number(const char* name, unsigned long fallback)
{
    return std::getenv(name) ? std::strtoul(std::getenv(name), nullptr, 10) : fallback;
}

struct Session {
    SoakShell shell;
    FakeDisplay display;
    RecordingAlerts alerts;
    std::unique_ptr<PavoDocument> doc = PavoDocument::create(shell, display, kView, alerts);
    QTemporaryDir dir;
    std::mt19937 random;
    std::vector<std::string> ops;
    QByteArray start; // the drawing the undo history starts from

    float uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(random); }
    int pick(int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); }
    Point at() { return {uniform(0, kView.width), uniform(0, kView.height)}; }
    QByteArray bytes() const { return archive::to_bytes(doc->strokes().encode()); }
    QImage picture() { return render_drawing(doc->outputSource(), 80, 60, true).take().value_or(QImage()); }
    void note(const std::string& what, const std::vector<Point>& at = {})
    {
        ops.push_back(what);
        for (const Point p : at) ops.back() += " " + std::to_string(p.x) + "," + std::to_string(p.y);
    }
    // Down, a few moves with a wandering pressure, up.
    void gesture(const std::string& what, unsigned mods, int moves)
    {
        const Point a = at(), b = at();
        note(what, {a, b});
        doc->mouseDown({a, uniform(0.2f, 1), mods});
        for (int i = 1; i <= moves; ++i) doc->mouseDragged({a + (b - a) * (float(i) / float(moves)), uniform(0.2f, 1), mods});
        doc->mouseUp({b, 0, mods});
    }
    void menu(const char* action) { note(action); doc->perform(QString::fromLatin1(action)); }
    void repeat(const char* what, void (PavoDocument::*step)())
    {
        const int n = 1 + pick(6);
        note(what + std::to_string(n));
        for (int i = 0; i < n; ++i) ((*doc).*step)();
    }
    // Empty when it holds, else what went wrong.
    std::string selectionInDrawing() const
    {
        std::unordered_set<const Stroke*> present, seen;
        for (const StrokePtr& s : doc->strokes().strokeArray()) present.insert(s.get());
        for (const StrokePtr& s : doc->drawing().selection())
            if (!present.contains(s.get()) || !seen.insert(s.get()).second) return "the selection holds a stroke not in the drawing, or one twice";
        return {};
    }
    std::string wholeHistory()
    {
        const QByteArray end = bytes();
        int steps = 0;
        for (; doc->undoManager().canUndo(); ++steps) doc->undo();
        if (bytes() != start) return "undoing all " + std::to_string(steps) + " steps does not give the starting drawing";
        // Only the steps undone here: steps undone before are still there to redo.
        for (int i = 0; i < steps; ++i) doc->redo();
        return bytes() == end ? std::string() : "redoing every step does not give the end state";
    }
    void saveAndReopen()
    {
        note("save and reopen");
        const QImage before = picture();
        const QString path = dir.filePath(QStringLiteral("soak.pavo"));
        if (!doc->saveTo(path) || !doc->read(path)) fault = "the save or the reopen failed";
        start = bytes();
        if (const int n = pixels_differing(before, picture(), 0); n > 0)
            fault = std::to_string(n) + " pixels differ after a save and reopen";
    }
    std::string fault; // what a step found wrong
};

struct Operation { const char* name; int weight; void (*run)(Session&); };

const Operation kOperations[] = {
    {"pen stroke", 24, [](Session& s) {
         const QStringList types = s.doc->pen().penTypeNames();
         const QString type = types.at(s.pick(int(types.size())));
         s.doc->setPenTypeName(type);
         s.doc->setPenColor(QColor::fromHsv(s.pick(360), 200, 200, 80 + s.pick(176)));
         s.doc->setTool(&s.doc->pen());
         s.gesture("pen " + type.toStdString(), 0, 1 + s.pick(8));
     }},
    {"fill", 4, [](Session& s) { s.doc->setTool(&s.doc->fill()); s.gesture("fill", 0, 0); }},
    {"place picture", 2, [](Session& s) {
         QImage image(4 + s.pick(12), 4 + s.pick(12), QImage::Format_ARGB32);
         image.fill(QColor::fromHsv(s.pick(360), 255, 255));
         const Point c = s.at();
         s.note("place", {c});
         (void)s.doc->placeImage(image, c);
     }},
    {"arrow drag", 14, [](Session& s) {
         static constexpr unsigned mods[] = {0, kShiftKey, kCommandKey};
         static const char* const names[] = {"arrow", "arrow shift", "arrow command"};
         const int m = s.pick(4) % 3; // plain twice as often
         s.doc->setTool(&s.doc->arrow());
         s.gesture(names[m], mods[m], 1 + s.pick(3));
     }},
    {"select all", 3, [](Session& s) { s.doc->setTool(&s.doc->arrow()); s.menu("selectAll:"); }},
    {"delete", 4, [](Session& s) { s.menu("delete:"); }},
    {"arrange", 4, [](Session& s) {
         static const char* const orders[] = {"bringForward:", "bringToFront:", "sendBackward:", "sendToBack:"};
         s.menu(orders[s.pick(4)]);
     }},
    {"merge", 3, [](Session& s) { s.menu("mergeStrokes:"); }},
    {"duplicate", 3, [](Session& s) { s.menu("duplicate:"); }},
    {"copy", 3, [](Session& s) { s.menu("copy:"); }},
    {"cut", 2, [](Session& s) { s.menu("cut:"); }},
    {"paste", 4, [](Session& s) { s.menu("paste:"); }},
    {"clear", 1, [](Session& s) { s.menu("clear:"); }},
    {"undo", 10, [](Session& s) { s.repeat("undo ", &PavoDocument::undo); }},
    {"redo", 6, [](Session& s) { s.repeat("redo ", &PavoDocument::redo); }},
    {"save and reopen", 1, [](Session& s) { s.saveAndReopen(); }},
};

TEST(Soak, ARandomSessionKeepsSelectionHistoryAndFilesRight)
{
    const unsigned long seed = env_number("PAVO_SOAK_SEED", 1);
    const unsigned long count = env_number("PAVO_SOAK_OPS", 1000);
    Session s;
    ASSERT_TRUE(s.doc);
    s.random.seed(seed);
    s.start = s.bytes();
    std::vector<int> weights;
    for (const Operation& op : kOperations) weights.push_back(op.weight);
    std::discrete_distribution<int> choose(weights.begin(), weights.end());
    const auto began = std::chrono::steady_clock::now();
    for (unsigned long step = 0; step < count; ++step) {
        kOperations[choose(s.random)].run(s);
        std::string fault = s.fault.empty() ? s.selectionInDrawing() : s.fault;
        if (fault.empty() && step % kHistoryCheckEvery == kHistoryCheckEvery - 1) fault = s.wholeHistory();
        if (fault.empty()) continue;
        std::string recent;
        for (std::size_t i = s.ops.size() > 40 ? s.ops.size() - 40 : 0; i < s.ops.size(); ++i) recent += "\n  " + s.ops[i];
        FAIL() << "seed " << seed << ", step " << step << ": " << fault << " (PAVO_SOAK_SEED=" << seed
               << " PAVO_SOAK_OPS=" << step + 1 << " repeats it); the last operations:" << recent;
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("soak: seed %lu, %lu operations in %.1f s, %.0f per second, peak memory %.0f MB\n", seed, count,
                seconds, double(count) / seconds, double(usage.ru_maxrss) / 1024);
}

} // namespace
