// Fuzz target: the reader of the fault and comm error text files. Whatever
// the bytes, reading must not crash; every fault line starts with its prefix,
// and a code whose record is in the file gets the description of the first
// record with that code (the fault line stops reading at the first match).
#include "AppFolder.h"
#include "BoardIdentity.h"
#include "TextItems.h"
#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QString text = Ansi::decode(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    const QStringList items = TextItems::split(text);
    const BoardIdentity::CodeRecords records = BoardIdentity::parseCodeRecords(text);
    if (records.size() != (items.size() + 1) / 2)
        std::abort();

    // Every code a record names, and a few it may not.
    QList<qint64> codes = {0, 10, 66, 255, 300};
    for (const auto &r : records) {
        bool ok = false;
        const qint64 c = r.first.toLongLong(&ok, 16);
        if (ok && c >= 0 && BoardIdentity::codeText(c).compare(r.first, Qt::CaseInsensitive) == 0)
            codes << c;
    }
    for (const qint64 c : codes) {
        const QString prefix = QStringLiteral("Fault Code (") + BoardIdentity::codeText(c) + QStringLiteral("H): ");
        const QString line = BoardIdentity::faultLine(c, records);
        if (!line.startsWith(prefix))
            std::abort();
        QString expected;
        bool found = false;
        for (const auto &r : records) {
            if (r.first.compare(BoardIdentity::codeText(c), Qt::CaseInsensitive) == 0) {
                expected = r.second;
                found = true;
                break;
            }
        }
        if (found && line != prefix + expected)
            std::abort();
        if (!found && line != prefix)
            std::abort();
    }
    return 0;
}
