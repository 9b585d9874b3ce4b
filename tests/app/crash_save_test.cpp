// A crash at any step of a save leaves the complete old file or the complete new one, and
// the recovery copy readable: a child process saves a drawing of several MB and is killed
// with SIGKILL at each step. Fork wants a process of one thread, so this one only forks
// and waits; building, writing and reading the drawings, which start threads, all happen
// in children.

#include "document_file.h"
#include "recovery.h"
#include "support/strokes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <fstream>
#include <functional>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

using namespace document_file;

namespace {

int threads_of_this_process()
{
    std::ifstream status("/proc/self/status");
    std::string key;
    int count = 0;
    while (status >> key && key != "Threads:") status.ignore(1 << 16, '\n');
    status >> count;
    return count;
}

struct ChildRun {
    std::string said;
    bool killed = false;
};

// Runs `work` in a child process, which writes what it has to say to the descriptor it is
// given. With `kill_when_it_speaks` the child is killed the moment it says anything.
ChildRun in_child(const std::function<void(int)>& work, bool kill_when_it_speaks = false)
{
    EXPECT_EQ(threads_of_this_process(), 1) << "a process with threads forks unsafely";
    int pipe_ends[2];
    if (::pipe(pipe_ends) != 0) return {"no pipe"};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::close(pipe_ends[0]);
        work(pipe_ends[1]);
        ::_exit(0);
    }
    ::close(pipe_ends[1]);
    ChildRun run{pid < 0 ? "no child" : ""};
    char buffer[256];
    for (ssize_t n; pid > 0 && (n = ::read(pipe_ends[0], buffer, sizeof buffer)) > 0;) {
        run.said.append(buffer, std::size_t(n));
        if (kill_when_it_speaks) ::kill(pid, SIGKILL);
    }
    ::close(pipe_ends[0]);
    int status = 0;
    if (pid > 0 && ::waitpid(pid, &status, 0) == pid)
        run.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    return run;
}

void say(int out, const std::string& words)
{
    if (::write(out, words.data(), words.size()) < 0) ::_exit(3);
}

// A picture of noise, which no compression shrinks, under a few hundred pen strokes.
DocumentData drawing(unsigned seed)
{
    std::mt19937 random(seed);
    QImage noise(1100, 1000, QImage::Format_ARGB32);
    for (int y = 0; y < noise.height(); ++y)
        for (int x = 0; x < noise.width(); ++x) noise.setPixel(x, y, QRgb(random()));
    StrokeArray strokes{Stroke::withImage(noise, fill_stroke({{0, 0}, {1100, 1000}})->path(), 1)};
    std::uniform_real_distribution<float> at(0, 1000);
    for (int i = 0; i < 300; ++i) strokes.push_back(pen_stroke({{at(random), at(random)}, {at(random), at(random)}}));
    return {QColor(255, 255, 255), std::make_unique<Strokes>(std::move(strokes)), {}, {}};
}

QByteArray read_file(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Where a save stops: told of the stage, the child says so and waits to be killed.
int g_out = -1;
SaveStage g_stop = SaveStage::Begun;
int g_times = 0;

void stop_here(SaveStage stage)
{
    if (stage != g_stop || --g_times > 0) return;
    say(g_out, "stopped");
    for (;;) ::pause();
}

// Before the save that crashes: the copy the child keeps (it is removed with it) and the
// path it saves to.
struct Prepared {
    std::unique_ptr<RecoveryCopy> copy;
    QString path;
};

class CrashAtSave : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        // The two drawings' files, made once, as every save below makes them.
        const ChildRun made = in_child([](int out) {
            for (const unsigned seed : {1u, 2u}) {
                const Result<QByteArray> bytes = dataRepresentation(drawing(seed));
                if (!bytes || !writeFileAtomically(expected(seed), *bytes)) say(out, "not made");
            }
        });
        ASSERT_EQ(made.said, "");
    }
    static QString expected(unsigned seed) { return files.filePath(QStringLiteral("%1.expected").arg(seed)); }
    static Result<> write_old(const QString& path) { return writeFileAtomically(path, read_file(expected(1))); }
    QString target() const { return dir.filePath(QStringLiteral("drawing.pavo")); }
    QString recovery() const { return dir.filePath(QStringLiteral("Recovery")); }

    // The points a crash is tried at, and whether the new file is in place by then.
    struct CrashPoint {
        const char* name;
        SaveStage stage;
        int times = 1;
        bool replaced = false;
    };
    static std::vector<CrashPoint> crash_points()
    {
        const int parts = int((QFileInfo(expected(2)).size() + kWritePart - 1) / kWritePart);
        EXPECT_GE(parts, 4) << "a drawing that takes a while to write";
        return {{"before the temporary file", SaveStage::Begun}, {"temporary file empty", SaveStage::Opened},
                {"first part written", SaveStage::Written}, {"half written", SaveStage::Written, parts / 2},
                {"all written, not synced", SaveStage::Written, parts}, {"synced, not renamed", SaveStage::Synced},
                {"renamed", SaveStage::Renamed, 1, true}};
    }

    // Saves the new drawing in a child, after `prepare`, killing it where the save reaches
    // the crash point; then what the saved path and the copies left over hold.
    std::string crash(const CrashPoint& point, const std::function<Prepared()>& prepare)
    {
        QDir(recovery()).removeRecursively();
        QFile::remove(target());
        const ChildRun run = in_child([&](int out) {
            const Prepared prepared = prepare();
            g_out = out, g_stop = point.stage, g_times = point.times;
            save_stage_reached = stop_here;
            if (!prepared.path.isEmpty() && saveDocument(prepared.path, drawing(2))) say(out, "saved, ");
            say(out, "not stopped");
        }, true);
        EXPECT_EQ(run.said, "stopped");
        EXPECT_TRUE(run.killed);
        return found();
    }
    // The saved file's contents and those of the copies the next start would offer.
    std::string found() const
    {
        return in_child([this](int out) {
            std::string words = contents(target());
            for (const QString& copy : left_over_copies(recovery())) words += ", copy " + contents(copy);
            say(out, words);
        }).said;
    }
    // "old", "new", "none" or what else the file is, read by the program's reader.
    static std::string contents(const QString& path)
    {
        if (!QFile::exists(path)) return "none";
        const Result<DocumentData> load = loadDocument(path);
        if (!load) return "unreadable: " + load.error().toStdString();
        const QByteArray bytes = read_file(path);
        return bytes == read_file(expected(1)) ? "old" : bytes == read_file(expected(2)) ? "new" : "other";
    }

    static QTemporaryDir files;
    QTemporaryDir dir;
};

QTemporaryDir CrashAtSave::files;

} // namespace

// Saving over a file while a recovery copy of the edits is kept.
TEST_F(CrashAtSave, TheFileIsOldOrNewAndTheCopyStaysReadable)
{
    for (const CrashPoint& point : crash_points()) {
        SCOPED_TRACE(point.name);
        EXPECT_EQ(crash(point, [this] {
            Prepared p{RecoveryCopy::create(recovery()), target()};
            if (!write_old(target()) || !p.copy || !writeFileAtomically(p.copy->path(), read_file(expected(2))))
                p.path.clear();
            return p;
        }), point.replaced ? "new, copy new" : "old, copy new");
    }
}

// Writing a recovery copy over the one before, and the first copy of a drawing.
TEST_F(CrashAtSave, TheRecoveryCopyIsOldOrNew)
{
    for (const CrashPoint& point : crash_points()) {
        SCOPED_TRACE(point.name);
        EXPECT_EQ(crash(point, [this] {
            Prepared p{RecoveryCopy::create(recovery()), {}};
            if (p.copy && write_old(p.copy->path())) p.path = p.copy->path();
            return p;
        }), point.replaced ? "none, copy new" : "none, copy old");
        EXPECT_EQ(crash(point, [this] {
            Prepared p{RecoveryCopy::create(recovery()), {}};
            if (p.copy) p.path = p.copy->path();
            return p;
        }), point.replaced ? "none, copy new" : "none");
    }
}
