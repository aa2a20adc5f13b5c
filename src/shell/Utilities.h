#pragma once
#include <QString>

class QIcon;
class QLineEdit;
class QWidget;

// The program's icon (48 and 256 pixels), compiled into the program, so the
// windows carry it whether it runs installed or from its build folder.
QIcon ProgramIcon();

// Selects the whole text of an entry field.
void SelectAllText(QLineEdit *box);

// part / whole * 100; callers pass a non-zero whole.
float Percent(qint32 part, qint32 whole);

// The shift's scrap percentages as the main display shows them: both reject
// kinds, leakers, vision rejects, each of the sum of the three counts (taken
// as 1 when it is 0). The sum is taken wide: three board counts can pass the
// 32-bit range.
struct ScrapShares {
    float total, leaker, vision;
};
ScrapShares ScrapPercentages(qint64 good, qint64 leaker, qint64 vision);

// Moves a window to the middle of its screen.
void CenterForm(QWidget *w);

// The folder of the absolute form of path, the base name, "." and ext.
// A path written with backslashes keeps them.
QString ChangeExtension(const QString &path, const QString &ext);

// Character code of the first item of the program's ".TNX" file, or 68 ("D")
// when that file is missing or empty.
int ProgramTypeCode(const QString &path);

// The numbers the display windows show. Digit grouping and the decimal
// point follow the system's locale.
// The whole-number value of a value text read from the board (0 for no number).
qint64 NumericValue(const QString &text);
// A whole number with the system's digit grouping: 12345 -> "12,345".
QString GroupedNumber(qint64 value);
// A number rounded to that many decimal places, with digit grouping: 4.5 -> "4.50".
QString FixedNumber(double value, int decimals);
// A resolver position as degrees: (value mod 256) x 360 / 256, no decimals;
// the remainder has the value's sign.
QString AngleText(qint64 value);

class QLabel;
// Gives a label that shows changing values a fixed size, at least what the
// widest value needs in the label's own font, with a margin inside its frame:
// a new value then repaints the label alone instead of laying the whole
// window out again. Set the label's font (or its parent's) before calling it.
void FixValueLabelSize(QLabel *label, const QString &widest);
// Shows a value in a label sized by FixValueLabelSize (or given a fixed
// width): a text wider than the label was made for (a set-up file may hold
// any 32-bit number) widens the label, so that no value is shown cut.
void ShowValueText(QLabel *label, const QString &text);

class QPushButton;
// Room around a push button's caption: the style's own hint leaves the
// text almost touching the button's edges.
void PadButton(QPushButton *button);

class QFrame;
// The edge of a window without a caption: a raised panel filling the window,
// so it stands apart from the window behind it. The window's content goes
// into the panel returned.
QFrame *AddRaisedEdge(QWidget *window);
