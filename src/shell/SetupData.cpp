#include "SetupData.h"
#include "AppFolder.h"
#include <QtEndian>

#ifndef ORVEL_VERSION_MAJOR
#define ORVEL_VERSION_MAJOR 2
#define ORVEL_VERSION_MINOR 1
#define ORVEL_VERSION_REVISION 3
#endif

QString MakeProgramVersion()
{
    return QStringLiteral("ORVEL_R%1.%2.%3")
        .arg(ORVEL_VERSION_MAJOR)
        .arg(ORVEL_VERSION_MINOR)
        .arg(ORVEL_VERSION_REVISION);
}

SetupData BuildDefaultSetup(const QString &programVersion)
{
    SetupData s;
    s.Version = programVersion;
    ResizeSetup(s, kSetupMaxIndex);

    static const struct {
        int index;
        const char *address;
        qint32 value;
    } fixed[] = {
        {0, "B999", 1},    {1, "B1000", 5},    {2, "B1001", 5},    {3, "B998", 11},    {4, "B997", 0},
        {5, "W1014", 215}, {6, "W1016", 10},   {7, "W1018", 100},  {8, "B646", 0},     {9, "B644", 0},
        {10, "B645", 0},   {11, "W1004", 180}, {12, "W1006", 270}, {13, "W1008", 275}, {14, "W1010", 0},
        {15, "W1002", 0},  {16, "B82", 0},     {17, "B1012", 0},   {18, "B1013", 0},   {19, "B650", 0},
        {20, "B657", 0},   {21, "B656", 0},    {22, "B655", 0},    {23, "W560", 0},    {24, "W562", 0},
        {25, "W564", 0},   {26, "W566", 0},    {43, "D1100", 0},   {44, "D1104", 0},   {45, "D1108", 0},
        {62, "D1200", 0},  {63, "D1204", 0},   {64, "D1208", 0},   {81, "B4001.0", 0}, {82, "B4050", 1},
        {83, "B4011", 10},
    };
    for (const auto &f : fixed) {
        s.Address[f.index] = QString::fromLatin1(f.address);
        s.Value[f.index] = f.value;
    }
    for (int i = 27; i <= 42; ++i)
        s.Address[i] = QStringLiteral("W%1").arg(1020 + 2 * (i - 27));
    for (int i = 46; i <= 61; ++i)
        s.Address[i] = QStringLiteral("W%1").arg(1116 + 2 * (i - 46));
    for (int i = 65; i <= 80; ++i)
        s.Address[i] = QStringLiteral("W%1").arg(1216 + 2 * (i - 65));
    return s;
}

void ResizeSetup(SetupData &s, int maxIndex)
{
    const int n = maxIndex + 1;
    while (s.Address.size() < n)
        s.Address.append(QString());
    while (s.Address.size() > n)
        s.Address.removeLast();
    s.Value.resize(n);   // new entries are 0
}

namespace SetupFile {
namespace {

void putU16(QByteArray &out, quint16 v)
{
    out.append(char(v & 0xFF));
    out.append(char(v >> 8));
}

void putU32(QByteArray &out, quint32 v)
{
    for (int i = 0; i < 4; ++i)
        out.append(char((v >> (8 * i)) & 0xFF));
}

void putString(QByteArray &out, const QString &s)
{
    QByteArray bytes = Ansi::encode(s);
    if (bytes.size() > 0xFFFF)
        bytes.truncate(0xFFFF);
    putU16(out, quint16(bytes.size()));
    out.append(bytes);
}

// Reads little-endian fields from a byte array, never past its end.
class Reader {
public:
    explicit Reader(const QByteArray &b) : b_(b) {}
    qsizetype remaining() const { return b_.size() - pos_; }
    bool u16(quint16 &v)
    {
        if (remaining() < 2)
            return false;
        v = qFromLittleEndian<quint16>(b_.constData() + pos_);
        pos_ += 2;
        return true;
    }
    bool u32(quint32 &v)
    {
        if (remaining() < 4)
            return false;
        v = qFromLittleEndian<quint32>(b_.constData() + pos_);
        pos_ += 4;
        return true;
    }
    bool string(QString &s)
    {
        quint16 len = 0;
        if (!u16(len) || remaining() < len)
            return false;
        s = Ansi::decode(b_.mid(pos_, len));
        pos_ += len;
        return true;
    }

private:
    const QByteArray &b_;
    qsizetype pos_ = 0;
};

// Dimension count, element count and lower bound of a stored array.
bool arrayHeader(Reader &r, quint32 &count, QString &error, qsizetype minBytesEach)
{
    quint16 dims = 0;
    quint32 lower = 0;
    if (!r.u16(dims) || !r.u32(count) || !r.u32(lower)) {
        error = QStringLiteral("the file ends inside the table");
        return false;
    }
    if (dims != 1) {
        error = QStringLiteral("the table is not a list");
        return false;
    }
    if (lower != 0) {
        error = QStringLiteral("the table does not start at entry 0");
        return false;
    }
    if (count > kMaxEntries || qsizetype(count) * minBytesEach > r.remaining()) {
        error = QStringLiteral("the table claims %1 entries").arg(count);
        return false;
    }
    return true;
}

}   // namespace

QByteArray encode(const SetupData &s)
{
    QByteArray out;
    putString(out, s.Version);
    putU16(out, 1);
    putU32(out, quint32(s.Address.size()));
    putU32(out, 0);
    for (const QString &a : s.Address)
        putString(out, a);
    putU16(out, 1);
    putU32(out, quint32(s.Value.size()));
    putU32(out, 0);
    for (qint32 v : s.Value)
        putU32(out, quint32(v));
    return out;
}

ReadResult decode(const QByteArray &bytes)
{
    ReadResult res;
    Reader r(bytes);
    SetupData s;
    if (!r.string(s.Version)) {
        res.error = QStringLiteral("the version text runs past the end of the file");
        return res;
    }
    quint32 n = 0;
    if (!arrayHeader(r, n, res.error, 2))
        return res;
    s.Address.reserve(qsizetype(n));
    for (quint32 i = 0; i < n; ++i) {
        QString a;
        if (!r.string(a)) {
            res.error = QStringLiteral("address %1 runs past the end of the file").arg(i);
            return res;
        }
        if (a.size() > kMaxAddressLength) {
            res.error =
                QStringLiteral("address %1 is %2 characters long, longer than any board address").arg(i).arg(a.size());
            return res;
        }
        s.Address.append(a);
    }
    quint32 m = 0;
    if (!arrayHeader(r, m, res.error, 4))
        return res;
    s.Value.reserve(qsizetype(m));
    for (quint32 i = 0; i < m; ++i) {
        quint32 v = 0;
        r.u32(v);   // the header check made sure the values are all there
        s.Value.append(qint32(v));
    }
    res.data = std::move(s);
    return res;
}

ReadResult read(const QString &path)
{
    const FileBytes file = readRegularFile(path, kMaxFileBytes);
    if (!file.ok()) {
        ReadResult res;
        res.error = file.error;
        return res;
    }
    return decode(file.bytes);
}

QString write(const QString &path, const SetupData &s) { return writeFileWhole(path, encode(s)); }

}   // namespace SetupFile
