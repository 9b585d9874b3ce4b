#pragma once

// Qt's translation system fed from the program's own string tables: installed on the
// application, it answers every tr() and QCoreApplication::translate with the entry of the
// locale's "Localizable" table whose key is the English text. A text the table lacks comes
// back empty, which makes Qt show the English text itself. The context is ignored: a text
// reads the same wherever it appears, so one table line serves every place.

#include "string_table.h"

#include <QCoreApplication>
#include <QLocale>
#include <QTranslator>

class TableTranslator : public QTranslator {
public:
    explicit TableTranslator(StringTable table, QObject* parent = nullptr);
    // The "Localizable" table of the resources folder for the locale.
    static StringTable localizable(const QString& resourceRoot, const QLocale& locale = QLocale());

    QString translate(const char* context, const char* sourceText, const char* disambiguation = nullptr,
                      int n = -1) const override;
    bool isEmpty() const override { return _table.size() == 0; }

private:
    const StringTable _table;
};

// Installs on the application, for the system's locale, Qt's own translations where they are
// installed and then the program's tables, which are thereby asked first.
void install_translators(QCoreApplication& application, const QString& resourceRoot);
