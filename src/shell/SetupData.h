#pragma once
// The set-up record: a version string and the parameter table (board
// addresses and values), with the built-in defaults and the set-up file
// format (*.sdt).
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QVector>
#include <cstdint>
#include <optional>

struct SetupData {
    QString Version;
    QStringList Address;     // index 0..SetupMaxIndex
    QVector<qint32> Value;   // index 0..SetupMaxIndex

    bool operator==(const SetupData &) const = default;
};

// Highest index of the parameter table (84 entries, 0..83).
inline constexpr int kSetupMaxIndex = 83;

// "ORVEL_R" + major + "." + minor + "." + revision of this program.
QString MakeProgramVersion();

// The built-in table: default addresses and values, version = programVersion.
SetupData BuildDefaultSetup(const QString &programVersion);

// Resizes both arrays to indices 0..maxIndex, keeping what exists: missing
// entries become "" and 0, entries beyond maxIndex are dropped.
void ResizeSetup(SetupData &s, int maxIndex);

namespace SetupFile {

// The bytes of one record as the set-up file holds it.
QByteArray encode(const SetupData &s);

// Outcome of reading a file: the record (arrays as stored) or why it was refused.
struct ReadResult {
    std::optional<SetupData> data;
    QString error;
};

// Reads one record from the start of the bytes; bytes after it are ignored.
// Refuses, without allocating what they claim, lengths that run past the end
// of the data, array sizes beyond kMaxEntries and addresses longer than
// kMaxAddressLength.
ReadResult decode(const QByteArray &bytes);

// Largest array a set-up file may declare.
inline constexpr quint32 kMaxEntries = 4096;
// Longest address text a set-up file may hold; board addresses are a few characters ("B4001.0").
inline constexpr quint16 kMaxAddressLength = 64;
// The largest file a set-up can be: the longest version text, then kMaxEntries
// addresses of the longest length and kMaxEntries values (344 KiB).
inline constexpr qint64 kMaxFileBytes = 2 + 0xFFFF + 2 * 10 + qint64(kMaxEntries) * (2 + kMaxAddressLength + 4);

// Reads a file: a regular file (or a link to one) of at most kMaxFileBytes.
ReadResult read(const QString &path);

// Writes through a temporary file renamed over the target, so the old file
// stays intact when writing fails. Returns an empty string on success, else why not.
QString write(const QString &path, const SetupData &s);

}   // namespace SetupFile
