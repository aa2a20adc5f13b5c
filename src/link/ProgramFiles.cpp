#include "ProgramFiles.h"
#include "BoardIdentity.h"
#include "TextItems.h"
#include <algorithm>

namespace {
int hexDigit(QChar c)
{
    const ushort u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

// Two hexadecimal digits at i; -1 when they are not.
int hexByte(const QString &s, qsizetype i)
{
    if (i < 0 || i + 1 >= s.size())
        return -1;
    const int h = hexDigit(s.at(i)), l = hexDigit(s.at(i + 1));
    return h < 0 || l < 0 ? -1 : h * 16 + l;
}

// The first item of a file whose characters are its bytes.
QString firstItem(const QByteArray &bytes) { return TextItems::first(QString::fromLatin1(bytes)); }

bool decimalDigit(QChar c) { return c.unicode() >= '0' && c.unicode() <= '9'; }
}   // namespace

ProgramFiles::FileSet ProgramFiles::fileSet(const QString &tnxPath)
{
    const QString stem = tnxPath.left(std::max<qsizetype>(0, tnxPath.size() - 3));
    return {stem + QStringLiteral("tnx"), stem + QStringLiteral("rev"), stem + QStringLiteral("hex"),
            stem + QStringLiteral("lcf")};
}

std::optional<int> ProgramFiles::boardType(const QByteArray &tnx)
{
    const QString item = firstItem(tnx);
    if (item.isEmpty())
        return std::nullopt;
    return int(item.at(0).unicode());
}

std::optional<ProgramFiles::Ident> ProgramFiles::parseRevision(const QByteArray &rev)
{
    const QString s = firstItem(rev);
    if (s.size() < 4)
        return std::nullopt;
    const QString digits = BoardIdentity::markHexToHex(s.right(4));
    const int checksum = hexByte(digits, 0), revision = hexByte(digits, 2);
    if (checksum < 0 || revision < 0)
        return std::nullopt;
    return Ident{s.left(s.size() - 4), checksum, revision};
}

std::optional<ProgramFiles::Config> ProgramFiles::parseConfig(const QByteArray &lcf)
{
    const QString s = firstItem(lcf);
    if (s.size() < 40)
        return std::nullopt;
    const QChar c1 = s.at(35), c2 = s.at(38), c3 = s.at(39);
    if (!decimalDigit(c1) || !decimalDigit(c2) || !decimalDigit(c3))
        return std::nullopt;
    return Config{c1.unicode() - '0', c2.unicode() - '0', c3.unicode() - '0'};
}

int ProgramFiles::configB8188(const Config &c) { return c.digit3 == 1 ? 5 : c.digit3 == 2 ? 10 : 20; }
int ProgramFiles::configB8189(const Config &c) { return c.digit2; }
int ProgramFiles::configB8190(const Config &c) { return c.digit1 == 1 ? 3 : c.digit1 == 2 ? 5 : 12; }

ProgramFiles::Config ProgramFiles::configFromBoard(int b8190, int b8189, int b8188)
{
    return {b8190 == 3 ? 1 : b8190 == 5 ? 2 : 3, b8189, b8188 == 5 ? 1 : b8188 == 10 ? 2 : 3};
}

ProgramFiles::HexLine ProgramFiles::parseHexLine(const QString &line)
{
    auto bad = [](const char *why) { return HexLine{std::nullopt, QString::fromLatin1(why)}; };
    if (!line.startsWith(QLatin1Char(':')))
        return bad("the line does not start with a colon");
    const QString body = line.mid(1);
    if (body.size() % 2 != 0)
        return bad("the line has an odd number of digits");
    if (body.size() < 8)
        return bad("the line is too short for a record");
    QByteArray bytes;
    for (qsizetype i = 0; i < body.size(); i += 2) {
        const int b = hexByte(body, i);
        if (b < 0)
            return bad("the line holds a character that is not a hexadecimal digit");
        bytes.append(char(b));
    }
    HexRecord r;
    r.count = quint8(bytes.at(0));
    r.address = quint8(bytes.at(1)) * 256 + quint8(bytes.at(2));
    r.type = quint8(bytes.at(3));
    const qsizetype withoutSum = 4 + r.count;
    if (bytes.size() != withoutSum && bytes.size() != withoutSum + 1)
        return bad(bytes.size() < withoutSum ? "the record's count is longer than the line"
                                             : "the line is longer than the record's count");
    if (bytes.size() == withoutSum + 1) {
        int sum = 0;
        for (const char b : bytes)
            sum += quint8(b);
        if (sum % 256 != 0)
            return bad("the record's checksum does not match its bytes");
    }
    if (r.type > 5)
        return bad("the record type is not one of 00 to 05");
    if ((r.type == 2 || r.type == 4) && r.count != 2)
        return bad("an extended address record must carry two bytes");
    if ((r.type == 3 || r.type == 5) && r.count != 4)
        return bad("a start address record must carry four bytes");
    // A count of FF cannot be sent: the board takes FF where a record starts
    // as the end of the program.
    if (r.type == 0 && r.count == 0xFF)
        return bad("a data record of 255 bytes cannot be sent");
    r.data = bytes.mid(4, r.count);
    return {r, {}};
}

QStringList ProgramFiles::hexLines(const QByteArray &hex)
{
    QStringList out;
    const QString text = QString::fromLatin1(hex);
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n'))
            continue;
        out.append(text.mid(start, i - start));
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            ++i;   // CR LF ends one line
        start = i + 1;
    }
    if (start < text.size())
        out.append(text.mid(start));   // the last line, without a line end
    return out;
}

ProgramFiles::DownloadPlan ProgramFiles::planDownload(const QStringList &lines)
{
    DownloadPlan plan;
    qint64 base = 0;
    bool invalidSeen = false;
    for (const QString &line : lines) {
        const HexLine h = parseHexLine(line);
        PlannedLine p;
        if (!h.record) {
            p.kind = PlannedLine::Invalid;
            invalidSeen = true;
            plan.lines.push_back(p);
            continue;
        }
        const HexRecord &r = *h.record;
        const int value = r.data.size() >= 2 ? quint8(r.data.at(0)) * 256 + quint8(r.data.at(1)) : 0;
        if (r.type == 2)
            base = qint64(value) * 16;
        else if (r.type == 4)
            base = qint64(value) << 16;
        if (r.type == 0 && r.count > 0) {
            const qint64 at = base + r.address;
            if (at + r.count > 0x10000) {
                if (!invalidSeen)
                    plan.beyondMemory = true;
                p.kind = PlannedLine::Invalid;
                invalidSeen = true;
            } else {
                p.kind = PlannedLine::Send;
                p.address = int(at);
                p.data = r.data;
                plan.dataBytes += r.count;
            }
        }
        plan.lines.push_back(p);
    }
    return plan;
}

QByteArray ProgramFiles::recordBytes(int address, const QByteArray &data)
{
    QByteArray b;
    b.append(char(data.size()));
    b.append(char(address / 256));
    b.append(char(address % 256));
    b.append(data);
    return b;
}

int ProgramFiles::recordChecksum(const QByteArray &bytes)
{
    int sum = 0;
    for (const char c : bytes)
        sum += quint8(c);
    return sum % 256;
}

ProgramFiles::UploadRange ProgramFiles::uploadRange(int boardType)
{
    switch (boardType) {
    case 50: return {0x5000, 45056};
    case 51:
    case 54:
    case 58:
    case 59:
    case 60:
    case 61:
    case 65:
    case 66: return {0x2000, 24576};
    case 52:
    case 53:
    case 56: return {0x2000, 8192};
    case 68: return {0x4000, 32768};
    default: return {0, 0};
    }
}

bool ProgramFiles::hasConfig(int boardType) { return boardType >= 56 && boardType <= 65; }

QByteArray ProgramFiles::revisionFile(const QByteArray &ident8, int checksum, int revision)
{
    auto mark = [](int v) { return BoardIdentity::hexToMarkHex(BoardIdentity::codeText(v)).toLatin1(); };
    return ident8 + mark(checksum) + mark(revision) + QByteArrayLiteral("\r\n");
}

QByteArray ProgramFiles::configFile(int boardType, const Config &c)
{
    const QString line = BoardIdentity::lcfBoardIndex(boardType) + QString(34, QLatin1Char('0'))
        + QString::number(c.digit1) + QStringLiteral("00") + QString::number(c.digit2) + QString::number(c.digit3)
        + QStringLiteral("000%\r\n");
    return line.toLatin1();
}

QByteArray ProgramFiles::hexRecordLine(int address, const QByteArray &sixteen)
{
    QByteArray line = QByteArrayLiteral(":10") + QString::number(address, 16).toUpper().toLatin1() + "00";
    line += sixteen.toHex().toUpper();
    return line + QByteArrayLiteral("\r\n");
}
