// Program download: the program file set is selected and checked, then sent
// to the board record by record, each record answered with its checksum, and
// the program's ident, checksum and revision are stored in board memory.
#include "AppFolder.h"
#include "Clock.h"
#include "Dialogs.h"
#include "ProgramFiles.h"
#include "RSComm.h"
#include "SerialPort.h"

#include <QDir>
#include <QFileInfo>
#include <algorithm>
#include <array>

namespace {
constexpr std::int64_t kSecond = 1'000'000'000;
const QString kTwoBreaks = QStringLiteral("\r\n\r\n");
const QString kDownloadTitle = QStringLiteral("Program Download");
const QString kHalted = QStringLiteral("Program Downloaded Halted!");
const QString kInvalidProgram =
    QStringLiteral("Currently Selected Program is Invalid.") + kTwoBreaks + QStringLiteral("Program Download Halted!");

// Board memory a download uses.
constexpr int kLoadRequest = 8181, kLoadRequestValue = 86;
constexpr int kFaultCode = 8176;
constexpr int kConfig8188 = 8188, kConfig8189 = 8189, kConfig8190 = 8190;
constexpr int kIdentFirst = 61424;   // 8 characters, then the checksum and the revision byte
constexpr int kEnterRecords = 0x03;

bool isProgramBoard(int t)
{
    switch (t) {
    case 50:
    case 51:
    case 52:
    case 53:
    case 54:
    case 56:
    case 58:
    case 59:
    case 60:
    case 61:
    case 65:
    case 66:
    case 68: return true;
    default: return false;
    }
}

bool isPlsBoard(int t) { return t == 55 || t == 62 || t == 63 || t == 64 || t == 67 || t == 69; }

QString byteAddress(int a) { return QStringLiteral("B") + QString::number(a); }

// Sets a flag for the scope and clears it on every way out.
struct ClearOnExit {
    bool &flag;
    ~ClearOnExit() { flag = false; }
};
}   // namespace

bool RSComm::takeProgramFileSet(const QString &path, const QString &boxTitle, FileBytes &tnx)
{
    if (path.isEmpty() || !QFileInfo::exists(AppFolder::resolveAbsolute(path)))
        return false;
    const ProgramFiles::FileSet set = ProgramFiles::fileSet(path);
    tnxFile_ = AppFolder::resolveAbsolute(set.tnx);
    revFile_ = AppFolder::resolveAbsolute(set.rev);
    hexFile_ = AppFolder::resolveAbsolute(set.hex);
    lcfFile_ = AppFolder::resolveAbsolute(set.lcf);
    tnx = readRegularFile(tnxFile_, ProgramFiles::kMaxItemFileBytes, LargerFile::ReadInPart);
    if (tnx.ok())
        return true;
    dialogs_.message(Dialogs::Icon::Information, boxTitle, Dialogs::fileAccessErrorText(tnx.error));
    return false;
}

void RSComm::DownloadFile(const QString &path)
{
    validProgram_ = false;
    FileBytes tnx;
    if (!takeProgramFileSet(path, QStringLiteral("RSComm-Download File"), tnx))
        return;
    const std::optional<int> type = ProgramFiles::boardType(tnx.bytes);
    if (!type)
        return;
    programBoardType_ = *type;
    programBoardName_ = TargetboardName(*type);
    const QString baseName = QFileInfo(path).completeBaseName();
    if (isProgramBoard(*type)) {
        const bool revOk = SetProgramIdent(revFile_);
        if (!revOk)
            dialogs_.message(Dialogs::Icon::Exclamation, kDownloadTitle,
                             QDir::toNativeSeparators(revFile_) + QStringLiteral(" Revision File is Not Valid")
                                 + kTwoBreaks + kHalted);
        if (revOk && ProgramFiles::hasConfig(*type) && !SetProgramConfig(lcfFile_))
            dialogs_.message(Dialogs::Icon::Exclamation, kDownloadTitle,
                             QDir::toNativeSeparators(lcfFile_) + QStringLiteral(" Configuration File is Not Valid")
                                 + kTwoBreaks + kHalted);
    } else if (isPlsBoard(*type)) {
        dialogs_.message(Dialogs::Icon::Information, QStringLiteral("PLS Program Download"),
                         baseName + QStringLiteral(" file is a PLS target board program.\r\n")
                             + QStringLiteral("Open PLS program to download to target board.") + kTwoBreaks
                             + QStringLiteral("Program Downloaded Halted."));
    } else {
        dialogs_.message(Dialogs::Icon::Critical, kDownloadTitle,
                         baseName + QStringLiteral(" file is incompatible with target board.") + kTwoBreaks + kHalted);
    }
}

bool RSComm::SetProgramIdent(const QString &revPath)
{
    validProgram_ = false;
    programIdent_ = programRevision_ = programChecksum_ = QStringLiteral("Unknown");
    if (!QFileInfo::exists(revPath))
        return false;
    const FileBytes rev = readRegularFile(revPath, ProgramFiles::kMaxItemFileBytes, LargerFile::ReadInPart);
    if (!rev.ok()) {
        dialogs_.message(Dialogs::Icon::Critical, QStringLiteral("RSComm-Set Program Ident"), Dialogs::fileAccessErrorText(rev.error));
        return false;
    }
    if (rev.bytes.isEmpty())
        return false;
    // A revision whose last four characters are not two bytes in MarkHEX is
    // not valid: its checksum and revision would be written to the board.
    const std::optional<ProgramFiles::Ident> ident = ProgramFiles::parseRevision(rev.bytes);
    if (!ident)
        return false;
    programIdent_ = ident->ident;
    programChecksum_ = QString::number(ident->checksum);
    programRevision_ = QString::number(ident->revision);
    validProgram_ = true;
    return true;
}

bool RSComm::SetProgramConfig(const QString &lcfPath)
{
    validProgram_ = false;
    configDigit1_ = 3;
    configDigit2_ = 0;
    configDigit3_ = 3;
    if (!QFileInfo::exists(lcfPath))
        return false;
    const FileBytes lcf = readRegularFile(lcfPath, ProgramFiles::kMaxItemFileBytes, LargerFile::ReadInPart);
    if (!lcf.ok()) {
        dialogs_.message(Dialogs::Icon::Critical, QStringLiteral("RSComm-Set Program Config"), Dialogs::fileAccessErrorText(lcf.error));
        return false;
    }
    const std::optional<ProgramFiles::Config> c = ProgramFiles::parseConfig(lcf.bytes);
    if (!c)
        return false;
    configDigit1_ = c->digit1;
    configDigit2_ = c->digit2;
    configDigit3_ = c->digit3;
    validProgram_ = true;
    return true;
}

std::optional<ProgramFiles::DownloadPlan> RSComm::readProgramHex(bool *trapped)
{
    const QString hexShown = QDir::toNativeSeparators(hexFile_);
    const QString notValid = hexShown + QStringLiteral(" File is Not Valid") + kTwoBreaks
        + QStringLiteral("Program Downloaded Halted");
    if (!QFileInfo::exists(hexFile_)) {
        dialogs_.message(Dialogs::Icon::Information, kDownloadTitle,
                         hexShown + QStringLiteral(" File Does Not Exist.") + kTwoBreaks
                             + QStringLiteral("Program Downloaded Halted"));
        return std::nullopt;
    }
    const FileBytes hex = readRegularFile(hexFile_, ProgramFiles::kMaxHexFileBytes);
    if (!hex.ok()) {
        dialogs_.message(Dialogs::Icon::Information, QStringLiteral("RSComm DumpProgram"),
                         Dialogs::fileAccessErrorText(hex.error));
        if (trapped)
            *trapped = true;
        return std::nullopt;
    }
    const QStringList lines = ProgramFiles::hexLines(hex.bytes);
    if (lines.isEmpty()) {
        dialogs_.message(Dialogs::Icon::Exclamation, kDownloadTitle, notValid);
        return std::nullopt;
    }
    ProgramFiles::DownloadPlan plan = ProgramFiles::planDownload(lines);
    // A line that is not a record would stop the download part-way, with
    // the board half reprogrammed: the file is refused before it starts.
    const bool invalid = std::any_of(plan.lines.begin(), plan.lines.end(), [](const ProgramFiles::PlannedLine &l) {
        return l.kind == ProgramFiles::PlannedLine::Invalid;
    });
    if (invalid) {
        dialogs_.message(Dialogs::Icon::Exclamation, QStringLiteral("Program Dump"), kInvalidProgram);
        validProgram_ = false;
        return std::nullopt;
    }
    // An end record alone would write the ident of a program never sent.
    if (plan.dataBytes == 0) {
        dialogs_.message(Dialogs::Icon::Exclamation, kDownloadTitle, notValid);
        return std::nullopt;
    }
    return plan;
}

void RSComm::restLine(std::int64_t ns)
{
    const std::int64_t until = clock_.monotonicNs() + ns;
    while (clock_.monotonicNs() < until) {
        if (port_ && port_->isOpen()) {
            if (port_->waitForInput(until))
                port_->flushInput();
        } else {
            break;   // no line to rest
        }
    }
}

int RSComm::sendRecord(const QByteArray &bytes)
{
    startAttempt();
    // Inside a record a time-out is not followed by a re-sent 0xFF: the board
    // would take it for a record byte.
    inSequence_ = true;
    int answer = NoAnswer;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const bool last = i + 1 == bytes.size();
        answer = ExchangeByte(quint8(bytes.at(i)), !last, false);
        if (answer == NoAnswer)
            break;
    }
    inSequence_ = false;
    return answer;
}

void RSComm::DumpProgram(const std::function<void()> &betweenRecords, const std::function<void()> &stepShown)
{
    BusyGuard guard(*this);
    if (!startOperation(guard)) {
        return;
    }
    InProgramMode = true;
    ClearOnExit programMode{InProgramMode};
    WritingIdent = false;
    ClearOnExit writingIdent{WritingIdent};
    CurrentProgramAdd = QStringLiteral(" ");
    if (!OnlineMode) {
        dialogs_.message(Dialogs::Icon::Information, kDownloadTitle,
                         QStringLiteral("Program is Currently OFFLINE.") + kTwoBreaks
                             + QStringLiteral("Switch to ONLINE MODE to Continue."));
        return;
    }
    if (!validProgram_) {
        dialogs_.message(Dialogs::Icon::Exclamation, kDownloadTitle, kInvalidProgram);
        return;
    }
    // 4. What the board holds now.
    QString boardIdent, boardChecksum, boardRevision;
    for (int i = 0; i < 10 && !CommError; ++i) {
        const int v = ReadData(byteAddress(kIdentFirst + i)).toInt();
        if (CommError)
            return;
        if (i < 8) {
            if (v > 31)
                boardIdent += QChar(v);
        } else if (i == 8) {
            boardChecksum = QString::number(v);
        } else {
            boardRevision = QString::number(v);
        }
    }
    const QString crlf = QStringLiteral("\r\n");
    const QString question = QStringLiteral("Program to be loaded into module (on disk):") + crlf
        + QStringLiteral("  Program Ident: \t\t") + programIdent_ + crlf + QStringLiteral("  Program Revision: \t\t")
        + programRevision_ + crlf + QStringLiteral("  Program Checksum: \t") + programChecksum_ + crlf
        + QStringLiteral("  Target Board: \t\t") + programBoardName_ + crlf + crlf
        + QStringLiteral("Program currently loaded in module:") + crlf + QStringLiteral("  Program Ident: \t\t")
        + boardIdent + crlf + QStringLiteral("  Program Revision: \t\t") + boardRevision + crlf
        + QStringLiteral("  Program Checksum: \t") + boardChecksum + crlf + crlf
        + QStringLiteral("Entire program file will be dumped to the PLC.") + crlf
        + QStringLiteral("All outputs are off while program dump occurrs.") + crlf + crlf
        + QStringLiteral("Do You Wish to Continue?") + crlf;
    if (dialogs_.messageBox(Dialogs::Icon::Question, Dialogs::Buttons::YesNoCancel,
                            kDownloadTitle + QStringLiteral(" - [") + programIdent_ + QStringLiteral("]"), question)
        != Dialogs::Button::Yes)
        return;
    OnlineMode = false;
    // 7. The whole hex file is read and checked before anything is sent.
    bool trapped = false;
    const std::optional<ProgramFiles::DownloadPlan> checked = readProgramHex(&trapped);
    if (!checked) {
        // Nothing has been sent: the board is as it was.
        OnlineMode = !trapped;
        return;
    }
    const ProgramFiles::DownloadPlan &plan = *checked;
    // 8. The load request, the fault code cleared, then a handshake byte.
    bool failed = false;
    if (!CommError)
        failed |= !WriteData(byteAddress(kLoadRequest), QString::number(kLoadRequestValue));
    if (!CommError)
        failed |= !WriteData(byteAddress(kFaultCode), QStringLiteral("0"));
    if (!CommError) {
        restLine(kSecond / 10);
        startAttempt();
        ExchangeByte(0xFF, false, false);
    }
    // 9. The configuration of the boards that carry one.
    CurrentMode = 0;
    if (ProgramFiles::hasConfig(programBoardType_)) {
        const ProgramFiles::Config cfg{configDigit1_, configDigit2_, configDigit3_};
        // Each value is written unless the link is down, whether or not the
        // one before it was confirmed.
        bool configOk = !CommError;
        const std::array<std::array<int, 2>, 3> config{{{kConfig8188, ProgramFiles::configB8188(cfg)},
                                                         {kConfig8189, ProgramFiles::configB8189(cfg)},
                                                         {kConfig8190, ProgramFiles::configB8190(cfg)}}};
        for (const auto &[address, value] : config) {
            if (!CommError)
                configOk &= WriteData(byteAddress(address), QString::number(value));
        }
        if (!configOk || CommError) {
            dialogs_.message(Dialogs::Icon::Critical, QStringLiteral("Program Config Download"),
                             QStringLiteral("Could Not Set Program Configuration in PLC!"));
            failed = true;
        }
    }
    // 10. Record mode.
    if (!CommError) {
        startAttempt();
        ExchangeByte(0xFF, false, false);
    }
    CurrentMode = 0;
    if (!CommError) {
        startAttempt();
        ExchangeByte(kEnterRecords, false, false);
    }
    // 11. The records, in file order.
    bool recordsSent = !CommError;
    for (const ProgramFiles::PlannedLine &line : plan.lines) {
        if (betweenRecords)
            betweenRecords();
        if (CommError) {
            recordsSent = false;
            break;
        }
        if (line.kind == ProgramFiles::PlannedLine::Invalid) {
            dialogs_.message(Dialogs::Icon::Exclamation, QStringLiteral("Program Dump"), kInvalidProgram);
            validProgram_ = false;
            OnlineMode = false;
            return;
        }
        if (line.kind != ProgramFiles::PlannedLine::Send)
            continue;
        CurrentProgramAdd = QStringLiteral("%1H").arg(line.address, 4, 16, QLatin1Char('0')).toUpper();
        const QByteArray bytes = ProgramFiles::recordBytes(line.address, line.data);
        const int answer = sendRecord(bytes);
        if (answer != ProgramFiles::recordChecksum(bytes)) {
            dialogs_.message(Dialogs::Icon::Exclamation, kDownloadTitle,
                             QStringLiteral("Checksum Error, Program Download Halted!"));
            OnlineMode = false;
            return;
        }
    }
    // 12. Out of record mode.
    if (!CommError && recordsSent) {
        startAttempt();
        if (ExchangeByte(0xFF, false, false) != 0x55) {
            dialogs_.message(Dialogs::Icon::Critical, kDownloadTitle, QStringLiteral("PLC did not Exit Program Mode!"));
            OnlineMode = false;
            return;
        }
    }
    // 13. The ident, checksum and revision.
    if (stepShown)
        stepShown();
    restLine(2 * kSecond);
    if (!CommError) {
        WritingIdent = true;
        QByteArray ident = programIdent_.trimmed().toLatin1() + QByteArray(8, '\0');
        QStringList values;
        for (int i = 0; i < 8; ++i)
            values.append(QString::number(quint8(ident.at(i))));
        values.append(programChecksum_);
        values.append(programRevision_);
        for (int i = 0; i < values.size(); ++i) {
            if (stepShown)
                stepShown();
            const bool written = WriteData(byteAddress(kIdentFirst + i), values.at(i));
            if (CommError || !written) {
                dialogs_.message(Dialogs::Icon::Critical, kDownloadTitle,
                                 QStringLiteral("Could Not Send Program Ident and Revision to PLC!"));
                failed = true;
                break;
            }
        }
    }
    validProgram_ = false;
    WritingIdent = false;
    if (!CommError && !failed) {
        dialogs_.message(Dialogs::Icon::Information, kDownloadTitle, QStringLiteral("Program Download Complete!"));
        OnlineMode = true;
        lastOk_ = true;
    } else {
        dialogs_.message(Dialogs::Icon::Critical, kDownloadTitle, QStringLiteral("Program Download Not Complete!"));
        OnlineMode = false;
    }
}
