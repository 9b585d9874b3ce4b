// A crash at any step of a save leaves the complete old file or the complete new one, and the
// recovery copy readable: a child process saves a drawing of several MB and is killed with
// SIGKILL at each step. Fork wants a process of one thread, so this one only forks and waits;
// making, writing and reading drawings, which start threads, all happen in children.

#include "document_file.h"
#include "recovery.h"
#include "support/strokes.h"
#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <csignal>
#include <random>
#include <sys/wait.h>
#include <unistd.h>
using namespace document_file;
namespace {
int g_out = -1, g_times = 0; // where a child speaks; how often its stage passes before it stops
SaveStage g_stop = SaveStage::Begun;
QTemporaryDir g_dir;
QString in_dir(const char* name) { return g_dir.filePath(QLatin1StringView(name)); }
void say(const std::string& words) { if (::write(g_out, words.data(), words.size()) < 0) ::_exit(3); }
void stop_here(SaveStage stage) { if (stage == g_stop && --g_times == 0) for (say("stopped");;) ::pause(); }

// Runs `work` in a child, which speaks through say(): what it said, and whether it was killed,
// which with `kill_when_it_speaks` it is (SIGKILL) the moment it says anything.
std::pair<std::string, bool> in_child(const std::function<void()>& work, bool kill_when_it_speaks = false)
{
    QFile status(QStringLiteral("/proc/self/status"));
    EXPECT_TRUE(status.open(QIODevice::ReadOnly) && status.readAll().contains("\nThreads:\t1\n")) << "forks with threads";
    int ends[2];
    if (::pipe(ends) != 0) return {"no pipe", false};
    const pid_t pid = ::fork();
    if (pid == 0) ::close(ends[0]), g_out = ends[1], work(), ::_exit(0);
    ::close(ends[1]);
    std::string said = pid < 0 ? "no child" : "";
    char buffer[256];
    for (ssize_t n; pid > 0 && (n = ::read(ends[0], buffer, sizeof buffer)) > 0; said.append(buffer, std::size_t(n)))
        if (kill_when_it_speaks) ::kill(pid, SIGKILL);
    int code = 0;
    ::close(ends[0]);
    return {said, pid > 0 && ::waitpid(pid, &code, 0) == pid && WIFSIGNALED(code) && WTERMSIG(code) == SIGKILL};
}
// A picture of noise, which no compression shrinks, under a few hundred pen strokes.
DocumentData drawing(unsigned seed)
{
    std::mt19937 random(seed);
    QImage noise(1100, 1000, QImage::Format_ARGB32);
    for (uchar *p = noise.bits(), *end = p + noise.sizeInBytes(); p != end; ++p) *p = uchar(random());
    StrokeArray strokes{Stroke::withImage(noise, fill_stroke({{0, 0}, {1100, 1000}})->path(), 1)};
    std::uniform_real_distribution<float> at(0, 1000);
    for (int i = 0; i < 300; ++i) strokes.push_back(pen_stroke({{at(random), at(random)}, {at(random), at(random)}}));
    return {QColor(255, 255, 255), std::make_unique<Strokes>(std::move(strokes)), {}, {}};
}
QByteArray read_file(const QString& path) { QFile f(path); return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray(); }
// "old", "new", "none" or what else the file is, read by the program's reader.
std::string contents(const QString& path)
{
    const Result<DocumentData> load = loadDocument(path);
    const QByteArray bytes = read_file(path);
    return !QFile::exists(path) ? "none" : !load ? "unreadable: " + load.error().toStdString()
         : bytes == read_file(in_dir("1.expected")) ? "old" : bytes == read_file(in_dir("2.expected")) ? "new" : "other";
}
bool write_old(const QString& path) { return bool(writeFileAtomically(path, read_file(in_dir("1.expected")))); }
} // namespace

TEST(CrashAtSave, TheFileAndTheRecoveryCopyAreEachOldOrNew)
{
    ASSERT_EQ(in_child([] {
        for (const char* name : {"1.expected", "2.expected"}) {
            const Result<QByteArray> bytes = dataRepresentation(drawing(unsigned(name[0] - '0')));
            if (!bytes || !writeFileAtomically(in_dir(name), *bytes)) say("not made");
        }
    }).first, "");
    const int parts = int((QFileInfo(in_dir("2.expected")).size() + kWritePart - 1) / kWritePart);
    ASSERT_GE(parts, 4) << "a drawing that takes a while to write";
    const QString target = in_dir("drawing.pavo"), recovery = in_dir("Recovery");
    // Before the save that crashes, each child keeps a recovery copy till it dies; the path it
    // saves to, or none when the preparing failed.
    const struct { const char* name; std::function<QString(std::unique_ptr<RecoveryCopy>&)> prepare; const char *before, *after; } scenarios[] = {
        {"a file saved over, a copy kept", [&](auto& copy) { return (copy = RecoveryCopy::create(recovery)) && write_old(target)
            && writeFileAtomically(copy->path(), read_file(in_dir("2.expected"))) ? target : QString(); }, "old, copy new", "new, copy new"},
        {"a copy over the copy before", [&](auto& copy) { return (copy = RecoveryCopy::create(recovery)) && write_old(copy->path())
            ? copy->path() : QString(); }, "none, copy old", "none, copy new"},
        {"the first copy", [&](auto& copy) { return (copy = RecoveryCopy::create(recovery)) ? copy->path() : QString(); }, "none", "none, copy new"},
    };
    const struct { const char* name; SaveStage stage; int times = 1; bool replaced = false; } points[] = {
        {"before the temporary file", SaveStage::Begun}, {"temporary file empty", SaveStage::Opened},
        {"first part written", SaveStage::Written}, {"half written", SaveStage::Written, parts / 2},
        {"all written, not synced", SaveStage::Written, parts}, {"synced, not renamed", SaveStage::Synced},
        {"renamed", SaveStage::Renamed, 1, true}};
    for (const auto& scenario : scenarios)
        for (const auto& point : points) {
            SCOPED_TRACE(std::string(scenario.name) + ", " + point.name);
            QDir(recovery).removeRecursively(), QFile::remove(target);
            const auto [said, killed] = in_child([&] {
                std::unique_ptr<RecoveryCopy> copy;
                const QString path = scenario.prepare(copy);
                g_stop = point.stage, g_times = point.times, save_stage_reached = stop_here;
                if (!path.isEmpty() && saveDocument(path, drawing(2))) say("saved, ");
                say("not stopped");
            }, true);
            EXPECT_TRUE(said == "stopped" && killed) << said;
            // The saved file, and the copies the next start would offer.
            EXPECT_EQ(in_child([&] {
                std::string words = contents(target);
                for (const QString& copy : left_over_copies(recovery)) words += ", copy " + contents(copy);
                say(words);
            }).first, point.replaced ? scenario.after : scenario.before);
        }
}
