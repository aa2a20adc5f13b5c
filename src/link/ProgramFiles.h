#pragma once
// The board program file set, apart from the line: a main file (".tnx")
// whose first character names the board type, a revision file (".rev") with
// the program ident, checksum and revision, an Intel HEX file (".hex") with
// the program bytes, and a configuration file (".lcf"). Pure: bytes in,
// values out, and no reader ever runs past the end of what it is given.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace ProgramFiles {

// The four paths of a set: the main file's path minus its last three
// characters, followed by each extension.
struct FileSet {
    QString tnx, rev, hex, lcf;
};
FileSet fileSet(const QString &tnxPath);

// The largest files read: a main, revision or configuration file is read in
// part (only its first item counts); a hex file must fit whole.
inline constexpr qint64 kMaxItemFileBytes = 64 * 1024;
inline constexpr qint64 kMaxHexFileBytes = 8 * 1024 * 1024;

// The board type code of a main file: the character code of its first
// item's first character; nullopt when the file holds no item.
std::optional<int> boardType(const QByteArray &tnx);

// A revision file's first item: the ident, then the checksum and the
// revision byte as two MarkHEX digits each. nullopt when the item is shorter
// than four characters or its last four are not MarkHEX or hexadecimal digits.
struct Ident {
    QString ident;   // the characters' codes are the file's bytes
    int checksum = 0;
    int revision = 0;
};
std::optional<Ident> parseRevision(const QByteArray &rev);

// A configuration file's first item: characters 36, 39 and 40 (from 1) are
// decimal digits. nullopt when the item is shorter or they are not digits.
struct Config {
    int digit1 = 3;   // character 36: 1, 2 or other
    int digit2 = 0;   // character 39, written to the board as it is
    int digit3 = 3;   // character 40: 1, 2 or other
};
std::optional<Config> parseConfig(const QByteArray &lcf);
// The board values a configuration sets: B8188, B8189 and B8190.
int configB8188(const Config &c);
int configB8189(const Config &c);
int configB8190(const Config &c);
// The configuration read back from those three values.
Config configFromBoard(int b8190, int b8189, int b8188);

// One record of the hex file.
struct HexRecord {
    int count = 0;
    int address = 0;   // as written in the record
    int type = 0;
    QByteArray data;
};
struct HexLine {
    std::optional<HexRecord> record;   // nullopt: the line is not a well-formed record
    QString problem;                   // why not
};
// ":" count(2) address(4) type(2) data(2 x count), then an optional record
// checksum (checked when present). Types 00 to 05; extended-address records
// carry two bytes, start-address records four.
HexLine parseHexLine(const QString &line);
// The lines of a hex file, each ended by CR LF, LF or CR (the last one may
// have no line end). Nothing else is taken off: a blank line or a blank
// before a record stays, and is not a record.
QStringList hexLines(const QByteArray &hex);

// What a download does with each line, worked out before anything is sent.
struct PlannedLine {
    enum Kind { Send, Skip, Invalid } kind = Skip;
    int address = 0;   // Send: where the bytes go (extended base applied)
    QByteArray data;   // Send: the program bytes
};
struct DownloadPlan {
    std::vector<PlannedLine> lines;   // one per hex line, in file order
    // A data record before the first invalid line lies beyond the board's 64 KiB.
    bool beyondMemory = false;
    int dataBytes = 0;
};
DownloadPlan planDownload(const QStringList &lines);

// The bytes one record sends (count, address high, address low, data) and
// the answer the board must give: their sum modulo 256.
QByteArray recordBytes(int address, const QByteArray &data);
int recordChecksum(const QByteArray &bytes);

// The board memory an upload reads for a board type: none for an unknown type.
struct UploadRange {
    int first = 0;
    int count = 0;
};
UploadRange uploadRange(int boardType);
// Board types whose set carries a configuration file.
bool hasConfig(int boardType);

// The files an upload writes.
QByteArray revisionFile(const QByteArray &ident8, int checksum, int revision);
QByteArray configFile(int boardType, const Config &c);
// One ":10" record per 16 bytes from `first`, without record checksums,
// then the end record; CR LF line ends.
QByteArray hexRecordLine(int address, const QByteArray &sixteen);
inline const QByteArray kHexEndLine = QByteArrayLiteral(":00000001FF\r\n");

}   // namespace ProgramFiles
