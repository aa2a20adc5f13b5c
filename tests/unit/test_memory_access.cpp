#include "LinkFixture.h"

using Button = Dialogs::Button;

class MemoryAccess : public LinkFixture {
protected:
    void SetUp() override { goOnline(); }
    void expectAlert(const char *reason)
    {
        dialogs.expectBox(QStringLiteral("ENTRY ALERT"), Button::OK,
                          QStringLiteral("Error:\r") + QString::fromLatin1(reason));
    }
};

TEST_F(MemoryAccess, ReadsOfEachType)
{
    port.mode(0x01).readByteAt(188, 0x34).readByteAt(189, 0x12);
    EXPECT_EQ(link.RSRead(QStringLiteral("W188")).toStdString(), "4660");

    port.readByteAt(1100, 0x0F).readByteAt(1101, 0x27).readByteAt(1102, 0x01).readByteAt(1103, 0x00);
    EXPECT_EQ(link.RSRead(QStringLiteral("D1100")).toStdString(), "19999");   // 1 x 10000 + 9999

    port.readByteAt(1200, 0xFF).readByteAt(1201, 0xFF).readByteAt(1202, 0xFF).readByteAt(1203, 0xFF);
    EXPECT_EQ(link.RSRead(QStringLiteral("D1200")).toStdString(), "655415535");   // raw words, no clamping

    port.readByteAt(4001, 0x08);
    EXPECT_EQ(link.RSRead(QStringLiteral("B4001.3")).toStdString(), "1");
    port.readByteAt(4001, 0x08);
    EXPECT_EQ(link.RSRead(QStringLiteral("B4001.2")).toStdString(), "0");
    port.readByteAt(42, 0x80);
    EXPECT_EQ(link.RSRead(QStringLiteral("F87")).toStdString(), "1");
    port.readByteAt(0x1F40, 200);
    EXPECT_EQ(link.RSRead(QStringLiteral("1F40H")).toStdString(), "200");
    port.readByteAt(0xFEFF, 1);   // the highest address that can cross the line
    EXPECT_EQ(link.RSRead(QStringLiteral("FEFFH")).toStdString(), "1");
    EXPECT_TRUE(link.lastAccessOk());
}

TEST_F(MemoryAccess, WrongEchoOnReadStartsOnceMoreAndThenFails)
{
    // Once: the read starts again from the handshake and gets the board's value.
    port.mode(0x01).exchange(1014 / 256, 0x00);
    port.mode(0x01).readByteAt(1014, 215).readByteAt(1015, 0);
    EXPECT_EQ(link.RSRead(QStringLiteral("W1014")).toStdString(), "215");
    EXPECT_TRUE(link.lastAccessOk());

    // Twice: the read fails, as "0" for the windows and through lastAccessOk().
    port.exchange(1014 / 256, 0x00);   // still in read mode: the first attempt needs no handshake
    port.mode(0x01).exchange(1014 / 256, 0x07);
    EXPECT_EQ(link.RSRead(QStringLiteral("W1014")).toStdString(), "0");
    EXPECT_FALSE(link.lastAccessOk());
    EXPECT_EQ(link.currentMode(), 0);
    EXPECT_FALSE(link.CommError);
    EXPECT_TRUE(dialogs.boxes().empty());
    // A firmware revision read that fails so is -1, as offline: never the
    // revision 0 a board can have.
    port.mode(0x01).exchange(8159 / 256, 0x00);
    port.mode(0x01).exchange(8159 / 256, 0x00);
    EXPECT_EQ(link.FirmwareRev(), -1);
}

TEST_F(MemoryAccess, WritesOfEachType)
{
    port.mode(0x02).writeByteAt(1100, 0x85).writeByteAt(1101, 0x1A).writeByteAt(1102, 0x39).writeByteAt(1103, 0x30);
    link.RSWrite(QStringLiteral("D1100"), QString::number(12345LL * 10000 + 6789));

    port.writeByteAt(1014, 220).writeByteAt(1015, 0);   // still in write mode: no handshake
    link.RSWrite(QStringLiteral("W1014"), QStringLiteral("220"));

    port.writeByteAt(999, 125);
    link.RSWrite(QStringLiteral("B999"), QStringLiteral("12.5"));   // "." is dropped
    port.writeByteAt(1016, 1000 % 256).writeByteAt(1017, 1000 / 256);
    link.RSWrite(QStringLiteral("W1016"), QStringLiteral("1,000"));
    port.writeByteAt(1018, 0).writeByteAt(1019, 0);
    link.RSWrite(QStringLiteral("W1018"), QString());   // empty writes 0
    port.writeByteAt(998, 45);
    link.RSWrite(QStringLiteral("B998"), QStringLiteral("45 %\u00B0"));
    EXPECT_FALSE(link.CommError);
    EXPECT_EQ(link.currentMode(), 2);
}

TEST_F(MemoryAccess, BitWriteKeepsTheOtherBits)
{
    port.mode(0x01).readByteAt(4001, 0xA5);
    EXPECT_EQ(link.RSRead(QStringLiteral("B4001")).toStdString(), "165");
    // Setting bit 3 reads the byte twice, then writes it whole.
    port.readByteAt(4001, 0xA5).readByteAt(4001, 0xA5).mode(0x02).writeByteAt(4001, 0xAD);
    link.RSWrite(QStringLiteral("B4001.3"), QStringLiteral("1"));
    EXPECT_TRUE(link.lastAccessOk());
    // Clearing flag 87 (bit 7 of byte 42).
    port.mode(0x01).readByteAt(42, 0xFF).readByteAt(42, 0xFF).mode(0x02).writeByteAt(42, 0x7F);
    link.RSWrite(QStringLiteral("F87"), QStringLiteral("0"));
    EXPECT_TRUE(link.lastAccessOk());
}

TEST_F(MemoryAccess, ReadAfterWriteReentersReadMode)
{
    port.mode(0x02).writeByteAt(999, 1).mode(0x01).readByteAt(1000, 5);
    link.RSWrite(QStringLiteral("B999"), QStringLiteral("1"));
    EXPECT_EQ(link.RSRead(QStringLiteral("B1000")).toStdString(), "5");
}

TEST_F(MemoryAccess, WrongEchoRepeatsTheWholeWriteOnceOnly)
{
    // First attempt: the data echo of the low byte is wrong; the rest of that byte is still sent.
    port.mode(0x02).exchange(1014 / 256, 1014 / 256).exchange(1014 % 256, 1014 % 256).exchange(220, 0x00);
    // Second attempt re-enters write mode and sends everything again; its mismatch is not repeated.
    port.mode(0x02).exchange(1014 / 256, 1014 / 256).exchange(1014 % 256, 0x11).exchange(220, 220);
    link.RSWrite(QStringLiteral("W1014"), QStringLiteral("220"));
    EXPECT_EQ(link.currentMode(), 0);
    EXPECT_FALSE(link.CommError);
    EXPECT_EQ(dialogs.boxes().size(), 0u);
}

TEST_F(MemoryAccess, EntryAlertsSendNothing)
{
    const size_t before = port.sent().size();
    expectAlert("Only Numerical Data Allowed.");
    link.RSWrite(QStringLiteral("W1014"), QStringLiteral("-5"));
    EXPECT_TRUE(link.lastAccessRefused());
    expectAlert("Only Numerical Data Allowed.");
    link.RSWrite(QStringLiteral("W1014"), QStringLiteral("12abc"));
    expectAlert("Enter 0 or 1 Only.");
    link.RSWrite(QStringLiteral("B4001.3"), QStringLiteral("2"));
    expectAlert("Entry out of Range (0-255).");
    link.RSWrite(QStringLiteral("B999"), QStringLiteral("256"));
    expectAlert("Entry out of Range (0-65,535).");
    link.RSWrite(QStringLiteral("W1014"), QStringLiteral("65536"));
    expectAlert("Entry out of Range (0-655,359,999).");
    link.RSWrite(QStringLiteral("D1100"), QStringLiteral("655360000"));
    expectAlert("Entry out of Range (0-655,359,999).");
    link.RSWrite(QStringLiteral("D1100"), QStringLiteral("99999999999999999999999999"));
    expectAlert("Address out of Range (0-65,535).");
    link.RSWrite(QStringLiteral("W99999999"), QStringLiteral("1"));
    expectAlert("Bit Number out of Range (0-7).");
    link.RSWrite(QStringLiteral("B4001.9"), QStringLiteral("1"));
    expectAlert("No Address Given.");
    link.RSWrite(QString(), QStringLiteral("1"));
    expectAlert("Address out of Range (0-65,535).");
    EXPECT_EQ(link.RSRead(QStringLiteral("12345H")).toStdString(), "0");
    EXPECT_TRUE(link.lastAccessRefused());
    EXPECT_EQ(port.sent().size(), before);
    for (const auto &b : dialogs.boxes())
        EXPECT_EQ(b.icon, Dialogs::Icon::Critical);

    // Limits themselves are accepted.
    port.mode(0x02).writeByteAt(1100, 0x0F).writeByteAt(1101, 0x27).writeByteAt(1102, 0xFF).writeByteAt(1103, 0xFF);
    link.RSWrite(QStringLiteral("D1100"), QStringLiteral("655359999"));
    EXPECT_FALSE(link.lastAccessRefused());
}

TEST_F(MemoryAccess, ConfirmedReadKeepsAValueOnlyWhenTwoReadsInARowAgree)
{
    // Two reads that agree: the value. A garbled data byte: read on until two in a row agree.
    port.mode(0x01).readByteAt(1014, 215).readByteAt(1015, 0).readByteAt(1014, 215).readByteAt(1015, 0);
    EXPECT_EQ(link.RSReadConfirmed(QStringLiteral("W1014")).toStdString(), "215");
    port.readByteAt(999, 0x3C ^ 0x40).readByteAt(999, 0x3C).readByteAt(999, 0x3C);
    EXPECT_EQ(link.RSReadConfirmed(QStringLiteral("B999")).toStdString(), "60");
    EXPECT_TRUE(link.lastAccessOk());
    // Four reads and no two in a row agree: a failed read, with no box and no fifth read.
    port.readByteAt(999, 1).readByteAt(999, 2).readByteAt(999, 1).readByteAt(999, 2);
    EXPECT_EQ(link.RSReadConfirmed(QStringLiteral("B999")).toStdString(), "0");
    EXPECT_FALSE(link.lastAccessOk());
    // A read that failed on wrong echoes (its own and its repeat's) is one of
    // the four and agrees with nothing ...
    port.readByteAt(999, 60).exchange(999 / 256, 0x00).mode(0x01).exchange(999 / 256, 0x00);
    port.mode(0x01).readByteAt(999, 60).readByteAt(999, 60);
    EXPECT_EQ(link.RSReadConfirmed(QStringLiteral("B999")).toStdString(), "60");
    // ... one that timed out ends it at once: the board answers late.
    port.readByteAt(999, 60).exchange(999 / 256, 999 / 256).silent(999 % 256);
    port.mode(0x01).exchange(999 / 256, 999 / 256).silent(999 % 256);
    EXPECT_EQ(link.RSReadConfirmed(QStringLiteral("B999")).toStdString(), "0");
    EXPECT_FALSE(link.lastAccessOk());
    EXPECT_FALSE(link.CommError);

    // A bit write acts on its byte only so confirmed: a wrong echo while
    // reading it, twice, writes nothing (it would clear the other bits) ...
    port.mode(0x01).exchange(4001 / 256, 0x00);
    port.mode(0x01).exchange(4001 / 256, 0x00);
    link.RSWrite(QStringLiteral("B4001.3"), QStringLiteral("1"));
    EXPECT_FALSE(link.lastAccessOk());
    EXPECT_EQ(link.currentMode(), 0);
    // ... and reads that never agree twice in a row leave it to the repeat,
    // which writes the byte as the board holds it.
    port.mode(0x01).readByteAt(4001, 0xA5).readByteAt(4001, 0x25).readByteAt(4001, 0xA5).readByteAt(4001, 0x25);
    port.mode(0x01).readByteAt(4001, 0x25).readByteAt(4001, 0xA5).readByteAt(4001, 0xA5).mode(0x02).writeByteAt(
        4001, 0xAD);
    link.RSWrite(QStringLiteral("B4001.3"), QStringLiteral("1"));
    EXPECT_TRUE(link.lastAccessOk());
    EXPECT_TRUE(dialogs.boxes().empty());
}

TEST_F(MemoryAccess, TimeOutInTheMiddleOfAReadEndsIt)
{
    // The low byte goes unanswered: no 0xFF follows it inside the sequence.
    // The read starts again from the handshake once the line has settled, and
    // the board stays silent: one box.
    port.mode(0x01).readByteAt(188, 1).exchange(189 / 256, 189 / 256).silent(189 % 256);
    port.silent(0xFF).silent(0xFF).silent(0xFF);
    dialogs.expectBox(kCommBoxTitle, Button::Cancel);
    EXPECT_EQ(link.RSRead(QStringLiteral("W188")).toStdString(), "0");
    EXPECT_FALSE(link.lastAccessOk());
    EXPECT_TRUE(link.CommError);
    EXPECT_EQ(link.currentMode(), 0);
}
