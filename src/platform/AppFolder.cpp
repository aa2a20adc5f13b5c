#include "AppFolder.h"
#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString &folder()
{
    static QString f;
    return f;
}

AppFolder::Choice &choice()
{
    static AppFolder::Choice c;
    return c;
}

QString exeFolder()
{
    return QDir(QCoreApplication::instance() ? QCoreApplication::applicationDirPath() : QDir::currentPath())
        .absolutePath();
}

constexpr qint64 kMaxSeedFileBytes = 16 * 1024 * 1024;
}

void AppFolder::set(const QString &dir) { folder() = QDir(dir).absolutePath(); }

QString AppFolder::path()
{
    if (folder().isEmpty()) {
        choice() = chooseDefault(exeFolder(), userDataDir());
        folder() = choice().folder;
    }
    return folder();
}

const AppFolder::Choice &AppFolder::defaultChoice() { return choice(); }

QString AppFolder::installedDataDir(const QString &exeDir)
{
    if (QFileInfo(exeDir + QStringLiteral("/Support")).isDir())
        return QDir(exeDir).absolutePath();
    const QString shared = QDir::cleanPath(exeDir + QStringLiteral("/../share/orvel"));
    return QFileInfo(shared + QStringLiteral("/Support")).isDir() ? shared : QString();
}

QString AppFolder::installedDataDir() { return installedDataDir(exeFolder()); }

QString AppFolder::userDataDir()
{
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (!base.startsWith(QLatin1Char('/')))   // unset, empty or relative: not to be used
        base = QDir::homePath() + QStringLiteral("/.local/share");
    return base + QStringLiteral("/orvel");
}

AppFolder::Choice AppFolder::chooseDefault(const QString &exeDir, const QString &userDir)
{
    const QString exe = QDir(exeDir).absolutePath();
    const QString installed = installedDataDir(exe);
    if (installed.isEmpty() || (installed == exe && ::access(QFile::encodeName(exe).constData(), W_OK) == 0))
        return {exe, QString(), QString()};
    if (!QDir().mkpath(userDir + QStringLiteral("/Support/ports")))
        return {installed, QString(), QStringLiteral("cannot make the folder %1").arg(userDir)};
    seed(userDir, installed);
    return {QDir(userDir).absolutePath(), installed, QString()};
}

void AppFolder::seed(const QString &dir, const QString &from)
{
    QDir().mkpath(dir + QStringLiteral("/Support/ports"));
    for (const char *sub : {"Help", "Support"}) {
        const QString src = from + QLatin1Char('/') + QString::fromLatin1(sub);
        if (!QFileInfo(src).isDir()
            || QFileInfo(src).canonicalFilePath()
                == QFileInfo(dir + QLatin1Char('/') + QString::fromLatin1(sub)).canonicalFilePath())
            continue;
        QDirIterator it(src, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString file = it.next();
            const QString rel = QDir(from).relativeFilePath(file);
            if (rel.startsWith(QStringLiteral("Support/ports/")))
                continue;   // port links belong to each folder
            const QString target = dir + QLatin1Char('/') + rel;
            if (nameTaken(target))
                continue;
            // The listing includes links to pipes and devices: only regular
            // files are copied, each read whole (the manual and the support
            // texts are small).
            const FileBytes bytes = readRegularFile(file, kMaxSeedFileBytes);
            if (!bytes.ok())
                continue;
            QDir().mkpath(QFileInfo(target).absolutePath());
            writeFileWhole(target, bytes.bytes);
        }
    }
}

QString AppFolder::resolveAbsolute(const QString &p)
{
    QString norm = p;
    norm.replace(QLatin1Char('\\'), QLatin1Char('/'));
    if (QFileInfo::exists(norm))
        return norm;
    const bool absolute = norm.startsWith(QLatin1Char('/'));
    const QStringList parts = norm.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    QString cur = absolute ? QStringLiteral("/") : QString();
    bool matching = true;
    for (const QString &part : parts) {
        QString next;
        if (matching) {
            QDir d(cur.isEmpty() ? QStringLiteral(".") : cur);
            if (QFileInfo::exists(d.filePath(part))) {
                next = part;
            } else {
                matching = false;
                const QStringList entries =
                    d.entryList(QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
                for (const QString &e : entries) {
                    if (e.compare(part, Qt::CaseInsensitive) == 0) {
                        next = e;
                        matching = true;
                        break;
                    }
                }
                if (next.isEmpty())
                    next = part;
            }
        } else {
            next = part;
        }
        if (cur.isEmpty())
            cur = next;
        else if (cur.endsWith(QLatin1Char('/')))
            cur += next;
        else
            cur += QLatin1Char('/') + next;
    }
    return cur;
}

QString AppFolder::resolve(const QString &windowsRelative)
{
    QString rel = windowsRelative;
    rel.replace(QLatin1Char('\\'), QLatin1Char('/'));
    while (rel.startsWith(QLatin1Char('/')))
        rel.remove(0, 1);
    return resolveAbsolute(path() + QLatin1Char('/') + rel);
}

QString AppFolder::portDevice(int n)
{
#ifdef Q_OS_WIN
    return QStringLiteral("COM%1").arg(n);
#else
    const QString link = resolve(QStringLiteral("Support/ports/COM%1").arg(n));
    if (QFileInfo::exists(link) || QFileInfo(link).isSymLink())
        return link;
    return QStringLiteral("/dev/ttyS%1").arg(n - 1);
#endif
}

namespace {
QString notAFileText(mode_t mode)
{
    if (S_ISDIR(mode))
        return QStringLiteral("it is a folder, not a file");
    const char *what = S_ISFIFO(mode)      ? "a named pipe (FIFO)"
        : S_ISSOCK(mode)                   ? "a socket"
        : (S_ISCHR(mode) || S_ISBLK(mode)) ? "a device"
                                           : "not a file";
    return QStringLiteral("it is %1, not a regular file").arg(QLatin1String(what));
}

QString systemText(int err) { return QString::fromLocal8Bit(std::strerror(err)); }
}

FileBytes readRegularFile(const QString &path, qint64 maxBytes, LargerFile larger)
{
    FileBytes r;
    const QByteArray name = QFile::encodeName(path);
    // Looked at before opening: opening a named pipe waits for a writer, and
    // opening a device can have effects of its own.
    struct stat st {};
    if (::stat(name.constData(), &st) != 0) {
        r.error = systemText(errno);
        return r;
    }
    if (!S_ISREG(st.st_mode)) {
        r.error = notAFileText(st.st_mode);
        return r;
    }
    // The name may point elsewhere by now: open without waiting, and look again
    // at what was opened.
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        r.error = systemText(errno);
        return r;
    }
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        r.error = notAFileText(st.st_mode);
        ::close(fd);
        return r;
    }
    const QString tooLarge =
        QStringLiteral("it is larger than any such file can be (more than %1 bytes)").arg(maxBytes);
    if (st.st_size > maxBytes && larger == LargerFile::Refused) {
        r.error = tooLarge;
        ::close(fd);
        return r;
    }
    // One byte more than allowed tells a file that grew meanwhile.
    const qint64 limit = larger == LargerFile::Refused ? maxBytes + 1 : maxBytes;
    r.bytes.reserve(qsizetype(std::min<qint64>(st.st_size, maxBytes) + 1));
    char chunk[16384];
    while (r.bytes.size() < limit) {
        const ssize_t n = ::read(fd, chunk, size_t(std::min<qint64>(qint64(sizeof chunk), limit - r.bytes.size())));
        if (n > 0) {
            r.bytes.append(chunk, n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            r.error = systemText(errno);
        break;
    }
    ::close(fd);
    if (r.error.isEmpty() && r.bytes.size() > maxBytes)
        r.error = tooLarge;
    if (!r.error.isEmpty())
        r.bytes.clear();
    return r;
}

namespace Ansi {
namespace {
// 0x80..0x9F of Windows-1252; 0 marks the five unassigned codes.
const char16_t kHigh[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};
}

QString decode(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (char ch : bytes) {
        const auto b = static_cast<unsigned char>(ch);
        if (b >= 0x80 && b < 0xA0 && kHigh[b - 0x80] != 0)
            out += QChar(kHigh[b - 0x80]);
        else
            out += QChar(char16_t(b));   // unassigned codes map to the C1 control of the same number
    }
    return out;
}

QByteArray encode(const QString &text)
{
    QByteArray out;
    out.reserve(text.size());
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x80 || (u >= 0xA0 && u <= 0xFF)) {
            out += char(u);
            continue;
        }
        char code = '?';
        for (int i = 0; i < 32; ++i) {
            if (kHigh[i] == u || (kHigh[i] == 0 && u == 0x80 + i)) {
                code = char(0x80 + i);
                break;
            }
        }
        out += code;
    }
    return out;
}
}

namespace {
// The refusal of a write target that is neither a file to replace nor a
// device or pipe to write into.
QString notWritableText(mode_t mode)
{
    if (S_ISBLK(mode))
        return QStringLiteral("it is a block device, not a regular file");
    return notAFileText(mode);
}

QString folderOf(const QString &path)
{
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    return slash < 0 ? QStringLiteral(".") : slash == 0 ? QStringLiteral("/") : path.left(slash);
}
}   // namespace

QString writeAll(int fd, const QByteArray &bytes)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        return n < 0 ? systemText(errno) : QStringLiteral("the disk is full");
    }
    return QString();
}

// /dev/stdout, /dev/stderr, /dev/fd/N and /proc/self/fd/N name what the
// process already has open (a terminal, a pipe, or a file the shell opened with
// > or >>). Such a name is written into, appending, even when it leads to a
// regular file: replacing that file would lose what the shell or earlier
// commands put there.
static bool namesOwnDescriptor(const QString &path)
{
    static const QRegularExpression own(QStringLiteral("^/(dev/(stdout|stderr|fd/\\d+)|proc/self/fd/\\d+)$"));
    return own.match(path).hasMatch();
}

WriteTarget writeTarget(const QString &path)
{
    WriteTarget t;
    if (path.isEmpty()) {
        t.error = systemText(ENOENT);
        return t;
    }
    const QByteArray name = QFile::encodeName(path);
    struct stat st {};
    if (::stat(name.constData(), &st) == 0) {
        if (S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode) || (S_ISREG(st.st_mode) && namesOwnDescriptor(path))) {
            // Opened by the name given: /dev/stdout leads to a pipe that has no
            // name of its own.
            t.kind = WriteTarget::Kind::Stream;
            t.path = path;
        } else if (!S_ISREG(st.st_mode)) {
            t.error = notWritableText(st.st_mode);
        } else if (char *real = ::realpath(name.constData(), nullptr)) {
            const QByteArray r(real);
            ::free(real);
            if (::access(r.constData(), W_OK) != 0) {
                t.error = systemText(errno);
            } else {
                t.kind = WriteTarget::Kind::Replace;
                t.path = QFile::decodeName(r);
            }
        } else {
            t.error = systemText(errno);
        }
        return t;
    }
    if (errno != ENOENT) {
        t.error = systemText(errno);
        return t;
    }
    // Nothing there yet, or links that lead to a name nothing has: the file
    // is made where the last link points.
    QString cur = path;
    for (int hop = 0; hop < 40; ++hop) {
        const QByteArray n = QFile::encodeName(cur);
        if (::lstat(n.constData(), &st) != 0) {
            if (errno != ENOENT) {
                t.error = systemText(errno);
                return t;
            }
            t.kind = WriteTarget::Kind::Replace;
            t.path = cur;
            return t;
        }
        if (!S_ISLNK(st.st_mode)) {
            t.error = notWritableText(st.st_mode);   // it appeared meanwhile
            return t;
        }
        char buf[4096];
        const ssize_t len = ::readlink(n.constData(), buf, sizeof buf);
        if (len < 0 || size_t(len) >= sizeof buf) {
            t.error = systemText(len < 0 ? errno : ENAMETOOLONG);
            return t;
        }
        const QString to = QFile::decodeName(QByteArray(buf, len));
        cur = to.startsWith(QLatin1Char('/')) ? to : folderOf(cur) + QLatin1Char('/') + to;
    }
    t.error = systemText(ELOOP);
    return t;
}

int openStream(const QString &path, QString &error)
{
    const QByteArray name = QFile::encodeName(path);
    const bool own = namesOwnDescriptor(path);
    const int fd = ::open(name.constData(), O_WRONLY | O_NOCTTY | O_CLOEXEC | O_NONBLOCK | (own ? O_APPEND : 0));
    if (fd < 0) {
        error = errno == ENXIO ? QStringLiteral("it is a named pipe (FIFO) that no program is reading")
                               : systemText(errno);
        return -1;
    }
    // Opened without truncating: if the name has become a file meanwhile,
    // nothing of it has changed yet.
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !(S_ISCHR(st.st_mode) || S_ISFIFO(st.st_mode) || (own && S_ISREG(st.st_mode)))) {
        error = notWritableText(st.st_mode);
        ::close(fd);
        return -1;
    }
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    return fd;
}

void closeStream(int fd)
{
    if (fd >= 0)
        ::close(fd);
}

bool nameTaken(const QString &path)
{
    struct stat st {};
    const QByteArray name = QFile::encodeName(path);
    return ::lstat(name.constData(), &st) == 0 || (errno != ENOENT && errno != ENOTDIR);
}

ReplacementFile::ReplacementFile(const QString &target) : target_(target)
{
    const QByteArray t = QFile::encodeName(target);
    struct stat st {};
    const bool replacing = ::lstat(t.constData(), &st) == 0 && S_ISREG(st.st_mode);
    static const char kLetters[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QString stem = target + QLatin1Char('.');
    for (int attempt = 0; attempt < 100; ++attempt) {
        QString candidate = stem;
        for (int i = 0; i < 6; ++i)
            candidate += QLatin1Char(kLetters[QRandomGenerator::global()->bounded(int(sizeof kLetters - 1))]);
        // A new file's usual permissions come from 0666 and the process's umask.
        fd_ = ::open(QFile::encodeName(candidate).constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC,
                     0666);
        if (fd_ >= 0) {
            name_ = candidate;
            if (replacing)
                ::fchmod(fd_, st.st_mode & 07777);
            return;
        }
        if (errno == ENAMETOOLONG && !stem.endsWith(QLatin1String("/.orvel."))) {
            stem = folderOf(target) + QStringLiteral("/.orvel.");
            continue;
        }
        if (errno != EEXIST)
            break;
    }
    error_ = systemText(errno);
}

ReplacementFile::~ReplacementFile()
{
    if (fd_ >= 0)
        ::close(fd_);
    if (!committed_ && !name_.isEmpty())
        ::unlink(QFile::encodeName(name_).constData());
}

QString ReplacementFile::commit()
{
    if (!error_.isEmpty())
        return error_;
    // Whatever wrote the file (through fd() or by name), its bytes reach the
    // disk before it takes the target's name.
    const int fd = fd_;
    fd_ = -1;
    if (::fsync(fd) != 0) {
        const int e = errno;
        ::close(fd);
        return systemText(e);
    }
    if (::close(fd) != 0)
        return systemText(errno);
    if (::rename(QFile::encodeName(name_).constData(), QFile::encodeName(target_).constData()) != 0)
        return systemText(errno);
    committed_ = true;
    return QString();
}

QString writeFileWhole(const QString &path, const QByteArray &bytes)
{
    const WriteTarget t = writeTarget(path);
    if (t.kind == WriteTarget::Kind::Refused)
        return t.error;
    if (t.kind == WriteTarget::Kind::Stream) {
        QString why;
        const int fd = openStream(t.path, why);
        if (fd < 0)
            return why;
        why = writeAll(fd, bytes);
        if (::close(fd) != 0 && why.isEmpty() && errno != EINTR)
            why = systemText(errno);
        return why;
    }
    ReplacementFile f(t.path);
    if (!f.error().isEmpty())
        return f.error();
    if (const QString why = writeAll(f.fd(), bytes); !why.isEmpty())
        return why;   // the new file is removed, the old one stays
    return f.commit();
}
