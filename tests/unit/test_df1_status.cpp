// The texts shown for the DF1 module's status bytes, as one table.
#include "DF1Status.h"
#include <gtest/gtest.h>

using namespace DF1Status;

namespace {
QString LinkStatus(qint64 code) { return LinkLayerText(code, 17); }   // extended code 17 counts for F0 only
QString Extended(qint64 ext) { return LinkLayerText(240, ext); }
}   // namespace

TEST(Df1Status, EachCodeGivesItsOwnText)
{
    struct Case {
        QString (*text)(qint64);
        qint64 value;
        const char *expected;
    };
    // Link-layer codes are compared as upper-case hex text without leading zeros.
    const Case cases[] = {
        {ConfigurationText, 2, "(2) Success"},
        {ConfigurationText, 34, "(34) Invalid Slot ADD"},
        {ConfigurationText, 7, "(7) Unknown Status"},
        {ConfigurationText, 33, "(33) Unknown Status"},
        {TransmitText, 2, "(2) Done"},
        {TransmitText, 6, "(6) Message Packet Error"},
        {TransmitText, 0, "(0) Unknown Status"},
        {LinkStatus, 1, "(01) Not Used"},
        {LinkStatus, 8, "(08) Hardware Fault"},
        {LinkStatus, 16, "(10) Illegal Command or Format"},
        {LinkStatus, 48, "(30) Remote Node Host is Missing, Disconnected or Shut Down"},
        {LinkStatus, 176, "(B0) Remote Node Problem Due to Download"},
        {LinkStatus, 224, "(E0) Not Used"},
        {LinkStatus, 240, "(F0-11) Illegal Data Type"},
        {LinkStatus, 10, "(A) - Not Used"},
        {LinkStatus, 17, "(11) - Not Used"},
        {LinkStatus, 255, "(FF) - Not Used"},
        {Extended, 0, "(F0-0) Not Used"},
        {Extended, 10, "(F0-A) Transaction Size plus Word Address is Too Large"},
        {Extended, 17, "(F0-11) Illegal Data Type"},
        {Extended, 20, "(F0-14) Command Execution Failure for unknown reason; Possible PLC-3 Histogram Overflow"},
        {Extended, 27, "(F0-1B) Another Node is the Program Owner"},
        {Extended, 28, "(F0-1C) - Not Used"},
        {ActiveCommandText, 1, "Write"},
        {ActiveCommandText, 2, "(2) Unknown"},
        {ReceivedCommandText, 0, "Command"},
        {ReceivedCommandText, 3, "(3) Unknown"}};
    for (const Case &c : cases)
        EXPECT_EQ(c.text(c.value).toStdString(), c.expected) << "value " << c.value;
    EXPECT_EQ(LinkLayerNoErrorText().toStdString(), "(00) Success - No Error");
}
