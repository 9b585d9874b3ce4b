#include "table_translator.h"

TableTranslator::TableTranslator(StringTable table, QObject* parent)
    : QTranslator(parent), _table(std::move(table))
{
}

StringTable TableTranslator::localizable(const QString& resourceRoot, const QLocale& locale)
{
    return StringTable::named(resourceRoot, QStringLiteral("Localizable"), locale);
}

QString TableTranslator::translate(const char*, const char* sourceText, const char*, int) const
{
    if (!sourceText) return {};
    const QString key = QString::fromUtf8(sourceText);
    return _table.contains(key) ? _table.translate(key) : QString();
}
