#pragma once

// Copies of edited drawings, kept while they are open so that a crash or a power cut loses
// at most the last moments of work. Each open drawing owns at most one copy and holds a lock
// on it; saving, closing or discarding the drawing removes its copy. Copies found without a
// running program holding them are what an earlier session left behind, offered back at the
// next start.

#include <QLockFile>
#include <QString>
#include <QStringList>

#include <memory>

class RecoveryCopy {
    struct Tag {
        explicit Tag() = default;
    };

public:
    // A new, not yet written copy in `folder` (created if need be); null when the folder
    // cannot be made or the copy cannot be locked.
    static std::unique_ptr<RecoveryCopy> create(const QString& folder);
    // Takes over a copy left behind, for the window that now shows it; null when another
    // running program holds it.
    static std::unique_ptr<RecoveryCopy> adopt(const QString& path);

    RecoveryCopy(Tag, QString path, std::unique_ptr<QLockFile> lock);
    // Removes the copy: the drawing it kept is saved, closed or given up.
    ~RecoveryCopy();
    RecoveryCopy(const RecoveryCopy&) = delete;
    RecoveryCopy& operator=(const RecoveryCopy&) = delete;

    const QString& path() const { return _path; }

private:
    QString _path;
    std::unique_ptr<QLockFile> _lock;
};

// The folder of the user's recovery copies.
QString default_recovery_folder();

// The copies in `folder` that no running program holds, oldest first.
QStringList left_over_copies(const QString& folder);

// Removes a copy left behind, and its lock.
bool discard_left_over_copy(const QString& path);
