// The comm port window: the settings file it reads and writes, the board
// tools' port files, the bounds check and the re-open when online.
#include "GuiFixture.h"
#include "UpDown.h"
#include "frmSetupComm.h"
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

using B = Dialogs::Button;

class CommPortTest : public GuiTest {
protected:
    QString cfg() const { return path("Support/RSPort.cfg"); }
    void writeCfg(const QByteArray &line) { WriteBytes(cfg(), line); }
};

TEST_F(CommPortTest, LoadShowsTheFileClampedAndDefaults)
{
    startMain();
    {
        frmSetupComm w;
        EXPECT_EQ(w.windowTitle(), QStringLiteral("Comm Port Settings"));
        EXPECT_EQ(w.txtCommPort->text(), QStringLiteral("1"));
        EXPECT_TRUE(w.optPortSpeed[0]->isChecked());
        EXPECT_EQ(w.updCommPort->Min(), 1);
        EXPECT_EQ(w.updCommPort->Max(), 99);
        EXPECT_EQ(w.fraCommPort->title(), QStringLiteral("Comm Port"));
        EXPECT_EQ(w.fraPortSpeed->title(), QStringLiteral("Port Speed"));
        EXPECT_EQ(w.cmdSave->text(), QStringLiteral("&Save"));
        EXPECT_EQ(w.cmdCancel->text(), QStringLiteral("&Cancel"));
    }
    writeCfg("150,9600\r\n");
    EXPECT_EQ(frmSetupComm().txtCommPort->text(), QStringLiteral("99"));
    writeCfg("2,4800\r\n");
    {
        frmSetupComm w;
        EXPECT_EQ(w.txtCommPort->text(), QStringLiteral("2"));
        EXPECT_TRUE(w.optPortSpeed[0]->isChecked());
    }
    writeCfg("3, 19200 \r\n");
    {
        frmSetupComm w;
        EXPECT_EQ(w.txtCommPort->text(), QStringLiteral("3"));
        EXPECT_TRUE(w.optPortSpeed[1]->isChecked());
    }
    writeCfg("COM2,9600\r\n");
    dialogs.expectBox(QStringLiteral("SetupComm CurrentSettings"), B::OK, QStringLiteral("Error Number = 13\r\n\r\nType mismatch"));
    EXPECT_EQ(frmSetupComm().txtCommPort->text(), QStringLiteral("1"));
    writeCfg("4,40000\r\n");
    dialogs.expectBox(QStringLiteral("SetupComm CurrentSettings"), B::OK, QStringLiteral("Error Number = 6\r\n\r\nOverflow"));
    {
        frmSetupComm w;
        EXPECT_EQ(w.txtCommPort->text(), QStringLiteral("4"));
        EXPECT_TRUE(w.optPortSpeed[0]->isChecked());
    }
}

TEST_F(CommPortTest, PortNumberOutsideTheBoundsIsRejected)
{
    startMain();
    frmSetupComm w;
    for (const char *typed : {"0", "100", "abc", ""}) {
        w.txtCommPort->setText(QString::fromLatin1(typed));
        dialogs.expectBox(QStringLiteral("Comm Port"), B::OK, QStringLiteral("Only a Number Between 1 and 99 can be Entered"));
        EXPECT_FALSE(w.txtCommPort_Validate()) << typed;
        EXPECT_EQ(w.txtCommPort->text(), QString::fromLatin1(typed));
    }
    w.txtCommPort->setText(QStringLiteral("99"));
    EXPECT_TRUE(w.txtCommPort_Validate());
    w.updCommPort->stepUp();
    EXPECT_EQ(w.txtCommPort->text(), QStringLiteral("99"));
    w.txtCommPort->setText(QStringLiteral("1"));
    w.updCommPort->stepDown();
    EXPECT_EQ(w.txtCommPort->text(), QStringLiteral("1"));
    w.updCommPort->stepUp();
    EXPECT_EQ(w.txtCommPort->text(), QStringLiteral("2"));
}

TEST_F(CommPortTest, SaveWritesTheSettingsAndTheToolFiles)
{
    startMain();
    QDir().mkpath(path("TRX51"));
    QDir().mkpath(path("kdr51"));   // found whatever its letter case
    frmSetupComm w;
    w.txtCommPort->setText(QStringLiteral("4"));
    w.optPortSpeed[1]->setChecked(true);
    w.cmdSave->click();
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_EQ(ReadBytes(cfg()), QByteArray("4, 19200 \r\n"));
    EXPECT_EQ(ReadBytes(path("TRX51/TARNEX.SFG")), QByteArray("3\r\n"));
    EXPECT_EQ(ReadBytes(path("kdr51/TARNEX.SFG")), QByteArray("3\r\n"));
    EXPECT_FALSE(QFileInfo::exists(path("TRX96"))) << "a missing tool folder is not created";
    EXPECT_FALSE(Link->OnlineMode);
    EXPECT_FALSE(CommPortControl->isOpen());

    // The file it writes is one the link reads: port 4 at 19200.
    frmSetupComm again;
    EXPECT_EQ(again.txtCommPort->text(), QStringLiteral("4"));
    EXPECT_TRUE(again.optPortSpeed[1]->isChecked());

    // Out of bounds at save time: clamped silently; halves go to the even neighbour.
    again.txtCommPort->setText(QStringLiteral("250"));
    again.optPortSpeed[0]->setChecked(true);
    again.cmdSave_Click();
    EXPECT_EQ(ReadBytes(cfg()), QByteArray("99, 9600 \r\n"));
    frmSetupComm third;
    third.txtCommPort->setText(QStringLiteral("2.5"));
    third.cmdSave_Click();
    EXPECT_EQ(ReadBytes(cfg()), QByteArray("2, 9600 \r\n"));
    EXPECT_EQ(ReadBytes(path("TRX51/TARNEX.SFG")), QByteArray("1\r\n"));
}

TEST_F(CommPortTest, CancelWritesNothing)
{
    startMain();
    writeCfg("5,9600\r\n");
    frmSetupComm w;
    w.txtCommPort->setText(QStringLiteral("7"));
    w.cmdCancel->click();
    EXPECT_EQ(w.result(), QDialog::Rejected);
    EXPECT_EQ(ReadBytes(cfg()), QByteArray("5,9600\r\n"));
}

TEST_F(CommPortTest, SavingWhileOnlineReopensTheLink)
{
    boardOnCom1();
    frmMDIMain &m = startMain();
    m.mnuViewOnline_Click();
    ASSERT_TRUE(Link->OnlineMode);
    tick();
    {
        frmSetupComm w;
        EXPECT_TRUE(w.WasOnline);
        w.optPortSpeed[1]->setChecked(true);
        w.cmdSave_Click();
        EXPECT_EQ(w.result(), QDialog::Accepted);
        EXPECT_TRUE(Link->OnlineMode);
        EXPECT_EQ(CommPortControl->settings(), QStringLiteral("19200,n,8,1"));
    }
    // A port that does not answer: the window stays open, the program goes offline.
    QFile::link(path("no-such-device"), path("Support/ports/COM2"));
    frmSetupComm w;
    w.txtCommPort->setText(QStringLiteral("2"));
    EXPECT_TRUE(w.lblDevice->text().contains(QStringLiteral("COM2")));
    dialogs.expectBox(QStringLiteral("Comm Port Error"), B::OK);
    w.cmdSave_Click();
    EXPECT_NE(w.result(), QDialog::Accepted);
    EXPECT_FALSE(Link->OnlineMode);
    tick();   // the poll sees the change and brings the menus and panels along
    EXPECT_EQ(panel(2), QStringLiteral("OFFLINE"));
    EXPECT_FALSE(m.mnuEditPasscode->isEnabled());
    EXPECT_EQ(panel(1), QStringLiteral("System Message:  Comm Fault with T6850"));
}

TEST_F(CommPortTest, ShowsTheDeviceANumberMeansHere)
{
    startMain();
    QFile::link(QStringLiteral("/dev/null"), path("Support/ports/COM3"));
    frmSetupComm w;
    w.txtCommPort->setText(QStringLiteral("3"));
    EXPECT_TRUE(w.lblDevice->text().contains(path("Support/ports/COM3"))) << w.lblDevice->text().toStdString();
    EXPECT_TRUE(w.lblDevice->text().contains(QStringLiteral("/dev/null")));
    w.txtCommPort->setText(QStringLiteral("5"));
    EXPECT_TRUE(w.lblDevice->text().contains(QStringLiteral("/dev/ttyS4")));
    EXPECT_FALSE(w.lblDetected->text().isEmpty());
}
