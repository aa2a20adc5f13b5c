#pragma once
// The comm settings file, Support/RSPort.cfg: the COM port number and the line
// speed in one line, "1,9600" as the link writes its defaults and "3, 19200 "
// as the comm port window saves them. The link and the window both read it
// here, the same way; what each does with a file it cannot use is its own.
//
// The file is read as a record of two comma-separated items, port and speed,
// the way BASIC's Input # reads one:
// - blanks (spaces, tabs) around an item are skipped, and so are line breaks
//   before an item that starts a line;
// - an item in double quotes holds everything up to the closing quote (or the
//   end of its line); anything after the quote up to the next comma or line
//   end is passed over;
// - a bare item ends at a comma or at the end of its line;
// - an item ended by a line end is followed by the next line's first item, so
//   "3" and "19200" on two lines read as port 3, speed 19200;
// - an item that follows a comma and finds nothing before the next comma or
//   line end (or the end of the file) is empty: as a number, 0;
// - when the file ends where an item should start, the read fails with error
//   62, "Input past end of file".
// Numbers are decimal ("7", "+7", "2.5", "1e1"); a number is made whole by
// rounding halves to the even neighbour (2.5 gives 2, 3.5 gives 4), as the
// window does with a typed port number.
#include <QByteArray>
#include <QString>
#include <optional>

namespace CommSettings {

// A failure reported the way the program reports trapped errors: a number
// and its description ("Type mismatch"), and, for the longer texts, what in
// the file or on the disk caused it.
struct Problem {
    int number = 0;   // 0: none
    QString description;
    QString detail;
    explicit operator bool() const { return number != 0; }
    // "description: detail", or the description alone.
    QString text() const;
};

// The value of a number item, or nothing when the text is not a number.
// Blanks around it are allowed; an empty item is not a number here.
std::optional<double> numberValue(const QString &text);

// A number made whole: halves go to the even neighbour.
double roundHalfEven(double value);

// The line speed a speed item names: 19200 when it is a number that rounds
// to 19200, else 9600.
int lineSpeed(const QString &speedItem);

// An item read as a 16-bit whole number: an empty item is 0; a text that is
// not a number gives error 13, a number outside -32768..32767 error 6.
struct Integer16 {
    qint16 value = 0;
    Problem problem;
};
Integer16 readInteger16(const QString &item);

// What a settings file's bytes hold.
struct Record {
    bool empty = false;      // no bytes at all
    bool portRead = false;   // the port item was read before any problem
    qint16 port = 0;         // as read, not yet brought into the ports' range
    bool speedRead = false;
    QString speed;   // the speed item as text, quotes and blanks taken off
    // Error 62 when the file ends where an item should start; 13 or 6 when
    // the port item is not a 16-bit number. The items read before it keep
    // their values.
    Problem problem;
};
Record parse(const QByteArray &bytes);

// The settings file on disk.
struct FileContents {
    // Something is there under that name, even when it cannot be read (a
    // folder, a pipe, a link that leads nowhere).
    bool exists = false;
    Problem unreadable;   // error 75, with the path and the reason, when it exists but was not read
    Record record;        // when it was read
};
FileContents read(const QString &path);

// The settings line as the comm port window saves it: "3, 19200 " and CR LF.
QByteArray line(int port, int speed);
// The line the link writes when it makes the file: "1,9600" and CR LF.
QByteArray defaultLine();

// Writes the line as the whole file, making its folder first when needed.
// Error 76 when the folder cannot be made, 75 when the file cannot be written.
Problem write(const QString &path, const QByteArray &line);

}   // namespace CommSettings
