#include "TextItems.h"

namespace {
bool isLineEnd(QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n'); }
bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }

// Reads one item starting at i; i ends after the item's separator.
QString readItem(const QString &t, qsizetype &i)
{
    const qsizetype n = t.size();
    while (i < n && isBlank(t.at(i)))
        ++i;
    QString item;
    if (i < n && t.at(i) == QLatin1Char('"')) {
        const qsizetype close = t.indexOf(QLatin1Char('"'), i + 1);
        const qsizetype end = close < 0 ? n : close;
        item = t.mid(i + 1, end - i - 1);
        i = close < 0 ? n : close + 1;
        // Anything between the closing quote and the separator is dropped.
        while (i < n && t.at(i) != QLatin1Char(',') && !isLineEnd(t.at(i)))
            ++i;
    } else {
        const qsizetype start = i;
        while (i < n && t.at(i) != QLatin1Char(',') && !isLineEnd(t.at(i)))
            ++i;
        item = t.mid(start, i - start);
        while (!item.isEmpty() && isBlank(item.back()))
            item.chop(1);
    }
    if (i < n && t.at(i) == QLatin1Char(',')) {
        ++i;
    } else if (i < n && isLineEnd(t.at(i))) {
        // One line end (CR LF counts as one) closes the item.
        if (t.at(i) == QLatin1Char('\r') && i + 1 < n && t.at(i + 1) == QLatin1Char('\n'))
            ++i;
        ++i;
    }
    return item;
}

// Skips blank lines between items.
void skipEmptyLines(const QString &t, qsizetype &i)
{
    for (;;) {
        qsizetype j = i;
        while (j < t.size() && isBlank(t.at(j)))
            ++j;
        if (j < t.size() && isLineEnd(t.at(j)))
            i = j + 1;
        else
            return;
    }
}
}   // namespace

QStringList TextItems::split(const QString &text)
{
    QStringList items;
    qsizetype i = 0;
    for (;;) {
        skipEmptyLines(text, i);
        qsizetype j = i;
        while (j < text.size() && isBlank(text.at(j)))
            ++j;
        if (j >= text.size())
            break;
        items << readItem(text, i);
    }
    return items;
}

QString TextItems::first(const QString &text)
{
    qsizetype i = 0;
    skipEmptyLines(text, i);
    return i < text.size() ? readItem(text, i) : QString();
}
