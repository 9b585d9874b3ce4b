#include "string_table.h"

#include <QFile>

namespace {

QString unquoted(QString text)
{
    text = text.trimmed();
    if (text.size() >= 2 && text.startsWith(u'"') && text.endsWith(u'"'))
        text = text.mid(1, text.size() - 2);
    return text;
}

} // namespace

StringTable StringTable::load(const QString& file)
{
    StringTable table;
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly | QIODevice::Text)) return table;
    const QStringList lines = QString::fromUtf8(input.readAll()).split(u'\n');
    for (const QString& raw : lines) {
        QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0) continue;
        if (line.endsWith(u';')) line.chop(1);
        table._texts.insert(unquoted(line.left(equals)), unquoted(line.mid(equals + 1)));
    }
    return table;
}

StringTable StringTable::named(const QString& root, const QString& name)
{
    return load(root + u'/' + name + QStringLiteral(".strings"));
}
