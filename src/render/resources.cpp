#include "resources.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

// The install rules set this from the configured install directories; the default is the
// layout of GNUInstallDirs' defaults.
#ifndef PAVO_INSTALL_DATA_FROM_BIN
#define PAVO_INSTALL_DATA_FROM_BIN "../share/pavo"
#endif

namespace {

// Before a QCoreApplication exists (and in tools that never make one) Qt cannot say where
// the executable is, so the kernel's link is read instead.
QString running_executable_dir()
{
    if (QCoreApplication::instance() != nullptr) return QCoreApplication::applicationDirPath();
    const QString executable = QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath();
    if (executable.isEmpty()) return {};
    return QFileInfo(executable).absolutePath();
}

} // namespace

std::optional<QString> installed_resource_path(const QString& executable_dir)
{
    if (executable_dir.isEmpty()) return std::nullopt;
    const QString candidate =
        QDir::cleanPath(executable_dir + QLatin1Char('/') + QStringLiteral(PAVO_INSTALL_DATA_FROM_BIN));
    if (!QFileInfo(candidate + QStringLiteral("/Pens")).isDir()) return std::nullopt;
    return candidate;
}

QString resource_path()
{
    const QByteArray fromEnvironment = qgetenv("PAVO_RESOURCES");
    if (!fromEnvironment.isEmpty()) return QString::fromLocal8Bit(fromEnvironment);
    if (const auto installed = installed_resource_path(running_executable_dir())) return *installed;
    return QStringLiteral(PAVO_RESOURCE_DIR);
}
