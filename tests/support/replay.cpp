#include "replay.h"

#include <QProcess>
#include <QRegularExpression>

ReplayRun ReplayTest::replay(const QString& script, const std::optional<QString>& document,
                             const std::optional<Size>& viewSize)
{
    ReplayRun run;
    QString text = script;
    // Only an '@' that begins a field names a file in the folder.
    static const QRegularExpression at(QStringLiteral("(^|[ \\t])@"), QRegularExpression::MultilineOption);
    text.replace(at, QStringLiteral("\\1") + dir.path() + u'/');
    const Result<EventScript> parsed = parse_event_script(text);
    if (!parsed) {
        run.status = kReplayMalformed;
        run.errors << parsed.error();
        return run;
    }
    ReplayOptions options;
    options.document = document;
    options.viewSize = viewSize;
    run.status = replay_event_script(*parsed, options, [&run](const QString& line) { run.errors << line; });
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

QString drag(Point from, Point to, int steps, const QString& mods)
{
    QString s = QStringLiteral("down %1 %2 1 %3\n").arg(from.x).arg(from.y).arg(mods);
    for (int i = 1; i <= steps; ++i) {
        const float t = float(i) / float(steps);
        s += QStringLiteral("move %1 %2 1 %3\n").arg(from.x + (to.x - from.x) * t).arg(from.y + (to.y - from.y) * t).arg(mods);
    }
    return s + QStringLiteral("up %1 %2 %3\n").arg(to.x).arg(to.y).arg(mods);
}

QString click(Point at, const QString& mods)
{
    return QStringLiteral("down %1 %2 1 %3\nup %1 %2 %3\n").arg(at.x).arg(at.y).arg(mods);
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
