#pragma once

// A table of translated texts, read from a UTF-8 file of lines `key = value`. Blank lines and
// lines starting with # are skipped; blanks around key and value are dropped, and either may
// be written in double quotes (with an optional ; at the end, as in "key" = "value";).
// A key that the table lacks translates to itself, so the program works without the file.
//
// Tables come in a root version (English) in the resources folder and translations in
// folders named after a language ("de") or a language and region ("de_DE") beside it. The
// table of a name holds the root's entries overlaid with those of the best matching folder
// that has the table, so a text a translation lacks shows in English.

#include <QHash>
#include <QLocale>
#include <QString>
#include <QStringList>

class StringTable {
public:
    StringTable() = default;
    // A missing or unreadable file gives an empty table.
    static StringTable load(const QString& file);
    // The table `name` of the resources folder for the locale: <root>/<name>.strings, then
    // <root>/<language>/<name>.strings over it.
    static StringTable named(const QString& root, const QString& name, const QLocale& locale = QLocale());

    QString translate(const QString& key) const { return _texts.value(key, key); }
    bool contains(const QString& key) const { return _texts.contains(key); }
    qsizetype size() const { return _texts.size(); }

private:
    QHash<QString, QString> _texts;
};

// The translation folders of <root> that fit the locale, best first, among those that
// exist: for German in Germany "de_DE" before "de".
QStringList locale_folders(const QString& root, const QLocale& locale = QLocale());

// <root>/<folder>/<relative> for the best locale folder that has that file, else
// <root>/<relative>: the German user's guide for a German locale, the English one otherwise.
QString localized_file(const QString& root, const QString& relative, const QLocale& locale = QLocale());
