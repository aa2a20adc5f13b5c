// Fuzz target: the program file set readers. Whatever the bytes, the main,
// revision, configuration and hex readers must not crash or read past the
// end; a download plan never sends bytes outside the board's 64 KiB or a
// record the board cannot take; what the readers accept survives being
// written the way an upload writes it and read again.
#include "ProgramFiles.h"
#include <cstdint>
#include <cstdlib>

namespace PF = ProgramFiles;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    (void)PF::boardType(bytes);

    if (const auto rev = PF::parseRevision(bytes)) {
        if (rev->checksum < 0 || rev->checksum > 255 || rev->revision < 0 || rev->revision > 255)
            std::abort();
        const auto again = PF::parseRevision(PF::revisionFile("IDENT123", rev->checksum, rev->revision));
        if (!again || again->checksum != rev->checksum || again->revision != rev->revision)
            std::abort();
    }
    if (const auto cfg = PF::parseConfig(bytes)) {
        const auto again = PF::parseConfig(PF::configFile(58, *cfg));
        if (!again || again->digit1 != cfg->digit1 || again->digit2 != cfg->digit2 || again->digit3 != cfg->digit3)
            std::abort();
    }

    const QStringList lines = PF::hexLines(bytes);
    const PF::DownloadPlan plan = PF::planDownload(lines);
    if (plan.lines.size() != size_t(lines.size()))
        std::abort();
    int total = 0;
    for (const PF::PlannedLine &p : plan.lines) {
        if (p.kind != PF::PlannedLine::Send)
            continue;
        if (p.data.isEmpty() || p.data.size() >= 255 || p.address < 0 || p.address + p.data.size() > 0x10000)
            std::abort();
        total += int(p.data.size());
    }
    if (total != plan.dataBytes)
        std::abort();
    for (const QString &line : lines) {
        const PF::HexLine h = PF::parseHexLine(line);
        if (!h.record || h.record->type != 0 || h.record->count != 16)
            continue;
        const PF::HexLine again =
            PF::parseHexLine(QString::fromLatin1(PF::hexRecordLine(h.record->address, h.record->data)).trimmed());
        if (h.record->address >= 0x1000
            && (!again.record || again.record->address != h.record->address || again.record->data != h.record->data))
            std::abort();
    }
    return 0;
}
