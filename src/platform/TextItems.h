#pragma once
// Comma-separated text items, as the program's text files hold them (the
// fault and comm error texts, the program file set): items are separated by
// commas or line ends, blanks around an item are skipped, and an item in
// double quotes loses its quotes and may hold commas.
#include <QString>
#include <QStringList>

namespace TextItems {

// Every item of the text, in order. An empty line gives no item; two commas
// in a row give an empty item.
QStringList split(const QString &text);

// The first item of the text ("" when there is none).
QString first(const QString &text);

}   // namespace TextItems
