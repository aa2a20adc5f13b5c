// Address and point texts of any kind through the address checks and the
// address grammar, on every board code and on codes no board has. Nothing may
// crash, and what comes back must keep to the rules' own shape.
#include "AddressCheck.h"
#include "BoardAddress.h"
#include <QRegularExpression>
#include <QString>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <limits>

namespace {

void check(const QString &text)
{
    static const QRegularExpression equated(QStringLiteral("^B([0-9]+)(\\.[0-7])?$"));
    const BoardAddress a = ParseAddress(text);
    if (a.sendable() && (a.byteAdd < 0 || a.byteAdd > kHighestSendableAddress))
        std::abort();

    const int codes[] = {INT_MIN, -1, 0,  1,  48, 49, 50, 51, 52, 53, 54, 55, 56,  57,     58,
                         59,      60, 61, 62, 63, 64, 65, 66, 67, 68, 69, 70, 255, INT_MAX};
    for (int code : codes) {
        const bool valid = addresscheck::ValidAdd(text, code);
        // Every range the boards have ends at 65535.
        const QChar letter = text.isEmpty() ? QChar() : text.front().toUpper();
        if (valid && letter == QLatin1Char('B') && !text.contains(QLatin1Char('.'))
            && LeadingNumber(text.mid(1)) > 65535)
            std::abort();

        const QString e = addresscheck::EquateAdd(text, code);
        if (e != text) {
            // An equate is a byte of the I/O area, with the bit of a bit form.
            const QRegularExpressionMatch m = equated.match(e);
            if (!m.hasMatch())
                std::abort();
            const int byte = m.captured(1).toInt();
            if (byte < 49 || byte > 223)
                std::abort();
            if (m.hasCaptured(2) != text.mid(1).contains(QLatin1Char('.')))
                std::abort();
        }
    }

    // The numbering on whatever number the text starts with.
    const std::int64_t n = LeadingNumber(text);
    const std::int64_t o = addresscheck::Dec2Octal(n);
    constexpr std::int64_t max = std::numeric_limits<std::int64_t>::max();
    constexpr std::int64_t min = std::numeric_limits<std::int64_t>::min();
    if (o != max && o != min && addresscheck::Octal2Dec(o) != n)
        std::abort();
    addresscheck::Octal2Dec(n);
}

}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const char *bytes = reinterpret_cast<const char *>(data);
    // As the 8-bit text of a script, and as UTF-8, which may hold surrogate pairs.
    check(QString::fromLatin1(bytes, qsizetype(size)));
    check(QString::fromUtf8(bytes, qsizetype(size)));
    return 0;
}
