#pragma once

// A table of translated texts, read from a UTF-8 file of lines `key = value`. Blank lines and
// lines starting with # are skipped; blanks around key and value are dropped, and either may
// be written in double quotes (with an optional ; at the end, as in "key" = "value";).
// A key that the table lacks translates to itself, so the program works without the file.

#include <QHash>
#include <QString>

class StringTable {
public:
    StringTable() = default;
    // A missing or unreadable file gives an empty table.
    static StringTable load(const QString& file);
    // The table `name` of the resources folder: <root>/<name>.strings.
    static StringTable named(const QString& root, const QString& name);

    QString translate(const QString& key) const { return _texts.value(key, key); }
    qsizetype size() const { return _texts.size(); }

private:
    QHash<QString, QString> _texts;
};
