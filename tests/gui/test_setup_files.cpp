// Set-up files: New, Open, Save, Save As, the save-changes and version
// questions, the file format, and files that cannot be a set-up.
#include "GuiFixture.h"
#include <QFileInfo>
#include <csignal>
#include <sys/resource.h>
#include <QtEndian>

using B = Dialogs::Button;

namespace {
const QString kSave = QStringLiteral("Save Changes to File?");

QString versionQuestion(const QString &v)
{
    return QStringLiteral("File created by set-up program version: ") + v
           + QStringLiteral("\r\nData tables may not be properly aligned.\r\n\r\nDo you wish to continue?");
}

// A set-up file made by hand: version, n addresses, m values.
QByteArray makeFile(const QByteArray &version, const QStringList &addr, const QVector<qint32> &val)
{
    QByteArray b;
    auto u16 = [&](quint16 v) { char c[2]; qToLittleEndian(v, c); b.append(c, 2); };
    auto u32 = [&](quint32 v) { char c[4]; qToLittleEndian(v, c); b.append(c, 4); };
    u16(quint16(version.size()));
    b += version;
    u16(1); u32(quint32(addr.size())); u32(0);
    for (const QString &a : addr) { u16(quint16(a.size())); b += a.toLatin1(); }
    u16(1); u32(quint32(val.size())); u32(0);
    for (qint32 v : val) u32(quint32(v));
    return b;
}
} // namespace

TEST_F(GuiTest, SavingTheDefaultSetupWritesTheKnownBytes)
{
    frmMDIMain &m = startMain();
    const QString file = path("line3.sdt");
    dialogs.expectSave(file);
    m.mnuFileSave->trigger();   // untitled: Save works as Save As
    ASSERT_EQ(dialogs.fileRequests.size(), 1u);
    EXPECT_TRUE(dialogs.fileRequests[0].initialPath.isEmpty());
    EXPECT_TRUE(dialogs.fileRequests[0].askOverwrite);
    EXPECT_EQ(dialogs.fileRequests[0].filter, QStringLiteral("Setup Files(*.sdt)"));
    EXPECT_TRUE(dialogs.fileRequests[0].defaultSuffix.isEmpty());

    const QByteArray bytes = ReadBytes(file);
    ASSERT_EQ(bytes.size(), 944);
    const QByteArray head = QByteArray::fromHex("0c00") + "ORVEL_R2.1.3" + QByteArray::fromHex("0100" "54000000" "00000000" "0400") + "B999";
    EXPECT_EQ(bytes.left(head.size()), head);
    // The same bytes as the reference file made outside the program.
    EXPECT_EQ(bytes, ReadBytes(QStringLiteral(ORVEL_SETUP_CORPUS "/default.sdt")));
    // The values end the file: ..., 1 (index 82), 10 (index 83).
    EXPECT_EQ(bytes.right(8), QByteArray::fromHex("01000000" "0a000000"));

    EXPECT_EQ(m.windowTitle(), QStringLiteral("ORVEL - [line3.sdt]"));
    EXPECT_FALSE(SetupUntitled);
    EXPECT_EQ(m.gFileNamePath, file);
    EXPECT_EQ(m.gFileNameTitle, QStringLiteral("line3.sdt"));
}

TEST_F(GuiTest, OpenSaveRoundTripKeepsEveryValueAndAsksNothing)
{
    frmMDIMain &m = startMain();
    CurrentSetup.Value[5] = 220;
    CurrentSetup.Value[44] = 123456789;
    CurrentSetup.Value[30] = -5;
    dialogs.expectSave(path("a.sdt"));
    EXPECT_TRUE(m.mnuFileSaveAs_Click());
    EXPECT_FALSE(m.ConfirmSaveChanges().has_value());

    dialogs.expectSave(path("b"));   // typed without an extension: saved without one
    EXPECT_TRUE(m.mnuFileSaveAs_Click());
    EXPECT_TRUE(QFileInfo::exists(path("b")));
    EXPECT_FALSE(QFileInfo::exists(path("b.sdt")));

    m.mnuFileNew_Click();
    EXPECT_EQ(CurrentSetup, DefaultSetup);
    EXPECT_EQ(m.windowTitle(), QStringLiteral("ORVEL - [unnamed]"));
    EXPECT_TRUE(SetupUntitled);

    dialogs.expectOpen(path("a.sdt"));
    m.mnuFileOpen->trigger();
    EXPECT_EQ(dialogs.fileRequests.back().initialPath, path("b"));
    EXPECT_TRUE(dialogs.fileRequests.back().mustExist);
    EXPECT_EQ(CurrentSetup.Value[5], 220);
    EXPECT_EQ(CurrentSetup.Value[44], 123456789);
    EXPECT_EQ(CurrentSetup.Value[30], -5);
    EXPECT_EQ(SavedSetup, CurrentSetup);
    EXPECT_FALSE(SetupUntitled);
    EXPECT_FALSE(m.gUploadNOW.isEmpty());
    EXPECT_EQ(m.windowTitle(), QStringLiteral("ORVEL - [a.sdt]"));
    EXPECT_FALSE(m.ConfirmSaveChanges().has_value());

    // Save now writes the opened file at once, without a dialog.
    CurrentSetup.Value[6] = 11;
    m.mnuFileSave->trigger();
    EXPECT_EQ(SavedSetup.Value[6], 11);
    dialogs.expectOpen(path("a.sdt"));
    m.mnuFileOpen->trigger();
    EXPECT_EQ(CurrentSetup.Value[6], 11);
}

TEST_F(GuiTest, SaveChangesQuestionGuardsNewOpenAndExit)
{
    frmMDIMain &m = startMain();
    CurrentSetup.Value[5] = 300;

    dialogs.expectBox(QStringLiteral("ORVEL"), B::Cancel, kSave);
    m.mnuFileNew->trigger();
    EXPECT_EQ(CurrentSetup.Value[5], 300);
    EXPECT_EQ(dialogs.boxes().back().icon, Dialogs::Icon::Exclamation);
    EXPECT_EQ(dialogs.boxes().back().buttons, Dialogs::Buttons::YesNoCancel);

    dialogs.expectBox(QStringLiteral("ORVEL"), B::Cancel, kSave);
    m.mnuFileOpen->trigger();   // Cancel: no dialog follows
    EXPECT_EQ(CurrentSetup.Value[5], 300);

    dialogs.expectBox(QStringLiteral("ORVEL"), B::Cancel, kSave);
    EXPECT_FALSE(m.close());
    EXPECT_EQ(CurrentSetup.Value[5], 300);
    EXPECT_NE(Link, nullptr);

    // Yes saves first; a cancelled save keeps the changes and stops the command.
    dialogs.expectBox(QStringLiteral("ORVEL"), B::Yes, kSave).expectSave(std::nullopt);
    m.mnuFileNew->trigger();
    EXPECT_EQ(CurrentSetup.Value[5], 300);

    dialogs.expectBox(QStringLiteral("ORVEL"), B::Yes, kSave).expectSave(path("kept.sdt"));
    m.mnuFileNew->trigger();
    EXPECT_EQ(CurrentSetup, DefaultSetup);
    EXPECT_EQ(ReadBytes(path("kept.sdt")).size(), 944);

    CurrentSetup.Value[7] = 1;
    dialogs.expectBox(QStringLiteral("ORVEL"), B::No, kSave);
    m.mnuFileNew->trigger();
    EXPECT_EQ(CurrentSetup, DefaultSetup);

    // Exit with unsaved changes: No lets the program end.
    CurrentSetup.Value[7] = 2;
    dialogs.expectBox(QStringLiteral("ORVEL"), B::No, kSave);
    m.mnuFileExit->trigger();
    EXPECT_FALSE(m.isVisible());
    EXPECT_EQ(m.ChildForms[0], nullptr);
}

TEST_F(GuiTest, FileOfAnotherVersionIsOpenedOnlyAfterTheQuestion)
{
    frmMDIMain &m = startMain();
    QStringList addr = DefaultSetup.Address;
    QVector<qint32> val = DefaultSetup.Value;
    val[0] = 9;
    WriteBytes(path("old.sdt"), makeFile("ORVEL_R2.0.7", addr, val));
    dialogs.expectSave(path("mine.sdt"));
    m.mnuFileSaveAs_Click();

    // Cancel: nothing changes, and Save still writes the set-up's own file.
    dialogs.expectOpen(path("old.sdt")).expectBox(QStringLiteral("ORVEL"), B::Cancel, versionQuestion(QStringLiteral("ORVEL_R2.0.7")));
    m.mnuFileOpen->trigger();
    EXPECT_EQ(dialogs.boxes().back().icon, Dialogs::Icon::Information);
    EXPECT_EQ(CurrentSetup.Value[0], 1);
    EXPECT_EQ(m.windowTitle(), QStringLiteral("ORVEL - [mine.sdt]"));
    EXPECT_EQ(m.gFileNamePath, path("mine.sdt"));
    const QByteArray oldBytes = ReadBytes(path("old.sdt"));
    m.mnuFileSave_Click();
    EXPECT_EQ(ReadBytes(path("old.sdt")), oldBytes) << "a declined file must not be overwritten";

    // No: the dialog comes again, starting at the declined file; then Yes.
    dialogs.expectOpen(path("old.sdt")).expectBox(QStringLiteral("ORVEL"), B::No)
        .expectOpen(path("old.sdt")).expectBox(QStringLiteral("ORVEL"), B::Yes);
    m.mnuFileOpen->trigger();
    EXPECT_EQ(dialogs.fileRequests.back().initialPath, path("old.sdt"));
    EXPECT_EQ(CurrentSetup.Value[0], 9);
    EXPECT_EQ(CurrentSetup.Version, QStringLiteral("ORVEL_R2.0.7"));
    EXPECT_EQ(m.windowTitle(), QStringLiteral("ORVEL - [old.sdt]"));

    // Accepted without edits, it still asks until saved under this version.
    dialogs.expectBox(QStringLiteral("ORVEL"), B::Cancel, kSave);
    m.mnuFileNew->trigger();
    m.mnuFileSave->trigger();
    EXPECT_EQ(CurrentSetup.Version, ProgramVersion);
    EXPECT_EQ(ReadBytes(path("old.sdt")).mid(2, 12), QByteArray("ORVEL_R2.1.3"));
    EXPECT_FALSE(m.ConfirmSaveChanges().has_value());
}

TEST_F(GuiTest, ShorterArraysArePaddedAndLongerOnesCut)
{
    frmMDIMain &m = startMain();
    QStringList addr = DefaultSetup.Address.mid(0, 80);
    QVector<qint32> val = DefaultSetup.Value.mid(0, 80);
    val[79] = 77;
    WriteBytes(path("short.sdt"), makeFile("ORVEL_R2.1.3", addr, val));
    dialogs.expectOpen(path("short.sdt"));
    m.mnuFileOpen->trigger();
    ASSERT_EQ(CurrentSetup.Address.size(), 84);
    ASSERT_EQ(CurrentSetup.Value.size(), 84);
    EXPECT_EQ(CurrentSetup.Value[79], 77);
    for (int i = 80; i < 84; ++i) {
        EXPECT_TRUE(CurrentSetup.Address[i].isEmpty()) << i;
        EXPECT_EQ(CurrentSetup.Value[i], 0) << i;
    }

    addr = DefaultSetup.Address;
    val = DefaultSetup.Value;
    for (int i = 0; i < 6; ++i) {
        addr << QStringLiteral("B%1").arg(i);
        val << 1000 + i;
    }
    addr[3] = QStringLiteral("W500");   // the file's addresses replace the built-in ones
    WriteBytes(path("long.sdt"), makeFile("ORVEL_R2.1.3", addr, val));
    dialogs.expectOpen(path("long.sdt"));
    m.mnuFileOpen->trigger();
    EXPECT_EQ(CurrentSetup.Address.size(), 84);
    EXPECT_EQ(CurrentSetup.Value.size(), 84);
    EXPECT_EQ(CurrentSetup.Address[3], QStringLiteral("W500"));
    EXPECT_EQ(CurrentSetup.Value[83], 10);
    // Bytes after the record are ignored.
    QByteArray withTail = makeFile("ORVEL_R2.1.3", DefaultSetup.Address, DefaultSetup.Value) + QByteArray(40, '\x7f');
    WriteBytes(path("tail.sdt"), withTail);
    dialogs.expectOpen(path("tail.sdt"));
    m.mnuFileOpen->trigger();
    EXPECT_EQ(CurrentSetup.Address, DefaultSetup.Address);
    EXPECT_EQ(m.windowTitle(), QStringLiteral("ORVEL - [tail.sdt]"));
}

TEST_F(GuiTest, DamagedOrAbsurdFilesAreRefusedAndNothingIsLost)
{
    frmMDIMain &m = startMain();
    CurrentSetup.Value[5] = 250;
    dialogs.expectSave(path("good.sdt"));
    m.mnuFileSaveAs_Click();
    const QByteArray good = ReadBytes(path("good.sdt"));

    QByteArray hugeCount = good;
    qToLittleEndian<quint32>(0xFFFFFFF0u, hugeCount.data() + 2 + 12 + 2);
    QByteArray hugeValues = good;
    qToLittleEndian<quint32>(100000000u, hugeValues.data() + good.size() - 336 - 8);
    QByteArray lowerBound = good;
    qToLittleEndian<quint32>(1u, lowerBound.data() + 2 + 12 + 6);
    QByteArray longVersion = good;
    qToLittleEndian<quint16>(0xFFFF, longVersion.data());
    const std::pair<const char *, QByteArray> bad[] = {
        {"empty.sdt", QByteArray()},
        {"cut.sdt", good.left(600)},
        {"count.sdt", hugeCount},
        {"values.sdt", hugeValues},
        {"lbound.sdt", lowerBound},
        {"version.sdt", longVersion},
    };
    for (const auto &[name, bytes] : bad) {
        WriteBytes(path(QString::fromLatin1(name)), bytes);
        dialogs.expectOpen(path(QString::fromLatin1(name))).expectBox(QStringLiteral("ORVEL"), B::OK);
        m.mnuFileOpen->trigger();
        EXPECT_TRUE(dialogs.boxes().back().text.contains(QString::fromLatin1(name))) << name;
        EXPECT_EQ(CurrentSetup.Value[5], 250) << name;
        EXPECT_EQ(m.windowTitle(), QStringLiteral("ORVEL - [good.sdt]")) << name;
        EXPECT_EQ(m.gFileNamePath, path("good.sdt")) << name;
    }
}

TEST_F(GuiTest, FailedSaveSaysSoAndLeavesTheOldFileWhole)
{
    frmMDIMain &m = startMain();
    dialogs.expectSave(path("sub/line.sdt")).expectBox(QStringLiteral("ORVEL"), B::OK);
    EXPECT_FALSE(m.mnuFileSaveAs_Click());   // the folder does not exist
    EXPECT_TRUE(SetupUntitled);
    EXPECT_EQ(m.windowTitle(), QStringLiteral("ORVEL - [unnamed]"));

    dialogs.expectSave(path("line.sdt"));
    ASSERT_TRUE(m.mnuFileSaveAs_Click());
    const QByteArray before = ReadBytes(path("line.sdt"));
    CurrentSetup.Value[5] = 333;

    // The disk takes only 500 more bytes of any file: the new set-up cannot
    // be written completely.
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 500;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    dialogs.expectBox(QStringLiteral("ORVEL"), B::OK);
    const bool saved = m.mnuFileSave_Click();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_TRUE(dialogs.boxes().back().text.contains(QStringLiteral("could not be saved")));
    EXPECT_EQ(ReadBytes(path("line.sdt")), before) << "the good file was replaced by a broken one";
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("line.sdt*")}, QDir::Files | QDir::Hidden).size(), 1)
        << "a temporary file was left behind";
    EXPECT_NE(SavedSetup.Value[5], 333);
    dialogs.expectBox(QStringLiteral("ORVEL"), B::Cancel, kSave);
    EXPECT_FALSE(m.close());

    // Once the disk has room again, Save works.
    EXPECT_TRUE(m.mnuFileSave_Click());
    EXPECT_EQ(ReadBytes(path("line.sdt")).size(), 944);
}
