#include "CsvRows.h"
#include <QLocale>

QString CsvRows::timeText(const QDateTime &when)
{
    return QLocale::c().toString(when.toLocalTime(), QStringLiteral("yyyy-MM-dd'T'HH:mm:ss.zzz"));
}

QByteArray CsvRows::row(const QStringList &fields)
{
    QString line;
    for (qsizetype i = 0; i < fields.size(); ++i) {
        QString f = fields[i];
        if (f.contains(QLatin1Char(',')) || f.contains(QLatin1Char('"')) || f.contains(QLatin1Char('\r'))
            || f.contains(QLatin1Char('\n')))
            f = QLatin1Char('"') + f.replace(QLatin1Char('"'), QLatin1String("\"\"")) + QLatin1Char('"');
        line += (i ? QStringLiteral(",") : QString()) + f;
    }
    return line.toUtf8() + "\r\n";
}
