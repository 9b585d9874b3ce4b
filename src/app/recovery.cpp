#include "recovery.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>

#include <algorithm>

namespace {

QString lock_path(const QString& copy) { return copy + QStringLiteral(".lock"); }

// Held for as long as the program runs; a lock whose process has ended is stale and taken over.
std::unique_ptr<QLockFile> lock_copy(const QString& copy)
{
    auto lock = std::make_unique<QLockFile>(lock_path(copy));
    lock->setStaleLockTime(0);
    if (!lock->tryLock(0)) return nullptr;
    return lock;
}

} // namespace

std::unique_ptr<RecoveryCopy> RecoveryCopy::create(const QString& folder)
{
    if (!QDir().mkpath(folder)) return nullptr;
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    for (int n = 1; n < 10000; ++n) {
        const QString path = QDir(folder).filePath(QStringLiteral("drawing-%1-%2.pavo").arg(stamp).arg(n));
        if (QFileInfo::exists(path) || QFileInfo::exists(lock_path(path))) continue;
        auto lock = lock_copy(path);
        if (!lock) continue;
        return std::make_unique<RecoveryCopy>(Tag{}, path, std::move(lock));
    }
    return nullptr;
}

std::unique_ptr<RecoveryCopy> RecoveryCopy::adopt(const QString& path)
{
    auto lock = lock_copy(path);
    if (!lock) return nullptr;
    return std::make_unique<RecoveryCopy>(Tag{}, path, std::move(lock));
}

RecoveryCopy::RecoveryCopy(Tag, QString path, std::unique_ptr<QLockFile> lock)
    : _path(std::move(path)), _lock(std::move(lock))
{
}

RecoveryCopy::~RecoveryCopy()
{
    QFile::remove(_path);
    _lock->unlock();
}

QString default_recovery_folder()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation))
        .filePath(QStringLiteral("Recovery"));
}

QStringList left_over_copies(const QString& folder)
{
    QFileInfoList found = QDir(folder).entryInfoList({QStringLiteral("*.pavo")}, QDir::Files);
    std::sort(found.begin(), found.end(), [](const QFileInfo& a, const QFileInfo& b) {
        return a.lastModified() < b.lastModified();
    });
    QStringList copies;
    for (const QFileInfo& info : found) {
        // Taking the lock for a moment tells whether a running program holds the copy.
        const auto lock = lock_copy(info.filePath());
        if (lock) copies << info.filePath();
    }
    return copies;
}

bool discard_left_over_copy(const QString& path)
{
    const auto lock = lock_copy(path);
    if (!lock) return false;
    return QFile::remove(path);
}
