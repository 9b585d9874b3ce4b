#include "replay.h"

#include <QProcess>
#include <QRegularExpression>

#include <map>

ReplayRun ReplayTest::replay(const QString& script, const std::optional<QString>& document,
                             const std::optional<Size>& viewSize, const QString& root)
{
    // Only an '@' that begins a field names a file in the folder.
    static const QRegularExpression at(QStringLiteral("(^|[ \\t])@"),
                                       QRegularExpression::MultilineOption);
    const QString text = QString(script).replace(at, QStringLiteral("\\1") + dir.path() + u'/');
    const Result<EventScript> parsed = parse_event_script(text);
    if (!parsed) return {kReplayMalformed, {parsed.error()}};
    ReplayRun run;
    ReplayOptions options;
    options.viewSize = viewSize;
    options.document = document;
    options.resourceRoot = root;
    run.status = replay_event_script(*parsed, options, [&run](const QString& e) { run.errors << e; });
    return run;
}

QImage ReplayTest::picture(const QString& script, const QString& name, const std::optional<QString>& document)
{
    const ReplayRun run = replay(script + QStringLiteral("\nexport @") + name + u'\n', document);
    EXPECT_EQ(run.status, kReplayOk) << run.report();
    return run.status == kReplayOk ? exported(name) : QImage();
}

QImage ReplayTest::exported(const QString& name) const
{
    const QImage image(path(name));
    EXPECT_FALSE(image.isNull()) << "no picture " << name.toStdString();
    return image.convertToFormat(QImage::Format_ARGB32);
}

void ReplayTest::expectPixels(std::initializer_list<Pixel> pixels) const
{
    std::map<QString, QImage> pictures;
    for (const Pixel& p : pixels) {
        const QString file = QString::fromUtf8(p.file);
        if (!pictures.count(file)) pictures[file] = exported(file);
        const QRgb got = pictures[file].pixel(p.x, p.y);
        EXPECT_TRUE(p.colour == 0 ? qAlpha(got) == 0 : got == p.colour)
            << p.file << " at " << p.x << "," << p.y << " is " << std::hex << got << " not " << p.colour << " " << p.why;
    }
}

QString drag(Point from, Point to, int steps, const QString& mods)
{
    QString s = QStringLiteral("down %1 %2 1 %3\n").arg(from.x).arg(from.y).arg(mods);
    for (int i = 1; i <= steps; ++i) {
        const float t = float(i) / float(steps);
        s += QStringLiteral("move %1 %2 1 %3\n").arg(from.x + (to.x - from.x) * t).arg(from.y + (to.y - from.y) * t).arg(mods);
    }
    return s + QStringLiteral("up %1 %2 %3\n").arg(to.x).arg(to.y).arg(mods);
}

QString polyline(const std::vector<Point>& points, float from, float to)
{
    QString s = QStringLiteral("down %1 %2 %3\n").arg(points[0].x).arg(points[0].y).arg(from);
    const float moves = float(8 * (points.size() - 1));
    for (std::size_t i = 1; i < points.size(); ++i)
        for (int step = 1; step <= 8; ++step) {
            const Point p = points[i - 1] + (points[i] - points[i - 1]) * (float(step) / 8);
            const float pressure = from + (to - from) * float(8 * (i - 1) + std::size_t(step)) / moves;
            s += QStringLiteral("move %1 %2 %3\n").arg(p.x).arg(p.y).arg(pressure);
        }
    return s + QStringLiteral("up %1 %2\n").arg(points.back().x).arg(points.back().y);
}

QString click(Point at, const QString& mods)
{
    return QStringLiteral("down %1 %2 1 %3\nup %1 %2 %3\n").arg(at.x).arg(at.y).arg(mods);
}

QString box(const char* colour, Point from, Point to)
{
    return QStringLiteral("set pen.type Rectangle\nset pen.opacity 1\nset pen.color %1\n").arg(QLatin1String(colour)) +
           drag(from, to, 4);
}

std::unique_ptr<PavoDocument> Headless::open(DocumentShell& shell, Size size, const QString& root)
{
    return PavoDocument::create(shell, *this, size, *this, root);
}

ProcessRun run_pavo(const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(PAVO_EXECUTABLE), arguments);
    ProcessRun run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.output = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.errors = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}
