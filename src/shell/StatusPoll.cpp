#include "StatusPoll.h"
#include "BoardMap.h"
#include "RSComm.h"

namespace {
qint64 numericValue(const QString &text)
{
    bool ok = false;
    const qint64 v = text.trimmed().toLongLong(&ok);
    return ok ? v : 0;
}
}

BoardStatus StatusPoll::pollOnline()
{
    BoardStatus s;
    // A read the link gave up on reads "0": that is no news, not "no alarm".
    auto read = [&](const QString &address) {
        const qint64 v = numericValue(link_.RSRead(address));
        if (!link_.lastAccessOk())
            s.incomplete = true;
        return v;
    };
    if (!link_.CommError && read(BoardMap::StoppingAlarmFlag) != 0)
        s.faults = true;
    if (!link_.CommError && !s.incomplete && read(BoardMap::WarningAlarmFlag) != 0)
        s.faults = true;
    if (s.faults && !link_.CommError && !s.incomplete)
        s.alarmNumber = read(BoardMap::AlarmNumber);
    if (link_.CommError) {
        s.linkDown = true;
        return s;
    }
    if (s.incomplete)
        return s;
    if (!s.faults) {
        s.statusMessage = QStringLiteral("-- System Normal --\r\nSet-up Program is Currently ONLINE");
        s.panelText = QStringLiteral("System Message:  All Faults Normal");
        return s;
    }
    const qint64 n = s.alarmNumber;
    const QString text = (n >= 0 && n <= 14 && n < alarmTexts_.size())
        ? alarmTexts_.at(int(n))
        : QStringLiteral("Message Number %1 Not Defined").arg(n);
    s.statusMessage = QStringLiteral("** System ALARM **\r\n") + text;
    s.panelText = QStringLiteral("System Message:  Faults Active in PLC");
    return s;
}

BoardStatus StatusPoll::offline(bool commError)
{
    BoardStatus s;
    s.linkDown = commError;
    s.statusMessage = QStringLiteral("Set-up Program is Currently OFFLINE");
    s.panelText = commError ? QStringLiteral("System Message:  Comm Fault with T6850")
                            : QStringLiteral("System Message:  Program is Currently OFFLINE");
    return s;
}

BoardStatus StatusPoll::unknown()
{
    BoardStatus s;
    s.incomplete = true;
    s.panelText = QStringLiteral("System Message:");
    return s;
}
