#include "string_table.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

namespace {

QString unquoted(QString text)
{
    text = text.trimmed();
    if (text.size() >= 2 && text.startsWith(u'"') && text.endsWith(u'"'))
        text = text.mid(1, text.size() - 2);
    return text;
}

void read_into(QHash<QString, QString>& texts, const QString& file)
{
    QFile input(file);
    if (!input.open(QIODevice::ReadOnly | QIODevice::Text)) return;
    const QStringList lines = QString::fromUtf8(input.readAll()).split(u'\n');
    for (const QString& raw : lines) {
        QString line = raw.trimmed();
        if (line.isEmpty() || line.startsWith(u'#')) continue;
        const qsizetype equals = line.indexOf(u'=');
        if (equals <= 0) continue;
        if (line.endsWith(u';')) line.chop(1);
        texts.insert(unquoted(line.left(equals)), unquoted(line.mid(equals + 1)));
    }
}

// A folder name is a plain language tag; anything else ("C", "..", a path) is no candidate.
bool is_language_tag(const QString& name)
{
    static const QRegularExpression tag(QStringLiteral("^[a-z]{2,3}(_[A-Za-z0-9]{2,8})*$"));
    return tag.match(name).hasMatch();
}

} // namespace

StringTable StringTable::load(const QString& file)
{
    StringTable table;
    read_into(table._texts, file);
    return table;
}

StringTable StringTable::named(const QString& root, const QString& name, const QLocale& locale)
{
    const QString file = name + QStringLiteral(".strings");
    const QString english = QDir(root).filePath(file);
    StringTable table = load(english);
    if (const QString translated = localized_file(root, file, locale); translated != english)
        read_into(table._texts, translated);
    return table;
}

QStringList locale_folders(const QString& root, const QLocale& locale)
{
    QStringList folders;
    const QDir base(root);
    const auto consider = [&](const QString& name) {
        if (is_language_tag(name) && !folders.contains(name) && base.exists(name)) folders << name;
    };
    // uiLanguages is the person's own order of preference (LANGUAGE before LANG on Linux);
    // each tag goes from the most specific folder to its language's ("de-Latn-AT": de_AT, de).
    for (const QString& language : locale.uiLanguages()) {
        QStringList parts = language.split(u'-');
        consider(parts.join(u'_'));
        parts.removeIf([](const QString& part) { return part.size() == 4 && part.front().isUpper(); });
        consider(parts.join(u'_'));
        consider(parts.front());
    }
    return folders;
}

QString localized_file(const QString& root, const QString& relative, const QLocale& locale)
{
    const QDir base(root);
    for (const QString& folder : locale_folders(root, locale)) {
        const QString candidate = base.filePath(folder + u'/' + relative);
        if (QFileInfo(candidate).isFile()) return candidate;
    }
    return base.filePath(relative);
}
