#include "DF1Status.h"
#include <QHash>

namespace DF1Status {

namespace {

struct Entry {
    const char *code;
    const char *text;
};

// Status codes of the link layer, keyed by their hexadecimal text.
const Entry kLinkLayer[] = {
    {"1", "(01) Not Used"},
    {"2", "(02) Cannot Guarantee Delivery: Link Layer"},
    {"3", "(03) Duplicate Token Holder Detected"},
    {"4", "(04) Local Port is Disconnected"},
    {"5", "(05) Application Layer Timed out waiting for a response"},
    {"6", "(06) Duplicate Node Detected"},
    {"7", "(07) Station is Off-Line"},
    {"8", "(08) Hardware Fault"},
    {"10", "(10) Illegal Command or Format"},
    {"20", "(20) Host has a Problem and Will Not Communicate"},
    {"30", "(30) Remote Node Host is Missing, Disconnected or Shut Down"},
    {"40", "(40) Host Could Not Complete Function Due to Hardware Fault"},
    {"50", "(50) Addressing Problem or Memory Protect Rungs"},
    {"60", "(60) Function Disallowed due to Command Protection Selection"},
    {"70", "(70) Processor is in Program Mode"},
    {"80", "(80) Compatibility Mode File Missing or Communication Zone Problem"},
    {"90", "(90) Remote Node Cannot Buffer Command"},
    {"A0", "(A0) Not Used"},
    {"B0", "(B0) Remote Node Problem Due to Download"},
    {"C0", "(C0) Cannot Execute Command Due to Active IPBs"},
    {"D0", "(D0) Not Used"},
    {"E0", "(E0) Not Used"},
};

// Extended status codes (status code F0), keyed by their hexadecimal text.
const Entry kExtended[] = {
    {"0", "(F0-0) Not Used"},
    {"1", "(F0-1) A Field has an Illegal Value"},
    {"2", "(F0-2) Less Levels Specified in Address than Minimum for any Address"},
    {"3", "(F0-3) More Levels Specified in Address than System Supports"},
    {"4", "(F0-4) Symbol Not Found"},
    {"5", "(F0-5) Symbol is of Improper Format"},
    {"6", "(F0-6) Address Dosen't Point to Something Usable"},
    {"7", "(F0-7) File is Wrong Size"},
    {"8", "(F0-8) Cannot Complete Request, Situation has Changed since the Start of the Command"},
    {"9", "(F0-9) Data or File is Too Large"},
    {"A", "(F0-A) Transaction Size plus Word Address is Too Large"},
    {"B", "(F0-B) Access Denied, Improper Privilege"},
    {"C", "(F0-C) Condition cannot be Generated - Resource is Not Available"},
    {"D", "(F0-D) Condition already exists - Resource is already available"},
    {"E", "(F0-E) Command Cannot be Executed"},
    {"F", "(F0-F) Histogram Overflow"},
    {"10", "(F0-10) No Access"},
    {"11", "(F0-11) Illegal Data Type"},
    {"12", "(F0-12) Invalid Parameter or Invalid Data"},
    {"13", "(F0-13) Address Reference exists to Deleted Area"},
    {"14", "(F0-14) Command Execution Failure for unknown reason; Possible PLC-3 Histogram Overflow"},
    {"15", "(F0-15) Data Conversion Error"},
    {"16", "(F0-16) Scanner Not Able to Communicate with 1771 Rack Adapter"},
    {"17", "(F0-17) Adapter cannot Communicate with module"},
    {"18", "(F0-18) 1771 Module Response was not Valid"},
    {"19", "(F0-19) Duplicate Label"},
    {"1A", "(F0-1A) File is Open; Another Node Owns it"},
    {"1B", "(F0-1B) Another Node is the Program Owner"},
};

template <std::size_t N>
QHash<QString, QString> MakeTable(const Entry (&entries)[N])
{
    QHash<QString, QString> t;
    for (const Entry &e : entries)
        t.insert(QString::fromLatin1(e.code), QString::fromLatin1(e.text));
    return t;
}

QString Unknown(qint64 v, const char *what) { return QStringLiteral("(%1) %2").arg(v).arg(QLatin1String(what)); }

}   // namespace

QString HexCode(qint64 code)
{
    // A byte read from the board is never negative; a negative code keeps
    // its sign rather than turning into a two's complement run of F's.
    if (code < 0)
        return QLatin1Char('-') + QString::number(-code, 16).toUpper();
    return QString::number(code, 16).toUpper();
}

QString ConfigurationText(qint64 v)
{
    switch (v) {
    case 1: return QStringLiteral("(1) Busy");
    case 2: return QStringLiteral("(2) Success");
    case 3: return QStringLiteral("(3) Invalid Parameter");
    case 4: return QStringLiteral("(4) Timeout - No Response");
    case 32: return QStringLiteral("(32) Hardware ACK Error");
    case 34: return QStringLiteral("(34) Invalid Slot ADD");
    default: return Unknown(v, "Unknown Status");
    }
}

QString TransmitText(qint64 v)
{
    switch (v) {
    case 1: return QStringLiteral("(1) Busy");
    case 2: return QStringLiteral("(2) Done");
    case 3: return QStringLiteral("(3) DLE NAK Received");
    case 4: return QStringLiteral("(4) DLE ENQ Timeout");
    case 5: return QStringLiteral("(5) No Response Timeout");
    case 6: return QStringLiteral("(6) Message Packet Error");
    default: return Unknown(v, "Unknown Status");
    }
}

QString LinkLayerNoErrorText() { return QStringLiteral("(00) Success - No Error"); }

QString LinkLayerText(qint64 statusCode, qint64 extendedCode)
{
    static const QHash<QString, QString> table = MakeTable(kLinkLayer);
    const QString code = HexCode(statusCode);
    if (code == QLatin1String("F0"))
        return ExtendedText(extendedCode);
    return table.value(code, QStringLiteral("(") + code + QStringLiteral(") - Not Used"));
}

QString ExtendedText(qint64 extendedCode)
{
    static const QHash<QString, QString> table = MakeTable(kExtended);
    const QString code = HexCode(extendedCode);
    return table.value(code, QStringLiteral("(F0-") + code + QStringLiteral(") - Not Used"));
}

QString ActiveCommandText(qint64 v)
{
    if (v == 0)
        return QStringLiteral("Read");
    if (v == 1)
        return QStringLiteral("Write");
    return Unknown(v, "Unknown");
}

QString ReceivedCommandText(qint64 v)
{
    if (v == 0)
        return QStringLiteral("Command");
    if (v == 1)
        return QStringLiteral("Reply");
    return Unknown(v, "Unknown");
}

}   // namespace DF1Status
