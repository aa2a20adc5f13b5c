// Set-up files: New, Open, Save, Save As, the save-changes and version
// questions, the file format, and files that cannot be a set-up.
#include "GuiFixture.h"
#include "Utilities.h"
#include <QFileInfo>
#include <QtEndian>
#include <csignal>
#include <cstdint>
#include <functional>
#include <string_view>
#include <sys/resource.h>
#include <sys/stat.h>

using B = Dialogs::Button;

namespace {
const QString kSave = QStringLiteral("Save Changes to File?");
const QString kOrvel = QStringLiteral("ORVEL");

// A set-up file made by hand: version, n addresses, m values.
QByteArray makeFile(const QByteArray &version, const QStringList &addr, const QVector<qint32> &val)
{
    QByteArray b;
    auto u16 = [&](quint16 v) {
        char c[2];
        qToLittleEndian(v, c);
        b.append(c, 2);
    };
    auto u32 = [&](quint32 v) {
        char c[4];
        qToLittleEndian(v, c);
        b.append(c, 4);
    };
    u16(quint16(version.size()));
    b += version;
    u16(1);
    u32(quint32(addr.size()));
    u32(0);
    for (const QString &a : addr) {
        u16(quint16(a.size()));
        b += a.toLatin1();
    }
    u16(1);
    u32(quint32(val.size()));
    u32(0);
    for (qint32 v : val)
        u32(quint32(v));
    return b;
}
}   // namespace

TEST_F(GuiTest, SavingTheDefaultSetupWritesTheKnownBytes)
{
    frmMDIMain &m = startMain();
    const QString file = path("line3.sdt");
    dialogs.expectSave(file);
    m.mnuFileSave->trigger();   // untitled: Save works as Save As
    ASSERT_EQ(dialogs.fileRequests.size(), 1u);
    EXPECT_TRUE(dialogs.fileRequests[0].askOverwrite);
    EXPECT_EQ(dialogs.fileRequests[0].filter, QStringLiteral("Setup Files(*.sdt)"));
    EXPECT_TRUE(dialogs.fileRequests[0].defaultSuffix.isEmpty());

    // 84 addresses and 84 values; the same bytes as the reference file made outside the program.
    const QByteArray bytes = ReadBytes(file);
    ASSERT_EQ(bytes.size(), 944);
    const QByteArray head = QByteArray::fromHex("0c00") + "ORVEL_R2.1.3"
        + QByteArray::fromHex("0100"
                              "54000000"
                              "00000000"
                              "0400")
        + "B999";
    EXPECT_EQ(bytes.left(head.size()), head);
    EXPECT_EQ(bytes, ReadBytes(QStringLiteral(ORVEL_SETUP_CORPUS "/default.sdt")));

    EXPECT_EQ(m.windowTitle(), QStringLiteral("ORVEL - [line3.sdt]"));
    EXPECT_FALSE(SetupUntitled);
    EXPECT_EQ(m.gFileNamePath, file);
}

TEST_F(GuiTest, SaveNewOpenRoundTripKeepsEveryValueAndAsksNothing)
{
    frmMDIMain &m = startMain();
    const std::pair<int, qint32> edits[] = {{5, 220}, {44, 123456789}, {30, -5}, {83, INT32_MIN}};
    for (const auto &[i, v] : edits)
        CurrentSetup.Value[i] = v;
    dialogs.expectSave(path("a.sdt"));
    EXPECT_TRUE(m.mnuFileSaveAs_Click());
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
    for (const auto &[i, v] : edits)
        EXPECT_EQ(CurrentSetup.Value[i], v) << i;
    EXPECT_EQ(SavedSetup, CurrentSetup);
    EXPECT_EQ(m.windowTitle(), QStringLiteral("ORVEL - [a.sdt]"));
    EXPECT_FALSE(m.ConfirmSaveChanges().has_value());

    // Save now writes the opened file at once, without a dialog.
    CurrentSetup.Value[6] = 11;
    m.mnuFileSave->trigger();
    dialogs.expectOpen(path("a.sdt"));
    m.mnuFileOpen->trigger();
    EXPECT_EQ(CurrentSetup.Value[6], 11);
}

TEST_F(GuiTest, SaveChangesQuestionGuardsNewOpenAndExit)
{
    frmMDIMain &m = startMain();
    const auto newFile = [&] { m.mnuFileNew->trigger(); };
    // The command, the answer, the Save As dialog's answer when one comes, and whether the changes stay.
    struct Case {
        const char *what;
        std::function<void()> command;
        B answer;
        std::optional<std::optional<QString>> saveAs;
        bool kept;
    };
    const Case cases[] = {
        {"New, Cancel", newFile, B::Cancel, {}, true},
        {"Open, Cancel: no dialog follows", [&] { m.mnuFileOpen->trigger(); }, B::Cancel, {}, true},
        {"Exit, Cancel", [&] { EXPECT_FALSE(m.close()); }, B::Cancel, {}, true},
        {"New, Yes, Save As cancelled", newFile, B::Yes, std::optional<QString>(), true},
        {"New, Yes, saved", newFile, B::Yes, path("kept.sdt"), false},
        {"New, No", newFile, B::No, {}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        CurrentSetup.Value[5] = 300;
        dialogs.expectBox(kOrvel, c.answer, kSave);
        if (c.saveAs)
            dialogs.expectSave(*c.saveAs);
        c.command();
        EXPECT_EQ(dialogs.boxes().back().icon, Dialogs::Icon::Exclamation);
        EXPECT_EQ(dialogs.boxes().back().buttons, Dialogs::Buttons::YesNoCancel);
        EXPECT_EQ(CurrentSetup.Value[5], c.kept ? 300 : DefaultSetup.Value[5]);
        EXPECT_NE(Link, nullptr);
    }
    EXPECT_EQ(ReadBytes(path("kept.sdt")).size(), 944);

    CurrentSetup.Value[7] = 2;   // Exit with unsaved changes: No lets the program end.
    dialogs.expectBox(kOrvel, B::No, kSave);
    m.mnuFileExit->trigger();
    EXPECT_FALSE(m.isVisible());
    EXPECT_EQ(m.ChildForms[0], nullptr);
}

TEST_F(GuiTest, FileOfAnotherVersionIsOpenedOnlyAfterTheQuestion)
{
    frmMDIMain &m = startMain();
    QVector<qint32> val = DefaultSetup.Value;
    val[0] = 9;
    WriteBytes(path("old.sdt"), makeFile("ORVEL_R2.0.7", DefaultSetup.Address, val));
    const QByteArray oldBytes = ReadBytes(path("old.sdt"));
    dialogs.expectSave(path("mine.sdt"));
    m.mnuFileSaveAs_Click();

    // Cancel: nothing changes, and Save still writes the set-up's own file.
    // (Named on the command line, the file is asked about as a chosen one.)
    dialogs.expectBox(kOrvel, B::Cancel,
                      QStringLiteral("File created by set-up program version: ORVEL_R2.0.7\r\n"
                                     "Data tables may not be properly aligned.\r\n\r\nDo you wish to continue?"));
    m.OpenSetupFile(path("old.sdt"));
    EXPECT_EQ(dialogs.boxes().back().icon, Dialogs::Icon::Information);
    EXPECT_EQ(CurrentSetup.Value[0], 1);
    EXPECT_EQ(m.windowTitle(), QStringLiteral("ORVEL - [mine.sdt]"));
    m.mnuFileSave_Click();
    EXPECT_EQ(ReadBytes(path("old.sdt")), oldBytes) << "a declined file must not be overwritten";

    // No: the dialog comes again, starting at the declined file; then Yes.
    dialogs.expectOpen(path("old.sdt")).expectBox(kOrvel, B::No).expectOpen(path("old.sdt")).expectBox(kOrvel, B::Yes);
    m.mnuFileOpen->trigger();
    EXPECT_EQ(dialogs.fileRequests.back().initialPath, path("old.sdt"));
    EXPECT_EQ(CurrentSetup.Value[0], 9);
    EXPECT_EQ(CurrentSetup.Version, QStringLiteral("ORVEL_R2.0.7"));
    EXPECT_EQ(m.windowTitle(), QStringLiteral("ORVEL - [old.sdt]"));

    // Accepted without edits, it still asks until saved under this version.
    dialogs.expectBox(kOrvel, B::Cancel, kSave);
    m.mnuFileNew->trigger();
    m.mnuFileSave->trigger();
    EXPECT_EQ(CurrentSetup.Version, ProgramVersion);
    EXPECT_EQ(ReadBytes(path("old.sdt")).mid(2, 12), QByteArray("ORVEL_R2.1.3"));
    EXPECT_FALSE(m.ConfirmSaveChanges().has_value());
}

TEST_F(GuiTest, ShorterArraysArePaddedLongerOnesCutAndTrailingBytesIgnored)
{
    frmMDIMain &m = startMain();
    QStringList shortAddr = DefaultSetup.Address.mid(0, 80);
    QVector<qint32> shortVal = DefaultSetup.Value.mid(0, 80);
    shortVal[79] = 77;
    QStringList longAddr = DefaultSetup.Address;
    QVector<qint32> longVal = DefaultSetup.Value;
    for (int i = 0; i < 6; ++i) {
        longAddr << QStringLiteral("B%1").arg(i);
        longVal << 1000 + i;
    }
    longAddr[3] = QStringLiteral("W500");   // the file's addresses replace the built-in ones
    const std::tuple<const char *, QByteArray, QStringList, QVector<qint32>> files[] = {
        {"short.sdt", makeFile("ORVEL_R2.1.3", shortAddr, shortVal), shortAddr + QStringList(4),
         shortVal + QVector<qint32>(4)},
        {"long.sdt", makeFile("ORVEL_R2.1.3", longAddr, longVal), longAddr.mid(0, 84), longVal.mid(0, 84)},
        {"tail.sdt", makeFile("ORVEL_R2.1.3", DefaultSetup.Address, DefaultSetup.Value) + QByteArray(40, '\x7f'),
         DefaultSetup.Address, DefaultSetup.Value},
    };
    for (const auto &[name, bytes, addr, val] : files) {
        SCOPED_TRACE(name);
        WriteBytes(path(QLatin1String(name)), bytes);
        dialogs.expectOpen(path(QLatin1String(name)));
        m.mnuFileOpen->trigger();
        EXPECT_EQ(CurrentSetup.Address, addr);
        EXPECT_EQ(CurrentSetup.Value, val);
        EXPECT_EQ(m.windowTitle(), QStringLiteral("ORVEL - [%1]").arg(QLatin1String(name)));
    }
}

// Refused promptly (nothing waits for a writer or is read beyond what a set-up
// file can be) with the set-up kept as it was.
TEST_F(GuiTest, DamagedOrAbsurdFilesAreRefusedAndNothingIsLost)
{
    frmMDIMain &m = startMain();
    CurrentSetup.Value[5] = 250;
    dialogs.expectSave(path("good.sdt"));
    m.mnuFileSaveAs_Click();
    const QByteArray good = ReadBytes(path("good.sdt"));
    auto patched = [&](int offset, auto value) {
        QByteArray b = good;
        qToLittleEndian(value, b.data() + offset);
        return b;
    };
    QStringList addr = DefaultSetup.Address;
    addr[3] = QString(65, QLatin1Char('B'));
    ASSERT_EQ(::mkfifo(path("fifo.sdt").toLocal8Bit().constData(), 0600), 0);
    const std::tuple<const char *, QByteArray, const char *> bad[] = {
        {"empty.sdt", QByteArray(), nullptr},
        {"cut.sdt", good.left(600), nullptr},
        {"cutvalues.sdt", good.left(good.size() - 8), "the table claims 84 entries"},
        {"count.sdt", patched(2 + 12 + 2, quint32(0xFFFFFFF0u)), nullptr},
        {"values.sdt", patched(good.size() - 336 - 8, quint32(100000000u)), nullptr},
        {"lbound.sdt", patched(2 + 12 + 6, quint32(1)), nullptr},
        {"version.sdt", patched(0, quint16(0xFFFF)), nullptr},
        {"fifo.sdt", QByteArray(), "it is a named pipe (FIFO), not a regular file"},
        {"missing.sdt", QByteArray(), "No such file or directory"},
        {"huge.sdt", good + QByteArray(int(SetupFile::kMaxFileBytes), '\0'),
         "it is larger than any such file can be (more than 352277 bytes)"},
        {"address.sdt", makeFile("ORVEL_R2.1.3", addr, DefaultSetup.Value),
         "address 3 is 65 characters long, longer than any board address"},
    };
    int row = 0;
    for (const auto &[name, bytes, why] : bad) {
        SCOPED_TRACE(name);
        if (std::string_view(name) != "fifo.sdt" && std::string_view(name) != "missing.sdt")
            WriteBytes(path(QLatin1String(name)), bytes);
        if (row++ % 2) {   // every other one named on the command line
            dialogs.expectBox(kOrvel, B::OK);
            m.OpenSetupFile(path(QLatin1String(name)));
        } else {
            dialogs.expectOpen(path(QLatin1String(name))).expectBox(kOrvel, B::OK);
            m.mnuFileOpen->trigger();
        }
        if (why) {
            EXPECT_EQ(dialogs.boxes().back().text,
                      QStringLiteral("The file %1 cannot be opened as a set-up file:\r\n\r\n%2.")
                          .arg(QLatin1String(name), QLatin1String(why)));
        } else {
            EXPECT_TRUE(dialogs.boxes().back().text.contains(QLatin1String(name)));
        }
        EXPECT_EQ(CurrentSetup.Value[5], 250);
        EXPECT_EQ(m.windowTitle(), QStringLiteral("ORVEL - [good.sdt]"));
        EXPECT_EQ(m.gFileNamePath, path("good.sdt"));
    }
    // A link to a set-up file opens it.
    ASSERT_TRUE(QFile::link(path("good.sdt"), path("link.sdt")));
    CurrentSetup.Value[5] = 1;
    dialogs.expectBox(kOrvel, B::No, kSave).expectOpen(path("link.sdt"));
    m.mnuFileOpen->trigger();
    EXPECT_EQ(CurrentSetup.Value[5], 250);
    CurrentSetup.Value[5] = 1;
    dialogs.expectBox(kOrvel, B::No, kSave);
    m.OpenSetupFile(path("link.sdt"));
    EXPECT_EQ(CurrentSetup.Value[5], 250);
}

TEST_F(GuiTest, FailedSaveSaysSoAndLeavesTheOldFileWhole)
{
    frmMDIMain &m = startMain();
    dialogs.expectSave(path("sub/line.sdt")).expectBox(kOrvel, B::OK);
    EXPECT_FALSE(m.mnuFileSaveAs_Click());   // the folder does not exist
    EXPECT_TRUE(SetupUntitled);
    EXPECT_EQ(m.windowTitle(), QStringLiteral("ORVEL - [unnamed]"));

    dialogs.expectSave(path("line.sdt"));
    ASSERT_TRUE(m.mnuFileSaveAs_Click());
    const QByteArray before = ReadBytes(path("line.sdt"));
    CurrentSetup.Value[5] = 333;

    // Any file may grow by only 500 bytes: the new set-up cannot be written completely.
    struct rlimit old {};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = old;
    small.rlim_cur = 500;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    dialogs.expectBox(kOrvel, B::OK);
    const bool saved = m.mnuFileSave_Click();
    setrlimit(RLIMIT_FSIZE, &old);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved);
    EXPECT_TRUE(dialogs.boxes().back().text.contains(QStringLiteral("could not be saved")));
    EXPECT_EQ(ReadBytes(path("line.sdt")), before) << "the good file was replaced by a broken one";
    EXPECT_EQ(QDir(dir.path()).entryList({QStringLiteral("line.sdt*")}, QDir::Files | QDir::Hidden).size(), 1)
        << "a temporary file was left behind";
    dialogs.expectBox(kOrvel, B::Cancel, kSave);
    EXPECT_FALSE(m.close()) << "the changes are still unsaved";

    EXPECT_TRUE(m.mnuFileSave_Click());   // room again
    EXPECT_EQ(ReadBytes(path("line.sdt")).size(), 944);
}

TEST_F(GuiTest, ProgramTypeCodeIsTheFirstCharacterOfTheTnxFile)
{
    ASSERT_EQ(::mkfifo(path("fifo.TNX").toLocal8Bit().constData(), 0600), 0);
    WriteBytes(path("empty.TNX"), "");
    WriteBytes(path("seven.TNX"), "7,K2950\r\n");
    WriteBytes(path("quoted.TNX"), "  \"K\",x\r\n");
    WriteBytes(path("long.TNX"), "E," + QByteArray(100000, 'x'));   // only its start is read
    const std::pair<const char *, int> cases[] = {
        {"missing", 68}, {"empty", 68}, {"fifo", 68}, {"seven", 55}, {"quoted", 75}, {"long", 69},
    };
    for (const auto &[name, code] : cases) {
        SCOPED_TRACE(name);
        EXPECT_EQ(ProgramTypeCode(path(QLatin1String(name) + QStringLiteral(".hex"))), code);
    }
}
