// The texts shown for the DF1 module's status bytes, as tables.
#include "DF1Status.h"
#include <gtest/gtest.h>

using namespace DF1Status;

namespace {
struct Case {
    qint64 value;
    const char *text;
};

void ExpectTable(QString (*fn)(qint64), std::initializer_list<Case> cases)
{
    for (const Case &c : cases)
        EXPECT_EQ(fn(c.value).toStdString(), c.text) << "value " << c.value;
}
}   // namespace

TEST(Df1Status, HexCodeIsUpperCaseWithoutLeadingZeros)
{
    const std::pair<qint64, const char *> cases[] = {{0, "0"},   {9, "9"},    {10, "A"},   {16, "10"},
                                                     {26, "1A"}, {240, "F0"}, {255, "FF"}, {-1, "-1"}};
    for (const auto &[v, hex] : cases)
        EXPECT_EQ(HexCode(v).toStdString(), hex) << v;
}

TEST(Df1Status, ConfigurationStatus)
{
    ExpectTable(ConfigurationText,
                {
                    {1, "(1) Busy"},
                    {2, "(2) Success"},
                    {3, "(3) Invalid Parameter"},
                    {4, "(4) Timeout - No Response"},
                    {32, "(32) Hardware ACK Error"},
                    {34, "(34) Invalid Slot ADD"},
                    {0, "(0) Unknown Status"},
                    {7, "(7) Unknown Status"},
                    {33, "(33) Unknown Status"},
                    {255, "(255) Unknown Status"},
                });
}

TEST(Df1Status, TransmitStatus)
{
    ExpectTable(TransmitText,
                {
                    {1, "(1) Busy"},
                    {2, "(2) Done"},
                    {3, "(3) DLE NAK Received"},
                    {4, "(4) DLE ENQ Timeout"},
                    {5, "(5) No Response Timeout"},
                    {6, "(6) Message Packet Error"},
                    {0, "(0) Unknown Status"},
                    {7, "(7) Unknown Status"},
                    {32, "(32) Unknown Status"},
                });
}

TEST(Df1Status, LinkLayerStatusByItsHexCode)
{
    EXPECT_EQ(LinkLayerNoErrorText().toStdString(), "(00) Success - No Error");
    // Status code (decimal as read) -> text; the extended code only counts for F0.
    ExpectTable([](qint64 code) { return LinkLayerText(code, 17); },
                {
                    {1, "(01) Not Used"},
                    {2, "(02) Cannot Guarantee Delivery: Link Layer"},
                    {5, "(05) Application Layer Timed out waiting for a response"},
                    {8, "(08) Hardware Fault"},
                    {16, "(10) Illegal Command or Format"},
                    {32, "(20) Host has a Problem and Will Not Communicate"},
                    {48, "(30) Remote Node Host is Missing, Disconnected or Shut Down"},
                    {64, "(40) Host Could Not Complete Function Due to Hardware Fault"},
                    {128, "(80) Compatibility Mode File Missing or Communication Zone Problem"},
                    {144, "(90) Remote Node Cannot Buffer Command"},
                    {160, "(A0) Not Used"},
                    {176, "(B0) Remote Node Problem Due to Download"},
                    {192, "(C0) Cannot Execute Command Due to Active IPBs"},
                    {224, "(E0) Not Used"},
                    {240, "(F0-11) Illegal Data Type"},
                    // Codes of no entry: their own hex text, never a neighbour's.
                    {9, "(9) - Not Used"},
                    {10, "(A) - Not Used"},
                    {17, "(11) - Not Used"},
                    {30, "(1E) - Not Used"},
                    {241, "(F1) - Not Used"},
                    {255, "(FF) - Not Used"},
                    {0, "(0) - Not Used"},
                });
}

TEST(Df1Status, ExtendedStatusUnderF0)
{
    ExpectTable([](qint64 ext) { return LinkLayerText(240, ext); },
                {
                    {0, "(F0-0) Not Used"},
                    {1, "(F0-1) A Field has an Illegal Value"},
                    {6, "(F0-6) Address Dosen't Point to Something Usable"},
                    {10, "(F0-A) Transaction Size plus Word Address is Too Large"},
                    {15, "(F0-F) Histogram Overflow"},
                    {16, "(F0-10) No Access"},
                    {17, "(F0-11) Illegal Data Type"},
                    {20, "(F0-14) Command Execution Failure for unknown reason; Possible PLC-3 Histogram Overflow"},
                    {26, "(F0-1A) File is Open; Another Node Owns it"},
                    {27, "(F0-1B) Another Node is the Program Owner"},
                    {11, "(F0-B) Access Denied, Improper Privilege"},
                    {28, "(F0-1C) - Not Used"},
                    {40, "(F0-28) - Not Used"},
                    {255, "(F0-FF) - Not Used"},
                });
}

TEST(Df1Status, CommandBits)
{
    ExpectTable(ActiveCommandText, {{0, "Read"}, {1, "Write"}, {2, "(2) Unknown"}, {255, "(255) Unknown"}});
    ExpectTable(ReceivedCommandText, {{0, "Command"}, {1, "Reply"}, {3, "(3) Unknown"}});
}
