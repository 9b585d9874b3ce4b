#include "resources.h"

#include <QByteArray>

QString resource_path()
{
    const QByteArray fromEnvironment = qgetenv("PAVO_RESOURCES");
    if (!fromEnvironment.isEmpty()) return QString::fromLocal8Bit(fromEnvironment);
    return QStringLiteral(PAVO_RESOURCE_DIR);
}
