#include "table_translator.h"

#include <QLibraryInfo>

TableTranslator::TableTranslator(StringTable table, QObject* parent)
    : QTranslator(parent), _table(std::move(table))
{
}

StringTable TableTranslator::localizable(const QString& resourceRoot, const QLocale& locale)
{
    return StringTable::named(resourceRoot, QStringLiteral("Localizable"), locale);
}

void install_translators(QCoreApplication& application, const QString& resourceRoot)
{
    // Qt's dialogs (files, printing, colours) then speak the language too.
    if (auto* qt = new QTranslator(&application);
        qt->load(QLocale(), QStringLiteral("qtbase"), QStringLiteral("_"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qt);
    QCoreApplication::installTranslator(new TableTranslator(TableTranslator::localizable(resourceRoot), &application));
}

QString TableTranslator::translate(const char*, const char* sourceText, const char*, int) const
{
    if (!sourceText) return {};
    const QString key = QString::fromUtf8(sourceText);
    return _table.contains(key) ? _table.translate(key) : QString();
}
