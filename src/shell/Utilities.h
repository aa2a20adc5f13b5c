#pragma once
#include <QString>

class QLineEdit;
class QWidget;

// Selects the whole text of an entry field.
void SelectAllText(QLineEdit *box);

// part / whole * 100; callers pass a non-zero whole.
float Percent(qint32 part, qint32 whole);

// Moves a window to the middle of its screen.
void CenterForm(QWidget *w);

// The folder of the absolute form of path, the base name, "." and ext.
// A path written with backslashes keeps them.
QString ChangeExtension(const QString &path, const QString &ext);

// Character code of the first item of the program's ".TNX" file, or 68 ("D")
// when that file is missing or empty.
int ProgramTypeCode(const QString &path);
