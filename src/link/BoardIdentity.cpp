#include "BoardIdentity.h"
#include "TextItems.h"

namespace {
struct BoardRow {
    int code;
    const char *name;
    const char *lcf;
};
const BoardRow kBoards[] = {
    {49, "K2705", "1"},      {50, "K2707", "1"},     {51, "K2709", "?"},     {52, "K2726", "2"},
    {53, "K2728", "3"},      {54, "K2713", "D"},     {55, "K2746", ""},      {56, "K2729", "F"},
    {57, "Not Defined", ""}, {58, "T6305", "@"},     {59, "T6306", "A"},     {60, "T6308", "B"},
    {61, "T6325(PLC)", "C"}, {62, "T6325(PLS)", ""}, {63, "T6345", ""},      {64, "T6347", ""},
    {65, "V5435", "E"},      {66, "T6327(PLC)", ""}, {67, "T6327(PLS)", ""}, {68, "T6850(PLC)", "G"},
    {69, "T6850(PLS)", ""},
};

const BoardRow *findBoard(int code)
{
    for (const BoardRow &r : kBoards)
        if (r.code == code)
            return &r;
    return nullptr;
}

const char kMarkDigits[] = ":;<=>?";
const char kHexDigits[] = "ABCDEF";
}   // namespace

QString BoardIdentity::targetboardName(int boardType)
{
    if (const BoardRow *r = findBoard(boardType))
        return QString::fromLatin1(r->name);
    // The character of the code; a code that is no character shows as U+FFFD.
    const char32_t ch = boardType >= 0 && boardType <= 0x10FFFF ? char32_t(boardType) : U'\uFFFD';
    return QString::fromUcs4(&ch, 1) + QStringLiteral(" Is Not Defined.");
}

QString BoardIdentity::lcfBoardIndex(int boardType)
{
    const BoardRow *r = findBoard(boardType);
    return r ? QString::fromLatin1(r->lcf) : QString();
}

QString BoardIdentity::markHexToHex(const QString &markHex)
{
    QString s = markHex;
    for (int i = 0; i < 6; ++i)
        s.replace(QLatin1Char(kMarkDigits[i]), QLatin1Char(kHexDigits[i]));
    return s;
}

QString BoardIdentity::hexToMarkHex(const QString &hex)
{
    QString s = hex;
    for (int i = 0; i < 6; ++i)
        s.replace(QLatin1Char(kHexDigits[i]), QLatin1Char(kMarkDigits[i]));
    return s;
}

QString BoardIdentity::codeText(qint64 code)
{
    QString t = QString::number(code, 16).toUpper();
    if (t.size() < 2)
        t.prepend(QLatin1Char('0'));
    return t;
}

BoardIdentity::CodeRecords BoardIdentity::parseCodeRecords(const QString &text)
{
    const QStringList items = TextItems::split(text);
    CodeRecords records;
    for (qsizetype i = 0; i < items.size(); i += 2)
        records.append({items.at(i), i + 1 < items.size() ? items.at(i + 1) : QString()});
    return records;
}

QString BoardIdentity::faultLine(qint64 code, const CodeRecords &records)
{
    const QString c = codeText(code);
    const QString prefix = QStringLiteral("Fault Code (") + c + QStringLiteral("H): ");
    for (const auto &r : records)
        if (r.first.compare(c, Qt::CaseInsensitive) == 0)
            return prefix + r.second;
    return prefix;
}
