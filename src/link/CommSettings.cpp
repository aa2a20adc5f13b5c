#include "CommSettings.h"
#include "AppFolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <cmath>

namespace CommSettings {

namespace {
// The file is one short line; anything longer is not a settings file.
constexpr qint64 kMaxFileBytes = 4096;

bool isBlank(QChar c) { return c == QLatin1Char(' ') || c == QLatin1Char('\t'); }
bool isLineEnd(QChar c) { return c == QLatin1Char('\r') || c == QLatin1Char('\n'); }

QString withoutBlanks(const QString &text)
{
    qsizetype from = 0, to = text.size();
    while (from < to && isBlank(text[from]))
        ++from;
    while (to > from && isBlank(text[to - 1]))
        --to;
    return text.mid(from, to - from);
}

// Reads the items of a record one after the other (see CommSettings.h).
class ItemReader {
public:
    explicit ItemReader(const QString &text) : t_(text) {}

    // The next item, or nothing when the text ends where an item should start.
    std::optional<QString> next()
    {
        const qsizetype n = t_.size();
        skipWhile(isBlank);
        if (atLineStart_) {
            skipWhile([](QChar c) { return isBlank(c) || isLineEnd(c); });
            if (i_ >= n)
                return std::nullopt;
        }
        QString item;
        if (i_ < n && t_[i_] == QLatin1Char('"')) {
            const qsizetype from = ++i_;
            skipWhile([](QChar c) { return c != QLatin1Char('"') && !isLineEnd(c); });
            item = t_.mid(from, i_ - from);
            if (i_ < n && t_[i_] == QLatin1Char('"'))
                ++i_;
            skipWhile([](QChar c) { return c != QLatin1Char(',') && !isLineEnd(c); });
        } else {
            const qsizetype from = i_;
            skipWhile([](QChar c) { return c != QLatin1Char(',') && !isLineEnd(c); });
            item = withoutBlanks(t_.mid(from, i_ - from));
        }
        if (i_ < n && t_[i_] == QLatin1Char(',')) {
            ++i_;
            atLineStart_ = false;
        } else {
            if (i_ < n && t_[i_] == QLatin1Char('\r'))
                ++i_;
            if (i_ < n && t_[i_] == QLatin1Char('\n'))
                ++i_;
            atLineStart_ = true;
        }
        return item;
    }

private:
    template <typename Pred>
    void skipWhile(Pred pred)
    {
        while (i_ < t_.size() && pred(t_[i_]))
            ++i_;
    }

    const QString &t_;
    qsizetype i_ = 0;
    bool atLineStart_ = true;
};

Problem pastEnd(const char *item)
{
    return {62, QStringLiteral("Input past end of file"),
            QStringLiteral("the file ends before the %1").arg(QLatin1String(item))};
}
}   // namespace

QString Problem::text() const { return detail.isEmpty() ? description : description + QStringLiteral(": ") + detail; }

std::optional<double> numberValue(const QString &text)
{
    static const QRegularExpression number(QStringLiteral(R"(^[+-]?(\d+\.?\d*|\.\d+)([eE][+-]?\d+)?$)"));
    const QString t = withoutBlanks(text);
    if (!number.match(t).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v))
        return std::nullopt;
    return v;
}

double roundHalfEven(double value)
{
    const double down = std::floor(value);
    const double fraction = value - down;
    if (fraction > 0.5 || (fraction == 0.5 && std::fmod(down, 2.0) != 0.0))
        return down + 1.0;
    return down;
}

int lineSpeed(const QString &speedItem)
{
    const std::optional<double> value = numberValue(speedItem);
    return value && roundHalfEven(*value) == 19200.0 ? 19200 : 9600;
}

Integer16 readInteger16(const QString &item)
{
    Integer16 r;
    if (withoutBlanks(item).isEmpty())
        return r;
    const std::optional<double> v = numberValue(item);
    if (!v) {
        r.problem = {13, QStringLiteral("Type mismatch"), QStringLiteral("\"%1\" is not a number").arg(item.left(40))};
        return r;
    }
    const double whole = roundHalfEven(*v);
    if (whole < -32768.0 || whole > 32767.0) {
        r.problem = {6, QStringLiteral("Overflow"), QStringLiteral("%1 is beyond -32768 to 32767").arg(item.left(40))};
        return r;
    }
    r.value = qint16(whole);
    return r;
}

Record parse(const QByteArray &bytes)
{
    Record r;
    if (bytes.isEmpty()) {
        r.empty = true;
        return r;
    }
    const QString text = Ansi::decode(bytes);
    ItemReader items(text);

    const std::optional<QString> port = items.next();
    if (!port) {
        r.problem = pastEnd("port number");
        return r;
    }
    const Integer16 number = readInteger16(*port);
    if (number.problem) {
        r.problem = number.problem;
        r.problem.detail = QStringLiteral("the port number ") + r.problem.detail;
        return r;
    }
    r.port = number.value;
    r.portRead = true;

    const std::optional<QString> speed = items.next();
    if (!speed) {
        r.problem = pastEnd("speed");
        return r;
    }
    r.speed = *speed;
    r.speedRead = true;
    return r;
}

FileContents read(const QString &path)
{
    FileContents f;
    // Anything under the name counts, a link that leads nowhere included; only
    // a name that is not there at all means there is no settings file.
    f.exists = nameTaken(path);
    if (!f.exists)
        return f;
    const FileBytes file = readRegularFile(path, kMaxFileBytes);
    if (!file.ok()) {
        f.unreadable = {75, QStringLiteral("Path/File access error"),
                        QStringLiteral("cannot read %1: %2").arg(QDir::toNativeSeparators(path), file.error)};
        return f;
    }
    f.record = parse(file.bytes);
    return f;
}

QByteArray line(int port, int speed)
{
    // The speed is written as a number item: a blank for its sign before it and one after it.
    return QByteArray::number(port) + ", " + QByteArray::number(speed) + " \r\n";
}

QByteArray defaultLine() { return QByteArrayLiteral("1,9600\r\n"); }

Problem write(const QString &path, const QByteArray &line)
{
    const QString dir = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(dir))
        return {76, QStringLiteral("Path not found"),
                QStringLiteral("cannot create the folder %1").arg(QDir::toNativeSeparators(dir))};
    if (const QString why = writeFileWhole(path, line); !why.isEmpty())
        return {75, QStringLiteral("Path/File access error"),
                QStringLiteral("cannot write %1: %2").arg(QDir::toNativeSeparators(path), why)};
    return {};
}

}   // namespace CommSettings
